#include "sync/sync_session.h"

#include <cstdio>
#include <memory>

#include "engine/content_comparer.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "sync/reconciler.h"
#include "sync/state_update.h"

namespace kirvo {
namespace {

std::string Printed(const char* format, long long value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The comparison's arrows, as "Dateien abgleichen" has always taken them (a
// copy into a place that could not be read is left out by the plan).
SyncDecision Updated(const FilePair& pair) {
    if (IsUnknown(pair.verdict)) {
        const bool source = (pair.unknownSides & FilePair::kSourceUnknown) != 0;
        return {SyncAction::Unknown, SyncReason::Unreadable, source ? SyncSide::Source : SyncSide::Target};
    }
    switch (pair.verdict) {
    case Verdict::SourceToTarget: return {SyncAction::CopyToTarget, SyncReason::Compared, SyncSide::Source};
    case Verdict::TargetToSource: return {SyncAction::CopyToSource, SyncReason::Compared, SyncSide::Target};
    case Verdict::Conflict: return {SyncAction::Conflict, SyncReason::Compared, SyncSide::Source};
    case Verdict::Equal:
    case Verdict::Unknown: break;
    }
    return {};
}

// Whether the filter leaves a path out, deciding folder by folder as the scan does.
bool LeftOut(const ScanFilter* filter, std::string_view folder, std::string_view name) {
    if (filter == nullptr) return false;
    bool included = filter->RootIncluded();
    for (size_t end = folder.find('/'); end != std::string_view::npos; end = folder.find('/', end + 1)) {
        const std::string_view path = folder.substr(0, end + 1);
        const size_t start = path.substr(0, end).rfind('/');
        const std::string_view own = path.substr(start == std::string_view::npos ? 0 : start + 1, end - (start + 1));
        const ScanFilter::FolderDecision decision = filter->Folder(path, own, included);
        if (!decision.enter) return true;
        included = decision.included;
    }
    return !filter->File(folder, name, included);
}

bool SameRecords(const SyncState& a, const SyncState& b) {
    if (a.size() != b.size() || !(a.settings == b.settings)) return false;
    for (uint32_t i = 0; i < a.size(); ++i)
        if (a.folder(i) != b.folder(i) || a.name(i) != b.name(i) || !(a.record(i) == b.record(i))) return false;
    return true;
}

const char* In(SyncSide side) { return side == SyncSide::Source ? "in der Quelle" : "im Ziel"; }
const char* Named(SyncSide side) { return side == SyncSide::Source ? "Die Quelle" : "Das Ziel"; }

}  // namespace

uint64_t FilterHashOf(const PathFilter& filter, bool excludeSubFolders, bool excludeSystemFolders) {
    // Length-prefixed, so that no two filters join to the same text.
    std::string text;
    const auto add = [&](char kind, const std::string& pattern) {
        text += kind + std::to_string(pattern.size()) + ":" + pattern;
    };
    for (const std::string& p : filter.includePatterns()) add('+', p);
    for (const std::string& p : filter.excludePatterns()) add('-', p);
    if (excludeSubFolders) text += "/sub";
    if (excludeSystemFolders) text += "/system";
    return FilterHash(text);
}

std::string SyncSession::CopyQuestion(bool toTarget, int32_t count) {
    return Printed(toTarget ? "Es werden %lli Dateien von Quelle nach Ziel kopiert !"
                            : "Es werden %lli Dateien von Ziel nach Quelle kopiert !",
                   count);
}

StoreError SyncSession::LoadState(SyncStateStore& store, const PairKey& pair) {
    state_.reset();
    if (!remembers()) return {};
    return store.load(pair, state_);
}

bool SyncSession::StateUnchanged(SyncStateStore& store, const PairKey& pair) const {
    if (!remembers()) return true;
    std::optional<SyncState> now;
    if (store.load(pair, now)) return false;
    if (!now || !state_) return now.has_value() == state_.has_value();
    return SameRecords(*now, *state_);
}

void SyncSession::Clear() {
    matcher_ = nullptr;
    decisions_.clear();
    paths_.clear();
    unknown_ = {};
}

void SyncSession::Decide(const TreeMatcher& matcher, SideIdentities identities) {
    Clear();
    matcher_ = &matcher;
    unknown_ = UnknownPlacesOf(matcher);
    const std::span<const FilePair> pairs = matcher.pairs();
    if (settings_.mode == SyncMode::Update) {
        decisions_.resize(pairs.size());
        for (size_t i = 0; i < pairs.size(); ++i) decisions_[i].planned = Updated(pairs[i]);
        return;
    }
    paths_ = ObservePairs(matcher, identities);
    ReconcileInput input;
    input.mode = settings_.mode;
    input.mirrorFrom = settings_.mirrorFrom;
    input.paths = paths_;
    input.state = state_ ? &*state_ : nullptr;
    input.filterHash = settings_.filterHash;
    input.unknown = &unknown_;
    // The mirror confirms a rename by the bytes of both files, read once each.
    std::unique_ptr<ContentReader> fromReader, toReader;
    std::unique_ptr<ContentComparer> comparer;
    if (settings_.mode == SyncMode::Mirror) {
        input.sameContent = [&](uint32_t from, uint32_t to) {
            const bool fromSource = settings_.mirrorFrom == SyncSide::Source;
            if (!comparer) {
                const auto reader = [&](const std::string& root) {
                    return matcher.options().readers ? matcher.options().readers(root) : MakeContentReader(root);
                };
                fromReader = reader(fromSource ? matcher.sourceRoot() : matcher.targetRoot());
                toReader = reader(fromSource ? matcher.targetRoot() : matcher.sourceRoot());
                comparer = std::make_unique<ContentComparer>(*fromReader, *toReader, matcher.utcOffset(), nullptr);
            }
            const FileEntry* a = fromSource ? pairs[from].source : pairs[from].target;
            const FileEntry* b = fromSource ? pairs[to].target : pairs[to].source;
            std::string reason;
            return a != nullptr && b != nullptr && comparer->Compare(*a, *b, reason) == ContentComparer::Outcome::Identical;
        };
    }
    decisions_ = Reconcile(input);
}

void SyncSession::Choose(size_t pair, std::optional<SyncAction> action) {
    if (pair < decisions_.size()) decisions_[pair].chosen = action;
}

void SyncSession::TakePart(std::span<const bool> takesPart) {
    for (size_t i = 0; i < decisions_.size(); ++i)
        decisions_[i].chosen = i < takesPart.size() && takesPart[i] ? std::nullopt : std::optional(SyncAction::Nothing);
}

std::string SyncSession::Explain(size_t i) const {
    if (matcher_ == nullptr || i >= decisions_.size()) return {};
    const SyncDecision& d = decisions_[i].planned;
    const std::span<const FilePair> pairs = matcher_->pairs();
    std::string partner;
    if (d.partner < pairs.size()) {
        const FilePair& other = pairs[d.partner];
        partner = (other.source ? other.source : other.target)->relativePath();
    }
    std::string_view detail = matcher_->conflictReason(i);
    if (d.reason == SyncReason::Unreadable)
        if (const UnknownPlace* place = matcher_->unknownPlaceOf(i)) detail = place->reason;
    return ReasonText(d, partner, detail);
}

SyncWork SyncSession::Work() const {
    if (matcher_ == nullptr) return {};
    const SyncSide* mirrorFrom = settings_.mode == SyncMode::Mirror ? &settings_.mirrorFrom : nullptr;
    return PlanWork(*matcher_, decisions_, settings_.sides, mirrorFrom);
}

GuardReport SyncSession::Guards() const {
    if (settings_.mode == SyncMode::Update || matcher_ == nullptr) return {};
    // What the run will really do: nothing on a side it may not change.
    std::vector<PathDecision> acting(decisions_);
    for (PathDecision& d : acting) {
        const SyncAction a = d.effective();
        const bool source = a == SyncAction::CopyToSource || a == SyncAction::DeleteInSource || a == SyncAction::MoveInSource;
        if (source ? !settings_.sides.source : !settings_.sides.target) d.chosen = SyncAction::Nothing;
    }
    GuardInput input;
    input.paths = paths_;
    input.decisions = acting;
    input.state = state_ ? &*state_ : nullptr;
    input.unknown = &unknown_;
    input.limit = settings_.limit;
    return CheckGuards(input);
}

std::string SyncSession::GuardText(const GuardReport& report) const {
    std::string text;
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
        const SideGuard& g = side == SyncSide::Source ? report.source : report.target;
        const SideGuard& other = side == SyncSide::Source ? report.target : report.source;
        if (g.emptyRoot) {
            text += std::string(Named(side)) + " ist leer oder fehlt, " +
                    (g.recorded > 0 ? Printed("doch beim letzten Abgleich lagen dort %lli Dateien",
                                              static_cast<long long>(g.recorded))
                                    : Printed("und deshalb würden %lli Dateien ", static_cast<long long>(other.deletes)) +
                                          In(Other(side)) + " gelöscht") +
                    ": ist das Laufwerk eingehängt?\n";
        }
        if (g.massDeletion) {
            text += Printed("Es würden %lli", static_cast<long long>(g.deletes)) +
                    Printed(" von %lli Dateien ", static_cast<long long>(g.files)) + In(side) + " gelöscht" +
                    (settings_.limit ? " – mehr als die erlaubte Grenze.\n" : " – mehr als die Hälfte.\n");
        }
    }
    if (!text.empty()) text.pop_back();
    return text;
}

SyncOutcome SyncSession::Run(const SyncWork& work, SyncQuestions& questions, FileOperationService& service,
                             const CopyFlags& copyFlags, const DeleteFlags& deleteFlags) const {
    SyncOutcome outcome;
    if (const GuardReport report = Guards(); report.needsConfirmation()) {
        outcome.refusal = GuardText(report);
        if (!questions.Confirm(SyncQuestions::Kind::Guard, outcome.refusal + "\n\nTrotzdem abgleichen?")) {
            outcome.refused = true;
            return outcome;
        }
        outcome.refusal.clear();
    }
    // Every question comes before anything is done; each answer stands on its own.
    const auto ask = [&](SyncQuestions::Kind kind, bool any, const std::string& text) {
        return any && questions.Confirm(kind, text);
    };
    const bool toTarget = ask(SyncQuestions::Kind::Copies, !work.toTarget.empty(), CopyQuestion(true, work.toTarget.count()));
    const bool toSource = ask(SyncQuestions::Kind::Copies, !work.toSource.empty(), CopyQuestion(false, work.toSource.count()));
    const auto moveQuestion = [](SyncSide side, size_t n) {
        return Printed("Es werden %lli Dateien ", static_cast<long long>(n)) + In(side) + " umbenannt !";
    };
    const bool moveSource = ask(SyncQuestions::Kind::Moves, !work.moveInSource.empty(),
                                moveQuestion(SyncSide::Source, work.moveInSource.size()));
    const bool moveTarget = ask(SyncQuestions::Kind::Moves, !work.moveInTarget.empty(),
                                moveQuestion(SyncSide::Target, work.moveInTarget.size()));

    // Renames first: a copy or a deletion never meets a file still on its way.
    if (moveSource) outcome.movedInSource = service.move(work.moveInSource);
    if (moveTarget) outcome.movedInTarget = service.move(work.moveInTarget);
    if (!work.deleteInSource.empty()) outcome.deletedInSource = service.remove(work.deleteInSource, deleteFlags);
    if (!work.deleteInTarget.empty()) outcome.deletedInTarget = service.remove(work.deleteInTarget, deleteFlags);
    CopyFlags flags = copyFlags;
    flags.newerExpected = settings_.mode != SyncMode::Update;
    if (toTarget) outcome.copiedToTarget = service.copy(work.toTarget.pairs, flags);
    if (toSource) outcome.copiedToSource = service.copy(work.toSource.pairs, flags);
    if (!work.foldersInSource.empty()) outcome.foldersInSource = service.removeEmptyFolders(work.foldersInSource);
    if (!work.foldersInTarget.empty()) outcome.foldersInTarget = service.removeEmptyFolders(work.foldersInTarget);
    return outcome;
}

StoreError SyncSession::Record(const TreeMatcher& after, SideIdentities identities, SyncStateStore& store,
                               const PairKey& pair) const {
    if (!remembers()) return {};
    const std::vector<ObservedPath> paths = ObservePairs(after, identities);
    const UnknownPlaces unknown = UnknownPlacesOf(after);
    const PairSettings recorded{SyncMode::TwoWay, settings_.compareSetting, settings_.filterHash};
    const ScanFilter* filter = settings_.filter;
    const StateUpdate update =
        ComputeStateUpdate(paths, state_ ? &*state_ : nullptr, recorded, &unknown,
                           [filter](std::string_view folder, std::string_view name) { return LeftOut(filter, folder, name); });
    return store.save(pair, update);
}

}  // namespace kirvo
