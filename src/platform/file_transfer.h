#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_node.h"
#include "platform/folder_handle.h"

namespace kirvo {

class LocalFileTransfer;
class Trash;
struct TrashedFile;

// Copies one regular file safely, named by open folders and names in them (see
// FolderHandle), so no path length limit applies and no link on the way is
// followed: the data goes to a temporary file of ours beside the destination
// (see TemporaryName; it never replaces anything), which takes the source's
// metadata and is flushed to disk, and only then is renamed over the
// destination. So a destination is always either as it was or completely
// replaced; an interrupted run leaves at most the temporary file, which
// RemoveStaleTemporaries clears and no scan lists. A link at the destination
// is replaced, never written through.
//
// The copy keeps the modification time, the permission bits, owner and group
// (where the process may set them), the user extended attributes and the POSIX
// ACLs; holes of a sparse source stay holes, and where the file system can
// share the data (reflink) nothing is copied at all. What could not be kept is
// in metadataNotKept().
//
// Every call returns a system error code, 0 on success. Destroying the object
// abandons an unfinished copy (the temporary file is removed). Between the
// local file system and another machine the same steps hold, with what that
// machine's protocol offers (see the SFTP transfer); there an error of
// createTemporary, copySome or seal may come back only from FlushSealed.
class FileTransfer {
public:
    virtual ~FileTransfer() = default;
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    // The transfer between a source and a destination folder of these kinds
    // (local: a FolderHandle with a native handle; otherwise another
    // machine's). Null for two remote folders: not supported.
    static std::unique_ptr<FileTransfer> Between(bool sourceLocal, bool destinationLocal);
    // The transfer of a link as a link ("Verknüpfungen" copy): the same steps,
    // with the link's text for its data; no data is read through it. Null
    // where it is not supported.
    static std::unique_ptr<FileTransfer> LinkBetween(bool sourceLocal, bool destinationLocal);

    // Opens the source `name` in `folder` without blocking on fifos and accepts
    // regular files only (kNotRegularFile otherwise); a link is followed to its
    // file, for reading only, where followLinks allows (and as far as this
    // process follows links: kForeignLink otherwise). Fills info.
    virtual int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) = 0;
    // Whether openSource follows a link, or takes it for no regular file. Follows until told otherwise.
    void followLinks(bool follow) { followLinks_ = follow; }

    // Creates the temporary file for the destination `name` in `folder`. The
    // object keeps its own handle of the folder until the end.
    virtual int createTemporary(const FolderHandle& folder, std::string_view name) = 0;

    // Copies up to maxBytes more (holes count as copied); finished is set at the
    // end of the source. kSourceChanged when the source was changed while it was copied.
    virtual int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) = 0;

    // Finishing in steps, so that many files share one flush to disk: seal() sets
    // the metadata and time and closes the source (the object then holds two
    // handles: the temporary file and the destination's folder); once every
    // sealed file is durable (FlushSealed), publish() renames it over its
    // destination; the renames are durable after FlushPublished. Until publish()
    // the destination is untouched.
    virtual int seal() = 0;
    // Renames the copy over the destination, but only while the destination is
    // still what `expected` says (kind, inode where known, size, time; kind
    // Missing: nothing there, and nothing may have appeared): kDestinationChanged
    // otherwise, and the destination is as it was. Where the file system can
    // exchange two names, the copy and the old file trade places and the old one
    // is looked at once more afterwards (another file there, saved by another
    // program just then, goes back at once); elsewhere it is looked at once more
    // right before the rename. With `keepIn`, an existing destination is first
    // kept in that trash (as a hard link, so the path holds the old file or the
    // new one at every moment); `kept` then tells where. Trash errors come back
    // as they are (kNoTrash with the reason in *reason).
    virtual int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                        std::string* reason = nullptr) = 0;
    // Starts publish(expected) without a trash where the destination lies on
    // another machine, so that the renames of many files are under way at
    // once; the publish() that follows with the same `expected` takes its
    // outcome. Nothing happens here for a local destination.
    virtual void publishAhead(const NodeInfo& /*expected*/) {}
    // Makes the data of all sealed files durable: one flush per file system
    // (syncfs) where there are several local files, fsync of the file where
    // there is one, the server's flush for a file on another machine. When the
    // shared flush reports an error each file is flushed on its own and
    // errors[i] gets its result; 0 everywhere on success.
    static void FlushSealed(std::span<FileTransfer* const> sealed, std::vector<int>& errors);
    // Whether the flush is under way without us once sealed (another
    // machine's server flushes it, or the disk's write-back was started), so
    // that more files may be copied before FlushSealed waits for this one.
    virtual bool flushesInBackground() const { return false; }
    // Whether the copy is written on this machine (waiting costs no handle of a server).
    bool writesLocally() { return localDestination() != nullptr; }
    // Makes the renames of published files durable (their folders, or their file
    // systems where there are several files). A failure cannot undo a copy: the
    // first error is returned (0 when all went well) for the user to be told that
    // the copies may be gone after a crash.
    static int FlushPublished(std::span<FileTransfer* const> published);

    // The destination's folder and name, for telling apart pending destinations.
    uint64_t folderDevice() const { return folderDevice_; }
    uint64_t folderInode() const { return folderInode_; }
    const std::string& destinationName() const { return destinationName_; }
    uint64_t bytes() const { return static_cast<uint64_t>(offset_); }  // copied so far
    // MetadataKind bits of what the source has and the copy could not take (after seal).
    uint32_t metadataNotKept() const { return metadataNotKept_; }
    // Whether the data was shared with the source instead of copied (reflink).
    bool cloned() const { return cloned_; }
    // After publish(): the copy as it stands at the destination (its inode, size
    // and time), so that it can be recognised later; kind Missing where unknown.
    const NodeInfo& placedAs() const { return placed_; }

    // Copies to be checked: the data passes through this process and is hashed
    // as it is copied (where the system copies it alone, the source is read
    // as well). Set before copySome.
    void checkCopies(bool check) { checkCopies_ = check; }
    // After FlushSealed, before publish(): reads the copy back from the disk
    // (not from the memory's cache of it) and compares it with what was read
    // from the source: kCopyDiffers where it is not the same, the system's
    // error where it cannot be read, kNotSupportedThere where this transfer
    // cannot read its copy back.
    virtual int verify() { return kNotSupportedThere; }
    // The content hash of what was copied, where every byte passed through
    // this process (always where copies are checked); empty otherwise.
    const std::optional<ContentHash>& contentHash() const { return contentHash_; }

    // Closes everything and removes the temporary file, if any.
    virtual void abandon() = 0;

    // Removes the temporary files in `folder` left by copies that were killed
    // (ours only, and only those no running copy holds). Returns how many.
    static int RemoveStaleTemporaries(const FolderHandle& folder);

protected:
    FileTransfer() = default;
    // The part of this transfer that writes a local file, for the shared flush; null when none does.
    virtual LocalFileTransfer* localDestination() { return nullptr; }
    // Makes this file's data durable on its own (the destination is not local).
    virtual int flushAlone() { return 0; }

    std::string destinationName_;
    bool followLinks_ = true;
    bool checkCopies_ = false;
    std::optional<ContentHash> contentHash_;
    int64_t offset_ = 0;
    uint32_t metadataNotKept_ = 0;
    bool cloned_ = false;
    int placedFlushError_ = 0;  // of a flush that publish() made itself (a link's folder)
    NodeInfo placed_;
    uint64_t folderDevice_ = 0;
    uint64_t folderInode_ = 0;
};

}  // namespace kirvo
