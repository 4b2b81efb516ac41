#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/link_mode.h"

namespace kirvo {

enum class RecordKind : uint8_t {
    File,       // a regular file, or with LinkMode::Follow a link to one (described as that file)
    Directory,  // a real folder; links to folders are never reported as folders
    Other,      // link to a folder, dangling link, fifo, socket, device: never listed as a file
    Unknown,    // the name is there, but what it is could not be found out (error, reason)
    Link,       // LinkMode::Copy: any link, described as itself (size: the length of its text)
};

// One record of a folder listing. The name view is valid during the visit only.
struct DirectoryRecord {
    std::string_view name;
    RecordKind kind = RecordKind::Other;
    // The system attribute, read for folders only with Detail::FullWithSystemBit,
    // where the file system keeps one (FAT, NTFS); clear everywhere else.
    bool isSystem = false;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint32_t modifiedNanoseconds = 0;
    // When the file's inode last changed (content, times, rename, rights),
    // UTC nanoseconds; 0 where the lister cannot tell (another machine).
    int64_t changedNanoseconds = 0;
    // A file's identity on its file system where the lister knows it (local
    // files: st_dev and st_ino of the file, or of what a link points to); 0
    // where it does not (another machine).
    uint64_t device = 0;
    uint64_t inode = 0;
    // Unknown: the system's error number and a short German reason; the
    // reason's view is valid during the visit only.
    int error = 0;
    std::string_view reason;
};

// How a listing ended: complete, or not (the folder could not be opened, or
// its listing broke off), with the system's error number and a short German
// reason. What a listing could not read is unknown, never empty.
struct ListingStatus {
    int error = 0;       // 0: every name of the folder was delivered
    std::string reason;  // "" when complete

    bool complete() const { return error == 0; }
    static ListingStatus Failed(int error, std::string reason) { return {error, std::move(reason)}; }
};

// A folder a lister keeps open so that the folders below it are reached
// through it; what it holds is the lister's business.
class OpenFolder {
public:
    virtual ~OpenFolder() = default;
};

// Takes the records of one listing.
class ListingReceiver {
public:
    // One record per name, in the order the file system yields them ("." and
    // ".." may come too). A name that vanishes between listing and
    // inspection is left out; one that is there but cannot be inspected
    // comes as RecordKind::Unknown.
    virtual void Record(const DirectoryRecord& record) = 0;
    // The end of the listing, always called, last. status: complete, or why
    // not (the records delivered before are what could be read; ENOENT: the
    // folder is gone since its parent was listed, so nothing is there). opened: the
    // folder kept open for listing its sub-folders; may be null.
    virtual void Finished(ListingStatus status, std::unique_ptr<OpenFolder> opened) = 0;

protected:
    ~ListingReceiver() = default;
};

// The records of one tree of one file system, for the scan: the local one
// (POSIX), and others that plug in behind the same interface (a remote one).
// Several listings may be under way at once: the scan keeps up to
// SetInFlight's number of them started, and a lister either serves them from
// worker threads or sends them out together (pipelining) on its own.
class DirectoryLister {
public:
    // NamesOnly: the kind is only told apart for folders; Full: kind, size and
    // time; FullWithSystemBit: also the folders' system attribute.
    enum class Detail { NamesOnly, Full, FullWithSystemBit };

    struct Request {
        // The folder below the root: its names each followed by the
        // separator ("a/b/"); "" for the root itself.
        std::string_view relative;
        // The parent's open folder, when the scan still holds it: the folder
        // is then reached as its child (the last name of relative). Null: it
        // is reached from the root.
        const OpenFolder* parent = nullptr;
        Detail detail = Detail::Full;
        // What links are: the files they lead to, themselves, or left out
        // (with NamesOnly too, where the file system tells a link's kind).
        LinkMode links = LinkMode::Follow;
        // Set when the scan is to stop: the listing may end early (Finished still comes).
        const std::atomic<bool>* stop = nullptr;
        // Only these names of the folder, each looked at on its own instead
        // of reading the whole folder (where LooksAtNamesAlone()): those that
        // are there come as the full listing would describe them, the others
        // not at all. Null: every name.
        const std::vector<std::string>* names = nullptr;
    };

    virtual ~DirectoryLister() = default;

    // Opens the root (a path ending in the separator): 0, ENOENT when it does
    // not exist, or why it cannot be listed. Called once, before anything else.
    virtual ListingStatus OpenRoot(const std::string& root) = 0;
    // How many listings at once suit this root when the user sets no number,
    // to start with: many on network and user-space file systems, where each
    // request waits for an answer, what measures best on local disks.
    virtual int AutomaticInFlight() const = 0;
    // The most listings at once the automatic setting raises this root to
    // while its listings wait for the device; AutomaticInFlight() when the
    // number is not to move.
    virtual int AutomaticLimit() const { return AutomaticInFlight(); }
    // Listings finished so far, and how many of them had to wait for the
    // device at least once (a read from the disk, an answer from elsewhere):
    // what tells the automatic setting to raise or lower the number.
    // Listers that cannot tell report nothing.
    struct Waits {
        int64_t listings = 0;
        int64_t waited = 0;
    };
    virtual Waits waits() const { return {}; }
    // From now on up to `count` listings are under way at once (at least 1).
    // With 1 a lister may list inside Start, on the caller's thread.
    virtual void SetInFlight(int count) = 0;
    // Starts listing one folder. The receiver's calls come from any thread,
    // possibly before Start returns; those of one listing never overlap, and
    // none comes after Finished. The request's texts and parent stay valid
    // until Finished.
    virtual void Start(const Request& request, ListingReceiver& receiver) = 0;

    // The modification times (UTC seconds) the file system of this root can
    // keep: a file whose time lies outside cannot be copied there unchanged.
    struct TimeRange {
        int64_t earliest = std::numeric_limits<int64_t>::min();
        int64_t latest = std::numeric_limits<int64_t>::max();
        bool contains(int64_t seconds) const { return seconds >= earliest && seconds <= latest; }
    };
    virtual TimeRange StorableTimes() const { return {}; }
    // Whether Request::names is honoured, and a name costs one look at the
    // file system (no round trip to another machine).
    virtual bool LooksAtNamesAlone() const { return false; }
};

// The lister for a root. Every root is local for now; other backends are
// chosen here by the form of the root.
std::unique_ptr<DirectoryLister> MakeDirectoryLister(const std::string& root);

// How a run creates its listers (tests hand in their own file systems).
using DirectoryListerFactory = std::function<std::unique_ptr<DirectoryLister>(const std::string& root)>;

// Lists one folder through `lister` and waits for the end; the listing's
// status. The visitor runs on whatever thread the lister uses.
ListingStatus ListAndWait(DirectoryLister& lister, const DirectoryLister::Request& request,
                 const std::function<void(const DirectoryRecord&)>& visit);

// The machine's current offset of local time from UTC in seconds, as the C
// library sees it (TZ honoured). Read once per comparison run.
int64_t CurrentUtcOffsetSeconds();

}  // namespace kirvo
