#include "platform/posix/posix_directory_lister.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/file_node.h"
#include "platform/posix/remote_file_systems.h"
#include "platform/posix/rotational_disk.h"
#include "platform/posix/system_attribute_reader.h"
#include "platform/root.h"
#include "platform/thread_sleeps.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
// Entries one worker describes at a time when a folder is shared out among
// workers: few where each waits for an answer, many where it is quick.
constexpr size_t kRemoteShareSize = 8;
constexpr size_t kLocalShareSize = 64;

struct PosixOpenFolder : OpenFolder {
    PosixOpenFolder(int f, std::atomic<int>& count) : fd(f), kept(count) { ++kept; }
    ~PosixOpenFolder() override {
        close(fd);
        --kept;
    }
    int fd;
    std::atomic<int>& kept;
};

// Folders kept open for their sub-folders, at most: a quarter of the
// descriptors the process may have (two sides, the listings under way and the
// rest of the program share them); beyond, sub-folders are reached from the root.
int KeepOpenBudget() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 256;
    return std::max<int>(4, static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 4096) / 4));
}

// Opens `relative` below `base` one name at a time, never following a link.
int OpenStepwise(int base, std::string_view relative) {
    int current = base;
    size_t pos = 0;
    while (pos < relative.size()) {
        size_t next = relative.find('/', pos);
        if (next == std::string_view::npos) next = relative.size();
        if (next > pos) {
            const std::string name(relative.substr(pos, next - pos));
            const int child = openat(current, name.c_str(), kFolderFlags | O_NOFOLLOW);
            if (current != base) close(current);
            if (child < 0) return -1;
            current = child;
        }
        pos = next + 1;
    }
    return current == base ? fcntl(base, F_DUPFD_CLOEXEC, 0) : current;
}

std::string_view LastName(std::string_view relative) {
    if (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    const size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? relative : relative.substr(slash + 1);
}

}  // namespace

PosixDirectoryLister::~PosixDirectoryLister() {
    pool_.reset();  // every worker is done before the root goes
    if (rootFd_ >= 0) close(rootFd_);
}

PosixDirectoryLister::PosixDirectoryLister() : keepOpenBudget_(KeepOpenBudget()) {}

ListingStatus PosixDirectoryLister::OpenRoot(const std::string& root) {
    int fd = open(root.c_str(), kFolderFlags);
    int error = fd < 0 ? errno : 0;
    if (fd < 0 && error == ENAMETOOLONG) {
        const bool absolute = !root.empty() && root[0] == '/';
        const int start = open(absolute ? "/" : ".", kFolderFlags);
        if (start >= 0) {
            fd = OpenStepwise(start, std::string_view(root).substr(absolute ? 1 : 0));
            error = fd < 0 ? errno : 0;
            close(start);
        }
    }
    rootFd_ = fd;
    struct statfs fs;
    if (fd >= 0 && fstatfs(fd, &fs) == 0) waitsPerRequest_ = WaitsPerRequest(static_cast<long>(fs.f_type));
    struct stat st;
    if (fd >= 0 && !waitsPerRequest_ && fstat(fd, &st) == 0) rotational_ = OnRotationalDisk(st.st_dev);
    if (fd >= 0) return {};
    return ListingStatus::Failed(error, SystemErrorText(error));
}

int PosixDirectoryLister::AutomaticInFlight() const { return waitsPerRequest_ ? kRemoteInFlight : kLocalInFlight; }

int PosixDirectoryLister::AutomaticLimit() const {
    if (waitsPerRequest_) return kRemoteInFlight;
    return rotational_ ? kRotationalLimit : kLocalLimit;
}

void PosixDirectoryLister::SetInFlight(int count) {
    const int inFlight = count < 1 ? 1 : count;
    inFlight_ = inFlight;
    if (inFlight > 1) pool_->Grow(inFlight);
}

void PosixDirectoryLister::Start(const Request& request, ListingReceiver& receiver) {
    if (inFlight_ <= 1) {
        List(request, receiver);
        return;
    }
    pool_->Post([this, request, &receiver] { List(request, receiver); });
}

