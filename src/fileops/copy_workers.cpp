#include "fileops/copy_workers.h"

#include <algorithm>

#include "platform/thread_sleeps.h"

namespace kirvo {
namespace {

// A small file's copy that takes this long waited for the disk (or a file
// system that does not put its callers to sleep): from memory it takes a
// small fraction of it.
constexpr auto kWaitedFor = std::chrono::microseconds(800);

thread_local unsigned copiesOnThisThread = 0;

}  // namespace

CopyWorkers::Watch::Watch() : start_(std::chrono::steady_clock::now()) {
    if (++copiesOnThisThread % kSampleEvery == 0) sleepsBefore_ = ThreadSleepsSoFar();
}

bool CopyWorkers::Watch::waited() const {
    return counted() && (ThreadSleepsSoFar() != sleepsBefore_ || std::chrono::steady_clock::now() - start_ >= kWaitedFor);
}

CopyWorkers::CopyWorkers(int limit) : control_(1, std::max(1, limit)) {}

CopyWorkers::~CopyWorkers() = default;  // the pool finishes what was posted

void CopyWorkers::note(const Watch& watch) {
    if (!watch.counted()) return;
    const bool waitedNow = watch.waited();
    int64_t copies = 0, waited = 0;
    {
        std::lock_guard lock(mutex_);
        copies = ++copies_;
        if (waitedNow) ++waited_;
        waited = waited_;
    }
    adapt(copies, waited);
}

void CopyWorkers::adapt(int64_t copies, int64_t waited) {
    const int count = control_.Update({copies, waited});
    if (count > 1) pool_.Grow(count);
}

void CopyWorkers::post(Job job, const Work& work, std::vector<Job>& finished) {
    while (inFlight_ >= static_cast<size_t>(std::max(1, control_.count()))) {
        std::vector<Job> taken = take(true);
        for (Job& j : taken) finished.push_back(std::move(j));
    }
    ++inFlight_;
    auto shared = std::make_shared<Job>(std::move(job));
    pool_.Post([this, shared, work] {
        const Watch watch;
        shared->attempt = work(*shared->transfer, shared->copied);
        const bool counted = watch.counted(), waited = watch.waited();
        {
            std::lock_guard lock(mutex_);
            copies_ += counted;
            waited_ += waited;
            finished_.push_back(std::move(*shared));
        }
        done_.notify_one();
    });
}

std::vector<CopyWorkers::Job> CopyWorkers::take(bool wait) {
    std::vector<Job> taken;
    int64_t copies = 0, waited = 0;
    {
        std::unique_lock lock(mutex_);
        if (wait && inFlight_ > 0) done_.wait(lock, [this] { return !finished_.empty(); });
        while (!finished_.empty()) {
            taken.push_back(std::move(finished_.front()));
            finished_.pop_front();
        }
        copies = copies_;
        waited = waited_;
    }
    inFlight_ -= taken.size();
    adapt(copies, waited);
    return taken;
}

}  // namespace kirvo
