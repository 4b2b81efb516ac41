#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "platform/directory_lister.h"
#include "platform/worker_pool.h"

namespace kirvo {

// The local file system's lister. Each folder is opened relative to its open
// parent (or, step by step, from the root) without following links, read with
// getdents and its entries described with fstatat. Listings run on worker
// threads when more than one is to be under way; on network and user-space
// file systems, where each fstatat waits for an answer, the entries of one
// folder are also described by several workers at once.
class PosixDirectoryLister : public DirectoryLister {
public:
    PosixDirectoryLister();
    ~PosixDirectoryLister() override;

    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override;
    void SetInFlight(int count) override;
    void Start(const Request& request, ListingReceiver& receiver) override;

    // Listings at once for file systems whose requests each wait for an answer.
    static constexpr int kRemoteInFlight = 32;
    // Listings at once for local disks with a warm cache.
    static constexpr int kLocalInFlight = 1;

private:
    struct Listing;
    void List(const Request& request, ListingReceiver& receiver);
    void Describe(const std::shared_ptr<Listing>& listing, size_t begin, size_t end);
    void Deliver(Listing& listing);

    int rootFd_ = -1;
    bool waitsPerRequest_ = false;  // a network or user-space file system
    std::atomic<int64_t> rootInspections_{0};
    std::atomic<int64_t> rootInspectionNanoseconds_{0};
    int inFlight_ = 1;
    const int keepOpenBudget_;
    std::atomic<int> keptOpen_{0};
    std::unique_ptr<WorkerPool> pool_ = std::make_unique<WorkerPool>();
};

}  // namespace kirvo
