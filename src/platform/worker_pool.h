#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kirvo {

// A fixed number of threads that run posted tasks in the order they were
// posted. With no threads a task runs inside Post, on the caller's thread.
class WorkerPool {
public:
    using Task = std::function<void()>;

    WorkerPool() = default;
    // Runs what is still queued, then joins the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Grows the pool to `threads`, or as far as the system lets threads
    // start (it never shrinks while it lives).
    void Grow(int threads);
    int threads() const { return static_cast<int>(threads_.size()); }
    void Post(Task task);

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kirvo
