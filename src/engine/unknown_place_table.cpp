#include "engine/unknown_place_table.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/text_compare.h"
#include "engine/tree_matcher.h"

namespace kirvo {
namespace {

constexpr uint32_t kNone = UINT32_MAX;

// The places of one side by their folded paths, and which of them a path lies in.
class SidePlaces {
public:
    void Add(const UnknownPlace& place, uint32_t index) { byPath_.emplace(Folded(place.path), index); }
    bool empty() const { return byPath_.empty(); }

    // The place that `entry` lies in or under, or kNone.
    uint32_t Find(const FileEntry& entry) {
        if (byPath_.empty()) return kNone;
        const char* folderId = entry.folder().data();
        auto cached = folders_.find(folderId);
        if (cached == folders_.end()) cached = folders_.emplace(folderId, FindFolder(entry.folder())).first;
        if (cached->second != kNone) return cached->second;
        return Lookup(Folded(entry.relativePath()));
    }

private:
    // The root, each folder on the way as a folder ("a/") or as a name that
    // could not be inspected ("a"), and the folder itself.
    uint32_t FindFolder(std::string_view folder) const {
        const std::string folded = Folded(folder);
        if (const uint32_t root = Lookup({}); root != kNone) return root;
        for (size_t end = folded.find(TreeMatcher::kSeparator); end != std::string::npos;
             end = folded.find(TreeMatcher::kSeparator, end + 1)) {
            const std::string_view prefix(folded.data(), end);
            if (const uint32_t asName = Lookup(prefix); asName != kNone) return asName;
            if (const uint32_t asFolder = Lookup(std::string_view(folded.data(), end + 1)); asFolder != kNone)
                return asFolder;
        }
        return kNone;
    }
    uint32_t Lookup(std::string_view folded) const {
        const auto found = byPath_.find(std::string(folded));
        return found == byPath_.end() ? kNone : found->second;
    }

    std::unordered_map<std::string, uint32_t> byPath_;
    std::unordered_map<const char*, uint32_t> folders_;
};

}  // namespace

bool UnknownPlace::Covers(std::string_view relativePath) const {
    if (path.empty()) return true;
    if (relativePath.size() < path.size() || !EqualIgnoreCase(relativePath.substr(0, path.size()), path)) return false;
    return path.back() == TreeMatcher::kSeparator || relativePath.size() == path.size() ||
           relativePath[path.size()] == TreeMatcher::kSeparator;
}

void UnknownPlaceTable::Clear() {
    places_.clear();
    unknownPairs_.clear();
}

void UnknownPlaceTable::Add(std::vector<UnknownPlace>&& places) {
    for (UnknownPlace& place : places) places_.push_back(std::move(place));
}

void UnknownPlaceTable::Sort() {
    std::stable_sort(places_.begin(), places_.end(), [](const UnknownPlace& a, const UnknownPlace& b) {
        if (const int c = CompareIgnoreCase(a.path, b.path)) return c < 0;
        return a.side < b.side;
    });
}

void UnknownPlaceTable::Apply(std::vector<FilePair>& pairs) {
    unknownPairs_.clear();
    if (places_.empty()) return;
    SidePlaces sides[2];
    for (size_t i = 0; i < places_.size(); ++i) sides[places_[i].side - 1].Add(places_[i], static_cast<uint32_t>(i));
    for (size_t i = 0; i < pairs.size(); ++i) {
        FilePair& pair = pairs[i];
        const FileEntry& home = pair.source ? *pair.source : *pair.target;
        const uint32_t inSource = sides[0].Find(home);
        const uint32_t inTarget = sides[1].Find(home);
        if (inSource != kNone) pair.unknownSides |= FilePair::kSourceUnknown;
        if (inTarget != kNone) pair.unknownSides |= FilePair::kTargetUnknown;
        // Found on one side only, where the other could not read: not missing there, unknown.
        const uint32_t other = !pair.target ? inTarget : !pair.source ? inSource : kNone;
        if (other != kNone) {
            pair.verdict = Verdict::Unknown;
            unknownPairs_.emplace_back(static_cast<uint32_t>(i), other);
        }
    }
}

const UnknownPlace* UnknownPlaceTable::PlaceOf(size_t pairIndex) const {
    const auto found = std::lower_bound(unknownPairs_.begin(), unknownPairs_.end(),
                                        std::make_pair(static_cast<uint32_t>(pairIndex), uint32_t{0}));
    if (found == unknownPairs_.end() || found->first != pairIndex) return nullptr;
    return &places_[found->second];
}

}  // namespace kirvo
