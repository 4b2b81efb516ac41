#include "app/recording_lister.h"

namespace kirvo {

// One listing under way: records pass through, and what is kept of them
// goes to the lister when it ends.
struct RecordingLister::Listing final : ListingReceiver {
    RecordingLister& lister;
    ListingReceiver& receiver;
    std::string relative;
    Listed listed;
    std::vector<std::string> systemFolders;

    Listing(RecordingLister& l, ListingReceiver& r, std::string_view folder) : lister(l), receiver(r), relative(folder) {}

    void Record(const DirectoryRecord& record) override {
        if (record.kind == RecordKind::File || record.kind == RecordKind::Link) {
            listed.files.push_back({static_cast<uint32_t>(listed.names.size()), static_cast<uint32_t>(record.name.size()),
                                    record.modifiedNanoseconds});
            listed.names.append(record.name);
        } else if (record.kind == RecordKind::Directory && record.isSystem) {
            systemFolders.push_back(relative + std::string(record.name) + "/");
        }
        receiver.Record(record);
    }
    void Finished(ListingStatus status, std::unique_ptr<OpenFolder> opened) override {
        lister.Keep(relative, std::move(listed), std::move(systemFolders));
        ListingReceiver& to = receiver;
        delete this;  // nothing of this listing comes after its end
        to.Finished(std::move(status), std::move(opened));
    }
};

ListingStatus RecordingLister::OpenRoot(const std::string& root) {
    rootStatus_ = inner_->OpenRoot(root);
    return rootStatus_;
}

void RecordingLister::Start(const Request& request, ListingReceiver& receiver) {
    Request asked = request;
    asked.detail = Detail::FullWithSystemBit;  // kept, whatever the scan itself needs
    inner_->Start(asked, *new Listing(*this, receiver, request.relative));
}

void RecordingLister::Keep(const std::string& relative, Listed listed, std::vector<std::string> systemFolders) {
    const std::lock_guard lock(mutex_);
    listed_[relative] = std::move(listed);
    for (std::string& folder : systemFolders) system_.insert(std::move(folder));
}

const RecordingLister::Listed* RecordingLister::listed(const std::string& relative) const {
    const std::lock_guard lock(mutex_);
    const auto found = listed_.find(relative);
    return found == listed_.end() ? nullptr : &found->second;
}

}  // namespace kirvo
