#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

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
// A connection that breaks, or that answers nothing for kReplyTimeout while
// requests wait, is lost: every waiting request, and every later one, gets
// the reply type 0 at once. Abort (from any thread) makes it lost at once.
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

    static constexpr std::chrono::seconds kReplyTimeout{30};

    // Logs in (see LogIn) and opens the file-transfer channel; null with the
    // fault and a German message.
    static std::shared_ptr<SftpConnection> Open(const RemoteAddress& address, RemoteLoginUi* ui,
                                                const LoginSettings& settings, LoginCancel& cancel, LoginFault& fault,
                                                std::string& message);
    ~SftpConnection();
    SftpConnection(const SftpConnection&) = delete;
    SftpConnection& operator=(const SftpConnection&) = delete;

    void Send(sftp::Packet&& packet, Callback callback);
    Reply Call(sftp::Packet&& packet);
    void Abort();
    bool lost() const { return lost_.load(); }

    // Extensions of OpenSSH's server this one offers.
    bool posixRename() const { return posixRename_; }
    bool fsync() const { return fsync_; }
    // Tells connections apart (for the identity of their folders).
    uint64_t number() const { return number_; }
    // "sftp://user@host:port"
    const std::string& machine() const { return machine_; }

private:
    SftpConnection(ssh_session_struct* session, ssh_channel_struct* channel, std::string machine);
    bool Handshake(std::string& message);
    void Run();
    bool WriteOut();
    bool ReadIn();
    void Dispatch(std::string_view packet);
    void Lose();

    ssh_session_struct* session_;
    ssh_channel_struct* channel_;
    std::string machine_;
    uint64_t number_;
    bool posixRename_ = false;
    bool fsync_ = false;
    int wake_ = -1;  // eventfd: something to send, or stop

    std::mutex mutex_;  // outgoing_, waiting_, lost_ transitions
    std::string outgoing_;
    std::unordered_map<uint32_t, Callback> waiting_;
    uint32_t nextId_ = 1;
    std::atomic<bool> lost_{false};
    std::atomic<bool> stopping_{false};
    std::string incoming_;
    std::chrono::steady_clock::time_point lastHeard_;
    std::thread thread_;
};

}  // namespace kirvo
