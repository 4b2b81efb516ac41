#include "app/path_history.h"

#include <algorithm>

#include "app/profile_store.h"

namespace kirvo {

PathHistory::PathHistory(std::string section, Letters letters) : section_(std::move(section)), letters_(letters) {}

bool PathHistory::SameFolder(std::string_view a, std::string_view b) const {
    return letters_ == Letters::Folded ? EqualIgnoringCase(a, b) : a == b;
}

std::string PathHistory::EntryName(size_t index) const {
    return section_ + std::to_string(index);
}

std::string PathHistory::Load(ProfileStore& store) {
    entries_.clear();
    std::string first = store.GetProfileString(section_, EntryName(0));
    for (std::string text = first; !text.empty();
         text = store.GetProfileString(section_, EntryName(entries_.size()))) {
        entries_.push_back(std::move(text));
    }
    return first;
}

void PathHistory::Update(std::string_view text) {
    if (text.empty()) return;
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [this, text](const std::string& entry) { return SameFolder(entry, text); });
    if (found != entries_.end()) entries_.erase(found);
    entries_.insert(entries_.begin(), std::string(text));
    // A stored history may hold more than ten entries; it shrinks to ten here.
    if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
}

void PathHistory::Save(ProfileStore& store) const {
    const size_t count = std::min(entries_.size(), kMaxEntries);
    for (size_t i = 0; i < count; ++i) store.WriteProfileString(section_, EntryName(i), entries_[i]);
}

namespace {

// Folds one character starting at text[i]; advances i past it.
unsigned FoldNext(std::string_view text, size_t& i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 'A' && byte <= 'Z') {
        ++i;
        return byte + ('a' - 'A');
    }
    // UTF-8 for U+00C0..U+00DE (without U+00D7) folds to U+00E0..U+00FE.
    if (byte == 0xC3 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0xBF) {
            i += 2;
            unsigned codePoint = 0xC0 + (next - 0x80);
            if (codePoint >= 0xC0 && codePoint <= 0xDE && codePoint != 0xD7) codePoint += 0x20;
            return 0x100 + codePoint;  // kept apart from single bytes
        }
    }
    ++i;
    return byte;
}

}  // namespace

bool PathHistory::EqualIgnoringCase(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldNext(a, i) != FoldNext(b, j)) return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace kirvo
