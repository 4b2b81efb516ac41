#include "platform/worker_pool.h"

#include <system_error>

namespace kirvo {

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Grow(int threads) {
    while (static_cast<int>(threads_.size()) < threads) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            return;  // no more threads to be had (ulimit -u): the ones there do the work, or the caller
        }
    }
}

void WorkerPool::Post(Task task) {
    if (threads_.empty()) {
        task();
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void WorkerPool::Work() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to run
        Task task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        lock.lock();
    }
}

}  // namespace kirvo
