#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/error_text.h"
#include "platform/file_lock.h"
#include "platform/translation.h"

namespace kirvo {

bool FileLock::open(std::string& error) {
    if (fd_ >= 0) return true;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0) return true;
    error = Tr("Die Sperrdatei \"") + path_ + Tr("\" lässt sich nicht öffnen: ") + ErrorText(errno) + ".";
    return false;
}

FileLock::State FileLock::tryTake(std::string& error) {
    if (held_) return State::Taken;
    if (!open(error)) return State::Failed;
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return State::Taken;
    }
    if (errno == EWOULDBLOCK) return State::Busy;
    error = Tr("Die Sperrdatei \"") + path_ + Tr("\" lässt sich nicht sperren: ") + ErrorText(errno) + ".";
    return State::Failed;
}

bool FileLock::wait(bool& interrupted, std::string& error) {
    interrupted = false;
    if (held_) return true;
    if (!open(error)) return false;
    if (flock(fd_, LOCK_EX) == 0) {
        held_ = true;
        return true;
    }
    interrupted = errno == EINTR;
    if (!interrupted)
        error = Tr("Die Sperrdatei \"") + path_ + Tr("\" lässt sich nicht sperren: ") + ErrorText(errno) + ".";
    return false;
}

void FileLock::release() {
    if (fd_ >= 0) close(fd_);  // closing drops the lock
    fd_ = -1;
    held_ = false;
}

}  // namespace kirvo
