#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/in_flight_control.h"
#include "fileops/file_attempt.h"
#include "platform/file_transfer.h"
#include "platform/worker_pool.h"

namespace kirvo {

// Copies the data of small local files on worker threads, several at once
// where the disk then serves more: while at least half of the copies wait
// for it (a cold cache), the number under way doubles, up to the limit; once
// hardly any wait, it halves again, down to one (see InFlightControl). With
// one, copies run on the caller's thread as before. The caller keeps every
// question, decision and rename; a worker only fills and seals a temporary
// file that the caller made.
class CopyWorkers {
public:
    // A copy handed out, and how it ended.
    struct Job {
        size_t index = 0;
        std::unique_ptr<FileTransfer> transfer;
        FileAttempt attempt;
        uint64_t copied = 0;
    };
    using Work = std::function<FileAttempt(FileTransfer&, uint64_t& copied)>;

    explicit CopyWorkers(int limit);
    ~CopyWorkers();
    CopyWorkers(const CopyWorkers&) = delete;
    CopyWorkers& operator=(const CopyWorkers&) = delete;

    // Whether the next copy goes to a worker (more than one at once pays).
    bool parallel() const { return control_.count() > 1; }
    size_t inFlight() const { return inFlight_; }
    // Runs `work` on the job's transfer on a worker; waits first while as
    // many as the number allows are under way (taking in what finished).
    void post(Job job, const Work& work, std::vector<Job>& finished);
    // The copies that finished; with wait, at least one while any is under way.
    std::vector<Job> take(bool wait);
    // Watches a copy on the calling thread, for the number. Every
    // kSampleEvery-th copy of a thread counts: whether it slept (waited for
    // the disk; a copy from memory does not) or took long.
    class Watch {
    public:
        Watch();
        bool counted() const { return sleepsBefore_ >= 0; }
        bool waited() const;

    private:
        std::chrono::steady_clock::time_point start_;
        long sleepsBefore_ = -1;
    };
    static constexpr unsigned kSampleEvery = 4;

    // A copy made on the caller's thread, for the number.
    void note(const Watch& watch);

private:
    void adapt(int64_t copies, int64_t waited);

    WorkerPool pool_;
    InFlightControl control_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<Job> finished_;
    size_t inFlight_ = 0;  // the caller's count: posted and not yet taken
    int64_t copies_ = 0;   // copies seen, and how many waited for the disk
    int64_t waited_ = 0;
};

}  // namespace kirvo
