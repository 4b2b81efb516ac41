#include "platform/sftp/sftp_file_transfer.h"

#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/posix/local_link_transfer.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_folder.h"
#include "platform/sftp/sftp_link_transfer.h"
#include "platform/temporary_name.h"
#include "platform/trash.h"

namespace kirvo {
namespace {

// Replies to requests sent together, in the order sent.
struct Batch {
    std::mutex mutex;
    std::condition_variable done;
    size_t left = 0;
    std::vector<SftpConnection::Reply> replies;

    SftpConnection::Callback slot(size_t i, const std::shared_ptr<Batch>& self) {
        return [self, i](uint8_t type, std::string_view body) {
            const std::lock_guard lock(self->mutex);
            self->replies[i] = {type, std::string(body)};
            if (--self->left == 0) self->done.notify_all();
        };
    }
    void wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return left == 0; });
    }
};

std::shared_ptr<Batch> NewBatch(size_t n) {
    auto batch = std::make_shared<Batch>();
    batch->left = n;
    batch->replies.resize(n);
    return batch;
}

const SftpFolder* RemoteOf(const FolderHandle& folder) { return dynamic_cast<const SftpFolder*>(folder.backend()); }


}  // namespace

std::unique_ptr<FileTransfer> FileTransfer::Between(bool sourceLocal, bool destinationLocal) {
    if (sourceLocal && destinationLocal) return std::make_unique<LocalFileTransfer>();
    if (!sourceLocal && !destinationLocal) return nullptr;
    return std::make_unique<SftpFileTransfer>(sourceLocal);
}

std::unique_ptr<FileTransfer> FileTransfer::LinkBetween(bool sourceLocal, bool destinationLocal) {
    if (sourceLocal && destinationLocal) return std::make_unique<LocalLinkTransfer>();
    if (!sourceLocal && !destinationLocal) return nullptr;
    return std::make_unique<SftpLinkTransfer>(sourceLocal);
}

SftpFileTransfer::~SftpFileTransfer() { SftpFileTransfer::abandon(); }

int SftpFileTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    offset_ = 0;
    if (sourceLocal_) {
        local_.followLinks(followLinks_);
        const int error = local_.openSource(folder, name, info);
        sourceInfo_ = info;
        // Never written wrapped: the other machine would keep another time.
        if (error == 0 && (info.modifiedSeconds < 0 || info.modifiedSeconds > 0xFFFFFFFF)) return kTimeNotStorable;
        return error;
    }
    const SftpFolder* remote = RemoteOf(folder);
    if (remote == nullptr) return EBADF;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return kNotRegularFile;
    if (const int error = folder.openBeneath({}, remoteFolder_)) return error;
    remote_ = RemoteOf(remoteFolder_);
    SftpConnection& connection = remote_->connection();
    // A link is followed to its file, for reading only; anything but a file is refused before it is opened.
    sftp::Attributes a;
    if (const int error = sftp::StatPath(connection, remote_->pathOf(name), followLinks_, a)) return error;
    if (a.type() != sftp::kTypeFile) return kNotRegularFile;
    sftp::Attributes none;
    const SftpConnection::Reply opened = connection.Call(
        std::move(sftp::Packet(sftp::kOpen).str(remote_->pathOf(name)).u32(sftp::kOpenRead).attrs(none)));
    if (opened.type != sftp::kHandle) return opened.type == sftp::kStatus ? sftp::ErrorOf(opened) : kConnectionLost;
    handle_ = std::string(sftp::Reader(opened.body).str());
    const SftpConnection::Reply stat = connection.Call(std::move(sftp::Packet(sftp::kFstat).str(handle_)));
    if (stat.type != sftp::kAttrs) return stat.type == sftp::kStatus ? sftp::ErrorOf(stat) : kConnectionLost;
    const sftp::Attributes now = sftp::Reader(stat.body).attrs();
    if (now.type() != sftp::kTypeFile) return kNotRegularFile;
    sourceInfo_ = sftp::ToNodeInfo(now);
    info = sourceInfo_;
    return 0;
}

int SftpFileTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return EINVAL;
    if (!sourceLocal_) {
        if (const int error = local_.createTemporary(folder, name)) return error;
        local_.receive(sourceInfo_);
        folderDevice_ = local_.folderDevice();
        folderInode_ = local_.folderInode();
        destinationName_ = std::string(name);
        return 0;
    }
    if (RemoteOf(folder) == nullptr || !tempName_.empty()) return EBADF;
    if (const int error = folder.openBeneath({}, remoteFolder_)) return error;
    remote_ = RemoteOf(remoteFolder_);
    remote_->identify(folderDevice_, folderInode_);
    SftpConnection& connection = remote_->connection();
    sftp::Attributes mode;
    mode.flags = sftp::kAttrPermissions;
    mode.permissions = 0600;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string temp = TemporaryName::For(name, OwnTemporaryFile::RandomNumber());
        const SftpConnection::Reply opened = connection.Call(std::move(
            sftp::Packet(sftp::kOpen).str(remote_->pathOf(temp)).u32(sftp::kOpenWrite | sftp::kOpenCreate | sftp::kOpenExclusive).attrs(mode)));
        if (opened.type == sftp::kHandle) {
            handle_ = std::string(sftp::Reader(opened.body).str());
            tempName_ = temp;
            destinationName_ = std::string(name);
            return 0;
        }
        if (opened.type == 0) return kConnectionLost;
        // FAILURE is what a name already taken gives; anything else is final.
        if (opened.status() != sftp::kFailure) return sftp::ErrorOf(opened);
        sftp::Attributes there;
        if (sftp::StatPath(connection, remote_->pathOf(temp), false, there) != 0) return sftp::ErrorOf(opened);
    }
    return EEXIST;
}

int SftpFileTransfer::copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) {
    copied = 0;
    finished = false;
    if (remote_ == nullptr || handle_.empty()) return EBADF;
    const uint64_t size = sourceInfo_.size;
    const uint64_t start = static_cast<uint64_t>(offset_);
    const uint64_t end = std::min<uint64_t>(size, start + std::max<uint64_t>(maxBytes, kBlock));
    if (end > start) {
        if (const int error = sourceLocal_ ? upload(end) : download(end)) return error;
        copied = static_cast<uint64_t>(offset_) - start;
    }
    if (static_cast<uint64_t>(offset_) < size) return 0;
    // The source must not have changed while it was copied (a mixed copy with the old time would look equal).
    if (const int error = sourceLocal_ ? local_.checkSource(static_cast<uint64_t>(offset_)) : remoteSourceUnchanged())
        return error;
    finished = true;
    return 0;
}

int SftpFileTransfer::upload(uint64_t end) {
    SftpConnection& connection = remote_->connection();
    while (static_cast<uint64_t>(offset_) < end) {
        const uint64_t from = static_cast<uint64_t>(offset_);
        std::vector<std::string> blocks;
        uint64_t at = from;
        while (blocks.size() < kInFlight && at < end) {
            std::string data;
            if (const int error = local_.readData(at, static_cast<size_t>(std::min<uint64_t>(kBlock, end - at)), data))
                return error;
            if (data.empty()) break;
            at += data.size();
            blocks.push_back(std::move(data));
        }
        if (blocks.empty()) return kSourceChanged;  // shorter than it was when opened
        auto batch = NewBatch(blocks.size());
        uint64_t position = from;
        for (size_t i = 0; i < blocks.size(); ++i) {
            connection.Send(std::move(sftp::Packet(sftp::kWrite).str(handle_).u64(position).str(blocks[i])),
                            batch->slot(i, batch));
            position += blocks[i].size();
        }
        batch->wait();
        for (const SftpConnection::Reply& reply : batch->replies)
            if (const int error = sftp::ErrorOf(reply)) return error;
        offset_ = static_cast<int64_t>(at);
    }
    return 0;
}

