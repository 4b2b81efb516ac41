#include "sync/pair_lock.h"
#include "platform/error_text.h"
#include "platform/translation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

namespace kirvo {
namespace {

pid_t HolderOf(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? static_cast<pid_t>(std::atol(text)) : 0;
}

}  // namespace

std::optional<PairLock> PairLock::Acquire(const std::string& stateFolder, const PairKey& pair,
                                          std::chrono::milliseconds wait, Refusal& refusal) {
    if (pair.first().empty() || pair.second().empty()) {
        refusal = {0, Tr("Ein relativer Pfad lässt sich keinem Ordner zuordnen, weil der aktuelle Ordner nicht zu "
                         "bestimmen ist; bitte vollständige Pfade angeben.")};
        return std::nullopt;
    }
    const std::string folder = stateFolder + "/sperren";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = folder + "/" + pair.fileName() + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        refusal = {0, Tr("Die Sperrdatei „") + path + Tr("“ lässt sich nicht anlegen: ") + ErrorText(errno) + "."};
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            refusal = {0, Tr("Die Sperrdatei „") + path + Tr("“ lässt sich nicht sperren: ") + ErrorText(errno) + "."};
            close(fd);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const pid_t holder = HolderOf(fd);
            refusal = {holder, Tr("Diese beiden Ordner werden gerade von einem anderen Vorgang abgeglichen") +
                                   (holder > 0 ? " (Prozess " + std::to_string(holder) + ")" : std::string()) + "."};
            close(fd);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Who holds it, for the message of a run that has to wait.
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // Only the message of a waiting run would lack the number.
    }
    return PairLock(fd);
}

PairLock& PairLock::operator=(PairLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

PairLock::~PairLock() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace kirvo
