#include "platform/posix/posix_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_node.h"
#include "platform/foreign_folders.h"
#include "platform/posix/link_guard.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// Describes a link (st: the link itself) as what it points to, in kind and
// st: a link to a folder is not entered, nor one that leads nowhere (or in a
// circle); one whose target cannot be inspected is unknown, and so is one
// that this process does not follow (see LinkGuard). The error of an unknown one.
int DescribeTarget(int folder, const char* name, struct stat& st, RecordKind& kind) {
    const uid_t linkOwner = st.st_uid;
    if (fstatat(folder, name, &st, 0) != 0) {
        const int error = errno;
        const bool dangling = error == ENOENT || error == ELOOP || error == ENOTDIR;
        kind = dangling ? RecordKind::Other : RecordKind::Unknown;
        return dangling ? 0 : error;
    }
    if (!S_ISREG(st.st_mode)) {
        kind = RecordKind::Other;
        return 0;
    }
    if (!LinkGuard::MayFollow(linkOwner, st.st_uid)) {
        kind = RecordKind::Unknown;
        return kForeignLink;
    }
    kind = RecordKind::File;
    return 0;
}

}  // namespace

PosixListing::~PosixListing() {
    if (fd >= 0) close(fd);
}

bool PosixListing::ReadNames(const ForeignFolders& foreign) {
    char buffer[32 * 1024];
    bool stopped = false;
    while (true) {
        if (request.stop && request.stop->load(std::memory_order_relaxed)) {
            status = ListingStatus::Failed(ECANCELED, "abgebrochen");
            stopped = true;
            break;
        }
        const ssize_t n = getdents64(fd, buffer, sizeof buffer);
        if (n < 0) {
            // Broken off: the names so far are real, the rest is unknown.
            const int error = errno;
            status = ListingStatus::Failed(error, Tr("Liste brach ab: ") + SystemErrorText(error));
            break;
        }
        if (n == 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* ent = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += ent->d_reclen;
            const size_t length = std::strlen(ent->d_name);
            Name entry;
            entry.offset = static_cast<uint32_t>(names.size());
            entry.type = ent->d_type;
            names.insert(names.end(), ent->d_name, ent->d_name + length + 1);
            entries.push_back(entry);
        }
    }
    for (Name& entry : entries)
        if ((entry.type == DT_DIR || entry.type == DT_UNKNOWN) && foreign.Contains(fd, nameOf(entry)))
            entry.present = false;
    return !stopped;
}

void PosixListing::TakeNames(const std::vector<std::string>& given) {
    for (const std::string& name : given) {
        Name entry;
        entry.offset = static_cast<uint32_t>(names.size());
        entry.type = DT_UNKNOWN;
        names.insert(names.end(), name.c_str(), name.c_str() + name.size() + 1);
        entries.push_back(entry);
    }
}

void PosixListing::KindsFromTypes() {
    for (Name& entry : entries) {
        entry.kind = entry.type == DT_DIR ? RecordKind::Directory : RecordKind::Other;
        if (entry.type == DT_LNK && request.links == LinkMode::Skip) entry.present = false;
    }
}

void PosixListing::Describe(size_t begin, size_t end) {
    const std::atomic<bool>* stop = request.stop;
    for (size_t i = begin; i < end; ++i) {
        Name& entry = entries[i];
        if (!entry.present) continue;
        const unsigned char type = entry.type;
        if (type == DT_DIR) {
            entry.kind = RecordKind::Directory;
            continue;
        }
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) {
            entry.kind = RecordKind::Other;  // fifo, socket, device: nothing to stat
            continue;
        }
        if (stop && stop->load(std::memory_order_relaxed)) {
            entry.present = false;
            continue;
        }
        const char* name = nameOf(entry);
        struct stat st;
        const bool found = fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        const int error = found ? 0 : errno;
        if (!found) {
            // Gone since the listing: absent. There, but not to be inspected: unknown.
            if (error == ENOENT) {
                entry.present = false;
            } else {
                entry.kind = RecordKind::Unknown;
                entry.error = error;
            }
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            const LinkMode links = request.links;
            if (links == LinkMode::Skip) {
                entry.present = false;
                continue;
            }
            if (links == LinkMode::Copy) {
                entry.kind = RecordKind::Link;  // itself: the length of its text, its own time
            } else if (const int linkError = DescribeTarget(fd, name, st, entry.kind); linkError != 0) {
                entry.error = linkError;
                continue;
            } else if (entry.kind != RecordKind::File) {
                continue;
            }
        } else if (S_ISREG(st.st_mode)) {
            // A temporary file of a copy (running, or left by a killed run) is not
            // part of the tree; a user's file of the same name is.
            if (OwnTemporaryFile::IsOurs(fd, name)) {
                entry.present = false;
                continue;
            }
            entry.kind = RecordKind::File;
        } else {
            entry.kind = S_ISDIR(st.st_mode) ? RecordKind::Directory : RecordKind::Other;
            continue;
        }
        entry.size = static_cast<uint64_t>(st.st_size);
        entry.seconds = static_cast<int64_t>(st.st_mtim.tv_sec);
        entry.nanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
        entry.changed = static_cast<int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
        entry.device = static_cast<uint64_t>(st.st_dev);
        entry.inode = static_cast<uint64_t>(st.st_ino);
    }
}

}  // namespace kirvo
