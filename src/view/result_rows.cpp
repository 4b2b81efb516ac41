#include "view/result_rows.h"

#include "platform/translation.h"
#include "platform/value_text.h"

#include <algorithm>
#include <cstdio>

#include "sync/sync_session.h"
#include "view/value_format.h"

namespace kirvo {

int32_t ResultRows::RepaintInterval(int32_t pairCount) {
    const int32_t interval = pairCount / 100;
    return interval > 4 ? interval : 4;
}

std::string ResultRows::FileCountText(int32_t files) {
    const auto count = static_cast<uint64_t>(files);
    return Format(TrN("%s Datei", "%s Dateien", count), CountText(count));
}

std::string ResultRows::SummaryText(const SideTotals& totals) {
    const auto files = static_cast<uint64_t>(totals.files);
    const auto folders = static_cast<uint64_t>(totals.folders);
    // TRANSLATORS: "%s Dateien in %s Ordnern mit %s (%s Bytes) ": files, folders, the size, the exact bytes.
    return Format(Tr("%s in %s mit %s (%s) "), FileCountText(totals.files),
                  Format(TrN("%s Ordner", "%s Ordnern", folders), CountText(folders)),
                  FormatTotalSize(static_cast<double>(totals.bytes)), ByteCountText(totals.bytes));
}

// The folder rows of all pairs shown, at most: one per change of folder among
// the pairs with a source entry, and among the target-only ones. A filter
// only leaves out pairs, which never adds a change.
size_t ResultRows::FolderRowsAtMost(std::span<const FilePair> pairs) {
    size_t rows = 0;
    int32_t source = -1, target = -1;
    for (const FilePair& pair : pairs) {
        int32_t& last = pair.source ? source : target;
        const FileEntry* entry = pair.source ? pair.source : pair.target;
        if (entry != nullptr && entry->folderIndex() != last) {
            last = entry->folderIndex();
            ++rows;
        }
    }
    return rows;
}

void ResultRows::Clear() {
    plan_ = nullptr;
    verified_ = nullptr;
    damaged_.clear();
    pairs_ = {};
    places_ = {};
    sourceRoot_ = targetRoot_ = nullptr;
    remote_[0] = remote_[1] = false;
    rows_.clear();
    totals_[0] = {};
    totals_[1] = {};
}

void ResultRows::Build(std::span<const FilePair> pairs, const std::string& sourceRoot,
                       const std::string& targetRoot, const DisplayFilter& filter, FillProgress* progress,
                       std::span<const UnknownPlace> places, const SyncSession* plan,
                       const VerifyResult* verified) {
    Clear();
    if (plan != nullptr && plan->decisions().size() == pairs.size()) plan_ = plan;
    if (verified != nullptr) {
        verified_ = verified;
        for (size_t i = 0; i < verified->paths.size(); ++i)
            if (verified->paths[i].state == VerifyState::Damaged && verified->paths[i].pair < pairs.size())
                damaged_.push_back(static_cast<uint32_t>(i));
    }
    pairs_ = pairs;
    places_ = places;
    sourceRoot_ = &sourceRoot;
    targetRoot_ = &targetRoot;
    if (progress) progress->FillStarted();

    const int32_t pairCount = static_cast<int32_t>(pairs.size());
    const int32_t interval = RepaintInterval(pairCount);
    rows_.reserve(places.size() + pairs.size() + FolderRowsAtMost(pairs));

    // What could not be read comes first, where nobody can overlook it.
    if (filter.PassesDisplayFilter(Verdict::Unknown)) {
        for (size_t i = 0; i < places.size(); ++i) rows_.push_back({static_cast<int32_t>(i), kPlaceRow, kUnknown});
    }

    // Only these two markers decide about folder rows: a pair with a source
    // entry moves the source marker, a target-only pair the target marker.
    int32_t sourceFolder = -1;
    int32_t targetFolder = -1;
    size_t folderRow = 0;
    size_t lastCounted[2] = {SIZE_MAX, SIZE_MAX};

    auto addFile = [&](int sideIndex, const FileEntry& entry, int32_t p) {
        SideTotals& totals = totals_[sideIndex];
        if (progress && (totals.files % interval == 0 || totals.files < 11))
            progress->ShowFileCount(sideIndex == 0 ? kSourceSide : kTargetSide, FileCountText(totals.files));
        Row& folder = rows_[folderRow];
        (sideIndex == 0 ? folder.pair : folder.targetPair) = p;
        if (lastCounted[sideIndex] != folderRow) {
            lastCounted[sideIndex] = folderRow;
            ++totals.folders;
        }
        ++totals.files;
        totals.bytes += entry.size();
    };

    for (int32_t p = 0; p < pairCount; ++p) {
        const FilePair& pair = pairs[static_cast<size_t>(p)];
        const bool tick = progress && p % interval == 0;
        const Verdict shown = ShownVerdict(static_cast<size_t>(p));
        if (filter.PassesDisplayFilter(shown) && (pair.source || pair.target)) {
            bool folderDue;
            if (pair.source) {
                const int32_t index = pair.source->folderIndex();
                folderDue = index != sourceFolder;
                if (folderDue) {
                    sourceFolder = index;
                    if (targetFolder == -1) targetFolder = index;
                }
            } else {
                const int32_t index = pair.target->folderIndex();
                folderDue = index != targetFolder;
                if (folderDue) {
                    targetFolder = index;
                    if (sourceFolder == -1) sourceFolder = index;
                }
            }
            if (folderDue) {
                folderRow = rows_.size();
                rows_.push_back({-1, -1, kFolder});
                if (tick) progress->PairTick(p);
            }
            // A file whose old name a rename takes away is done with the rename: no box of its own.
            const bool movedAway = plan_ && plan_->decisions()[static_cast<size_t>(p)].planned.action ==
                                                SyncAction::Nothing && HasDirection(shown);
            const bool damaged = DamagedPair(static_cast<size_t>(p));
            rows_.push_back({p, -1, damaged ? kDamaged : movedAway ? kEqual : StateOf(shown)});
            const size_t fileRow = rows_.size() - 1;
            if (pair.source) addFile(0, *pair.source, p);
            if (HasDirection(shown) && !movedAway && !damaged) ToggleMark(fileRow);
            if (pair.target) addFile(1, *pair.target, p);
        }
        if (tick) progress->PairTick(p);
    }
}

const VerifiedPath* ResultRows::DamageOfPair(size_t pair) const {
    if (verified_ == nullptr) return nullptr;
    const auto found = std::lower_bound(damaged_.begin(), damaged_.end(), pair, [&](uint32_t path, size_t p) {
        return verified_->paths[path].pair < p;
    });
    if (found == damaged_.end() || verified_->paths[*found].pair != pair) return nullptr;
    // Where the plan brings the good bytes back, the row is that repair.
    if (plan_ != nullptr && plan_->decisions()[pair].planned.reason == SyncReason::Repair) return nullptr;
    return &verified_->paths[*found];
}

bool ResultRows::DamagedPair(size_t pair) const {
    if (DamageOfPair(pair) != nullptr) return true;
    if (plan_ == nullptr) return false;
    const SyncDecision& d = plan_->decisions()[pair].planned;
    return d.action == SyncAction::Conflict && d.reason == SyncReason::Damaged;
}

const VerifiedPath* ResultRows::Damage(size_t row) const {
    const int32_t index = PairIndex(row);
    return index < 0 ? nullptr : DamageOfPair(static_cast<size_t>(index));
}

Verdict ResultRows::ShownVerdict(size_t pair) const {
    // Damage is shown wherever unequal rows are, though its times agree.
    if (DamageOfPair(pair) != nullptr) return Verdict::Conflict;
    if (plan_ == nullptr) return pairs_[pair].verdict;
    const std::span<const PathDecision> decisions = plan_->decisions();
    const SyncDecision& d = decisions[pair].planned;
    SyncAction action = d.action;
    // The old name of a rename goes with the rename.
    if (action == SyncAction::Nothing && d.partner < decisions.size()) action = decisions[d.partner].planned.action;
    switch (action) {
    case SyncAction::CopyToTarget:
    case SyncAction::DeleteInTarget:
    case SyncAction::MoveInTarget: return Verdict::SourceToTarget;
    case SyncAction::CopyToSource:
    case SyncAction::DeleteInSource:
    case SyncAction::MoveInSource: return Verdict::TargetToSource;
    case SyncAction::Conflict: return Verdict::Conflict;
    case SyncAction::Unknown: return Verdict::Unknown;
    case SyncAction::Nothing: break;
    }
    return Verdict::Equal;
}

const PathDecision* ResultRows::Decision(size_t row) const {
    const int32_t index = PairIndex(row);
    return plan_ == nullptr || index < 0 ? nullptr : &plan_->decisions()[static_cast<size_t>(index)];
}

int ResultRows::ActionCode(size_t row) const {
    const int state = StateImage(row);
    const PathDecision* decision = Decision(row);
    if (decision == nullptr) return state;
    switch (decision->planned.action) {
    case SyncAction::DeleteInSource:
    case SyncAction::DeleteInTarget: return state == kMarked ? kDeleteCode : state;
    case SyncAction::MoveInSource:
    case SyncAction::MoveInTarget: return state == kMarked ? kMoveCode : state;
    case SyncAction::Nothing: return decision->planned.partner != SyncDecision::kNoPartner ? kMovedAwayCode : state;
    default: return state;
    }
}

int ResultRows::StateOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Equal: return kEqual;
    case Verdict::Conflict: return kConflict;
    case Verdict::Unknown: return kUnknown;
    case Verdict::SourceToTarget:
    case Verdict::TargetToSource: break;
    }
    return kUnmarked;
}

