#include "platform/sftp/sftp_directory_lister.h"

#include <atomic>
#include <cerrno>
#include <deque>
#include <unordered_set>
#include <vector>

#include "platform/foreign_folders.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/temporary_name.h"
#include "platform/translation.h"

namespace kirvo {

struct SftpDirectoryLister::Listing {
    struct Name {
        std::string name;
        sftp::Attributes attributes;
        RecordKind kind = RecordKind::Other;
        bool skipped = false;  // a link with links left out, or a folder that is not the user's
    };
    // Not owned: the lister holds the connection until every listing has
    // finished, and a callback must never end the connection on its own thread.
    SftpConnection* connection = nullptr;
    std::string path;
    std::string handle;
    DirectoryLister::Request request;
    ListingReceiver* receiver = nullptr;
    std::deque<Name> names;                   // a deque: `seen` points into the names
    std::unordered_set<std::string_view> seen;
    uint64_t nameBytes = 0;
    int emptyReplies = 0;                     // NAME replies without a name, in a row
    std::atomic<size_t> linksLeft{0};
    std::atomic<bool> linkLost{false};
    ListingStatus ending;  // complete, or why the folder is not (set before its links are resolved)

    bool stopped() const { return request.stop && request.stop->load(std::memory_order_relaxed); }
    // A request that got no reply: given up for the stop, or the connection is gone.
    ListingStatus noReply() const {
        if (stopped()) return ListingStatus::Failed(ECANCELED, "abgebrochen");
        const std::string reason = connection->lostReason();
        return ListingStatus::Failed(kConnectionLost, reason.empty() ? SystemErrorText(kConnectionLost) : reason);
    }
};

namespace {

// Why a name the server lists cannot be one of a folder's entries, or null.
// "." and ".." name the folder and its parent, and only as folders.
const char* NameProblem(std::string_view name, uint32_t type) {
    if (name.empty()) return Tr("der Server nennt einen leeren Namen");
    if (name.find('/') != std::string_view::npos) return Tr("der Server nennt einen Namen mit „/“");
    if (name.find('\0') != std::string_view::npos) return Tr("der Server nennt einen Namen mit einem Nullzeichen");
    if ((name == "." || name == "..") && type != sftp::kTypeFolder) return Tr("der Server nennt „.“ oder „..“ als Datei");
    return nullptr;
}

uint32_t StatusCode(std::string_view body) {
    sftp::Reader reader(body);
    const uint32_t code = reader.u32();
    return reader.failed() ? sftp::kBadMessage : code;
}

// The error of a STATUS that ended a listing other than by its end: never 0
// (a listing "OK" is no listing). After the folder was opened, "no such file"
// cannot mean it is gone for sure.
int ListingError(uint32_t status, bool opened) {
    const int error = sftp::ErrorOf(status);
    return error == 0 || (opened && error == ENOENT) ? EIO : error;
}

}  // namespace

ListingStatus SftpDirectoryLister::OpenRoot(const std::string& /*root*/) {
    sftp::Attributes a;
    int error = sftp::StatPath(*connection_, rootPath_, true, a);
    if (error == 0 && a.type() != sftp::kTypeFolder) error = ENOTDIR;
    if (error == 0) return {};
    return ListingStatus::Failed(error, SystemErrorText(error));
}

void SftpDirectoryLister::Start(const Request& request, ListingReceiver& receiver) {
    auto listing = std::make_shared<Listing>();
    listing->connection = connection_.get();
    listing->request = request;
    listing->receiver = &receiver;
    std::string_view relative = request.relative;
    while (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    listing->path = relative.empty() ? rootPath_ : sftp::Join(rootPath_, relative);
    connection_->Send(std::move(sftp::Packet(sftp::kOpendir).str(listing->path)), [listing](uint8_t type, std::string_view body) {
        if (type == sftp::kHandle) {
            if (!sftp::ParseHandle(body, listing->handle)) return Broken(*listing, Tr("eine ungültige Antwort auf das Öffnen eines Ordners"));
            return Read(listing);
        }
        if (type == sftp::kStatus) return Unreadable(*listing, ListingError(StatusCode(body), false), {});
        if (type != 0) return Broken(*listing, Tr("eine unpassende Antwort auf das Öffnen eines Ordners"));
        Deliver(*listing, listing->noReply());
    }, request.stop);
}

// One READDIR after the other on the folder's handle; other folders' requests go between them.
void SftpDirectoryLister::Read(const std::shared_ptr<Listing>& listing) {
    if (listing->stopped()) {
        Close(*listing);
        Deliver(*listing, listing->noReply());
        return;
    }
    listing->connection->Send(std::move(sftp::Packet(sftp::kReaddir).str(listing->handle)),
                              [listing](uint8_t type, std::string_view body) {
        if (type == sftp::kName) return Take(listing, body);
        if (type == sftp::kStatus) {
            Close(*listing);
            const uint32_t status = StatusCode(body);
            // Anything but the end cuts the listing short: what came is kept, the folder is not complete.
            if (status != sftp::kEof) {
                const int error = ListingError(status, true);
                listing->ending = ListingStatus::Failed(error, Tr("der Server brach die Liste ab: ") + SystemErrorText(error));
            }
            return Resolve(listing);
        }
        if (type != 0) return Broken(*listing, Tr("eine unpassende Antwort beim Lesen eines Ordners"));
        Deliver(*listing, listing->noReply());
    }, listing->request.stop);
}

// One NAME reply: its names join the folder's, then the next READDIR. A server
// that repeats names, sends empty replies without end or more names than any
// folder holds breaks the protocol; the memory a folder takes stays bounded.
void SftpDirectoryLister::Take(const std::shared_ptr<Listing>& listing, std::string_view body) {
    std::vector<sftp::Name> batch;
    if (!sftp::ParseNames(body, batch)) return Broken(*listing, Tr("eine unlesbare Liste von Namen"));
    if (batch.empty()) {
        if (++listing->emptyReplies > kMaxEmptyReplies) return Broken(*listing, Tr("immer wieder leere Listen von Namen"));
        return Read(listing);
    }
    listing->emptyReplies = 0;
    for (const sftp::Name& entry : batch) {
        if (const char* problem = NameProblem(entry.name, entry.attributes.type())) {
            Close(*listing);
            return Unreadable(*listing, EPROTO, problem);
        }
        listing->nameBytes += entry.name.size();
        if (listing->names.size() >= kMaxNames || listing->nameBytes > kMaxNameBytes)
            return Broken(*listing, Tr("mehr Namen in einem Ordner, als einer fassen kann"));
        listing->names.push_back({std::string(entry.name), entry.attributes, RecordKind::Other});
        if (!listing->seen.insert(listing->names.back().name).second)
            return Broken(*listing, Tr("dieselben Namen eines Ordners mehrmals"));
    }
    Read(listing);
}

// A link is described as what it points to (links followed): one STAT per
// link, all at once.
void SftpDirectoryLister::Resolve(const std::shared_ptr<Listing>& listing) {
    std::vector<size_t> links;
    for (size_t i = 0; i < listing->names.size(); ++i) {
        Listing::Name& entry = listing->names[i];
        if (entry.name == "." || entry.name == "..") continue;  // folders, checked above
        switch (entry.attributes.type()) {
        case sftp::kTypeFolder:
            entry.kind = RecordKind::Directory;
            // The remote root may be the top of a disk over there, whose trash
            // and lost+found are not the user's; whether a folder is the top of
            // a file system cannot be seen over SFTP, so only there.
            entry.skipped = listing->request.relative.empty() &&
                            (ForeignFolders::IsTrashName(entry.name) ||
                             (entry.name == ForeignFolders::kLostAndFound &&
                              (entry.attributes.flags & sftp::kAttrUidGid) != 0 && entry.attributes.uid == 0));
            break;
        case sftp::kTypeFile:
            entry.kind = TemporaryName::HasOurForm(entry.name) ? RecordKind::Other : RecordKind::File;
            break;
        case sftp::kTypeLink:
            // The attributes of a listing describe the link itself.
            if (listing->request.links == LinkMode::Copy) entry.kind = RecordKind::Link;
            else if (listing->request.links == LinkMode::Skip) entry.skipped = true;
            else links.push_back(i);
            break;
        default: entry.kind = RecordKind::Other; break;
        }
    }
    if (links.empty()) {
        Deliver(*listing, std::move(listing->ending));
        return;
    }
    listing->linksLeft = links.size();
    for (size_t i : links) {
        listing->connection->Send(std::move(sftp::Packet(sftp::kStat).str(sftp::Join(listing->path, listing->names[i].name))),
                                  [listing, i](uint8_t type, std::string_view body) {
            Listing::Name& entry = listing->names[i];
            if (type == sftp::kAttrs) {
                sftp::Reader reader(body);
                const sftp::Attributes target = reader.attrs();
                // A link to a file stands for that file; to a folder (or nowhere) it is never entered.
                if (!reader.failed() && target.type() == sftp::kTypeFile) {
                    entry.kind = RecordKind::File;
                    entry.attributes = target;
                }
            }
            if (type == 0) listing->linkLost = true;
            if (--listing->linksLeft == 0)
                Deliver(*listing, listing->linkLost ? listing->noReply() : std::move(listing->ending));
        }, listing->request.stop);
    }
}

void SftpDirectoryLister::Close(Listing& listing) {
    listing.connection->Send(std::move(sftp::Packet(sftp::kClose).str(listing.handle)), [](uint8_t, std::string_view) {});
}

// The server broke the protocol: the connection ends (the run reports it lost).
void SftpDirectoryLister::Broken(Listing& listing, const std::string& what) {
    listing.connection->Fail(Tr("der Server hat ") + what + " geschickt");
    listing.seen.clear();
    listing.names.clear();
    Deliver(listing, listing.noReply());
}

// The folder cannot be listed (OPENDIR refused), or the server named something
// that is no name: error is the system's code, reason (if any) what the server
// did. Nothing of it is delivered; the scan keeps the folder as unknown.
void SftpDirectoryLister::Unreadable(Listing& listing, int error, std::string_view reason) {
    listing.seen.clear();
    listing.names.clear();
    Deliver(listing, ListingStatus::Failed(error, reason.empty() ? SystemErrorText(error) : std::string(reason)));
}

void SftpDirectoryLister::Deliver(Listing& listing, ListingStatus status) {
    for (const Listing::Name& entry : listing.names) {
        if (entry.name == "." || entry.name == ".." || entry.skipped) continue;
        DirectoryRecord record;
        record.name = entry.name;
        record.kind = entry.kind;
        record.size = entry.attributes.size;
        record.modifiedSeconds = entry.attributes.mtime;
        listing.receiver->Record(record);
    }
    listing.seen.clear();
    listing.names.clear();
    listing.receiver->Finished(std::move(status), nullptr);
}

}  // namespace kirvo
