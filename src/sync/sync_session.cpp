#include "sync/sync_session.h"

#include <cstdio>
#include <ctime>
#include <memory>

#include "engine/content_comparer.h"
#include "platform/content_hasher.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "sync/damage_guard.h"
#include "sync/reconciler.h"
#include "sync/state_update.h"
#include "platform/translation.h"

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

// Whether the filter leaves a path out, deciding folder by folder as the scan
// does; a folder's record (its name ending in '/') by the folders alone.
bool LeftOut(const ScanFilter* filter, std::string_view folder, std::string_view name) {
    if (filter == nullptr) return false;
    const std::string whole = name.ends_with('/') ? std::string(folder).append(name) : std::string();
    const std::string_view walked = name.ends_with('/') ? std::string_view(whole) : folder;
    bool included = filter->RootIncluded();
    for (size_t end = walked.find('/'); end != std::string_view::npos; end = walked.find('/', end + 1)) {
        const std::string_view path = walked.substr(0, end + 1);
        const size_t start = path.substr(0, end).rfind('/');
        const std::string_view own = path.substr(start == std::string_view::npos ? 0 : start + 1, end - (start + 1));
        const ScanFilter::FolderDecision decision = filter->Folder(path, own, included);
        if (!decision.enter) return true;
        included = decision.included;
    }
    return !name.ends_with('/') && !filter->File(folder, name, included);
}

bool SameRecords(const SyncState& a, const SyncState& b) {
    if (a.size() != b.size() || !(a.settings == b.settings)) return false;
    for (uint32_t i = 0; i < a.size(); ++i)
        if (a.folder(i) != b.folder(i) || a.name(i) != b.name(i) || !(a.record(i) == b.record(i)) ||
            a.targetPath(i) != b.targetPath(i))
            return false;
    return true;
}

const char* In(SyncSide side) { return side == SyncSide::Source ? Tr("in der Quelle") : Tr("im Ziel"); }
const char* Named(SyncSide side) { return side == SyncSide::Source ? Tr("Die Quelle") : Tr("Das Ziel"); }

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
    const auto n = static_cast<uint64_t>(count);
    return Printed(toTarget ? TrN("Es wird %lli Datei von Quelle nach Ziel kopiert !",
                                  "Es werden %lli Dateien von Quelle nach Ziel kopiert !", n)
                            : TrN("Es wird %lli Datei von Ziel nach Quelle kopiert !",
                                  "Es werden %lli Dateien von Ziel nach Quelle kopiert !", n),
                   count);
}

StoreError SyncSession::LoadState(SyncStateStore& store, const PairKey& pair, bool contentOnly) {
    state_.reset();
    content_ = {};
    if (settings_.mode != SyncMode::Update && store.loadContent(pair, content_)) content_ = {};
    if (!remembers() || contentOnly) return {};
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
    folderDecisions_.clear();
    paths_.clear();
    unknown_ = {};
}

