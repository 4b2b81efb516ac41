#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/file_pair.h"
#include "engine/tree_matcher.h"
#include "sync/content_verification.h"
#include "sync/sync_decision.h"
#include "view/display_filter.h"
#include "view/fill_progress.h"

namespace kirvo {

class SyncSession;

// Counts of one side over the rows on show.
struct SideTotals {
    int32_t files = 0;
    int32_t folders = 0;  // folder rows that received at least one file of this side
    uint64_t bytes = 0;   // exact sum of the sizes of those files
};

// The rows of the result list, built from the engine's pairs under a display
// filter: first a row per place a side could not read (where the filter shows
// unequal rows), then a folder row whenever the current folder of a side
// changes, and one file row per shown pair. A row holds only its state image and the
// index of its pair; cell texts are formatted on demand. The rows borrow the
// engine's pairs: Clear() them (or Build() again) before the engine is
// cleared or run again.
//
// Built with a sync session's decisions (mirror, two-way) the rows show the
// plan: each file row the action planned for its pair, with its own arrow
// (ActionArrow), a box for every copy, deletion and rename, and the display
// filter taking each action by the side it changes. A session in update mode
// decides by the arrows, and the rows are those without one.
class ResultRows {
public:
    // State image indexes, as the list counts them.
    static constexpr int kUnmarked = 1;
    static constexpr int kMarked = 2;
    static constexpr int kFolder = 3;
    static constexpr int kEqual = 4;
    // A conflict: unequal without a direction; no box, never marked, so
    // Synchronise never copies it.
    static constexpr int kConflict = 5;
    // Unknown: a place a side could not read, or a file found on one side
    // where the other could not read; no box, never marked, never copied.
    static constexpr int kUnknown = 6;
    // Damaged ("beschädigt?"): a side holds other bytes under the size and
    // time of its good ones, as "Inhalt prüfen" found or a plan keeps it;
    // no box, never marked, never copied. The number verify's TSV gives it.
    static constexpr int kDamaged = 10;
    static constexpr int kColumnCount = 9;

    ResultRows() = default;
    ResultRows(const TreeMatcher& matcher, const DisplayFilter& filter, FillProgress* progress = nullptr,
               const SyncSession* plan = nullptr, const VerifyResult* verified = nullptr) {
        Build(matcher, filter, progress, plan, verified);
    }

    // Rebuilds every row; all file rows with an arrow end up marked. plan:
    // decided over this matcher's pairs, or null; verified: what reading
    // them found ("Inhalt prüfen"), or null; both borrowed like the pairs.
    // A pair found damaged is a damaged row whatever its arrow, shown
    // wherever unequal rows are.
    void Build(const TreeMatcher& matcher, const DisplayFilter& filter, FillProgress* progress = nullptr,
               const SyncSession* plan = nullptr, const VerifyResult* verified = nullptr) {
        Build(matcher.pairs(), matcher.sourceRoot(), matcher.targetRoot(), filter, progress, matcher.unknownPlaces(),
              plan, verified);
        remote_[0] = matcher.source().remote();
        remote_[1] = matcher.target().remote();
    }
    // The same over pairs held elsewhere; the pairs, both roots and the
    // unknown places are borrowed until the next Build or Clear.
    void Build(std::span<const FilePair> pairs, const std::string& sourceRoot, const std::string& targetRoot,
               const DisplayFilter& filter, FillProgress* progress = nullptr,
               std::span<const UnknownPlace> places = {}, const SyncSession* plan = nullptr,
               const VerifyResult* verified = nullptr);
    // No rows, zero totals, no reference to an engine.
    void Clear();

    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }

    // 1 unmarked, 2 marked, 3 folder row, 4 equal row, 5 conflict, 6 unknown,
    // 10 damaged; 0 past the last row.
    int StateImage(size_t row) const { return row < rows_.size() ? rows_[row].state : 0; }
    bool IsFolderRow(size_t row) const { return StateImage(row) == kFolder; }
    bool IsMarked(size_t row) const { return StateImage(row) == kMarked; }
    // The row of a place a side could not read, or null.
    const UnknownPlace* Place(size_t row) const;
    // Index into the engine's pairs; -1 for folder rows, place rows and past the end.
    int32_t PairIndex(size_t row) const;
    // The row's pair; null for folder rows and past the end.
    const FilePair* Pair(size_t row) const;
    // The decision planned for the row's pair; null without a plan, for
    // folder and place rows and past the end.
    const PathDecision* Decision(size_t row) const;
    const SyncSession* plan() const { return plan_; }
    // What reading found at the row's pair where it found it damaged; null
    // elsewhere (a plan's damaged rows say so through their decision).
    const VerifiedPath* Damage(size_t row) const;
    // What a row stands for in kirvo-cli's TSV: its state image, except
    // that a marked deletion is 7, a marked rename 8 and the old name of a
    // file to be renamed 9.
    int ActionCode(size_t row) const;
    static constexpr int kDeleteCode = 7;
    static constexpr int kMoveCode = 8;
    static constexpr int kMovedAwayCode = 9;

