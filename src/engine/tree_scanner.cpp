#include "engine/tree_scanner.h"

#include <cerrno>
#include <optional>

#include "engine/in_flight_control.h"
#include "engine/scan_filter.h"
#include "engine/scan_progress.h"
#include "engine/tree_matcher.h"

namespace kirvo {

// One folder of the walk: what its listing found, until it is taken into the side.
struct TreeScanner::Folder final : ListingReceiver {
    struct File {
        uint32_t nameOffset;
        uint16_t nameLength;
        uint16_t milliseconds;
        bool link;
        uint64_t size;
        int64_t seconds;
        uint64_t inode;  // with identities only; 0 otherwise
        int64_t changedNs;
        uint32_t nanoseconds;
    };
    struct Sub {
        uint32_t nameOffset;
        uint16_t nameLength;
        bool included;
    };
    // A name that is there but could not be inspected.
    struct Uninspected {
        std::string name;
        int error;
        std::string reason;
    };

    TreeScanner* scanner = nullptr;
    Folder* parent = nullptr;
    std::string relative;  // "" for the root, else names each followed by the separator
    bool included = false; // the filter's bit
    // Filled by the listing (on the lister's threads, one call at a time).
    std::string names;
    std::vector<File> files;
    std::vector<Sub> subs;
    std::vector<Uninspected> uninspected;
    ListingStatus status;
    std::unique_ptr<OpenFolder> open;
    uint64_t device = 0;  // of its files, with identities: that of the first one
    // The scan's own (its thread only).
    bool done = false;
    std::vector<Folder*> children;
    size_t childrenRunning = 0;  // children not yet listed: they may still need `open`

