#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "platform/sftp/sftp_lookahead.h"
#include "platform/sftp/sftp_wire.h"
#include "platform/sftp/ssh_login.h"

struct ssh_session_struct;
struct ssh_channel_struct;

namespace kirvo {

// One SSH connection with its file-transfer channel. Requests are sent
// without waiting (Send): one thread of the connection writes them out,
// reads every reply, matches it to its request by id and hands it to the
// request's callback, so any number of requests may be under way at once.
// Call sends one and waits for its reply.
//
// A connection that breaks, that leaves a request without its own reply for
// the reply timeout (stray replies and replies to other requests do not
// count), or whose server breaks the protocol (Fail) is lost: every waiting
// request, and every later one, gets the reply type 0 at once. Abort (from
// any thread) makes it lost at once. A request sent with a stop flag gets the
// type 0 within kStopLatency once the flag is set, and the connection stays.
class SftpConnection {
public:
    // Type 0: the connection is lost (body empty); otherwise the reply's type
    // and its fields after the id. Runs on the connection's thread, or on the
    // sender's when the connection is already lost; it may Send, never Call.
    using Callback = std::function<void(uint8_t type, std::string_view body)>;
    struct Reply {
        uint8_t type = 0;
        std::string body;
        // The status code of a STATUS reply, kStatusConnectionLost when lost, kBadMessage for anything unexpected.
        uint32_t status() const;
    };

    static constexpr std::chrono::milliseconds kStopLatency{200};

    // Logs in (see LogIn) and opens the file-transfer channel; null with the
    // fault and a German message.
    static std::shared_ptr<SftpConnection> Open(const RemoteAddress& address, RemoteLoginUi* ui,
                                                const LoginSettings& settings, LoginCancel& cancel, LoginFault& fault,
                                                std::string& message);
    ~SftpConnection();
    SftpConnection(const SftpConnection&) = delete;
    SftpConnection& operator=(const SftpConnection&) = delete;

    // stop: when set, the request is given up (type 0); it must stay valid until the callback has run.
    void Send(sftp::Packet&& packet, Callback callback, const std::atomic<bool>* stop = nullptr);
    Reply Call(sftp::Packet&& packet, const std::atomic<bool>* stop = nullptr);
    void Abort();
    // Ends the connection because its server broke the protocol or stalled;
    // the first reason is kept (a German clause, see lostReason).
    void Fail(std::string reason);
    bool lost() const { return lost_.load(); }
    // Why the connection was ended by us ("der Server ..."), or "" when it
    // broke off or was aborted.
    std::string lostReason() const;

    // Extensions of OpenSSH's server this one offers.
    bool posixRename() const { return posixRename_; }
    bool fsync() const { return fsync_; }
    // A server that sets a link's own time (lsetstat@openssh.com) is OpenSSH's
    // and takes the two paths of SYMLINK in its order (the link's text first):
    // links can be made there as copies.
    bool makesLinks() const { return lsetstat_; }
    // Tells connections apart (for the identity of their folders).
    uint64_t number() const { return number_; }
    // "sftp://user@host:port"
    const std::string& machine() const { return machine_; }
    // Answers asked for ahead of the looks that take them (see sftp::Foresee).
    SftpLookahead& lookahead() { return lookahead_; }

private:
    struct Waiting {
        Callback callback;
        const std::atomic<bool>* stop = nullptr;
    };
    struct Sent {
        uint32_t id;
        std::chrono::steady_clock::time_point at;
    };

    SftpConnection(ssh_session_struct* session, ssh_channel_struct* channel, std::string machine,
                   std::chrono::milliseconds replyTimeout);
    bool Handshake(std::string& message);
    void Run();
    bool WriteOut();
    bool ReadIn();
    void Dispatch(std::string_view packet);
    bool Overdue(std::chrono::steady_clock::time_point now);
    void GiveUpStopped();
    void Lose();

    ssh_session_struct* session_;
    ssh_channel_struct* channel_;
    std::string machine_;
    uint64_t number_;
    bool posixRename_ = false;
    bool fsync_ = false;
    bool lsetstat_ = false;
    int wake_ = -1;  // eventfd: something to send, or stop

    mutable std::mutex mutex_;  // outgoing_, waiting_, sentOrder_, lostReason_, lost_ transitions
    std::string outgoing_;
    std::unordered_map<uint32_t, Waiting> waiting_;
    size_t stoppable_ = 0;       // waiting requests with a stop flag
    std::deque<Sent> sentOrder_;  // every request in sending order; the answered leave from the front
    // The oldest waiting request's clock runs from when it was sent or from
    // when the one before it was answered, whichever is later: a server works
    // through its requests in order, so a long queue on a slow line is no stall.
    std::chrono::steady_clock::time_point frontSince_;
    std::chrono::milliseconds replyTimeout_;
    uint32_t nextId_ = 1;
    std::atomic<bool> lost_{false};
    std::atomic<bool> stopping_{false};
    std::string lostReason_;
    std::string incoming_;
    bool moreToRead_ = false;  // ReadIn stopped at its limit (connection thread only)
    SftpLookahead lookahead_;
    std::thread thread_;
};

}  // namespace kirvo
