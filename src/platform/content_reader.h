#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/content_hash.h"
#include "platform/file_node.h"
#include "platform/link_mode.h"

namespace kirvo {

// One file opened for reading its contents from the start to the end.
class OpenedContent {
public:
    virtual ~OpenedContent() = default;
    // Reads up to size bytes at the current position into buffer; got is 0 at
    // the end of the file. Returns an error code (file_node.h), 0 on success.
    virtual int read(char* buffer, size_t size, size_t& got) = 0;
    // After the last read: kSourceChanged when the file was written to since
    // it was opened, 0 when it is as it was.
    virtual int checkUnchanged() = 0;
};

// What an opened file is: its kind, size and time when it was opened, and,
// where the file system tells, its identity (two names of one file, such as
// hard links or one tree compared with itself, have the same identity).
struct ContentIdentity {
    NodeInfo info;
    bool known = false;  // device and inode are valid
    uint64_t device = 0;
    uint64_t inode = 0;

    bool sameFileAs(const ContentIdentity& other) const {
        return known && other.known && device == other.device && inode == other.inode;
    }
};

// Reads the files below one root, for comparing contents: the local file
// system (POSIX), and others behind the same interface (a remote one). One
// reader serves one comparison on one thread.
class ContentReader {
public:
    virtual ~ContentReader() = default;
    // Opens the file `relative` below the root (names joined by the
    // separator) for reading. Never blocks on a fifo or a device, and opens
    // regular files only (kNotRegularFile otherwise); ENOENT when it is gone.
    virtual int open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) = 0;
    // The text of the link `relative` (a link listed as itself): its content.
    // info describes the link itself; kNotRegularFile when it is no link (now).
    virtual int readLink(std::string_view /*relative*/, std::string& /*text*/, NodeInfo& /*info*/) {
        return kNotRegularFile;
    }
    // What open does with a link: with Follow it reads the file the link
    // leads to (where this process follows it, see the scan); otherwise a
    // link is not what the scan listed as a file, and is not read. Follow
    // until told otherwise.
    virtual void setLinks(LinkMode /*links*/) {}
    // A reader that waits for another machine gives up a wait (with an error)
    // soon after *stop is set, rather than at the next reply. The flag stays
    // valid while the reader and its opened files live.
    virtual void watchStop(const std::atomic<bool>* /*stop*/) {}

    // Whether open() gives the files' bytes. A reader of a saved listing (a
    // snapshot) keeps none: open() fails with kContentNotKept, and what
    // there is to compare is the hash recordedHash() tells.
    virtual bool keepsContent() const { return true; }
    // The hash recorded for the file `relative`, and what the file was when
    // it was recorded (size and time in info): 0, kNoRecordedHash where none
    // was recorded, ENOENT where there is no such file.
    virtual int recordedHash(std::string_view /*relative*/, ContentHash& /*hash*/, NodeInfo& /*info*/) {
        return kContentNotKept;
    }
};

// The reader for a root (a path ending in the separator), chosen like the lister.
std::unique_ptr<ContentReader> MakeContentReader(const std::string& root);

// How a run creates its readers (tests hand in their own).
using ContentReaderFactory = std::function<std::unique_ptr<ContentReader>(const std::string& root)>;

}  // namespace kirvo
