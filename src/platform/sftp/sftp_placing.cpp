#include "platform/sftp/sftp_placing.h"

#include <memory>
#include <mutex>

#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_connection.h"
#include "platform/trash.h"

namespace kirvo {
namespace {

bool SameNode(const sftp::Attributes& a, const NodeInfo& expected) {
    const NodeInfo now = sftp::ToNodeInfo(a);
    if (now.kind != expected.kind) return false;
    if (now.kind != NodeKind::File) return true;
    return now.size == expected.size && now.modifiedSeconds == expected.modifiedSeconds &&
           expected.modifiedNanoseconds / 1000000 == 0;
}

struct Placing {
    SftpConnection& connection;
    std::vector<std::string> way;
    std::string from, to;
    NodeInfo expected;
    bool keep;
    SftpPlacing::Done done;
    // The first lane, for all its requests: its server takes them in order,
    // and nothing waits there behind the flushes of files still under way.
    int lane = 0;

    std::mutex mutex;
    size_t left = 0;
    std::vector<SftpConnection::Reply> looked;  // the way's folders, then the destination

    void finish(int error, const std::string& reason = {}) { done(error, NodeInfo{}, reason); }

    static void Looked(const std::shared_ptr<Placing>& self) {
        for (size_t i = 0; i < self->way.size(); ++i)
            if (const int error = sftp::WayError(self->looked[i])) return self->finish(error);
        const SftpConnection::Reply& there = self->looked.back();
        bool exists = false;
        sftp::Attributes a;
        if (there.type == sftp::kAttrs) {
            sftp::Reader reader(there.body);
            a = reader.attrs();
            if (reader.failed()) return self->finish(EIO);
            exists = true;
        } else if (const int error = sftp::ErrorOf(there); error != ENOENT) {
            return self->finish(there.type == sftp::kStatus || there.type == 0 ? error : EIO);
        }
        if (exists ? !SameNode(a, self->expected) : self->expected.kind != NodeKind::Missing)
            return self->finish(kDestinationChanged);
        if (exists && self->keep) return self->finish(kNoTrash, std::string(Trash::kNoRemoteTrash));
        sftp::Forget(self->connection, self->to);
        if (exists && !self->connection.posixRename()) return self->finish(kNotSupportedThere);
        // The plain rename of SFTP never replaces a file: what appeared since stays.
        sftp::Packet rename = exists ? std::move(sftp::Packet(sftp::kExtended).str("posix-rename@openssh.com"))
                                     : sftp::Packet(sftp::kRename);
        rename.str(self->from).str(self->to);
        // The look at what then stands there goes with the rename: the server takes it after.
        struct Both {
            std::mutex mutex;
            int left = 2;
            SftpConnection::Reply renamed, look;
        };
        auto both = std::make_shared<Both>();
        const auto arrived = [self, both, exists](bool rename, uint8_t type, std::string_view body) {
            {
                const std::lock_guard lock(both->mutex);
                (rename ? both->renamed : both->look) = {type, std::string(body)};
                if (--both->left != 0) return;
            }
            Renamed(self, both->renamed, both->look, exists);
        };
        self->connection.Send(std::move(rename), [arrived](uint8_t t, std::string_view b) { arrived(true, t, b); }, nullptr,
                              self->lane);
        self->connection.Send(std::move(sftp::Packet(sftp::kLstat).str(self->to)),
                              [arrived](uint8_t t, std::string_view b) { arrived(false, t, b); }, nullptr, self->lane);
    }

    static void Renamed(const std::shared_ptr<Placing>& self, const SftpConnection::Reply& renamed,
                        const SftpConnection::Reply& look, bool exists) {
        // The plain rename fails where the name was taken since the look: changed, unless the failure has another cause.
        if (!exists && renamed.status() == sftp::kFailure)
            return self->finish(look.type == sftp::kAttrs ? kDestinationChanged : sftp::ErrorOf(renamed));
        if (const int error = sftp::ErrorOf(renamed)) return self->finish(error);
        NodeInfo placed;
        if (look.type == sftp::kAttrs) {
            sftp::Reader reader(look.body);
            const sftp::Attributes now = reader.attrs();
            if (!reader.failed()) placed = sftp::ToNodeInfo(now);
        }
        self->done(0, placed, {});
    }
};

}  // namespace

void SftpPlacing::Start(SftpConnection& connection, std::vector<std::string> way, std::string from, std::string to,
                        const NodeInfo& expected, bool keep, Done done) {
    auto placing = std::shared_ptr<Placing>(
        new Placing{connection, std::move(way), std::move(from), std::move(to), expected, keep, std::move(done),
                    0, {}, 0, {}});
    const size_t n = placing->way.size() + 1;
    placing->looked.resize(n);
    placing->left = n;
    for (size_t i = 0; i < n; ++i) {
        const std::string& path = i < placing->way.size() ? placing->way[i] : placing->to;
        connection.Send(std::move(sftp::Packet(sftp::kLstat).str(path)), [placing, i](uint8_t type, std::string_view body) {
            {
                const std::lock_guard lock(placing->mutex);
                placing->looked[i] = {type, std::string(body)};
                if (--placing->left != 0) return;
            }
            Placing::Looked(placing);
        }, nullptr, placing->lane);
    }
}

}  // namespace kirvo
