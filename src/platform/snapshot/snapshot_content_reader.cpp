#include "platform/snapshot/snapshot_content_reader.h"

#include "platform/root.h"
#include "platform/snapshot/snapshot_file.h"

namespace kirvo {
namespace {

NodeInfo InfoOf(const SnapshotFile::Entry& entry) {
    NodeInfo info;
    info.kind = entry.kind == RecordKind::Link ? NodeKind::Link : NodeKind::File;
    info.size = entry.size;
    info.modifiedSeconds = entry.seconds;
    info.modifiedNanoseconds = entry.nanoseconds;
    return info;
}

}  // namespace

SnapshotContentReader::SnapshotContentReader(std::string root) : root_(std::move(root)) {}

SnapshotContentReader::~SnapshotContentReader() = default;

int SnapshotContentReader::Opened() {
    if (file_ || openError_ != 0) return openError_;
    std::string reason;
    openError_ = SnapshotFile::Open(Root::SnapshotFileOf(root_), false, file_, reason);
    return openError_;
}

int SnapshotContentReader::open(std::string_view, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) {
    file.reset();
    identity = ContentIdentity{};
    return kContentNotKept;
}

int SnapshotContentReader::readLink(std::string_view relative, std::string& text, NodeInfo& info) {
    if (const int error = Opened()) return error;
    SnapshotFile::Entry entry;
    if (const int error = file_->Find(relative, entry)) return error;
    if (entry.kind != RecordKind::Link) return kNotRegularFile;
    text = std::move(entry.link);
    info = InfoOf(entry);
    return 0;
}

int SnapshotContentReader::recordedHash(std::string_view relative, ContentHash& hash, NodeInfo& info) {
    if (const int error = Opened()) return error;
    SnapshotFile::Entry entry;
    if (const int error = file_->Find(relative, entry)) return error;
    if (entry.kind != RecordKind::File) return kNotRegularFile;
    info = InfoOf(entry);
    if (!entry.hashed) return kNoRecordedHash;
    hash = entry.hash;
    return 0;
}

}  // namespace kirvo
