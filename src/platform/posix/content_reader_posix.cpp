#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/content_reader.h"
#include "platform/folder_handle.h"
#include "platform/posix/link_guard.h"
#include "platform/posix/link_text.h"
#include "platform/posix/stat_node_info.h"

namespace kirvo {
namespace {

constexpr int kFileFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // a fifo never blocks

bool SameState(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

class PosixOpenedContent final : public OpenedContent {
public:
    PosixOpenedContent(int fd, const struct stat& opened) : fd_(fd), opened_(opened) {}
    ~PosixOpenedContent() override { close(fd_); }

    int read(char* buffer, size_t size, size_t& got) override {
        got = 0;
        while (true) {
            const ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0) {
                got = static_cast<size_t>(n);
                return 0;
            }
            if (errno != EINTR) return errno;
        }
    }

    // Any write moves the status change time, so a file written to while it
    // was read is told apart even where size and modification time stay.
    int checkUnchanged() override {
        struct stat now;
        if (fstat(fd_, &now) != 0) return errno;
        return SameState(now, opened_) ? 0 : kSourceChanged;
    }

private:
    int fd_;
    struct stat opened_;
};

// Files are opened below the root without following a link on the way (the
// scan never entered one); the last folder stays open, since the pairs come
// folder by folder.
class PosixContentReader final : public ContentReader {
public:
    explicit PosixContentReader(std::string root) : rootPath_(std::move(root)) {}

    int open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) override {
        file.reset();
        identity = ContentIdentity{};
        std::string_view folder, name;
        SplitRelative(relative, folder, name);
        if (const int error = openFolder(folder)) return error;
        const std::string leaf(name);
        const int flags = links_ == LinkMode::Follow ? kFileFlags : kFileFlags | O_NOFOLLOW;
        int error = 0;
        int fd = LinkGuard::Open(folder_.native(), leaf.c_str(), flags | O_NOATIME, error);
        if (fd < 0 && error == EPERM) fd = LinkGuard::Open(folder_.native(), leaf.c_str(), flags, error);  // not our file
        // A link where the scan saw a file: changed since.
        if (fd < 0) return error == ELOOP && links_ != LinkMode::Follow ? kSourceChanged : error;
        struct stat st;
        if (fstat(fd, &st) != 0) {
            const int error = errno;
            close(fd);
            return error;
        }
        if (!S_ISREG(st.st_mode)) {
            close(fd);
            return kNotRegularFile;
        }
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        DescribeStat(st, identity.info);
        identity.known = true;
        identity.device = static_cast<uint64_t>(st.st_dev);
        identity.inode = static_cast<uint64_t>(st.st_ino);
        file = std::make_unique<PosixOpenedContent>(fd, st);
        return 0;
    }

    int readLink(std::string_view relative, std::string& text, NodeInfo& info) override {
        text.clear();
        info = NodeInfo{};
        std::string_view folder, name;
        SplitRelative(relative, folder, name);
        if (const int error = openFolder(folder)) return error;
        return ReadLinkAt(folder_.native(), std::string(name).c_str(), text, info);
    }

    void setLinks(LinkMode links) override { links_ = links; }

private:
    int openFolder(std::string_view folder) {
        if (!root_.valid()) {
            if (const int error = FolderHandle::OpenRoot(rootPath_, root_)) return error;
        }
        if (folder_.valid() && folderName_ == folder) return 0;
        folder_ = FolderHandle();
        folderName_.clear();
        if (const int error = root_.openBeneath(folder, folder_)) return error;
        folderName_.assign(folder);
        return 0;
    }

    std::string rootPath_;
    FolderHandle root_;
    FolderHandle folder_;    // the folder of the last file opened
    std::string folderName_;
    LinkMode links_ = LinkMode::Follow;
};

}  // namespace

std::unique_ptr<ContentReader> MakeContentReader(const std::string& root) {
    return std::make_unique<PosixContentReader>(root);
}

}  // namespace kirvo
