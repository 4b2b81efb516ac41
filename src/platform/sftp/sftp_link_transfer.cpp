#include "platform/sftp/sftp_link_transfer.h"

#include <cerrno>
#include <ctime>

#include "platform/posix/own_temporary_file.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_folder.h"
#include "platform/temporary_name.h"

namespace kirvo {
namespace {

const SftpFolder* RemoteOf(const FolderHandle& folder) { return dynamic_cast<const SftpFolder*>(folder.backend()); }

bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace

SftpLinkTransfer::~SftpLinkTransfer() { SftpLinkTransfer::abandon(); }

int SftpLinkTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    offset_ = 0;
    if (sourceLocal_) {
        if (const int error = local_.openSource(folder, name, info)) return error;
        text_ = local_.text();
        sourceInfo_ = info;
        // Never written wrapped: the other machine would keep another time.
        if (info.modifiedSeconds < 0 || info.modifiedSeconds > 0xFFFFFFFF) return kTimeNotStorable;
        return 0;
    }
    if (RemoteOf(folder) == nullptr) return EBADF;
    if (!PlainName(name)) return kNotRegularFile;
    if (const int error = folder.openBeneath({}, remoteFolder_)) return error;
    remote_ = RemoteOf(remoteFolder_);
    remoteSourceName_ = std::string(name);
    sftp::Attributes a;
    if (const int error = sftp::ReadLink(remote_->connection(), remote_->pathOf(name), text_, a)) return error;
    sourceInfo_ = sftp::ToNodeInfo(a);
    info = sourceInfo_;
    return 0;
}

int SftpLinkTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (!PlainName(name)) return EINVAL;
    destinationName_ = std::string(name);
    if (!sourceLocal_) {
        if (const int error = local_.createTemporary(folder, name)) return error;
        local_.receive(text_, sourceInfo_);
        folderDevice_ = local_.folderDevice();
        folderInode_ = local_.folderInode();
        return 0;
    }
    if (RemoteOf(folder) == nullptr) return EBADF;
    if (const int error = folder.openBeneath({}, remoteFolder_)) return error;
    remote_ = RemoteOf(remoteFolder_);
    if (!remote_->connection().makesLinks()) return kNotSupportedThere;
    remote_->identify(folderDevice_, folderInode_);
    return 0;
}

int SftpLinkTransfer::copySome(uint64_t /*maxBytes*/, uint64_t& copied, bool& finished) {
    copied = sourceInfo_.size;
    offset_ = static_cast<int64_t>(sourceInfo_.size);
    finished = true;
    return 0;
}

int SftpLinkTransfer::seal() {
    if (sourceLocal_) return local_.seal();
    if (remote_ == nullptr) return EBADF;
    std::string now;
    sftp::Attributes a;
    const int error = sftp::ReadLink(remote_->connection(), remote_->pathOf(remoteSourceName_), now, a);
    if (error == ENOENT || error == kNotRegularFile) return kSourceChanged;
    if (error != 0) return error;
    return now == text_ && a.mtime == sourceInfo_.modifiedSeconds ? 0 : kSourceChanged;
}

// The link with the source's text and time, under a temporary name of ours.
int SftpLinkTransfer::makeTemporaryLink() {
    SftpConnection& connection = remote_->connection();
    for (int attempt = 0; tempName_.empty(); ++attempt) {
        std::string temp = TemporaryName::For(destinationName_, OwnTemporaryFile::RandomNumber());
        // OpenSSH's order: the link's text, then where the link is made.
        const SftpConnection::Reply made =
            connection.Call(std::move(sftp::Packet(sftp::kSymlink).str(text_).str(remote_->pathOf(temp))));
        if (made.type == 0) return kConnectionLost;
        if (made.status() == sftp::kOk) {
            tempName_ = std::move(temp);
        } else {
            sftp::Attributes there;
            // FAILURE is what a name already taken gives; anything else is final.
            if (made.status() != sftp::kFailure || attempt == 8 ||
                sftp::StatPath(connection, remote_->pathOf(temp), false, there) != 0)
                return sftp::ErrorOf(made);
        }
    }
    sftp::Attributes times;
    times.flags = sftp::kAttrTimes;
    times.atime = static_cast<uint32_t>(std::time(nullptr));
    times.mtime = static_cast<uint32_t>(sourceInfo_.modifiedSeconds);
    const SftpConnection::Reply set = connection.Call(std::move(
        sftp::Packet(sftp::kExtended).str("lsetstat@openssh.com").str(remote_->pathOf(tempName_)).attrs(times)));
    if (set.type == 0) return kConnectionLost;
    if (set.status() != sftp::kOk) metadataNotKept_ |= kMetadataTime;
    return 0;
}

int SftpLinkTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (!sourceLocal_) return local_.publish(expected, keepIn, kept, reason);
    if (remote_ == nullptr) return EBADF;
    if (const int error = makeTemporaryLink()) {
        removeTemporaryLink();
        return error;
    }
    const int error = remote_->place(tempName_, destinationName_, expected, keepIn != nullptr, reason);
    if (error != 0) {
        removeTemporaryLink();  // made anew if it is tried again
        return error;
    }
    tempName_.clear();
    return 0;
}

void SftpLinkTransfer::removeTemporaryLink() {
    if (!tempName_.empty() && remote_ != nullptr)
        remote_->connection().Call(std::move(sftp::Packet(sftp::kRemove).str(remote_->pathOf(tempName_))));
    tempName_.clear();
}

void SftpLinkTransfer::abandon() {
    removeTemporaryLink();
    local_.abandon();
    remote_ = nullptr;
    remoteFolder_ = FolderHandle();
}

}  // namespace kirvo
