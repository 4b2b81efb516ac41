#include "platform/sftp/sftp_directory_lister.h"

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/sftp/sftp_calls.h"
#include "platform/temporary_name.h"

namespace kirvo {

struct SftpDirectoryLister::Listing {
    struct Name {
        std::string name;
        sftp::Attributes attributes;
        RecordKind kind = RecordKind::Other;
    };
    // Not owned: the lister holds the connection until every listing has
    // finished, and a callback must never end the connection on its own thread.
    SftpConnection* connection = nullptr;
    std::string path;
    std::string handle;
    DirectoryLister::Request request;
    ListingReceiver* receiver = nullptr;
    std::vector<Name> names;
    std::atomic<size_t> linksLeft{0};
};

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
        if (type != sftp::kHandle) {
            Deliver(*listing, Failure(type, body));
            return;
        }
        listing->handle = std::string(sftp::Reader(body).str());
        Read(listing);
    });
}

// One READDIR after the other on the folder's handle; other folders' requests go between them.
void SftpDirectoryLister::Read(const std::shared_ptr<Listing>& listing) {
    const auto close = [](const std::shared_ptr<Listing>& l) {
        l->connection->Send(std::move(sftp::Packet(sftp::kClose).str(l->handle)), [](uint8_t, std::string_view) {});
    };
    if (listing->request.stop && listing->request.stop->load(std::memory_order_relaxed)) {
        close(listing);
        Deliver(*listing, ListingStatus::Failed(ECANCELED, "abgebrochen"));
        return;
    }
    listing->connection->Send(std::move(sftp::Packet(sftp::kReaddir).str(listing->handle)),
                              [listing, close](uint8_t type, std::string_view body) {
        if (type == sftp::kName) {
            sftp::Reader reader(body);
            const uint32_t count = reader.u32();
            for (uint32_t i = 0; i < count && !reader.failed(); ++i) {
                Listing::Name entry;
                entry.name = std::string(reader.str());
                reader.str();  // the long form, as ls shows it
                entry.attributes = reader.attrs();
                if (!reader.failed()) listing->names.push_back(std::move(entry));
            }
            Read(listing);
            return;
        }
        if (type == 0) {
            Deliver(*listing, Failure(type, body));
            return;
        }
        // The end (or an error, which ends the listing the same way).
        close(listing);
        Resolve(listing);
    });
}

// A link is described as what it points to: one STAT per link, all at once.
void SftpDirectoryLister::Resolve(const std::shared_ptr<Listing>& listing) {
    std::vector<size_t> links;
    for (size_t i = 0; i < listing->names.size(); ++i) {
        Listing::Name& entry = listing->names[i];
        switch (entry.attributes.type()) {
        case sftp::kTypeFolder: entry.kind = RecordKind::Directory; break;
        case sftp::kTypeFile:
            entry.kind = TemporaryName::HasOurForm(entry.name) ? RecordKind::Other : RecordKind::File;
            break;
        case sftp::kTypeLink:
            if (entry.name != "." && entry.name != "..") links.push_back(i);
            break;
        default: entry.kind = RecordKind::Other; break;
        }
    }
    if (links.empty()) {
        Deliver(*listing, {});
        return;
    }
    listing->linksLeft = links.size();
    for (size_t i : links) {
        listing->connection->Send(std::move(sftp::Packet(sftp::kStat).str(sftp::Join(listing->path, listing->names[i].name))),
                                  [listing, i](uint8_t type, std::string_view body) {
            Listing::Name& entry = listing->names[i];
            if (type == sftp::kAttrs) {
                const sftp::Attributes target = sftp::Reader(body).attrs();
                // A link to a file stands for that file; to a folder (or nowhere) it is never entered.
                if (target.type() == sftp::kTypeFile) {
                    entry.kind = RecordKind::File;
                    entry.attributes = target;
                }
            }
            if (--listing->linksLeft == 0) Deliver(*listing, {});
        });
    }
}

ListingStatus SftpDirectoryLister::Failure(uint8_t type, std::string_view body) {
    int error = kConnectionLost;
    if (type == sftp::kStatus) {
        sftp::Reader reader(body);
        error = sftp::ErrorOf(reader.u32());
        if (reader.failed()) error = EIO;
    } else if (type != 0) {
        error = EIO;
    }
    return ListingStatus::Failed(error, SystemErrorText(error));
}

void SftpDirectoryLister::Deliver(Listing& listing, ListingStatus status) {
    for (const Listing::Name& entry : listing.names) {
        DirectoryRecord record;
        record.name = entry.name;
        record.kind = entry.kind;
        record.size = entry.attributes.size;
        record.modifiedSeconds = entry.attributes.mtime;
        listing.receiver->Record(record);
    }
    listing.names.clear();
    listing.receiver->Finished(std::move(status), nullptr);
}

}  // namespace kirvo
