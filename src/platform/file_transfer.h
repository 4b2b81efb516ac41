#pragma once
#include <cstdint>
#include <span>
#include <vector>
#include <string>
#include <string_view>

#include "platform/file_node.h"
#include "platform/folder_handle.h"

namespace kirvo {

// Copies one regular file safely, named by open folders and names in them (see
// FolderHandle), so no path length limit applies and no link on the way is
// followed: the data goes to a temporary file beside the destination, which takes the source's modification time and permission bits
// and is flushed to disk, and only then is renamed over the destination. So a
// destination is always either as it was or completely replaced; an interrupted
// run leaves at most the temporary file, which the next copy to the same
// destination removes. A link at the destination is replaced, never written through.
// Every call returns a system error code, 0 on success. Destroying the object
// abandons an unfinished copy (the temporary file is removed).
class FileTransfer {
public:
    FileTransfer() = default;
    ~FileTransfer();
    FileTransfer(const FileTransfer&) = delete;
    FileTransfer& operator=(const FileTransfer&) = delete;

    // Opens the source `name` in `folder` without blocking on fifos and accepts
    // regular files only (kNotRegularFile otherwise); a link is followed to its
    // file, for reading only. Fills info.
    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info);

    // Creates the temporary file for the destination `name` in `folder`, replacing
    // a stale one. The object keeps its own handle of the folder until the end.
    int createTemporary(const FolderHandle& folder, std::string_view name);

    // Copies up to maxBytes more; finished is set at the end of the source.
    // kSourceChanged when the source was changed while it was copied.
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished);

    // Sets permissions and time, flushes, and renames the temporary file over the
    // destination named in createTemporary.
    int commit();

    // The same in steps, so that many files share one flush to disk: seal() sets
    // permissions and time and closes the source (the object then holds two handles:
    // the temporary file and the destination's folder); once every sealed file is
    // durable (FlushSealed), publish() closes the temporary file and renames it over
    // its destination; the renames are durable after FlushPublished. Until publish()
    // the destination is untouched.
    int seal();
    int publish();
    // Makes the data of all sealed files durable: one flush per file system
    // (syncfs) where there are several files, fsync of the file where there is one.
    // When the shared flush reports an error each file is flushed on its own and
    // errors[i] gets its result; 0 everywhere on success.
    static void FlushSealed(std::span<FileTransfer* const> sealed, std::vector<int>& errors);
    // Makes the renames of published files durable (their folders, or their file
    // systems where there are several files); failure here cannot undo a copy and
    // is not reported.
    static void FlushPublished(std::span<FileTransfer* const> published);

    // The destination's folder and name, for telling apart pending destinations.
    uint64_t folderDevice() const { return folderDevice_; }
    uint64_t folderInode() const { return folderInode_; }
    const std::string& destinationName() const { return destinationName_; }
    uint64_t bytes() const { return static_cast<uint64_t>(offset_); }  // copied so far

    // Closes everything and removes the temporary file, if any.
    void abandon();

    // The temporary file's name for a destination file name: ".<name>.kirvo-tmp",
    // shortened with a hash of the name where that would be too long for the system.
    static std::string TemporaryName(std::string_view name);
    // Whether a file name has the form of our temporary files.
    static bool IsTemporaryName(std::string_view name);

private:
    int finish(bool& finished);

    int sourceFd_ = -1;
    int tempFd_ = -1;
    int folderFd_ = -1;      // the destination's folder, while a temporary file exists
    std::string tempName_;   // set while the temporary file exists
    std::string destinationName_;
    NodeInfo sourceInfo_;
    int64_t sourceChangeSeconds_ = 0;  // status change time at open: any write moves it
    int64_t sourceChangeNanoseconds_ = 0;
    int64_t offset_ = 0;
    bool plainCopy_ = false;
    uint64_t folderDevice_ = 0;
    uint64_t folderInode_ = 0;  // copy_file_range not usable between these two files
};

}  // namespace kirvo
