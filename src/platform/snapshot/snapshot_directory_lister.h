#pragma once
#include <memory>
#include <string>

#include "platform/directory_lister.h"

namespace kirvo {

class SnapshotFile;

// Lists a snapshot root from its file: each folder as it was saved, with
// sizes and times to the nanosecond, and where the folder could not be read
// when it was saved, the same unknown places again. Listings run on the
// caller's thread, one after the other (the file is read, nothing waits).
class SnapshotDirectoryLister final : public DirectoryLister {
public:
    SnapshotDirectoryLister();
    ~SnapshotDirectoryLister() override;

    // root: the snapshot's location ("snapshot:FILE/").
    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override { return 1; }
    void SetInFlight(int) override {}
    void Start(const Request& request, ListingReceiver& receiver) override;

private:
    std::unique_ptr<SnapshotFile> file_;
};

}  // namespace kirvo