    std::string_view Name(uint32_t offset, uint16_t length) const { return {names.data() + offset, length}; }
    void Record(const DirectoryRecord& record) override { scanner->Take(*this, record); }
    void Finished(ListingStatus ended, std::unique_ptr<OpenFolder> opened) override {
        status = std::move(ended);
        open = std::move(opened);
        scanner->Finished(*this);
    }
};

TreeScanner::TreeScanner(ScannedSide& into, int32_t side, const RunOptions& options, int64_t utcOffset,
                         RootNameCheck existsInTargetRoot)
    : into_(into), side_(side), options_(options), utcOffset_(utcOffset), existsInTargetRoot_(existsInTargetRoot) {}

TreeScanner::~TreeScanner() = default;

void TreeScanner::Scan(const std::string& root, DirectoryLister& lister) {
    into_.Clear();
    found_.clear();
    waiting_.clear();
    walk_.clear();
    committed_ = 0;
    running_ = 0;
    done_.clear();
    root_ = &root;
    lister_ = &lister;
    detail_ = options_.excludeSystemFolders ? DirectoryLister::Detail::FullWithSystemBit : DirectoryLister::Detail::Full;
    ScanProgress* progress = options_.progress;
    if (ListingStatus opened = lister.OpenRoot(root); !opened.complete()) {
        // A root that is not there is empty (the caller tells the user so);
        // one that is there but cannot be read is unknown as a whole.
        into_.folders.emplace_back();
        if (opened.error != ENOENT)
            into_.unknown.push_back({static_cast<Side>(side_), {}, opened.error, std::move(opened.reason)});
        return;
    }
    // The automatic number follows what the device shows; a number the user set stays.
    std::optional<InFlightControl> automatic;
    if (options_.parallel <= 0) automatic.emplace(lister.AutomaticInFlight(), lister.AutomaticLimit());
    int inFlight = automatic ? automatic->count() : options_.parallel;
    lister.SetInFlight(inFlight);

    Folder& top = found_.emplace_back();
    top.scanner = this;
    top.included = options_.filter != nullptr && options_.filter->RootIncluded();
    waiting_.push_back(&top);
    walk_.push_back(&top);

    std::vector<Folder*> finished;
    while (true) {
        // More listings than the lister serves at once keep it busy while
        // the scan takes in what came back.
        const int started = inFlight > 1 ? 2 * inFlight : 1;
        while (running_ < started && !waiting_.empty() && !(progress && progress->stopRequested())) {
            Folder* next = waiting_.front();
            waiting_.pop_front();
            ++running_;
            StartListing(*next);
        }
        if (running_ == 0) break;
        {
            std::unique_lock lock(mutex_);
            finished_.wait(lock, [this] { return !done_.empty(); });
            finished.swap(done_);
        }
        for (Folder* folder : finished) {
            --running_;
            Completed(*folder);
        }
        finished.clear();
        if (automatic) {
            const int wanted = automatic->Update(lister.waits());
            if (wanted != inFlight) lister.SetInFlight(inFlight = wanted);
        }
        CommitReady();
    }
    // Stopped: what was not taken in goes, with the folders held open.
    found_.clear();
    waiting_.clear();
    walk_.clear();
}

void TreeScanner::StartListing(Folder& folder) {
    if (options_.progress) options_.progress->Reading(*root_, folder.relative);
    DirectoryLister::Request request;
    request.relative = folder.relative;
    request.parent = folder.parent ? folder.parent->open.get() : nullptr;
    request.detail = detail_;
    request.links = options_.links;
    request.stop = options_.progress ? &options_.progress->stopFlag() : nullptr;
    lister_->Start(request, folder);
}

// On the lister's threads: files and sub-folders that the options and the
// filter keep.
void TreeScanner::Take(Folder& folder, const DirectoryRecord& record) {
    if (record.name == "." || record.name == "..") return;
    const ScanFilter* filter = options_.filter;
    if (record.kind == RecordKind::Unknown) {
        // Unknown whether file or folder: left out only where the filter leaves out both.
        if (filter != nullptr && !filter->File(folder.relative, record.name, folder.included)) {
            std::string sub;
            sub.append(folder.relative).append(record.name).push_back(TreeMatcher::kSeparator);
            if (!filter->Folder(sub, record.name, folder.included).enter) return;
        }
        folder.uninspected.push_back({std::string(record.name), record.error, std::string(record.reason)});
        return;
    }
    if (record.kind == RecordKind::File || record.kind == RecordKind::Link) {
        if (record.name.size() > FileEntry::kMaxNameLength ||
            (filter != nullptr && !filter->File(folder.relative, record.name, folder.included)))
            return;
        uint64_t inode = 0;
        if (options_.identities && record.inode != 0) {
            // A file on another device than the folder's (a link leading
            // elsewhere) keeps no identity: the side table holds one device per folder.
            if (folder.device == 0) folder.device = record.device;
            if (record.device == folder.device) inode = record.inode;
        }
        folder.files.push_back({static_cast<uint32_t>(folder.names.size()), static_cast<uint16_t>(record.name.size()),
                                static_cast<uint16_t>(record.modifiedNanoseconds / 1000000),
                                record.kind == RecordKind::Link, record.size, record.modifiedSeconds, inode,
                                record.changedNanoseconds, record.modifiedNanoseconds});
        folder.names.append(record.name);
        return;
    }
    if (record.kind != RecordKind::Directory) return;
    if (options_.excludeSystemFolders && record.isSystem) return;
    if (side_ == kSourceSide && options_.excludeSubFolders && folder.parent == nullptr &&
        !existsInTargetRoot_(record.name)) {
        return;
    }
    if (record.name.size() > FileEntry::kMaxNameLength) return;
    bool subIncluded = false;
    if (filter != nullptr) {
        std::string sub;
        sub.reserve(folder.relative.size() + record.name.size() + 1);
        sub.append(folder.relative).append(record.name).push_back(TreeMatcher::kSeparator);
        const ScanFilter::FolderDecision decision = filter->Folder(sub, record.name, folder.included);
        if (!decision.enter) return;
        subIncluded = decision.included;
    }
    folder.subs.push_back({static_cast<uint32_t>(folder.names.size()), static_cast<uint16_t>(record.name.size()),
                           subIncluded});
    folder.names.append(record.name);
}

// On the lister's threads: hands the folder over to the scan's thread.
void TreeScanner::Finished(Folder& folder) {
    const std::lock_guard lock(mutex_);
    done_.push_back(&folder);
    finished_.notify_one();
}

void TreeScanner::Completed(Folder& folder) {
    folder.done = true;
    if (Folder* parent = folder.parent; parent && --parent->childrenRunning == 0) parent->open.reset();
    if (options_.progress) options_.progress->AddFiles(static_cast<Side>(side_), static_cast<int64_t>(folder.files.size()));
    folder.children.reserve(folder.subs.size());
    for (const Folder::Sub& sub : folder.subs) {
        Folder& child = found_.emplace_back();
        child.scanner = this;
        child.parent = &folder;
        child.included = sub.included;
        const std::string_view name = folder.Name(sub.nameOffset, sub.nameLength);
        child.relative.reserve(folder.relative.size() + name.size() + 1);
        child.relative.append(folder.relative).append(name).push_back(TreeMatcher::kSeparator);
        folder.children.push_back(&child);
        waiting_.push_back(&child);
    }
    folder.childrenRunning = folder.children.size();
    std::vector<Folder::Sub>().swap(folder.subs);
    if (folder.children.empty()) folder.open.reset();
}

// Takes finished folders into the side in walk order, as far as the walk is finished.
void TreeScanner::CommitReady() {
    while (committed_ < walk_.size() && walk_[committed_]->done) {
        Folder& folder = *walk_[committed_];
        const auto folderIndex = static_cast<int32_t>(committed_);
        const std::string& text = into_.folders.emplace_back(std::move(folder.relative));
        // A folder gone since its parent was listed is absent, like a file that vanished.
        if (!folder.status.complete() && folder.status.error != ENOENT)
            into_.unknown.push_back({static_cast<Side>(side_), text, folder.status.error, std::move(folder.status.reason)});
        for (Folder::Uninspected& name : folder.uninspected)
            into_.unknown.push_back({static_cast<Side>(side_), text + name.name, name.error, std::move(name.reason)});
        std::vector<Folder::Uninspected>().swap(folder.uninspected);
        for (const Folder::File& file : folder.files) {
            into_.entries.emplace_back(folderIndex, side_, &text, into_.names.Add(folder.Name(file.nameOffset, file.nameLength)),
                                       file.size, file.seconds + utcOffset_, file.milliseconds, file.link);
            if (options_.identities) into_.identities.emplace_back(ScannedSide::Identity{file.inode, file.changedNs, file.nanoseconds});
        }
        if (options_.identities) into_.folderDevices.push_back(folder.device);
        for (Folder* child : folder.children) walk_.push_back(child);
        std::vector<Folder::File>().swap(folder.files);
        std::string().swap(folder.names);
        std::vector<Folder*>().swap(folder.children);
        ++committed_;
    }
}

}  // namespace kirvo
