#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/content_hash.h"
#include "sync/content_records.h"
#include "sync/pair_key.h"
#include "sync/store_error.h"

namespace kirvo {

class ContentProgress;
class SyncStateStore;
class TreeMatcher;

// What reading both sides of one path found. The numbers are those of the
// TSV output ("kirvo-cli verify --format=tsv").
enum class VerifyState : int {
    Equal = 4,       // both sides hold the same bytes
    Unreadable = 6,  // a side could not be read whole (or changed while it was read)
    Damaged = 10,    // a side holds other bytes under the size and time of its good ones ("beschädigt?")
    Different = 11,  // both read, different bytes, neither known to be damaged
    OneSide = 12,    // only one side has the file: read and recorded
};

// One path of the pair after reading: per side (0 source, 1 target).
struct VerifiedPath {
    std::string path;
    size_t pair = 0;  // its index among the comparison's pairs
    VerifyState state = VerifyState::Equal;
    bool present[2] = {false, false};
    bool damaged[2] = {false, false};
    ContentHash hash[2];         // of the bytes read, where they were
    int64_t goodSince[2] = {0, 0};  // damaged: when the good bytes were last read (Unix seconds)
    std::string reason;             // unreadable: why (German)
};

struct VerifyResult {
    std::vector<VerifiedPath> paths;  // in list order, one per file pair
    uint64_t bytesRead = 0;
    bool stopped = false;  // the progress asked to stop: paths holds what was read until then
    StoreError storeError;  // the records could not be read or kept
    int count(VerifyState state) const;
};

// Where a path is damaged and when it was last good: "im Ziel, zuletzt gut:
// 2026-12-01 14:03:10" (both sides joined by "; "), in local time.
std::string DamageText(const VerifiedPath& path);

// Checking the bytes of a pair ("kirvo-cli verify"): reads every file of
// both sides whole, compares each with its recorded hash and records what it
// learns (ContentRecords::Take): no record yet, recorded; the recorded bytes,
// confirmed; a moved size or time, an edit, recorded anew; other bytes under
// the same size and time, damage, with the good bytes' record kept. What was
// learnt is written as it goes, so a run broken off keeps what it read.
class ContentVerification {
public:
    ContentVerification(SyncStateStore& store, PairKey key) : store_(store), key_(std::move(key)) {}

    // Over a comparison of the two trees (by time; links as it listed them).
    // `progress` learns the files and bytes to read (both sides together),
    // each piece read and the path under way; asked to stop, it stops after
    // the piece under way.
    VerifyResult Run(const TreeMatcher& matcher, ContentProgress& progress);

private:
    SyncStateStore& store_;
    PairKey key_;
};

}  // namespace kirvo
