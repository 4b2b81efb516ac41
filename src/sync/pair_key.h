#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sync/root_identity.h"

namespace kirvo {

// A stable 64-bit hash of bytes (FNV-1a): the same in every build and version,
// for what is stored (filter hashes) and for file names (pair locks).
uint64_t StableHash(std::string_view bytes);

// The hash of a filter as its canonical text describes it: the text the caller
// builds from its patterns in a fixed order.
inline uint64_t FilterHash(std::string_view canonicalFilterText) { return StableHash(canonicalFilterText); }

// The key of a pair of roots. A pair is the same whichever root is the source:
// the identities are kept in sorted order and swapped() says whether the
// source is the second one.
class PairKey {
public:
    PairKey(const RootIdentity& source, const RootIdentity& target);

    const std::string& first() const { return first_.text(); }
    const std::string& second() const { return second_.text(); }
    // The roots in that order, with their places and file systems.
    const RootIdentity& firstRoot() const { return first_; }
    const RootIdentity& secondRoot() const { return second_; }
    bool swapped() const { return swapped_; }
    // The key earlier versions gave the pair, where it differs (RootIdentity::earlierText).
    std::optional<PairKey> Earlier() const;
    // A short name for files of this pair ("0123456789abcdef").
    std::string fileName() const;

private:
    RootIdentity first_;
    RootIdentity second_;
    bool swapped_ = false;
};

}  // namespace kirvo
