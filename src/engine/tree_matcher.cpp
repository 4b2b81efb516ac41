#include "engine/tree_matcher.h"

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "engine/content_comparer.h"
#include "engine/content_memory.h"
#include "engine/content_progress.h"
#include "engine/entry_order.h"
#include "engine/entry_pairing.h"
#include "engine/scan_progress.h"
#include "engine/scan_filter.h"
#include "engine/text_compare.h"
#include "engine/pair_classifier.h"
#include "engine/time_verdict.h"
#include "engine/tree_scanner.h"
#include "engine/twin_names.h"
#include "platform/directory_lister.h"
#include "platform/file_node.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

int64_t FloorDiv(int64_t value, int64_t by) { return value / by - (value % by < 0 ? 1 : 0); }

}  // namespace

static_assert(TreeMatcher::kEarlierMonth == TimeVerdict::kEarlierMonth);
static_assert(TreeMatcher::kLaterMonth == TimeVerdict::kLaterMonth);

TreeMatcher::TreeMatcher() {
    entries_.push_back(nullptr);
}

TreeMatcher::~TreeMatcher() {
    Clear();
}

void TreeMatcher::Clear() {
    entries_.assign(1, nullptr);
    lastEntry_ = -1;
    pairs_.clear();
    pairCount_ = 0;
    conflictReasons_.clear();
    waitingForContents_.clear();
    unknown_.Clear();
    for (ScannedSide& side : sides_) side.Clear();
    targetRootNamesRead_ = false;
    targetRootNames_.clear();
}

void TreeMatcher::ReleaseEntryTable() {
    std::vector<const FileEntry*>(1, nullptr).swap(entries_);
    lastEntry_ = -1;
}

int32_t TreeMatcher::Run(std::string& sourcePath, std::string& targetPath, bool excludeSubFolders,
                         bool excludeSystemFolders, bool twoSecondTolerance) {
    RunOptions options;
    options.excludeSubFolders = excludeSubFolders;
    options.excludeSystemFolders = excludeSystemFolders;
    options.twoSecondTolerance = twoSecondTolerance;
    NormaliseRoot(sourceRoot_, sourcePath);
    NormaliseRoot(targetRoot_, targetPath);
    source_ = Root::Local(sourceRoot_);
    target_ = Root::Local(targetRoot_);
    return RunRoots(options);
}

int32_t TreeMatcher::Run(const Root& source, const Root& target, const RunOptions& options) {
    source_ = source;
    target_ = target;
    sourceRoot_ = source.location();
    targetRoot_ = target.location();
    return RunRoots(options);
}

int32_t TreeMatcher::RunRoots(const RunOptions& options) {
    options_ = options;
    // Remembered contents are asked with the listed identities, before a file is opened.
    if (options_.contentMemory != nullptr && options_.compareBy == CompareBy::Content) options_.identities = true;
    Clear();
    const int32_t last = ScanTrees(sourceRoot_, targetRoot_);
    if (options_.progress && options_.progress->stopRequested()) {
        Clear();  // a stopped scan leaves nothing half done behind
        return pairCount_;
    }
    OrderTable(last);
    pairCount_ = PairEntries(last);
    if (!options_.deferContents) CompareContents();
    return pairCount_;
}

bool TreeMatcher::CompareContents() {
    std::vector<size_t> waiting;
    waiting.swap(waitingForContents_);
    if (waiting.empty()) return true;
    ContentProgress* progress = options_.contentProgress;
    if (progress) {
        int64_t bytes = 0;
        for (size_t index : waiting) bytes += static_cast<int64_t>(2 * pairs_[index].source->size());
        progress->Start(static_cast<int64_t>(waiting.size()), bytes);
    }
    const auto makeReader = [this](const std::string& root) {
        return options_.readers ? options_.readers(root) : MakeContentReader(root);
    };
    const std::unique_ptr<ContentReader> sourceReader = makeReader(sourceRoot_);
    const std::unique_ptr<ContentReader> targetReader = makeReader(targetRoot_);
    sourceReader->setLinks(options_.links);
    targetReader->setLinks(options_.links);
    if (progress) {
        sourceReader->watchStop(&progress->stopFlag());
        targetReader->watchStop(&progress->stopFlag());
    }
    ContentComparer comparer(*sourceReader, *targetReader, utcOffset_, progress);
    comparer.setMemory(options_.contentMemory);
    std::string reason;
    for (size_t index : waiting) {
        FilePair& pair = pairs_[index];
        if (progress) progress->Reading(pair.source->relativePath());
        const std::optional<ContentComparer::Outcome> recalled = RecallContents(pair, progress);
        switch (recalled ? *recalled : comparer.Compare(*pair.source, *pair.target, reason)) {
            case ContentComparer::Outcome::Stopped:
                BackToTimeVerdicts();
                return false;
            case ContentComparer::Outcome::Identical:
                pair.verdict = Verdict::Equal;
                break;
            case ContentComparer::Outcome::Different:
                pair.verdict = PairClassifier::AfterContents(pair.verdict, false);
                if (IsConflict(pair.verdict)) conflictReasons_[index] = Tr(PairClassifier::kContentDiffers);
                break;
            case ContentComparer::Outcome::Failed:
                pair.verdict = Verdict::Conflict;
                conflictReasons_[index] = reason;
                break;
        }
        if (progress) progress->PairDone();
    }
    return true;
}

