#include "platform/posix/link_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/stat_node_info.h"

namespace kirvo {

int ReadLinkAt(int folder, const char* name, std::string& text, NodeInfo& info, struct stat* out) {
    text.clear();
    info = NodeInfo{};
    struct stat st;
    if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISLNK(st.st_mode)) return kNotRegularFile;
    // A few file systems tell no length for a link: then up to the longest path.
    const bool sized = st.st_size > 0;
    text.resize(sized ? static_cast<size_t>(st.st_size) + 1 : 4096);
    const ssize_t n = readlinkat(folder, name, text.data(), text.size());
    if (n < 0) {
        const int error = errno;
        text.clear();
        return error == EINVAL ? kSourceChanged : error;  // no link any more
    }
    // Another length than the one just looked at: replaced meanwhile.
    if (sized ? n != st.st_size : static_cast<size_t>(n) == text.size()) {
        text.clear();
        return kSourceChanged;
    }
    text.resize(static_cast<size_t>(n));
    DescribeStat(st, info);
    if (out != nullptr) *out = st;
    return 0;
}

}  // namespace kirvo