const UnknownPlace* ResultRows::Place(size_t row) const {
    if (row >= rows_.size() || rows_[row].targetPair != kPlaceRow) return nullptr;
    return &places_[static_cast<size_t>(rows_[row].pair)];
}

int32_t ResultRows::PairIndex(size_t row) const {
    if (row >= rows_.size() || rows_[row].state == kFolder || rows_[row].targetPair == kPlaceRow) return -1;
    return rows_[row].pair;
}

const FilePair* ResultRows::Pair(size_t row) const {
    const int32_t index = PairIndex(row);
    return index < 0 ? nullptr : &pairs_[static_cast<size_t>(index)];
}

void ResultRows::AppendSideCell(std::string& out, const FileEntry* entry, int column) const {
    if (!entry) return;
    switch (column) {
        case 0: out.append(entry->name()); break;
        case 1: AppendCellSize(out, static_cast<double>(entry->size())); break;
        case 2: AppendDate(out, entry->modified()); break;
        case 3: out.append(entry->folder()).append(entry->name()); break;
    }
}

void ResultRows::AppendPlaceCell(std::string& out, const UnknownPlace& place, int column) const {
    if (column == 4) {
        out.append(kUnknownArrow);
        return;
    }
    const int first = place.side == kSourceSide ? 0 : 5;
    if (column == first) {
        AppendUnknownPlace(out, place, place.side == kSourceSide ? *sourceRoot_ : *targetRoot_);
    } else if (column == first + 3) {
        out.append(place.path);
    }
}

