// Fuzzes the building of the result list over arbitrary pair tables and
// display filters, then arbitrary mark clicks, against a simple model of the
// rules: shown pairs in table order, a folder row whenever a side's folder
// marker moves, marks on every unequal row, per-side totals, folder cells,
// and what a click on a file row or a folder row flips.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "engine/file_entry.h"
#include "engine/file_pair.h"
#include "view/display_filter.h"
#include "view/result_rows.h"

namespace {

using kirvo::DisplayFilter;
using kirvo::DisplayFilterValue;
using kirvo::FileEntry;
using kirvo::FilePair;
using kirvo::ResultRows;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "model mismatch: %s\n", what.c_str());
    std::abort();
}

bool Passes(DisplayFilterValue filter, int32_t verdict) {
    switch (filter) {
    case DisplayFilterValue::All: return true;
    case DisplayFilterValue::Unequal: return verdict != 0;
    case DisplayFilterValue::SourceToTarget: return verdict > 0;
    case DisplayFilterValue::TargetToSource: return verdict < 0;
    case DisplayFilterValue::Equal: return verdict == 0;
    }
    return false;
}

struct ModelRow {
    bool folder;
    int32_t pair;        // file row
    int state;           // 1 unmarked, 2 marked, 3 folder, 4 equal
    int32_t lastSource;  // folder row: the last pair whose source went below it
    int32_t lastTarget;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const DisplayFilterValue kFilters[] = {DisplayFilterValue::All, DisplayFilterValue::Unequal,
                                                  DisplayFilterValue::SourceToTarget,
                                                  DisplayFilterValue::TargetToSource, DisplayFilterValue::Equal};
    // The engine's verdicts are -1, 0 and +1 only.
    static const int32_t kVerdicts[] = {0, 1, -1, 0, 1, -1, 1, -1};
    const DisplayFilterValue filterValue = kFilters[data[0] % 5];
    const size_t pairCount = data[1] % 64;
    size_t pos = 2;

