#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/sftp/sftp_wire.h"

struct ssh_session_struct;
struct ssh_channel_struct;

namespace kirvo {

// One channel of an SSH connection with a file-transfer server of its own on
// the other side (OpenSSH starts one process per channel): the server works
// through the requests of its channel in order, the channels side by side.
// The lane opens its channel, greets the server, writes requests out as far
// as the channel takes them and cuts what arrives into packets. It is used by
// one thread at a time: the first lane is opened before the connection's
// thread starts (waiting), every later one on that thread without waiting.
class SftpLane {
public:
    enum class Step { Opening, Starting, Greeting, Ready, Gone };
    // Why the first lane could not be opened.
    enum class Fault { None, NoSubsystem, CannotBegin, Silent, NotSftp, TooOld };
    enum class Taken { Ok, NotSftp, Stopped };

    static constexpr uint32_t kMaxPacket = 1u << 20;  // servers send at most 256 KiB

    explicit SftpLane(ssh_session_struct* session);
    ~SftpLane();
    SftpLane(const SftpLane&) = delete;
    SftpLane& operator=(const SftpLane&) = delete;

    // Opens the channel, starts the server and greets it, waiting until the
    // deadline at most (the session blocks). Fault::None when ready.
    Fault OpenNow(std::chrono::steady_clock::time_point deadline);
    // From now on what arrives on the channel is kept here as the library
    // takes it from the connection, whichever call made it read.
    void Listen();
    // One step of opening without waiting (the session does not block; the
    // lane listens): true when the lane moved on. It is Ready once its
    // server greeted with `expected` (the first lane's greeting), Gone when
    // anything else came.
    bool Advance(const sftp::Greeting& expected);
    // Ends the lane (its channel is closed).
    void Drop();

    // Writes as much of bytes (from `at` on) as the channel takes now,
    // advancing `at`; false when the channel broke.
    bool WriteSome(const std::string& bytes, size_t& at);
    // Hands each complete packet that has arrived to `take` (false there: stop).
    Taken TakePackets(const std::function<bool(std::string_view packet)>& take);
    // Lets the library take what has arrived on the connection, for every
    // lane (at most 4 KiB); false when the connection broke.
    bool Pump();
    // Whether the server has ended its channel.
    bool ended() const;
    // Lets the server send up to kWindow ahead again once kWindow / 4 has
    // arrived: the library's own window (1.25 MB, topped up only when half
    // of it is used) would hold a read-ahead to about 100 MB/s at 10 ms.
    bool Widen();

    static constexpr uint32_t kWindow = 4u << 20;

    Step step() const { return step_; }
    const sftp::Greeting& greeting() const { return greeting_; }
    // When the lane began to open (the deadline of an opening lane runs from there).
    std::chrono::steady_clock::time_point since() const { return since_; }

private:
    struct Listener;
    bool SendInit();

    ssh_session_struct* session_;
    ssh_channel_struct* channel_ = nullptr;
    std::unique_ptr<Listener> listener_;
    Step step_ = Step::Opening;
    sftp::Greeting greeting_;
    std::string incoming_;
    uint64_t arrived_ = 0;  // bytes since the window was last widened
    std::unique_ptr<char[]> spare_;  // where a read while widening would put data (callbacks take all of it)
    std::chrono::steady_clock::time_point since_;
};

}  // namespace kirvo