int SftpFileTransfer::download(uint64_t end) {
    SftpConnection& connection = remote_->connection();
    while (static_cast<uint64_t>(offset_) < end) {
        const uint64_t from = static_cast<uint64_t>(offset_);
        const size_t n = static_cast<size_t>(std::min<uint64_t>((end - from + kBlock - 1) / kBlock, kInFlight));
        auto batch = NewBatch(n);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t at = from + i * kBlock;
            const auto length = static_cast<uint32_t>(std::min<uint64_t>(kBlock, end - at));
            connection.Send(std::move(sftp::Packet(sftp::kRead).str(handle_).u64(at).u32(length)), batch->slot(i, batch));
        }
        batch->wait();
        uint64_t at = from;
        for (size_t i = 0; i < n; ++i) {
            const SftpConnection::Reply& reply = batch->replies[i];
            if (reply.type == sftp::kStatus) return reply.status() == sftp::kEof ? kSourceChanged : sftp::ErrorOf(reply);
            if (reply.type != sftp::kData) return kConnectionLost;
            const std::string_view data = sftp::Reader(reply.body).str();
            const uint64_t wanted = std::min<uint64_t>(kBlock, end - at);
            if (data.size() > wanted) return EIO;  // more than asked for: never written
            if (const int error = local_.writeData(at, data)) return error;
            at += data.size();
            if (data.size() < wanted) {
                // A short read: go on from where it ended.
                offset_ = static_cast<int64_t>(at);
                local_.setWritten(at);
                if (data.empty()) return kSourceChanged;
                break;
            }
        }
        offset_ = static_cast<int64_t>(at);
        local_.setWritten(at);
    }
    return 0;
}

int SftpFileTransfer::remoteSourceUnchanged() {
    const SftpConnection::Reply stat = remote_->connection().Call(std::move(sftp::Packet(sftp::kFstat).str(handle_)));
    if (stat.type != sftp::kAttrs) return stat.type == sftp::kStatus ? sftp::ErrorOf(stat) : kConnectionLost;
    const NodeInfo now = sftp::ToNodeInfo(sftp::Reader(stat.body).attrs());
    if (now.size != static_cast<uint64_t>(offset_) || now.modifiedSeconds != sourceInfo_.modifiedSeconds)
        return kSourceChanged;
    return 0;
}

int SftpFileTransfer::seal() {
    if (!sourceLocal_) {
        const int error = local_.seal();
        closeRemote(handle_);
        return error;
    }
    if (remote_ == nullptr || handle_.empty()) return EBADF;
    sftp::Attributes a;
    a.flags = sftp::kAttrPermissions | sftp::kAttrTimes;
    a.permissions = sourceInfo_.permissions & 0777;
    a.atime = static_cast<uint32_t>(std::time(nullptr));
    a.mtime = static_cast<uint32_t>(sourceInfo_.modifiedSeconds);
    const int error = sftp::ErrorOf(remote_->connection().Call(std::move(sftp::Packet(sftp::kFsetstat).str(handle_).attrs(a))));
    local_.abandon();  // closes the local source
    return error;
}

int SftpFileTransfer::flushAlone() {
    if (remote_ == nullptr || handle_.empty() || !remote_->connection().fsync()) return 0;
    const SftpConnection::Reply reply = remote_->connection().Call(
        std::move(sftp::Packet(sftp::kExtended).str("fsync@openssh.com").str(handle_)));
    return reply.type == 0 ? kConnectionLost : 0;  // a server that cannot flush still has the data
}

int SftpFileTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (!sourceLocal_) {
        const int error = local_.publish(expected, keepIn, kept, reason);
        if (error == 0) placed_ = local_.placedAs();
        return error;
    }
    if (remote_ == nullptr || tempName_.empty()) return EBADF;
    closeRemote(handle_);  // the data is complete (and flushed)
    const int error = remote_->place(tempName_, destinationName_, expected, keepIn != nullptr, reason);
    if (error != 0) return error;
    tempName_.clear();
    if (remote_->inspect(destinationName_, false, placed_) != 0) placed_ = NodeInfo{};
    return 0;
}

void SftpFileTransfer::closeRemote(std::string& handle) {
    if (handle.empty() || remote_ == nullptr) return;
    remote_->connection().Call(std::move(sftp::Packet(sftp::kClose).str(handle)));
    handle.clear();
}

void SftpFileTransfer::abandon() {
    closeRemote(handle_);
    if (!tempName_.empty() && remote_ != nullptr)
        remote_->connection().Call(std::move(sftp::Packet(sftp::kRemove).str(remote_->pathOf(tempName_))));
    tempName_.clear();
    local_.abandon();
    remote_ = nullptr;
    remoteFolder_ = FolderHandle();
}

}  // namespace kirvo