std::optional<ContentComparer::Outcome> TreeMatcher::RecallContents(const FilePair& pair, ContentProgress* progress) const {
    ContentMemory* memory = options_.contentMemory;
    if (memory == nullptr || pair.source->isLink() || pair.target->isLink()) return std::nullopt;
    std::optional<ContentHash> hashes[2];
    for (const FileEntry* entry : {pair.source, pair.target}) {
        NodeInfo listed;
        int64_t modifiedNs = 0, changedNs = 0;
        if (!exactTimesOf(*entry, modifiedNs, changedNs)) return std::nullopt;
        identityOf(*entry, listed.device, listed.inode);
        listed.kind = NodeKind::File;
        listed.size = entry->size();
        listed.modifiedSeconds = FloorDiv(modifiedNs, 1'000'000'000);
        listed.modifiedNanoseconds = static_cast<uint32_t>(modifiedNs - listed.modifiedSeconds * 1'000'000'000);
        listed.changedSeconds = FloorDiv(changedNs, 1'000'000'000);
        listed.changedNanoseconds = static_cast<uint32_t>(changedNs - listed.changedSeconds * 1'000'000'000);
        const Side side = entry == pair.source ? kSourceSide : kTargetSide;
        hashes[side == kSourceSide ? 0 : 1] = memory->Recall(side, entry->relativePath(), listed);
        if (!hashes[side == kSourceSide ? 0 : 1]) return std::nullopt;
    }
    if (progress) progress->AddBytes(static_cast<int64_t>(2 * pair.source->size()));
    return *hashes[0] == *hashes[1] ? ContentComparer::Outcome::Identical : ContentComparer::Outcome::Different;
}

void TreeMatcher::BackToTimeVerdicts() {
    const PairClassifier classifier(CompareBy::Time, options_.twoSecondTolerance, options_.ignoreHour);
    conflictReasons_.clear();
    waitingForContents_.clear();
    for (size_t i = 0; i < pairs_.size(); ++i) {
        FilePair& pair = pairs_[i];
        if (IsUnknown(pair.verdict)) continue;
        pair.verdict = classifier.TimeVerdictOf(pair);
        if (TimeNotStorable(pair)) {
            pair.verdict = Verdict::Conflict;
            conflictReasons_[i] = Tr(kTimeNotStorableText);
        }
    }
}

bool TreeMatcher::TimeNotStorable(const FilePair& pair) const {
    if (!pair.source || !pair.target) return false;
    return !storable_[1].contains(pair.source->modifiedSeconds() - utcOffset_) ||
           !storable_[0].contains(pair.target->modifiedSeconds() - utcOffset_);
}

bool TreeMatcher::identityOf(const FileEntry& entry, uint64_t& device, uint64_t& inode) const {
    device = inode = 0;
    const ScannedSide& side = sides_[entry.side() == kSourceSide ? 0 : 1];
    const size_t index = side.entries.indexOf(&entry);
    if (index >= side.identities.size()) return false;
    const auto folder = static_cast<size_t>(entry.folderIndex());
    if (folder >= side.folderDevices.size() || side.identities[index].inode == 0) return false;
    device = side.folderDevices[folder];
    inode = side.identities[index].inode;
    return true;
}

bool TreeMatcher::exactTimesOf(const FileEntry& entry, int64_t& modifiedNs, int64_t& changedNs) const {
    const ScannedSide& side = sides_[entry.side() == kSourceSide ? 0 : 1];
    const size_t index = side.entries.indexOf(&entry);
    const int64_t utc = entry.modifiedSeconds() - utcOffset_;
    modifiedNs = utc * 1'000'000'000 + int64_t{entry.modifiedMilliseconds()} * 1'000'000;
    changedNs = 0;
    if (index >= side.identities.size()) return false;
    modifiedNs = utc * 1'000'000'000 + side.identities[index].nanoseconds;
    changedNs = side.identities[index].changedNs;
    return true;
}

std::string_view TreeMatcher::conflictReason(size_t pairIndex) const {
    const auto found = conflictReasons_.find(pairIndex);
    return found == conflictReasons_.end() ? std::string_view() : std::string_view(found->second);
}

void TreeMatcher::ClassifyPairs() {
    conflictReasons_.clear();
    waitingForContents_.clear();
    const PairClassifier classifier(options_);
    for (size_t i = 0; i < pairs_.size(); ++i) {
        FilePair& pair = pairs_[i];
        if (!pair.source || !pair.target) continue;
        bool needsContents = false;
        std::string_view reason;
        pair.verdict = classifier.Classify(pair, needsContents, reason);
        if (TimeNotStorable(pair)) {
            pair.verdict = Verdict::Conflict;
            reason = Tr(kTimeNotStorableText);
            needsContents = false;
        }
        if (IsConflict(pair.verdict)) conflictReasons_[i] = std::string(reason);
        if (needsContents) waitingForContents_.push_back(i);
    }
}

void TreeMatcher::NormaliseRoot(std::string& destination, std::string& path) {
    if (path.empty() || path.back() != kSeparator) path.push_back(kSeparator);
    destination = path;
}

int32_t TreeMatcher::ScanTrees(const std::string& sourceRoot, const std::string& targetRoot) {
    utcOffset_ = CurrentUtcOffsetSeconds();
    const int64_t utcOffset = utcOffset_;
    auto inTargetRoot = [&](std::string_view name) { return ExistsInTargetRoot(name, targetRoot); };
    const std::unique_ptr<DirectoryLister> sourceLister = MakeLister(sourceRoot);
    const std::unique_ptr<DirectoryLister> targetLister = MakeLister(targetRoot);
    storable_[0] = sourceLister->StorableTimes();
    storable_[1] = targetLister->StorableTimes();
    // The two sides share nothing while they are scanned, so they are listed
    // at the same time; the table holds the source entries first either way.
    // Where no thread can be started, one side follows the other.
    const auto scanTarget = [&] {
        TreeScanner(sides_[1], kTargetSide, options_, utcOffset, inTargetRoot).Scan(targetRoot, *targetLister);
    };
    std::thread target;
    try {
        target = std::thread(scanTarget);
    } catch (const std::system_error&) {
    }
    TreeScanner(sides_[0], kSourceSide, options_, utcOffset, inTargetRoot).Scan(sourceRoot, *sourceLister);
    if (target.joinable())
        target.join();
    else
        scanTarget();
    entries_.clear();
    entries_.reserve(sides_[0].entries.size() + sides_[1].entries.size() + 1);
    for (const ScannedSide& side : sides_)
        side.entries.forEach([this](const FileEntry& entry) { entries_.push_back(&entry); });
    entries_.push_back(nullptr);
    lastEntry_ = static_cast<int32_t>(entries_.size()) - 2;
    unknown_.Clear();
    for (ScannedSide& side : sides_) unknown_.Add(std::move(side.unknown));
    unknown_.Sort();
    return lastEntry_;
}

std::unique_ptr<DirectoryLister> TreeMatcher::MakeLister(const std::string& root) const {
    return options_.listers ? options_.listers(root) : MakeDirectoryLister(root);
}

bool TreeMatcher::ExistsInTargetRoot(std::string_view name, const std::string& targetRoot) {
    // The target root is listed once per run; every kind of record counts,
    // but a file the filter leaves out is not part of the target compared.
    // A target root that cannot be read (or only in part) leaves every
    // source folder in: what it holds there is unknown, not missing.
    if (!targetRootNamesRead_ || targetRootNamesOf_ != targetRoot) {
        targetRootNames_.clear();
        const ScanFilter* filter = options_.filter;
        const std::unique_ptr<DirectoryLister> lister = MakeLister(targetRoot);
        ListingStatus status = lister->OpenRoot(targetRoot);
        if (status.complete()) {
            lister->SetInFlight(1);
            DirectoryLister::Request request;
            request.detail = filter ? DirectoryLister::Detail::Full : DirectoryLister::Detail::NamesOnly;
            request.links = options_.links;
            if (options_.progress) request.stop = &options_.progress->stopFlag();
            status = ListAndWait(*lister, request, [&](const DirectoryRecord& record) {
                if (filter && (record.kind == RecordKind::File || record.kind == RecordKind::Link) &&
                    !filter->File({}, record.name, filter->RootIncluded()))
                    return;
                targetRootNames_.push_back(Folded(record.name));
            });
        }
        targetRootUnread_ = !status.complete() && status.error != ENOENT;
        std::sort(targetRootNames_.begin(), targetRootNames_.end());
        targetRootNamesRead_ = true;
        targetRootNamesOf_ = targetRoot;
    }
    return targetRootUnread_ || std::binary_search(targetRootNames_.begin(), targetRootNames_.end(), Folded(name));
}

int TreeMatcher::OrderEntries(const FileEntry& a, const FileEntry& b) { return EntryOrder::Compare(a, b); }

void TreeMatcher::OrderTable(int32_t lastEntry) {
    EntryOrder::Sort(std::span<const FileEntry*>(entries_.data(), static_cast<size_t>(lastEntry + 1)), sides_);
}

int32_t TreeMatcher::TimeDifference(const SystemTime& s, const SystemTime& t) { return TimeVerdict::Difference(s, t); }

int32_t TreeMatcher::PairEntries(int32_t lastEntry) {
    const std::span<const FileEntry* const> sorted(entries_.data(), static_cast<size_t>(lastEntry + 1));
    // Only over the whole table: every target name must move to the new store.
    if (sorted.size() == sides_[0].entries.size() + sides_[1].entries.size()) TwinNames::Share(sorted, sides_[1].names);
    EntryPairing::Pair(sorted, pairs_);
    EntryPairing::KeepCaseVariantFoldersApart(pairs_);
    ClassifyPairs();
    unknown_.Apply(pairs_);
    pairCount_ = static_cast<int32_t>(pairs_.size());
    return pairCount_;
}

}  // namespace kirvo
