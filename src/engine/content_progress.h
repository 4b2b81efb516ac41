#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace kirvo {

// What the reading of contents shows and how it is stopped, shared between
// the reading thread and whoever watches it (the window's timer, the
// terminal's progress line). Every member may be used from any thread.
class ContentProgress {
public:
    // Asks the reading to stop after the piece under way.
    void RequestStop() { stop_.store(true); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    const std::atomic<bool>& stopFlag() const { return stop_; }

    // Bytes of both sides together: read (or passed over: the rest of a file
    // after its first difference, files known to be one) and to be read.
    int64_t bytesDone() const { return bytesDone_.load(std::memory_order_relaxed); }
    int64_t bytesTotal() const { return bytesTotal_.load(std::memory_order_relaxed); }
    int64_t pairsDone() const { return pairsDone_.load(std::memory_order_relaxed); }
    int64_t pairsTotal() const { return pairsTotal_.load(std::memory_order_relaxed); }
    // The relative path of the pair being read.
    std::string currentFile() const {
        const std::lock_guard lock(mutex_);
        return file_;
    }

    // From the reading.
    void Start(int64_t pairs, int64_t bytes) {
        pairsTotal_.store(pairs);
        bytesTotal_.store(bytes);
    }
    void AddBytes(int64_t bytes) { bytesDone_.fetch_add(bytes, std::memory_order_relaxed); }
    void PairDone() { pairsDone_.fetch_add(1, std::memory_order_relaxed); }
    void Reading(std::string_view relative) {
        const std::lock_guard lock(mutex_);
        file_.assign(relative);
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> bytesDone_{0};
    std::atomic<int64_t> bytesTotal_{0};
    std::atomic<int64_t> pairsDone_{0};
    std::atomic<int64_t> pairsTotal_{0};
    mutable std::mutex mutex_;
    std::string file_;
};

}  // namespace kirvo
