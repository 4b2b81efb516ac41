#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/directory_lister.h"

namespace kirvo {

// Passes another lister's records through to the scan and keeps what the
// scan's entries leave out: each file's time to the nanosecond and which
// folders carry the system attribute (asked for on every listing). A
// snapshot keeps both.
class RecordingLister final : public DirectoryLister {
public:
    explicit RecordingLister(std::unique_ptr<DirectoryLister> inner) : inner_(std::move(inner)) {}

    // What a folder's listing gave, in its order: its files' and links'
    // names and nanoseconds.
    struct Listed {
        std::string names;
        struct File {
            uint32_t offset;
            uint32_t length;
            uint32_t nanoseconds;
        };
        std::vector<File> files;
        std::string_view Name(const File& file) const { return {names.data() + file.offset, file.length}; }
    };
    // After the scan: the folder's listing (by its relative path), null when it was not listed.
    const Listed* listed(const std::string& relative) const;
    // Whether the folder `relative` ("a/b/") has the system attribute.
    bool system(const std::string& relative) const { return system_.count(relative) != 0; }
    // How the root's opening went.
    const ListingStatus& rootStatus() const { return rootStatus_; }

    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override { return inner_->AutomaticInFlight(); }
    int AutomaticLimit() const override { return inner_->AutomaticLimit(); }
    Waits waits() const override { return inner_->waits(); }
    void SetInFlight(int count) override { inner_->SetInFlight(count); }
    void Start(const Request& request, ListingReceiver& receiver) override;
    TimeRange StorableTimes() const override { return inner_->StorableTimes(); }

private:
    struct Listing;
    void Keep(const std::string& relative, Listed listed, std::vector<std::string> systemFolders);

    std::unique_ptr<DirectoryLister> inner_;
    ListingStatus rootStatus_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Listed> listed_;
    std::unordered_set<std::string> system_;
};

}  // namespace kirvo
