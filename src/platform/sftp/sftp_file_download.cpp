// The other direction of SftpFileTransfer: the source on another machine is
// read in many requests under way at once, kept in order as the replies come
// (in whatever order the server sends them), and written to the local
// temporary file.
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_file_transfer.h"
#include "platform/sftp/sftp_folder.h"

namespace kirvo {

struct SftpFileTransfer::Reads {
    struct Arrived {
        uint32_t asked = 0;
        bool answered = false;
        SftpConnection::Reply reply;
    };
    std::mutex mutex;
    std::condition_variable answered;
    std::map<uint64_t, Arrived> byOffset;  // asked for and not yet written
    uint64_t next = 0;                     // where the next request starts
    uint64_t window = SftpUpload::kFirstWindow;
    // The looks at the open source (FSTAT): the first goes out before the
    // first reads, the last right after the last read, on the same lane (its
    // server takes them in order), so that neither costs a wait of its own.
    struct Look {
        bool asked = false, answered = false;
        SftpConnection::Reply reply;
    };
    Look first, last;
    bool lastStale = false;  // a read asked again, or another size: the last look is sent anew
};

namespace {

// Sends FSTAT of handle; the reply waits in `look` (see AskRead).
void AskLook(SftpConnection& connection, int lane, const std::string& handle,
             const std::shared_ptr<SftpFileTransfer::Reads>& reads, SftpFileTransfer::Reads::Look SftpFileTransfer::Reads::*look) {
    {
        const std::lock_guard lock(reads->mutex);
        (reads.get()->*look).asked = true;
    }
    connection.Send(std::move(sftp::Packet(sftp::kFstat).str(handle)),
                    [reads, look](uint8_t type, std::string_view body) {
                        const std::lock_guard lock(reads->mutex);
                        (reads.get()->*look).reply = {type, std::string(body)};
                        (reads.get()->*look).answered = true;
                        reads->answered.notify_all();
                    },
                    nullptr, lane);
}

SftpConnection::Reply AwaitLook(SftpFileTransfer::Reads& reads, SftpFileTransfer::Reads::Look& look) {
    std::unique_lock lock(reads.mutex);
    reads.answered.wait(lock, [&] { return look.answered; });  // the connection's deadline ends every wait
    return std::move(look.reply);
}

const SftpFolder* RemoteOf(const FolderHandle& folder) { return dynamic_cast<const SftpFolder*>(folder.backend()); }

}  // namespace

int SftpFileTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    offset_ = 0;
    contentHash_.reset();
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
    if (const int error = sftp::StatPath(connection, remote_->pathOf(name), followLinks_, a, nullptr, true)) return error;
    if (a.type() != sftp::kTypeFile) return kNotRegularFile;
    sftp::Attributes none;
    lane_ = connection.PickLane();
    const SftpConnection::Reply opened = connection.Call(
        std::move(sftp::Packet(sftp::kOpen).str(remote_->pathOf(name)).u32(sftp::kOpenRead).attrs(none)), nullptr, lane_);
    if (opened.type != sftp::kHandle) return opened.type == sftp::kStatus ? sftp::ErrorOf(opened) : kConnectionLost;
    if (!sftp::ParseHandle(opened.body, handle_)) return EIO;
    // The first window of reads follows the look at the open file at once, as
    // far as the size seen before opening; nothing read is written before
    // the look has shown a file.
    reads_ = std::make_shared<Reads>();
    AskLook(connection, lane_, handle_, reads_, &Reads::first);
    sourceInfo_ = sftp::ToNodeInfo(a);
    askAhead(0);
    const SftpConnection::Reply stat = AwaitLook(*reads_, reads_->first);
    if (stat.type != sftp::kAttrs) return stat.type == sftp::kStatus ? sftp::ErrorOf(stat) : kConnectionLost;
    const sftp::Attributes now = sftp::Reader(stat.body).attrs();
    if (now.type() != sftp::kTypeFile) return kNotRegularFile;
    const uint64_t seenSize = sourceInfo_.size;
    sourceInfo_ = sftp::ToNodeInfo(now);
    info = sourceInfo_;
    if (sourceInfo_.size != seenSize) {
        const std::lock_guard lock(reads_->mutex);
        reads_->lastStale = true;
    }
    return 0;
}

namespace {

// Asks for `length` bytes at `at`; the reply waits in reads (never sent while reads is locked:
// a lost connection answers at once, on this thread).
void AskRead(SftpConnection& connection, int lane, const std::string& handle,
             const std::shared_ptr<SftpFileTransfer::Reads>& reads, uint64_t at, uint32_t length) {
    connection.Send(std::move(sftp::Packet(sftp::kRead).str(handle).u64(at).u32(length)),
                    [reads, at](uint8_t type, std::string_view body) {
                        const std::lock_guard lock(reads->mutex);
                        const auto it = reads->byOffset.find(at);
                        if (it == reads->byOffset.end()) return;
                        it->second.reply = {type, std::string(body)};
                        it->second.answered = true;
                        reads->answered.notify_all();
                    },
                    nullptr, lane);
}

}  // namespace