    // Texts of columns 0..8: source name, size, date, relative path; arrow;
    // the same four for the target. A folder row shows root + folder of
    // each side in columns 0 and 5 (empty when no file of that side is
    // under it). A place row shows on its side "nicht lesbar: PLACE – REASON"
    // and the place, and "?" as its arrow. Empty for columns or rows out of range.
    std::string CellText(size_t row, int column) const;
    // The same text appended to `out`.
    void AppendCellText(std::string& out, size_t row, int column) const;

    // Flips a file row between unmarked and marked; any other row is left alone.
    void ToggleMark(size_t row);
    // Flips each file row below `folderRow` up to the next folder row; equal
    // rows and conflicts are passed over unchanged.
    void ToggleFolderMarks(size_t folderRow);

    const SideTotals& sourceTotals() const { return totals_[0]; }
    const SideTotals& targetTotals() const { return totals_[1]; }
    // Fields 1009 and 1010: "%i Dateien in %i Ordner mit %s (%.0f Byte) ".
    std::string SourceSummaryText() const { return SummaryText(totals_[0]); }
    std::string TargetSummaryText() const { return SummaryText(totals_[1]); }
    static std::string SummaryText(const SideTotals& totals);
    // "%i Dateien": the progress text of a side field.
    static std::string FileCountText(int32_t files);
    // pairCount / 100, at least 4.
    static int32_t RepaintInterval(int32_t pairCount);

    // The compact row records, for walks over all rows (the statistics).
    struct RowRecord {
        int32_t pair;        // file row: its pair; folder row: the pair whose source gives column 0, or -1;
                             // place row: the place
        int32_t targetPair;  // folder row: the pair whose target gives column 5, or -1; place row: kPlaceRow
        int32_t state;       // state image index
    };
    static constexpr int32_t kPlaceRow = -2;
    std::span<const RowRecord> records() const { return rows_; }
    // The pairs the rows refer to (empty after Clear).
    std::span<const FilePair> pairs() const { return pairs_; }
    // The roots the rows were built with ("" after Clear).
    std::string_view sourceRoot() const { return sourceRoot_ ? std::string_view(*sourceRoot_) : std::string_view(); }
    std::string_view targetRoot() const { return targetRoot_ ? std::string_view(*targetRoot_) : std::string_view(); }
    // Whether a side's root lies on another machine.
    bool remote(Side side) const { return remote_[side == kSourceSide ? 0 : 1]; }

private:
    using Row = RowRecord;

    void AppendSideCell(std::string& out, const FileEntry* entry, int column) const;
    void AppendPlaceCell(std::string& out, const UnknownPlace& place, int column) const;
    static size_t FolderRowsAtMost(std::span<const FilePair> pairs);
    static int StateOf(Verdict verdict);
    // Damaged at pair index `pair`: by what reading found, or by the plan.
    bool DamagedPair(size_t pair) const;
    const VerifiedPath* DamageOfPair(size_t pair) const;
    // The verdict a row is filed and marked under: the pair's own, or with a
    // plan the side its planned action changes.
    Verdict ShownVerdict(size_t pair) const;

    std::span<const FilePair> pairs_;
    std::span<const UnknownPlace> places_;
    const std::string* sourceRoot_ = nullptr;
    const std::string* targetRoot_ = nullptr;
    const SyncSession* plan_ = nullptr;
    const VerifyResult* verified_ = nullptr;
    std::vector<uint32_t> damaged_;  // indexes into verified_->paths of damaged paths, by pair
    bool remote_[2] = {false, false};
    std::vector<Row> rows_;
    SideTotals totals_[2];
};

}  // namespace kirvo
