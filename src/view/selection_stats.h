#pragma once
#include <cstdint>
#include <string>

namespace kirvo {

class ResultRows;

// Counts and exact byte sums of the marked file rows, per side. Computed
// afresh from the rows' marks on every call; nothing is cached. Rows that
// show a sync plan count what will be deleted and renamed on a side apart
// from what will be copied.
class SelectionStats {
public:
    SelectionStats() = default;
    explicit SelectionStats(const ResultRows& rows) { Update(rows); }

    // Recounts over the rows: every marked row with an arrow counts for
    // each side that has a file, with that file's real size; a marked
    // deletion or rename counts for its side as such.
    void Update(const ResultRows& rows);

    int32_t sourceFiles() const { return sourceFiles_; }
    int32_t targetFiles() const { return targetFiles_; }
    uint64_t sourceBytes() const { return sourceBytes_; }
    uint64_t targetBytes() const { return targetBytes_; }
    // Marked deletions and renames on each side.
    int32_t sourceDeletes() const { return deletes_[0]; }
    int32_t targetDeletes() const { return deletes_[1]; }
    uint64_t sourceDeleteBytes() const { return deleteBytes_[0]; }
    uint64_t targetDeleteBytes() const { return deleteBytes_[1]; }
    int32_t sourceMoves() const { return moves_[0]; }
    int32_t targetMoves() const { return moves_[1]; }

    // Fields 1011 and 1012: "%i Dateien mit %s (%.0f Byte) ausgewählt ",
    // with ", %i zu löschen (%s)" and ", %i umzubenennen" before the final
    // blank where there are any.
    std::string SourceText() const { return Text(sourceFiles_, sourceBytes_, deletes_[0], deleteBytes_[0], moves_[0]); }
    std::string TargetText() const { return Text(targetFiles_, targetBytes_, deletes_[1], deleteBytes_[1], moves_[1]); }
    static std::string Text(int32_t files, uint64_t bytes, int32_t deletes = 0, uint64_t deleteBytes = 0,
                            int32_t moves = 0);

private:
    int32_t sourceFiles_ = 0;
    int32_t targetFiles_ = 0;
    uint64_t sourceBytes_ = 0;
    uint64_t targetBytes_ = 0;
    int32_t deletes_[2] = {0, 0};
    uint64_t deleteBytes_[2] = {0, 0};
    int32_t moves_[2] = {0, 0};
};

}  // namespace kirvo
