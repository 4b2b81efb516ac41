#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/file_entry.h"

namespace kirvo {

// What a running scan shows and how it is stopped, shared between the scan's
// threads and whoever watches it (the window's timer, the terminal's
// progress line). Every member may be used from any thread.
class ScanProgress {
public:
    // Asks the scan to stop: it starts no further listing and ends as soon
    // as the listings under way are over.
    void RequestStop() { stop_.store(true); }
    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    const std::atomic<bool>& stopFlag() const { return stop_; }

    // Files found so far on one side.
    int64_t files(Side side) const { return files_[side == kSourceSide ? 0 : 1].load(std::memory_order_relaxed); }
    // The folder whose listing started last, as root followed by the relative folder.
    std::string currentFolder() const {
        const std::lock_guard lock(mutex_);
        return folder_;
    }

    // From the scan.
    void AddFiles(Side side, int64_t count) { files_[side == kSourceSide ? 0 : 1].fetch_add(count, std::memory_order_relaxed); }
    void Reading(std::string_view root, std::string_view relative) {
        const std::lock_guard lock(mutex_);
        folder_.assign(root).append(relative);
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int64_t> files_[2] = {0, 0};
    mutable std::mutex mutex_;
    std::string folder_;
};

}  // namespace kirvo
