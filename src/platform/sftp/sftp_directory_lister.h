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
//
// Only STATUS EOF ends a folder; any other status ends its listing as
// incomplete (what came before is kept), and a name that cannot be one (empty,
// with "/" or NUL, "." or ".." as a file) leaves the whole folder unread: it
// never becomes a path. A server that repeats a folder's names, sends
// empty NAME replies without end, or more than kMaxNames names or
// kMaxNameBytes bytes of names for one folder breaks the protocol: the
// connection ends, and the run reports it lost.
class SftpDirectoryLister final : public DirectoryLister {
public:
    // rootPath: the root as the server resolved it (absolute).
    SftpDirectoryLister(std::shared_ptr<SftpConnection> connection, std::string rootPath)
        : connection_(std::move(connection)), rootPath_(std::move(rootPath)) {}

    ListingStatus OpenRoot(const std::string& root) override;
    int AutomaticInFlight() const override { return kInFlight; }
    void SetInFlight(int /*count*/) override {}
    void Start(const Request& request, ListingReceiver& receiver) override;
    // SFTP version 3 carries unsigned 32-bit seconds.
    TimeRange StorableTimes() const override { return {0, 0xFFFFFFFF}; }

    static constexpr int kInFlight = 64;
    static constexpr size_t kMaxNames = 10'000'000;
    static constexpr uint64_t kMaxNameBytes = uint64_t{1} << 30;
    static constexpr int kMaxEmptyReplies = 16;

private:
    struct Listing;
    static void Read(const std::shared_ptr<Listing>& listing);
    static void Take(const std::shared_ptr<Listing>& listing, std::string_view body);
    static void Resolve(const std::shared_ptr<Listing>& listing);
    static void Close(Listing& listing);
    static void Broken(Listing& listing, const std::string& what);
    static void Unreadable(Listing& listing, int error, std::string_view reason);
    static void Deliver(Listing& listing, ListingStatus status);

    std::shared_ptr<SftpConnection> connection_;
    std::string rootPath_;
};

}  // namespace kirvo
