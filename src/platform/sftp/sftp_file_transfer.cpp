#include "platform/sftp/sftp_file_transfer.h"

#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>

#include "platform/posix/local_link_transfer.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_content_reader.h"
#include "platform/sftp/sftp_folder.h"
#include "platform/sftp/sftp_link_transfer.h"
#include "platform/sftp/sftp_placing.h"
#include "platform/trash.h"

namespace kirvo {

// The placing of the temporary file started ahead of publish.
struct SftpFileTransfer::Ahead {
    NodeInfo expected;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
    NodeInfo placed;
    std::string reason;

    void wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return finished; });
    }
};

namespace {

const SftpFolder* RemoteOf(const FolderHandle& folder) { return dynamic_cast<const SftpFolder*>(folder.backend()); }

bool SameLook(const NodeInfo& a, const NodeInfo& b) {
    return a.kind == b.kind && a.size == b.size && a.modifiedSeconds == b.modifiedSeconds &&
           a.modifiedNanoseconds == b.modifiedNanoseconds;
}

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
    if (RemoteOf(folder) == nullptr || upload_) return EBADF;
    if (const int error = folder.openBeneath({}, remoteFolder_)) return error;
    remote_ = RemoteOf(remoteFolder_);
    remote_->identify(folderDevice_, folderInode_);
    destinationName_ = std::string(name);
    upload_ = std::make_unique<SftpUpload>(remote_->connection(), remote_->path(), destinationName_);
    upload_->create();
    return 0;
}

int SftpFileTransfer::copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) {
    copied = 0;
    finished = false;
    if (remote_ == nullptr || (sourceLocal_ ? !upload_ : handle_.empty())) return EBADF;
    const uint64_t size = sourceInfo_.size;
    const uint64_t start = static_cast<uint64_t>(offset_);
    const uint64_t end = std::min<uint64_t>(size, start + std::max<uint64_t>(maxBytes, SftpConnection::kSmallBlock));
    // A copy to be checked is hashed as its bytes pass, in order, both ways.
    if (checkCopies_ && start == 0 && !hasher_) hasher_ = std::make_unique<ContentHasher>();
    if (end > start) {
        const int error = sourceLocal_ ? upload(end) : download(end);
        copied = static_cast<uint64_t>(offset_) - start;
        if (error != 0) return error;
    }
    if (static_cast<uint64_t>(offset_) < size) return 0;
    // The source must not have changed while it was copied (a mixed copy with the old time would look equal).
    if (const int error = sourceLocal_ ? local_.checkSource(static_cast<uint64_t>(offset_)) : remoteSourceUnchanged())
        return error;
    if (hasher_) contentHash_ = hasher_->Finish();
    hasher_.reset();
    finished = true;
    return 0;
}

// Sends the data up to `end` as the window allows; returns early (the caller
// may cancel then) when the window stays full for a while.
int SftpFileTransfer::upload(uint64_t end) {
    const uint32_t block = remote_->connection().writeBlock();
    while (static_cast<uint64_t>(offset_) < end) {
        if (const int error = upload_->error()) return error;
        const auto n = static_cast<size_t>(std::min<uint64_t>(block, end - static_cast<uint64_t>(offset_)));
        if (!upload_->room(n, SftpConnection::kStopLatency)) return 0;
        std::string data;
        if (const int error = local_.readData(static_cast<uint64_t>(offset_), n, data)) return error;
        if (data.empty()) return kSourceChanged;  // shorter than it was when opened
        const auto got = static_cast<int64_t>(data.size());
        if (hasher_) hasher_->Add(data.data(), data.size());
        upload_->write(static_cast<uint64_t>(offset_), std::move(data));
        offset_ += got;
    }
    return 0;
}

int SftpFileTransfer::seal() {
    if (!sourceLocal_) {
        const int error = local_.seal();
        closeSource();
        return error;
    }
    if (remote_ == nullptr || !upload_) return EBADF;
    sftp::Attributes a;
    a.flags = sftp::kAttrPermissions | sftp::kAttrTimes;
    a.permissions = sourceInfo_.permissions & 0777;
    a.atime = static_cast<uint32_t>(std::time(nullptr));
    a.mtime = static_cast<uint32_t>(sourceInfo_.modifiedSeconds);
    upload_->finish(a, remote_->connection().fsync());
    local_.abandon();  // closes the local source
    return upload_->error();
}

