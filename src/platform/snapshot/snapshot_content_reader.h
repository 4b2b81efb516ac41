#pragma once
#include <memory>
#include <string>

#include "platform/content_reader.h"

namespace kirvo {

class SnapshotFile;

// The contents of a snapshot root: none, only the hashes it was saved with
// (kirvo-cli snapshot save --hashes) and the texts of links kept as
// themselves. The file is opened at the first question.
class SnapshotContentReader final : public ContentReader {
public:
    // root: the snapshot's location ("snapshot:FILE/").
    explicit SnapshotContentReader(std::string root);
    ~SnapshotContentReader() override;

    int open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) override;
    int readLink(std::string_view relative, std::string& text, NodeInfo& info) override;
    bool keepsContent() const override { return false; }
    int recordedHash(std::string_view relative, ContentHash& hash, NodeInfo& info) override;

private:
    int Opened();

    std::string root_;
    std::unique_ptr<SnapshotFile> file_;
    int openError_ = 0;
};

}  // namespace kirvo
