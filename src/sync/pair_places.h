#pragma once
#include "sync/pair_key.h"
#include "sync/store_error.h"

namespace kirvo {

class SqliteDatabase;

// Where the roots of each pair were at its last run, and on which file
// systems, in a table of the state database of its own (versions without it
// leave it alone). So a pair is found by its roots' places as well as by their
// identities, and a state is never used with another disk than it describes:
// its files would look deleted there.
class PairPlaces {
public:
    explicit PairPlaces(SqliteDatabase& db) : db_(db) {}

    // The key the pair's state is kept under: its own, or, while only that
    // holds one, the key an earlier version gave it, unless that state is
    // another disk's (several disks may have had that key).
    PairKey KeyInUse(const PairKey& key) const;
    // Records where the pair's roots are now; in the caller's write transaction.
    void Record(const PairKey& key);
    // Why the recorded state of the pair (hasState), or of another pair at
    // the same places, must not be used with the roots as they are now: a root
    // on another file system than then, or one whose file system is not
    // mounted. None where nothing speaks against it; a pair recorded without
    // a state was begun afresh with these roots, and nothing does.
    StoreError Check(const PairKey& key, bool hasState) const;

private:
    bool exists() const;
    SqliteDatabase& db_;
};

}  // namespace kirvo
