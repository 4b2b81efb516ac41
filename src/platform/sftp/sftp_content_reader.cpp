#include "platform/sftp/sftp_content_reader.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/sftp/sftp_calls.h"

namespace kirvo {
namespace {

constexpr uint32_t kBlock = 32 * 1024;
constexpr size_t kInFlight = 16;

class SftpOpenedContent final : public OpenedContent {
public:
    SftpOpenedContent(std::shared_ptr<SftpConnection> connection, std::string handle, const NodeInfo& opened,
                      const std::atomic<bool>* stop)
        : connection_(std::move(connection)), handle_(std::move(handle)), opened_(opened), stop_(stop) {}
    ~SftpOpenedContent() override {
        connection_->Send(std::move(sftp::Packet(sftp::kClose).str(handle_)), [](uint8_t, std::string_view) {});
    }

    int read(char* buffer, size_t size, size_t& got) override {
        got = 0;
        if (atEnd_ || size == 0) return 0;
        struct Batch {
            std::mutex mutex;
            std::condition_variable done;
            size_t left = 0;
            std::vector<SftpConnection::Reply> replies;
        };
        const size_t n = std::clamp<size_t>((size + kBlock - 1) / kBlock, 1, kInFlight);
        auto batch = std::make_shared<Batch>();
        batch->left = n;
        batch->replies.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const auto length = static_cast<uint32_t>(std::min<size_t>(kBlock, size - i * kBlock));
            connection_->Send(std::move(sftp::Packet(sftp::kRead).str(handle_).u64(offset_ + i * kBlock).u32(length)),
                              [batch, i](uint8_t type, std::string_view body) {
                                  const std::lock_guard lock(batch->mutex);
                                  batch->replies[i] = {type, std::string(body)};
                                  if (--batch->left == 0) batch->done.notify_all();
                              },
                              stop_);
        }
        {
            std::unique_lock lock(batch->mutex);
            batch->done.wait(lock, [&] { return batch->left == 0; });
        }
        // The replies in order, up to the first short one (the end, or a server that sends less).
        for (size_t i = 0; i < n; ++i) {
            const SftpConnection::Reply& reply = batch->replies[i];
            if (reply.type == sftp::kStatus && reply.status() == sftp::kEof) {
                atEnd_ = got == 0;
                break;
            }
            if (reply.type != sftp::kData) return got > 0 ? 0 : (reply.type == 0 ? kConnectionLost : sftp::ErrorOf(reply));
            const std::string_view data = sftp::Reader(reply.body).str();
            const size_t asked = std::min<size_t>(kBlock, size - i * kBlock);
            if (data.size() > asked) return EIO;  // more than asked for: never taken as the file's bytes
            std::memcpy(buffer + got, data.data(), data.size());
            got += data.size();
            offset_ += data.size();
            if (data.size() < asked) break;
        }
        return 0;
    }

    int checkUnchanged() override {
        const SftpConnection::Reply stat = connection_->Call(std::move(sftp::Packet(sftp::kFstat).str(handle_)), stop_);
        if (stat.type != sftp::kAttrs) return stat.type == sftp::kStatus ? sftp::ErrorOf(stat) : kConnectionLost;
        const NodeInfo now = sftp::ToNodeInfo(sftp::Reader(stat.body).attrs());
        return now.size == opened_.size && now.modifiedSeconds == opened_.modifiedSeconds ? 0 : kSourceChanged;
    }

private:
    std::shared_ptr<SftpConnection> connection_;
    std::string handle_;
    NodeInfo opened_;
    const std::atomic<bool>* stop_;
    uint64_t offset_ = 0;
    bool atEnd_ = false;
};

}  // namespace

int SftpContentReader::open(std::string_view relative, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) {
    file.reset();
    identity = ContentIdentity{};
    const std::string path = sftp::Join(rootPath_, relative);
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*connection_, path, links_ == LinkMode::Follow, a, stop_)) return error;
    // A link where the scan saw a file (links not followed): changed since.
    if (a.type() == sftp::kTypeLink) return kSourceChanged;
    if (a.type() != sftp::kTypeFile) return kNotRegularFile;
    sftp::Attributes none;
    const SftpConnection::Reply opened =
        connection_->Call(std::move(sftp::Packet(sftp::kOpen).str(path).u32(sftp::kOpenRead).attrs(none)), stop_);
    if (opened.type != sftp::kHandle) return opened.type == sftp::kStatus ? sftp::ErrorOf(opened) : kConnectionLost;
    identity.info = sftp::ToNodeInfo(a);
    std::string handle;
    if (!sftp::ParseHandle(opened.body, handle)) return EIO;
    file = std::make_unique<SftpOpenedContent>(connection_, std::move(handle), identity.info, stop_);
    return 0;
}

int SftpContentReader::readLink(std::string_view relative, std::string& text, NodeInfo& info) {
    sftp::Attributes a;
    const int error = sftp::ReadLink(*connection_, sftp::Join(rootPath_, relative), text, a, stop_);
    info = error == 0 ? sftp::ToNodeInfo(a) : NodeInfo{};
    return error;
}

}  // namespace kirvo
