#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sync/sync_work.h"

namespace kirvo {

// What a run is about to do, in the words the user is asked with: one part
// per kind of work and side, each with its count, its bytes and its files.
// The copies of each direction and the renames of each side may be declined
// one by one; deletions and folders go with the run as a whole. Last, the
// conflicts the run leaves as they are, so that none is a surprise after it.
class SyncPlanSummary {
public:
    enum class Part {
        ToTarget,         // copies from source to target
        ToSource,         // copies from target to source
        MovesInSource,    // renames
        MovesInTarget,
        DeleteInSource,   // files deleted (or put into the trash)
        DeleteInTarget,
        FoldersInSource,  // folders made or removed
        FoldersInTarget,
        Conflicts,        // left as they are: named, nothing done
    };
    struct Group {
        Part part = Part::ToTarget;
        bool declinable = false;
        bool accepted = true;   // the user's answer for a declinable part
        std::string text;       // the question or statement, German unless translated
        std::string detail;     // "2 neu, 1 ersetzt, 12 KB"; "" for none
        int32_t count = 0;
        uint64_t bytes = 0;
        std::vector<std::string> files;  // relative paths ("alt → neu" for renames)
    };

    // What the comparison knows beyond the work.
    struct Known {
        // Every folder the comparison found on the source and the target
        // (relative, ending in '/'); the copies make the others on their way.
        // Null: only the folders the work makes are named.
        const std::deque<std::string>* folders[2] = {nullptr, nullptr};
        // The conflicts the run leaves as they are: "path – why".
        std::vector<std::string> conflicts;
    };

    // toTrash: deleted and replaced files go to the trash (option Papierkorb).
    SyncPlanSummary(const SyncWork& work, bool toTrash, const Known& known);
    SyncPlanSummary(const SyncWork& work, bool toTrash);

    // Nothing to do (conflicts alone do nothing).
    bool empty() const;
    std::vector<Group>& groups() { return groups_; }
    const std::vector<Group>& groups() const { return groups_; }
    // Whether a part goes ahead: present and not declined.
    bool accepted(Part part) const;

    // One line per part: "Es werden 3 Dateien von Quelle nach Ziel kopiert ! (2 neu, 1 ersetzt, 12 KB)".
    std::string Text() const;
    // The totals in one line: "5 Dateien, 1.2 MB".
    std::string Totals() const;

private:
    std::vector<Group> groups_;
};

}  // namespace kirvo
