#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "platform/directory_lister.h"
#include "platform/foreign_folders.h"
#include "platform/posix/posix_listing.h"
#include "platform/worker_pool.h"

namespace kirvo {

// The local file system's lister. Each folder is opened relative to its open
// parent (or, step by step, from the root) without following links, read with
// getdents and its entries described with fstatat. Listings run on worker
// threads when more than one is to be under way; on network and user-space
// file systems, where each fstatat waits for an answer, the entries of one
// folder are also described by several workers at once. A listing has waited
// for the device when its thread was put to sleep by a request (a voluntary
// context switch): what a cold cache or a slow disk shows, and no busy
// machine fakes.
class PosixDirectoryLister : public DirectoryLister {
public:
    PosixDirectoryLister();
    ~PosixDirectoryLister() override;

    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override;
    int AutomaticLimit() const override;
    void SetInFlight(int count) override;
    void Start(const Request& request, ListingReceiver& receiver) override;
    bool LooksAtNamesAlone() const override { return true; }
    Waits waits() const override { return {listings_.load(), waited_.load()}; }

    // Listings at once for file systems whose requests each wait for an answer.
    static constexpr int kRemoteInFlight = 32;
    // Listings at once for local disks to start with: one per side measures
    // best with a warm cache, the two sides already use two cores.
    static constexpr int kLocalInFlight = 1;
    // The most for local disks while their listings wait: solid-state and
    // virtual disks answer many requests at once.
    static constexpr int kLocalLimit = 16;
    // A spinning disk gains from a few requests to order, and loses to seeks beyond.
    static constexpr int kRotationalLimit = 4;

private:
    void List(const Request& request, ListingReceiver& receiver);
    void Describe(const std::shared_ptr<PosixListing>& listing, size_t begin, size_t end, long switchesBefore);
    void Deliver(PosixListing& listing);

    int rootFd_ = -1;
    bool waitsPerRequest_ = false;  // a network or user-space file system
    bool rotational_ = false;       // on a spinning disk
    std::atomic<int> inFlight_{1};
    std::atomic<int64_t> listings_{0};
    std::atomic<int64_t> waited_{0};
    const int keepOpenBudget_;
    std::atomic<int> keptOpen_{0};
    const ForeignFolders foreign_;
    std::unique_ptr<WorkerPool> pool_ = std::make_unique<WorkerPool>();
};

}  // namespace kirvo
