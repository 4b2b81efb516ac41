#include "platform/snapshot/snapshot_directory_lister.h"

#include "platform/file_node.h"
#include "platform/root.h"
#include "platform/snapshot/snapshot_file.h"

namespace kirvo {

SnapshotDirectoryLister::SnapshotDirectoryLister() = default;

SnapshotDirectoryLister::~SnapshotDirectoryLister() = default;

ListingStatus SnapshotDirectoryLister::OpenRoot(const std::string& root) {
    std::string reason;
    if (const int error = SnapshotFile::Open(Root::SnapshotFileOf(root), false, file_, reason))
        return ListingStatus::Failed(error, reason);
    return {};
}

void SnapshotDirectoryLister::Start(const Request& request, ListingReceiver& receiver) {
    if (!file_) return receiver.Finished(ListingStatus::Failed(kNotSnapshot, SystemErrorText(kNotSnapshot)), nullptr);
    // A link kept as itself is left out where links are to be; it cannot
    // stand for the file it led to, which was not looked at.
    ListingStatus status = file_->List(request.relative, [&](const DirectoryRecord& record) {
        if (record.kind == RecordKind::Link && request.links == LinkMode::Skip) return;
        receiver.Record(record);
    });
    receiver.Finished(std::move(status), nullptr);
}

}  // namespace kirvo