void PosixDirectoryLister::List(const Request& request, ListingReceiver& receiver) {
    const long switchesBefore = ThreadSleepsSoFar();
    auto listing = std::make_shared<PosixListing>();
    listing->request = request;
    listing->receiver = &receiver;
    if (request.relative.empty()) {
        listing->fd = fcntl(rootFd_, F_DUPFD_CLOEXEC, 0);
    } else if (request.parent != nullptr) {
        const std::string name(LastName(request.relative));
        listing->fd = openat(static_cast<const PosixOpenFolder*>(request.parent)->fd, name.c_str(),
                             kFolderFlags | O_NOFOLLOW);
    } else {
        listing->fd = OpenStepwise(rootFd_, request.relative);
    }
    if (listing->fd < 0) {
        // A link put in the folder's place since is not entered: nothing is there.
        const int error = errno;
        ++listings_;
        if (ThreadSleepsSoFar() != switchesBefore) ++waited_;
        // Asked for names of a folder known to be one, a link there is news.
        receiver.Finished(error == ELOOP && request.names == nullptr ? ListingStatus() : ListingStatus::Failed(error, SystemErrorText(error)), nullptr);
        return;
    }

    if (request.names != nullptr) {
        listing->TakeNames(*request.names);
    } else if (!listing->ReadNames(foreign_) || request.detail == Detail::NamesOnly) {
        listing->KindsFromTypes();
        listing->waits += ThreadSleepsSoFar() - switchesBefore;
        Deliver(*listing);
        return;
    }
    const size_t count = listing->entries.size();
    const size_t shareSize = waitsPerRequest_ ? kRemoteShareSize : kLocalShareSize;
    if (inFlight_ <= 1 || count <= shareSize) {
        listing->sharesLeft = 1;
        Describe(listing, 0, count, switchesBefore);
        return;
    }
    // Shared out: the other workers take the later shares, this one the first.
    // Handing them over may wait for the pool's lock, which is no wait for the device.
    listing->waits += ThreadSleepsSoFar() - switchesBefore;
    const size_t shares = (count + shareSize - 1) / shareSize;
    listing->sharesLeft = shares;
    for (size_t share = 1; share < shares; ++share) {
        const size_t begin = share * shareSize;
        const size_t end = std::min(count, begin + shareSize);
        pool_->Post([this, listing, begin, end] { Describe(listing, begin, end, ThreadSleepsSoFar()); });
    }
    Describe(listing, 0, shareSize, ThreadSleepsSoFar());
}

// switchesBefore: ThreadSleepsSoFar() on this thread before its part of the listing began.
void PosixDirectoryLister::Describe(const std::shared_ptr<PosixListing>& listing, size_t begin, size_t end,
                                    long switchesBefore) {
    listing->Describe(begin, end);
    listing->waits += ThreadSleepsSoFar() - switchesBefore;
    if (listing->sharesLeft.fetch_sub(1) == 1) Deliver(*listing);
}

void PosixDirectoryLister::Deliver(PosixListing& listing) {
    // Counted before the scan hears of it, so that what it reads includes this listing.
    ++listings_;
    if (listing.waits > 0) ++waited_;
    std::optional<SystemAttributeReader> system;
    if (listing.request.detail == Detail::FullWithSystemBit) system.emplace(listing.fd);
    std::string reason;
    for (const PosixListing::Name& entry : listing.entries) {
        if (!entry.present) continue;
        const char* name = listing.nameOf(entry);
        DirectoryRecord record;
        record.name = std::string_view(name);
        record.kind = entry.kind;
        if (entry.kind == RecordKind::Unknown) {
            reason = SystemErrorText(entry.error);
            record.error = entry.error;
            record.reason = reason;
        }
        record.size = entry.size;
        record.modifiedSeconds = entry.seconds;
        record.modifiedNanoseconds = entry.nanoseconds;
        record.changedNanoseconds = entry.changed;
        record.changedNanoseconds = entry.changed;
        record.device = entry.device;
        record.inode = entry.inode;
        if (system && entry.kind == RecordKind::Directory && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            record.isSystem = system->IsSystem(name);
        listing.receiver->Record(record);
    }
    // The folder stays open for its sub-folders as long as the scan wants it.
    std::unique_ptr<OpenFolder> open;
    if (keptOpen_.load() < keepOpenBudget_) {
        open = std::make_unique<PosixOpenFolder>(listing.fd, keptOpen_);
        listing.fd = -1;
    }
    listing.receiver->Finished(std::move(listing.status), std::move(open));
}

namespace {

// A snapshot root reached where no snapshot backend was set up: unknown as a
// whole, never an empty folder.
class NoSnapshotLister final : public DirectoryLister {
public:
    ListingStatus OpenRoot(const std::string&) override { return Unreadable(); }
    int AutomaticInFlight() const override { return 1; }
    void SetInFlight(int) override {}
    void Start(const Request&, ListingReceiver& receiver) override { receiver.Finished(Unreadable(), nullptr); }

private:
    static ListingStatus Unreadable() { return ListingStatus::Failed(kContentNotKept, SystemErrorText(kContentNotKept)); }
};

}  // namespace

std::unique_ptr<DirectoryLister> MakeDirectoryLister(const std::string& root) {
    if (Root::NamesSnapshot(root)) return std::make_unique<NoSnapshotLister>();
    return std::make_unique<PosixDirectoryLister>();
}

}  // namespace kirvo
