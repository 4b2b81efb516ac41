#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kirvo {

class ProfileStore;

// The remembered paths of one path field, most recent first, stored in its
// own section as "<section>0", "<section>1", ... Entries are kept exactly as
// typed or chosen; nothing is normalised.
class PathHistory {
public:
    static constexpr size_t kMaxEntries = 10;

    // Whether two texts that differ only in letter case name the same folder:
    // on Windows they do; where the file system tells case apart (Linux) they
    // are two folders and keep an entry each.
    enum class Letters { Distinct, Folded };
#ifdef _WIN32
    static constexpr Letters kNativeLetters = Letters::Folded;
#else
    static constexpr Letters kNativeLetters = Letters::Distinct;
#endif

    // section is "Quelle" or "Ziel"; it also prefixes the entry names.
    explicit PathHistory(std::string section, Letters letters = kNativeLetters);

    // Reads entries from index 0 upwards until the first missing or empty
    // one (no upper bound) and returns entry 0, the text to preset in the
    // field ("" when there is none).
    std::string Load(ProfileStore& store);
    // Moves text to the top: an entry for the same folder (SameFolder) is
    // removed first, and the oldest entries go so that at most ten remain.
    // An empty text changes nothing.
    void Update(std::string_view text);
    // Equal bytes, or equal ignoring letter case where letters fold.
    bool SameFolder(std::string_view a, std::string_view b) const;
    // Writes the first ten entries. Higher indices stored earlier stay.
    void Save(ProfileStore& store) const;

    const std::vector<std::string>& entries() const { return entries_; }
    const std::string& section() const { return section_; }
    std::string EntryName(size_t index) const;

    // Letter case is folded for A-Z and the Latin-1 letters (UTF-8); every
    // other byte compares as it is.
    static bool EqualIgnoringCase(std::string_view a, std::string_view b);

private:
    std::string section_;
    Letters letters_;
    std::vector<std::string> entries_;
};

}  // namespace kirvo