void SyncSession::Decide(const TreeMatcher& matcher, SideIdentities identities) {
    Clear();
    evidence_.clear();
    matcher_ = &matcher;
    unknown_ = UnknownPlacesOf(matcher);
    const std::span<const FilePair> pairs = matcher.pairs();
    if (settings_.mode == SyncMode::Update) {
        decisions_.resize(pairs.size());
        for (size_t i = 0; i < pairs.size(); ++i) decisions_[i].planned = Updated(pairs[i]);
        return;
    }
    paths_ = ObservePairs(matcher, identities);
    ObserveFolders(matcher, paths_);
    ReconcileInput input;
    input.mode = settings_.mode;
    input.mirrorFrom = settings_.mirrorFrom;
    input.paths = paths_;
    input.state = state_ ? &*state_ : nullptr;
    input.filterHash = settings_.filterHash;
    input.unknown = &unknown_;
    // Where times cannot tell, the bytes of both files decide, each read once.
    std::unique_ptr<ContentReader> sourceReader, targetReader;
    std::unique_ptr<ContentComparer> comparer;
    const auto compare = [&](const FileEntry* a, const FileEntry* b) {
        if (a == nullptr || b == nullptr) return false;
        if (!comparer) {
            const auto reader = [&](const std::string& root) {
                return matcher.options().readers ? matcher.options().readers(root) : MakeContentReader(root);
            };
            sourceReader = reader(matcher.sourceRoot());
            targetReader = reader(matcher.targetRoot());
            comparer = std::make_unique<ContentComparer>(*sourceReader, *targetReader, matcher.utcOffset(), nullptr);
            comparer->setMemory(matcher.options().contentMemory);
        }
        std::string reason;
        const bool fromSource = a->side() == kSourceSide;
        return comparer->Compare(fromSource ? *a : *b, fromSource ? *b : *a, reason) ==
               ContentComparer::Outcome::Identical;
    };
    if (settings_.mode == SyncMode::Mirror) {
        // A rename is confirmed by the bytes of both files.
        input.sameContent = [&](uint32_t from, uint32_t to) {
            const bool fromSource = settings_.mirrorFrom == SyncSide::Source;
            return compare(fromSource ? pairs[from].source : pairs[from].target,
                           fromSource ? pairs[to].target : pairs[to].source);
        };
    } else {
        input.sameBytes = [&](uint32_t i) { return i < pairs.size() && compare(pairs[i].source, pairs[i].target); };
    }
    std::vector<PathDecision> all = Reconcile(input);
    ContentHasher hasher;
    const auto readNow = [&](SyncSide side, std::string_view path) -> std::optional<ContentHash> {
        if (!sourceReader) {
            const auto reader = [&](const std::string& root) {
                return matcher.options().readers ? matcher.options().readers(root) : MakeContentReader(root);
            };
            sourceReader = reader(matcher.sourceRoot());
            targetReader = reader(matcher.targetRoot());
        }
        ContentReader& reader = side == SyncSide::Source ? *sourceReader : *targetReader;
        std::unique_ptr<OpenedContent> file;
        ContentIdentity identity;
        ContentHash hash;
        bool stopped = false;
        if (reader.open(path, file, identity) != 0 ||
            hasher.HashFile(*file, identity.info.size, hash, [](size_t) { return true; }, stopped) != 0)
            return std::nullopt;
        return hash;
    };
    GuardDamage(std::span<const ObservedPath>(paths_).first(std::min(paths_.size(), pairs.size())),
                std::span<PathDecision>(all).first(std::min(all.size(), pairs.size())), content_, settings_.sides,
                readNow, static_cast<int64_t>(std::time(nullptr)));
    folderDecisions_.assign(all.begin() + static_cast<std::ptrdiff_t>(pairs.size()), all.end());
    all.resize(pairs.size());
    decisions_ = std::move(all);
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
        const FileEntry* named = d.side == SyncSide::Target && other.target ? other.target : other.source;
        partner = (named ? named : other.target)->relativePath();
    } else if (d.partner < paths_.size()) {
        partner = paths_[d.partner].pathOn(d.side);
    }
    std::string_view detail = matcher_->conflictReason(i);
    if (d.reason == SyncReason::Unreadable)
        if (const UnknownPlace* place = matcher_->unknownPlaceOf(i)) detail = place->reason;
    return ReasonText(d, partner, detail);
}

SyncWork SyncSession::Work() const {
    if (matcher_ == nullptr) return {};
    std::vector<PathDecision> all(decisions_);
    all.insert(all.end(), folderDecisions_.begin(), folderDecisions_.end());
    return PlanWork(*matcher_, paths_, all, settings_.sides);
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
    input.paths = std::span<const ObservedPath>(paths_).first(std::min(paths_.size(), acting.size()));
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
            text += g.recorded > 0
                        ? Format(Tr("%s ist leer oder fehlt, doch beim letzten Abgleich lagen dort %d Dateien: ist das "
                                    "Laufwerk eingehängt?\n"),
                                 Named(side), g.recorded)
                        : Format(Tr("%s ist leer oder fehlt, und deshalb würden %d Dateien %s gelöscht: ist das "
                                    "Laufwerk eingehängt?\n"),
                                 Named(side), other.deletes, In(Other(side)));
        }
        if (g.massDeletion) {
            text += Format(settings_.limit ? Tr("Es würden %d von %d Dateien %s gelöscht – mehr als die erlaubte Grenze.\n")
                                           : Tr("Es würden %d von %d Dateien %s gelöscht – mehr als die Hälfte.\n"),
                           g.deletes, g.files, In(side));
        }
    }
    if (!text.empty()) text.pop_back();
    return text;
}

void SyncSession::RecordContent(SyncStateStore& store, const PairKey& pair) const {
    if (copiedContent_.empty()) return;
    store.saveContent(pair, copiedContent_);  // a cache: what cannot be kept is read again next time
}

StoreError SyncSession::Record(const TreeMatcher& after, SideIdentities identities, SyncStateStore& store,
                               const PairKey& pair) const {
    RecordContent(store, pair);
    if (!remembers()) return {};
    std::vector<ObservedPath> paths = ObservePairs(after, identities);
    ObserveFolders(after, paths);
    const UnknownPlaces unknown = UnknownPlacesOf(after);
    const PairSettings recorded{SyncMode::TwoWay, settings_.compareSetting, settings_.filterHash};
    const ScanFilter* filter = settings_.filter;
    const StateUpdate update = ComputeStateUpdate(
        paths, state_ ? &*state_ : nullptr, recorded, &unknown,
        [filter](std::string_view folder, std::string_view name) { return LeftOut(filter, folder, name); },
        [this](const ObservedPath& now) { return evidence_.confirms(now); });
    return store.save(pair, update);
}

}  // namespace kirvo
