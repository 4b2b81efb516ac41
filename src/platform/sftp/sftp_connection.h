#pragma once
#include <array>
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
#include <vector>

#include "platform/sftp/sftp_lane.h"
#include "platform/sftp/sftp_lookahead.h"
#include "platform/sftp/sftp_wire.h"
#include "platform/sftp/ssh_login.h"

struct ssh_session_struct;
struct ssh_counter_struct;

namespace kirvo {

// One SSH connection with its file-transfer channels ("lanes", see
// SftpLane): the first is opened with the connection, the others
// (LoginSettings::channels in all) alongside on its thread, joining as they
// are ready. OpenSSH's server works through the requests of one lane in
// order, the lanes side by side: the first lane takes the looks, the
// listings and everything else that is waited for at once, the others the
// data of the files (PickLane), so a look never waits behind a file's flush,
// and several files are flushed at once. A handle belongs to the lane it was
// opened on, so every request of one file goes there.
//
// Requests are sent without waiting (Send): one thread of the connection
// drives every lane, writes the requests out, reads every reply, matches it
// to its request by id and hands it to the request's callback, so any number
// of requests may be under way at once. Call sends one and waits for its reply.
//
// A connection that breaks, one of whose lanes ends, that leaves a request
// without its own reply for the reply timeout (stray replies and replies to
// other requests do not count), or whose server breaks the protocol (Fail)
// is lost: every waiting request, and every later one, gets the reply type 0
// at once. Abort (from any thread) makes it lost at once. A request sent
// with a stop flag gets the type 0 within kStopLatency once the flag is set,
// and the connection stays. A lane that cannot be opened within the reply
// timeout is left out; the connection goes on with the others.
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
    static constexpr int kMaxLanes = 8;
    // What one READ or WRITE carries where the server does not say more is allowed.
    static constexpr uint32_t kSmallBlock = 32 * 1024;

    // Logs in (see LogIn) and opens the first file-transfer lane; null with
    // the fault and a German message.
    static std::shared_ptr<SftpConnection> Open(const RemoteAddress& address, RemoteLoginUi* ui,
                                                const LoginSettings& settings, LoginCancel& cancel, LoginFault& fault,
                                                std::string& message);
    ~SftpConnection();
    SftpConnection(const SftpConnection&) = delete;
    SftpConnection& operator=(const SftpConnection&) = delete;

    // stop: when set, the request is given up (type 0); it must stay valid
    // until the callback has run. lane: 0, or as PickLane gave it.
    void Send(sftp::Packet&& packet, Callback callback, const std::atomic<bool>* stop = nullptr, int lane = 0);
    Reply Call(sftp::Packet&& packet, const std::atomic<bool>* stop = nullptr, int lane = 0);
    // The lane for the requests of one file (all of them go there): the ready
    // lane beyond the first with the least under way; the first while there is no other.
    int PickLane();
    // How many lanes are ready now.
    int lanes() const;
    void Abort();
    // Ends the connection because its server broke the protocol or stalled;
    // the first reason is kept (a German clause, see lostReason).
    void Fail(std::string reason);
    bool lost() const { return lost_.load(); }
    // Why the connection was ended by us ("der Server ..."), or "" when it
    // broke off or was aborted.
    std::string lostReason() const;

    // Extensions of OpenSSH's server this one offers.
    bool posixRename() const { return greeting_.posixRename; }
    bool fsync() const { return greeting_.fsync; }
    // A server that sets a link's own time (lsetstat@openssh.com) is OpenSSH's
    // and takes the two paths of SYMLINK in its order (the link's text first):
    // links can be made there as copies.
    bool makesLinks() const { return greeting_.lsetstat; }
    // How much one WRITE or READ carries: what the server allows
    // (limits@openssh.com), in whole 4 KiB, at most 248 KiB; kSmallBlock
    // until it has said so, or where it does not.
    uint32_t writeBlock() const { return writeBlock_.load(std::memory_order_relaxed); }
    uint32_t readBlock() const { return readBlock_.load(std::memory_order_relaxed); }
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
        int lane = 0;
        uint64_t bytes = 0;
    };
    struct Sent {
        uint32_t id;
        std::chrono::steady_clock::time_point at;
    };
    // What waits to be sent on one lane and what is under way there (under mutex_).
    struct Queue {
        bool ready = false;
        std::string outgoing;
        std::deque<Sent> sentOrder;  // in sending order; the answered leave from the front
        // The oldest waiting request's clock runs from when it was sent or from
        // when the one before it was answered, whichever is later: a server works
        // through its requests in order, so a long queue on a slow line is no stall.
        std::chrono::steady_clock::time_point frontSince;
        size_t requests = 0;  // under way
        uint64_t bytes = 0;
    };

    SftpConnection(ssh_session_struct* session, std::unique_ptr<SftpLane> first, std::string machine,
                   const LoginSettings& settings);
    void AskLimits();
    void Run();
    bool OpenLanes(bool& progressed);
    bool WriteOut(bool& progressed);
    bool ReadIn(bool& progressed);
    bool Dispatch(int lane, std::string_view packet);
    bool Overdue(std::chrono::steady_clock::time_point now);
    void GiveUpStopped();
    void Lose();

    ssh_session_struct* session_;
    std::string machine_;
    uint64_t number_;
    sftp::Greeting greeting_;  // the first lane's
    int wantedLanes_;
    std::atomic<uint32_t> writeBlock_{kSmallBlock}, readBlock_{kSmallBlock};
    int wake_ = -1;  // eventfd: something to send, or stop

    mutable std::mutex mutex_;  // queues_, waiting_, lostReason_, lost_ transitions
    std::array<Queue, kMaxLanes> queues_;
    std::unordered_map<uint32_t, Waiting> waiting_;
    size_t stoppable_ = 0;  // waiting requests with a stop flag
    std::chrono::milliseconds replyTimeout_;
    uint32_t nextId_ = 1;
    std::atomic<bool> lost_{false};
    std::atomic<bool> stopping_{false};
    std::string lostReason_;

    // The connection's thread only (the first lane also before it starts).
    std::vector<std::unique_ptr<SftpLane>> lanes_;
    std::array<std::string, kMaxLanes> sending_;
    std::array<size_t, kMaxLanes> sent_{};
    std::unique_ptr<ssh_counter_struct> received_;  // what the library has read from the connection

    SftpLookahead lookahead_;
    std::thread thread_;
};

}  // namespace kirvo