std::string ResultRows::CellText(size_t row, int column) const {
    std::string text;
    AppendCellText(text, row, column);
    return text;
}

void ResultRows::AppendCellText(std::string& out, size_t row, int column) const {
    if (row >= rows_.size() || column < 0 || column >= kColumnCount) return;
    const Row& r = rows_[row];
    const std::span<const FilePair> pairs = pairs_;
    if (r.targetPair == kPlaceRow) {
        AppendPlaceCell(out, places_[static_cast<size_t>(r.pair)], column);
        return;
    }
    if (r.state == kFolder) {
        if (column == 0 && r.pair >= 0)
            out.append(*sourceRoot_).append(pairs[static_cast<size_t>(r.pair)].source->folder());
        if (column == 5 && r.targetPair >= 0)
            out.append(*targetRoot_).append(pairs[static_cast<size_t>(r.targetPair)].target->folder());
        return;
    }
    const FilePair& pair = pairs[static_cast<size_t>(r.pair)];
    if (column == 4 && r.state == kDamaged) {
        out.append(kDamagedArrow);
    } else if (column == 4) {
        if (plan_ != nullptr && plan_->mode() != SyncMode::Update) {
            const std::span<const PathDecision> decisions = plan_->decisions();
            const PathDecision& d = decisions[static_cast<size_t>(r.pair)];
            AppendActionArrow(out, d, d.planned.partner < decisions.size() ? &decisions[d.planned.partner] : nullptr);
        } else {
            AppendArrow(out, pair.verdict);
        }
    } else if (column < 4) {
        AppendSideCell(out, pair.source, column);
    } else {
        AppendSideCell(out, pair.target, column - 5);
    }
}

void ResultRows::ToggleMark(size_t row) {
    if (row >= rows_.size()) return;
    int32_t& state = rows_[row].state;
    if (state == kUnmarked)
        state = kMarked;
    else if (state == kMarked)
        state = kUnmarked;
}

void ResultRows::ToggleFolderMarks(size_t folderRow) {
    if (folderRow >= rows_.size()) return;
    for (size_t i = folderRow + 1; i < rows_.size() && rows_[i].state != kFolder; ++i) ToggleMark(i);
}

}  // namespace kirvo
