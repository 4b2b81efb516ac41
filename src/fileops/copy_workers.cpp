#include "fileops/copy_workers.h"

#include <algorithm>

namespace kirvo {
namespace {

// A small file's copy that takes this long waited for the disk: from memory
// it takes a small fraction of it.
constexpr auto kWaitedFor = std::chrono::microseconds(800);

}  // namespace

CopyWorkers::CopyWorkers(int limit) : control_(1, std::max(1, limit)) {}

CopyWorkers::~CopyWorkers() = default;  // the pool finishes what was posted

void CopyWorkers::note(std::chrono::steady_clock::duration took) {
    int64_t copies = 0, waited = 0;
    {
        std::lock_guard lock(mutex_);
        copies = ++copies_;
        if (took >= kWaitedFor) ++waited_;
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
        const auto start = std::chrono::steady_clock::now();
        shared->attempt = work(*shared->transfer, shared->copied);
        const auto took = std::chrono::steady_clock::now() - start;
        {
            std::lock_guard lock(mutex_);
            ++copies_;
            if (took >= kWaitedFor) ++waited_;
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