// Asks for the data from reads_->next on, as far as the window reaches past
// `from` (never past the size), and for the last look after the last read.
void SftpFileTransfer::askAhead(uint64_t from) {
    const uint32_t block = remote_->connection().readBlock();
    while (true) {
        uint64_t at;
        uint32_t length;
        {
            const std::lock_guard lock(reads_->mutex);
            at = reads_->next;
            if (at >= sourceInfo_.size && !reads_->last.asked && !reads_->lastStale) break;
            if (at >= sourceInfo_.size || at - from >= reads_->window) return;
            length = static_cast<uint32_t>(std::min<uint64_t>(block, sourceInfo_.size - at));
            reads_->byOffset[at].asked = length;
            reads_->next = at + length;
        }
        AskRead(remote_->connection(), lane_, handle_, reads_, at, length);
    }
    AskLook(remote_->connection(), lane_, handle_, reads_, &Reads::last);
}

// Writes the data in order up to `end`; returns early (the caller may cancel
// then) when the next piece keeps the caller waiting for a while.
int SftpFileTransfer::download(uint64_t end) {
    const std::shared_ptr<Reads> reads = reads_;
    while (static_cast<uint64_t>(offset_) < end) {
        const auto at = static_cast<uint64_t>(offset_);
        askAhead(at);
        Reads::Arrived piece;
        {
            std::unique_lock lock(reads->mutex);
            const auto ready = [&] {
                const auto it = reads->byOffset.find(at);
                return it == reads->byOffset.end() || it->second.answered;
            };
            if (!ready()) {
                const bool full = reads->next - at >= reads->window;
                if (!reads->answered.wait_for(lock, SftpConnection::kStopLatency, ready)) return 0;
                if (full) reads->window = std::min(reads->window * 2, SftpUpload::kMaxWindow);
            }
            const auto it = reads->byOffset.find(at);
            if (it == reads->byOffset.end()) return EIO;  // never asked for: cannot be
            piece = std::move(it->second);
            reads->byOffset.erase(it);
        }
        const SftpConnection::Reply& reply = piece.reply;
        if (reply.type == sftp::kStatus) return reply.status() == sftp::kEof ? kSourceChanged : sftp::ErrorOf(reply);
        if (reply.type != sftp::kData) return kConnectionLost;
        sftp::Reader reader(reply.body);
        const std::string_view data = reader.str();
        if (reader.failed() || data.size() > piece.asked) return EIO;  // more than asked for: never written
        if (data.empty()) return kSourceChanged;
        if (const int error = local_.writeData(at, data)) return error;
        if (hasher_) hasher_->Add(data.data(), data.size());
        offset_ = static_cast<int64_t>(at + data.size());
        local_.setWritten(static_cast<uint64_t>(offset_));
        if (data.size() < piece.asked) {
            // A short read: the rest of this piece is asked for again.
            const uint64_t rest = at + data.size();
            const auto length = static_cast<uint32_t>(piece.asked - data.size());
            {
                const std::lock_guard lock(reads->mutex);
                reads->byOffset[rest].asked = length;
                reads->lastStale = true;
            }
            AskRead(remote_->connection(), lane_, handle_, reads, rest, length);
        }
    }
    return 0;
}

int SftpFileTransfer::remoteSourceUnchanged() {
    bool sent;
    {
        const std::lock_guard lock(reads_->mutex);
        sent = reads_->last.asked && !reads_->lastStale;
    }
    // The look sent after the last read is taken only where every read came back whole.
    const SftpConnection::Reply stat =
        sent ? AwaitLook(*reads_, reads_->last)
             : remote_->connection().Call(std::move(sftp::Packet(sftp::kFstat).str(handle_)), nullptr, lane_);
    if (stat.type != sftp::kAttrs) return stat.type == sftp::kStatus ? sftp::ErrorOf(stat) : kConnectionLost;
    const NodeInfo now = sftp::ToNodeInfo(sftp::Reader(stat.body).attrs());
    if (now.size != static_cast<uint64_t>(offset_) || now.modifiedSeconds != sourceInfo_.modifiedSeconds)
        return kSourceChanged;
    return 0;
}

// The source is only read: its close is not waited for.
void SftpFileTransfer::closeSource() {
    if (handle_.empty() || remote_ == nullptr) return;
    remote_->connection().Send(std::move(sftp::Packet(sftp::kClose).str(handle_)), [](uint8_t, std::string_view) {},
                               nullptr, lane_);
    handle_.clear();
}

}  // namespace kirvo
