#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_replace.h"

namespace kirvo {

int ReplaceFile(const std::string& path, std::string_view text, unsigned mode) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int failure = 0;
    while (!text.empty() && failure == 0) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n > 0) text.remove_prefix(static_cast<size_t>(n));
        if (n < 0 && errno != EINTR) failure = errno;
        if (n == 0) failure = EIO;
    }
    if (failure == 0 && (fchmod(fd, static_cast<mode_t>(mode)) != 0 || fsync(fd) != 0)) failure = errno;
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) unlink(temporary.c_str());
    return failure;
}

}  // namespace kirvo