// The copy read back and compared with what was copied: a download from the
// local disk (its cache dropped), an upload through the connection (what the
// server now gives for its temporary file).
int SftpFileTransfer::verify() {
    if (!contentHash_) return kNotSupportedThere;
    if (!sourceLocal_) return local_.readBack(*contentHash_);
    if (remote_ == nullptr || !upload_) return EBADF;
    if (const int error = upload_->wait()) return error;
    const std::string temp = upload_->temporaryName();
    if (temp.empty()) return EBADF;
    SftpContentReader reader(remote_->sharedConnection(), remote_->path());
    std::unique_ptr<OpenedContent> file;
    ContentIdentity identity;
    if (const int error = reader.open(temp, file, identity)) return error;
    ContentHasher read;
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(sourceInfo_.size + 1, 1u << 20)));
    uint64_t total = 0;
    while (true) {
        size_t got = 0;
        if (const int error = file->read(buffer.data(), buffer.size(), got)) return error;
        if (got == 0) break;
        read.Add(buffer.data(), got);
        total += got;
    }
    return total == static_cast<uint64_t>(offset_) && read.Finish() == *contentHash_ ? 0 : kCopyDiffers;
}

int SftpFileTransfer::flushAlone() { return upload_ ? upload_->wait() : 0; }

void SftpFileTransfer::publishAhead(const NodeInfo& expected) {
    if (!sourceLocal_ || remote_ == nullptr || !upload_ || ahead_ || upload_->wait() != 0) return;
    const std::string temp = upload_->temporaryName();
    if (temp.empty()) return;
    ahead_ = std::make_shared<Ahead>();
    ahead_->expected = expected;
    SftpPlacing::Start(remote_->connection(), remote_->way(), remote_->pathOf(temp), remote_->pathOf(destinationName_),
                       expected, false, [ahead = ahead_](int error, const NodeInfo& placed, const std::string& reason) {
                           const std::lock_guard lock(ahead->mutex);
                           ahead->error = error;
                           ahead->placed = placed;
                           ahead->reason = reason;
                           ahead->finished = true;
                           ahead->done.notify_all();
                       });
}

int SftpFileTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (!sourceLocal_) {
        const int error = local_.publish(expected, keepIn, kept, reason);
        if (error == 0) placed_ = local_.placedAs();
        return error;
    }
    if (remote_ == nullptr || !upload_) return EBADF;
    if (const int error = upload_->wait()) return error;  // the data is complete, flushed and closed
    const std::string temp = upload_->temporaryName();
    if (temp.empty()) return EBADF;
    int error = 0;
    NodeInfo placed;
    const std::shared_ptr<Ahead> ahead = std::move(ahead_);
    if (ahead) ahead->wait();
    // The placing started ahead counts where it placed the copy, or where it looked for what is asked now.
    if (ahead && (ahead->error == 0 || (keepIn == nullptr && SameLook(ahead->expected, expected)))) {
        error = ahead->error;
        placed = ahead->placed;
        if (reason && !ahead->reason.empty()) *reason = ahead->reason;
    } else {
        error = remote_->place(temp, destinationName_, expected, keepIn != nullptr, reason, &placed);
    }
    if (error != 0) return error;
    upload_->placed();
    placed_ = placed;
    return 0;
}

void SftpFileTransfer::abandon() {
    if (ahead_) {
        // Not taken by publish: renamed or not, the outcome is awaited (a copy in place stays).
        ahead_->wait();
        if (ahead_->error == 0 && upload_) upload_->placed();
        ahead_.reset();
    }
    upload_.reset();  // closes and removes the temporary file
    hasher_.reset();
    closeSource();
    reads_.reset();
    local_.abandon();
    remote_ = nullptr;
    remoteFolder_ = FolderHandle();
}

}  // namespace kirvo