    std::deque<std::string> folders[2];
    for (int side = 0; side < 2; ++side)
        for (int i = 0; i < 8; ++i) folders[side].push_back(i == 0 ? "" : (side ? "Z" : "q") + std::to_string(i) + "/");
    std::deque<std::string> names;
    std::deque<FileEntry> entries;
    std::vector<FilePair> pairs;
    while (pairs.size() < pairCount && pos + 4 <= size) {
        const uint8_t kind = data[pos] % 3, verdictPick = (data[pos] >> 2) & 7;
        const int32_t sourceFolder = data[pos + 1] % 8, targetFolder = data[pos + 2] % 8;
        const uint64_t bytes = static_cast<uint64_t>(data[pos + 3]) << (data[pos + 1] >> 3);
        pos += 4;
        names.push_back("f" + std::to_string(pairs.size()));
        FilePair p;
        if (kind != 1)
            p.source = &entries.emplace_back(sourceFolder, kirvo::kSourceSide, &folders[0][sourceFolder], names.back(),
                                             bytes, 1'300'000'000, 0);
        if (kind != 0)
            p.target = &entries.emplace_back(targetFolder, kirvo::kTargetSide, &folders[1][targetFolder], names.back(),
                                             bytes + 1, 1'300'000'000, 0);
        p.verdict = kirvo::VerdictFromDirection(kind == 0 ? 1 : kind == 1 ? -1 : kVerdicts[verdictPick]);
        pairs.push_back(p);
    }

    const std::string sourceRoot = "/quelle/", targetRoot = "/ziel/";
    ResultRows rows;
    rows.Build(pairs, sourceRoot, targetRoot, DisplayFilter(filterValue));

    // The model of the filling.
    std::vector<ModelRow> model;
    int32_t sourceMarker = -1, targetMarker = -1;
    kirvo::SideTotals totals[2];
    size_t folderRow = 0;
    size_t counted[2] = {SIZE_MAX, SIZE_MAX};
    for (size_t i = 0; i < pairs.size(); ++i) {
        const FilePair& p = pairs[i];
        if (!Passes(filterValue, static_cast<int32_t>(p.verdict))) continue;
        bool due;
        if (p.source) {
            due = p.source->folderIndex() != sourceMarker;
            if (due) {
                sourceMarker = p.source->folderIndex();
                if (targetMarker == -1) targetMarker = sourceMarker;
            }
        } else {
            due = p.target->folderIndex() != targetMarker;
            if (due) {
                targetMarker = p.target->folderIndex();
                if (sourceMarker == -1) sourceMarker = targetMarker;
            }
        }
        if (due) {
            folderRow = model.size();
            model.push_back({true, -1, ResultRows::kFolder, -1, -1});
        }
        model.push_back({false, static_cast<int32_t>(i), p.verdict != kirvo::Verdict::Equal ? ResultRows::kMarked : ResultRows::kEqual,
                         -1, -1});
        const FileEntry* sides[2] = {p.source, p.target};
        for (int s = 0; s < 2; ++s) {
            if (!sides[s]) continue;
            (s == 0 ? model[folderRow].lastSource : model[folderRow].lastTarget) = static_cast<int32_t>(i);
            if (counted[s] != folderRow) {
                counted[s] = folderRow;
                ++totals[s].folders;
            }
            ++totals[s].files;
            totals[s].bytes += sides[s]->size();
        }
    }

    const auto check = [&](const char* when) {
        if (rows.size() != model.size()) Fail(std::string(when) + ": row count");
        for (size_t r = 0; r < model.size(); ++r) {
            const ModelRow& m = model[r];
            if (rows.StateImage(r) != m.state) Fail(std::string(when) + ": state of row " + std::to_string(r));
            if (rows.IsFolderRow(r) != m.folder) Fail("folder row flag");
            if (m.folder) {
                if (rows.Pair(r) != nullptr) Fail("folder row with a pair");
                const std::string c0 = m.lastSource < 0 ? "" : sourceRoot + std::string(pairs[m.lastSource].source->folder());
                const std::string c5 = m.lastTarget < 0 ? "" : targetRoot + std::string(pairs[m.lastTarget].target->folder());
                if (rows.CellText(r, 0) != c0 || rows.CellText(r, 5) != c5) Fail("folder row cells");
                if (r + 1 >= model.size() || model[r + 1].folder) Fail("folder row without files");
            } else {
                if (rows.PairIndex(r) != m.pair) Fail("file row's pair");
                const FilePair& p = pairs[m.pair];
                if (rows.CellText(r, 3) != (p.source ? p.source->relativePath() : "")) Fail("source path cell");
                if (rows.CellText(r, 8) != (p.target ? p.target->relativePath() : "")) Fail("target path cell");
                if (rows.CellText(r, 0) != (p.source ? std::string(p.source->name()) : "")) Fail("source name cell");
                const std::string arrow = rows.CellText(r, 4);
                const int32_t v = static_cast<int32_t>(p.verdict);
                if (arrow != (v > 0 ? "--->" : v < 0 ? "<---" : "="))
                    Fail("arrow cell " + arrow);
            }
        }
        if (rows.CellText(model.size(), 0) != "" || rows.StateImage(model.size()) != 0) Fail("past the last row");
    };
    check("after filling");
    const kirvo::SideTotals* got[2] = {&rows.sourceTotals(), &rows.targetTotals()};
    for (int s = 0; s < 2; ++s)
        if (got[s]->files != totals[s].files || got[s]->folders != totals[s].folders || got[s]->bytes != totals[s].bytes)
            Fail("totals of side " + std::to_string(s));

    // Mark clicks on arbitrary rows, as the list dispatches them: a folder row
    // flips the file rows below it, a file row flips itself, an equal row and
    // a row past the end stay as they are.
    const auto flip = [&](size_t k) {
        if (model[k].state == ResultRows::kMarked || model[k].state == ResultRows::kUnmarked)
            model[k].state = model[k].state == ResultRows::kMarked ? ResultRows::kUnmarked : ResultRows::kMarked;
    };
    for (; pos < size && !model.empty(); ++pos) {
        const size_t r = data[pos] % (model.size() + 1);
        if (r == model.size()) {
            rows.ToggleMark(r);
            rows.ToggleFolderMarks(r);
        } else if (rows.IsFolderRow(r)) {
            rows.ToggleFolderMarks(r);
            for (size_t k = r + 1; k < model.size() && !model[k].folder; ++k) flip(k);
        } else {
            rows.ToggleMark(r);
            flip(r);
        }
        check("after a click");
    }
    return 0;
}
