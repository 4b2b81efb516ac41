#pragma once
#include <memory>
#include <string>

#include "platform/directory_lister.h"
#include "platform/sftp/sftp_connection.h"

namespace kirvo {

// The lister of a folder tree on another machine. Each listing is
// OPENDIR, READDIR until the end, CLOSE, all sent without waiting on the one
// connection, as many folders at once as the scan asks for; the attributes
// come with the names, so there is no request per file (only a link is asked
// about once more, to describe it as what it points to). Our temporary files
// are left out by their name form.
class SftpDirectoryLister final : public DirectoryLister {
public:
    // rootPath: the root as the server resolved it (absolute).
    SftpDirectoryLister(std::shared_ptr<SftpConnection> connection, std::string rootPath)
        : connection_(std::move(connection)), rootPath_(std::move(rootPath)) {}

    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override { return kInFlight; }
    void SetInFlight(int /*count*/) override {}
    void Start(const Request& request, ListingReceiver& receiver) override;

    static constexpr int kInFlight = 64;

private:
    struct Listing;
    static void Read(const std::shared_ptr<Listing>& listing);
    static void Resolve(const std::shared_ptr<Listing>& listing);
    // Why a folder could not be listed, from a reply that ended it (0: the connection broke off).
    static ListingStatus Failure(uint8_t type, std::string_view body);
    static void Deliver(Listing& listing, ListingStatus status);

    std::shared_ptr<SftpConnection> connection_;
    std::string rootPath_;
};

}  // namespace kirvo
