#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "sync/pair_key.h"

namespace kirvo {

// Keeps a second run off a pair while one is under way: an exclusive lock
// (flock) on a file per pair in the state folder ("sperren/<key>.lock"). The
// system drops it with the process that held it, however that ended, so a
// lock never outlives its run.
class PairLock {
public:
    struct Refusal {
        pid_t holder = 0;     // the process holding it, where it could be read
        std::string message;  // German
    };

    // Waits up to `wait` for the pair (0: does not wait). Either the held lock or why not.
    static std::optional<PairLock> Acquire(const std::string& stateFolder, const PairKey& pair,
                                           std::chrono::milliseconds wait, Refusal& refusal);

    PairLock(PairLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    PairLock& operator=(PairLock&& other) noexcept;
    PairLock(const PairLock&) = delete;
    PairLock& operator=(const PairLock&) = delete;
    ~PairLock();

private:
    explicit PairLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace kirvo
