#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_pair.h"
#include "fileops/rooted_path.h"
#include "platform/root.h"

namespace kirvo {

// One result-list row as the file operations read it.
struct PlanRow {
    bool takesPart = false;  // marked (Synchronise) or selected (Copy, Delete)
    int32_t direction = 0;   // +1 "--->", -1 "<---", 0 anything else ("=", "<?>", folder row)
    std::string sourcePath;  // relative path of the source file, "" when the row has none
    std::string targetPath;  // relative path of the target file, "" when the row has none
    // What the comparison saw of each side's file (Absent where the row has none).
    ListedFile source;
    ListedFile target;
    bool conflict = false;   // "<?>": unequal, but no direction to copy in
    // The side could not be read at this path (or above it): nothing is
    // copied into it, replaced or deleted there.
    bool sourceUnknown = false;
    bool targetUnknown = false;
};

// A pair of the comparison as the plans read it: its direction, flags and
// paths, each side's file with its size and time as listed, in UTC
// (utcOffset: what the comparison added to make its local times).
PlanRow PlanRowOf(const FilePair& pair, int64_t utcOffset, bool takesPart = true);

// One file to copy: the file and where it is copied to, each with its root
// (and side), and what the comparison saw at the destination: a file there
// that changed since, or appeared, is not replaced without asking.
struct CopyPair {
    RootedPath from;
    RootedPath to;
    ListedFile listedTo;
    // What the comparison listed at `from` (for the size of the whole request;
    // the copy itself looks at the file it opens).
    ListedFile listedFrom;

    friend bool operator==(const CopyPair&, const CopyPair&) = default;
};

// The copies of one direction, in list order.
struct CopyList {
    std::vector<CopyPair> pairs;

    int32_t count() const { return static_cast<int32_t>(pairs.size()); }
    bool empty() const { return pairs.empty(); }
};

// What Synchronise copies: the two directions, each asked about and run on its own,
// source to target first.
struct SyncPlan {
    CopyList sourceToTarget;
    CopyList targetToSource;
};

// The copy pair of one row, or false when the row has no arrow or its destination
// lies where that side could not be read. The destination is
// the other side's own path when that side has the file (its name may differ in case
// or bytes), otherwise the same relative path below the other root.
// Roots end in the separator; paths are byte strings taken as they are.
bool PlanCopyOfRow(const PlanRow& row, std::string_view sourceRoot, std::string_view targetRoot,
                   CopyPair& pair);

// Rows taking part with an arrow, split by direction. The paths lie below
// each root's location.
SyncPlan BuildSyncPlan(std::span<const PlanRow> rows, const Root& source, const Root& target);

// Rows taking part with an arrow, both directions in one list, in list order.
// Conflicts go in the direction given (+1 or -1), or are left out (0).
CopyList BuildCopyPlan(std::span<const PlanRow> rows, const Root& source, const Root& target,
                       int32_t conflictDirection = 0);

// "Nach rechts kopieren" (+1) and "Nach links kopieren" (-1): the rows taking
// part copied in that direction whatever their arrows, in list order. A row
// without a file on the side it would be copied from goes to passedOver, one
// whose destination could not be read to unread.
CopyList BuildDirectedCopyPlan(std::span<const PlanRow> rows, const Root& source, const Root& target, int32_t direction,
                               std::vector<std::string>* passedOver = nullptr,
                               std::vector<std::string>* unread = nullptr);

}  // namespace kirvo
