#pragma once
#include <memory>
#include <string>

#include "platform/content_reader.h"
#include "platform/sftp/sftp_connection.h"

namespace kirvo {

// Reads files of a tree on another machine for comparing contents: each file
// is STATed (regular files only, so no fifo is ever opened there), opened, and
// read with several requests under way at once. SFTP tells no identity, so
// two names of one remote file are read like two files.
class SftpContentReader final : public ContentReader {
public:
    SftpContentReader(std::shared_ptr<SftpConnection> connection, std::string rootPath)
        : connection_(std::move(connection)), rootPath_(std::move(rootPath)) {}

    int open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) override;
    int readLink(std::string_view relative, std::string& text, NodeInfo& info) override;
    void watchStop(const std::atomic<bool>* stop) override { stop_ = stop; }
    void setLinks(LinkMode links) override { links_ = links; }

private:
    std::shared_ptr<SftpConnection> connection_;
    std::string rootPath_;
    const std::atomic<bool>* stop_ = nullptr;
    LinkMode links_ = LinkMode::Follow;
};

}  // namespace kirvo
