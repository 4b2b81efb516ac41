#pragma once
#include <cstdint>
#include <string>

namespace kirvo {

class ResultRows;

// Counts and exact byte sums of the marked file rows, per side. Computed
// afresh from the rows' marks on every call; nothing is cached.
class SelectionStats {
public:
    SelectionStats() = default;
    explicit SelectionStats(const ResultRows& rows) { Update(rows); }

    // Recounts over the rows: every marked row with an arrow counts for
    // each side that has a file, with that file's real size.
    void Update(const ResultRows& rows);

    int32_t sourceFiles() const { return sourceFiles_; }
    int32_t targetFiles() const { return targetFiles_; }
    uint64_t sourceBytes() const { return sourceBytes_; }
    uint64_t targetBytes() const { return targetBytes_; }

    // Fields 1011 and 1012: "%i Dateien mit %s (%.0f Byte) ausgewählt ".
    std::string SourceText() const { return Text(sourceFiles_, sourceBytes_); }
    std::string TargetText() const { return Text(targetFiles_, targetBytes_); }
    static std::string Text(int32_t files, uint64_t bytes);

private:
    int32_t sourceFiles_ = 0;
    int32_t targetFiles_ = 0;
    uint64_t sourceBytes_ = 0;
    uint64_t targetBytes_ = 0;
};

}  // namespace kirvo
