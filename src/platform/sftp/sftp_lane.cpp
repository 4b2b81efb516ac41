#include "platform/sftp/sftp_lane.h"

#include <libssh/callbacks.h>
#include <libssh/libssh.h>

#include <algorithm>

namespace kirvo {
namespace {

uint32_t BigEndian(const char* p) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 8) | static_cast<uint8_t>(p[3]);
}

enum class ReadOutcome { Read, Ended, TimedOut };

// Reads exactly n bytes, waiting until the deadline at most.
ReadOutcome ReadExactly(ssh_channel channel, char* into, uint32_t n, std::chrono::steady_clock::time_point deadline) {
    while (n > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ReadOutcome::TimedOut;
        const int got = ssh_channel_read_timeout(channel, into, n, 0, static_cast<int>(left.count()));
        if (got < 0 || (got == 0 && (ssh_channel_is_eof(channel) || !ssh_channel_is_open(channel)))) return ReadOutcome::Ended;
        into += got;
        n -= static_cast<uint32_t>(got);
    }
    return ReadOutcome::Read;
}

}  // namespace

// The channel's data goes straight into incoming_; what the server writes
// to its error output is let go.
struct SftpLane::Listener {
    ssh_channel_callbacks_struct callbacks{};
    std::string* incoming = nullptr;
    uint64_t* arrived = nullptr;

    static int Data(ssh_session, ssh_channel, void* data, uint32_t len, int isStderr, void* self) {
        auto* listener = static_cast<Listener*>(self);
        if (!isStderr) listener->incoming->append(static_cast<const char*>(data), len);
        *listener->arrived += len;
        return static_cast<int>(len);
    }
};

SftpLane::SftpLane(ssh_session_struct* session)
    : session_(session), channel_(ssh_channel_new(session)), since_(std::chrono::steady_clock::now()) {
    if (channel_ == nullptr) step_ = Step::Gone;
}

SftpLane::~SftpLane() { Drop(); }

void SftpLane::Drop() {
    step_ = Step::Gone;
    if (channel_ == nullptr) return;
    if (listener_) ssh_remove_channel_callbacks(channel_, &listener_->callbacks);
    if (ssh_channel_is_open(channel_)) ssh_channel_close(channel_);
    ssh_channel_free(channel_);
    channel_ = nullptr;
}

void SftpLane::Listen() {
    if (channel_ == nullptr || listener_) return;
    // What the library holds already (the greeting's reads may have taken more) is taken first.
    char buffer[64 * 1024];
    for (int n; (n = ssh_channel_read_nonblocking(channel_, buffer, sizeof buffer, 0)) > 0;)
        incoming_.append(buffer, static_cast<size_t>(n));
    listener_ = std::make_unique<Listener>();
    listener_->incoming = &incoming_;
    listener_->arrived = &arrived_;
    arrived_ = kWindow;  // widened as soon as it is ready
    listener_->callbacks.userdata = listener_.get();
    listener_->callbacks.channel_data_function = &Listener::Data;
    ssh_callbacks_init(&listener_->callbacks);
    ssh_add_channel_callbacks(channel_, &listener_->callbacks);
}

bool SftpLane::SendInit() {
    // Copied within the full expression: the packet is a temporary.
    const std::string bytes = sftp::Packet(sftp::kInit).u32(3).finish(0);
    return ssh_channel_write(channel_, bytes.data(), static_cast<uint32_t>(bytes.size())) == static_cast<int>(bytes.size());
}

SftpLane::Fault SftpLane::OpenNow(std::chrono::steady_clock::time_point deadline) {
    if (channel_ == nullptr || ssh_channel_open_session(channel_) != SSH_OK ||
        ssh_channel_request_subsystem(channel_, "sftp") != SSH_OK)
        return Fault::NoSubsystem;
    if (!SendInit()) return Fault::CannotBegin;
    // A server that never answers holds nobody: it has a deadline, as every request.
    const auto fault = [](ReadOutcome outcome) { return outcome == ReadOutcome::TimedOut ? Fault::Silent : Fault::NotSftp; };
    char head[4];
    if (const ReadOutcome got = ReadExactly(channel_, head, 4, deadline); got != ReadOutcome::Read) return fault(got);
    if (BigEndian(head) == 0 || BigEndian(head) > kMaxPacket) return Fault::NotSftp;
    std::string body(BigEndian(head), '\0');
    if (const ReadOutcome got = ReadExactly(channel_, body.data(), static_cast<uint32_t>(body.size()), deadline);
        got != ReadOutcome::Read)
        return fault(got);
    if (body[0] != sftp::kVersion || !sftp::ParseGreeting(std::string_view(body).substr(1), greeting_))
        return Fault::NotSftp;
    if (greeting_.version < 3) return Fault::TooOld;
    step_ = Step::Ready;
    return Fault::None;
}

bool SftpLane::Advance(const sftp::Greeting& expected) {
    const Step before = step_;
    if (step_ == Step::Opening) {
        Listen();
        const int rc = ssh_channel_open_session(channel_);
        if (rc == SSH_OK) step_ = Step::Starting;
        if (rc == SSH_ERROR) Drop();
    }
    if (step_ == Step::Starting) {
        const int rc = ssh_channel_request_subsystem(channel_, "sftp");
        if (rc == SSH_OK) step_ = SendInit() ? Step::Greeting : Step::Gone;
        if (rc == SSH_ERROR || step_ == Step::Gone) Drop();
    }
    if (step_ == Step::Greeting) {
        const Taken taken = TakePackets([&](std::string_view packet) {
            // The first packet is the greeting: the same server as on the first lane, or none at all.
            sftp::Greeting greeting;
            const bool same = packet[0] == sftp::kVersion && sftp::ParseGreeting(packet.substr(1), greeting) &&
                              greeting == expected;
            if (same) greeting_ = greeting;
            step_ = same ? Step::Ready : Step::Gone;
            return false;
        });
        // Nothing may follow the greeting before our first request.
        if (step_ == Step::Gone || taken == Taken::NotSftp || (step_ == Step::Ready && !incoming_.empty()) || ended())
            Drop();
    }
    return step_ != before;
}

bool SftpLane::WriteSome(const std::string& bytes, size_t& at) {
    // Never more than the channel's window: the session does not block, so
    // what the server is not ready for waits here, not in the library.
    while (at < bytes.size()) {
        const uint32_t window = ssh_channel_window_size(channel_);
        if (window == 0) return true;
        const auto n = static_cast<uint32_t>(std::min<size_t>({bytes.size() - at, window, 256u << 10}));
        const int written = ssh_channel_write(channel_, bytes.data() + at, n);
        if (written < 0) return false;
        if (written == 0) return true;
        at += static_cast<size_t>(written);
    }
    return true;
}

SftpLane::Taken SftpLane::TakePackets(const std::function<bool(std::string_view packet)>& take) {
    size_t at = 0;
    Taken outcome = Taken::Ok;
    while (incoming_.size() - at >= 4) {
        const uint32_t length = BigEndian(incoming_.data() + at);
        if (length < 5 || length > kMaxPacket) {
            outcome = Taken::NotSftp;
            break;
        }
        if (incoming_.size() - at - 4 < length) break;
        const bool goOn = take(std::string_view(incoming_).substr(at + 4, length));
        at += 4 + length;
        if (!goOn) {
            outcome = Taken::Stopped;
            break;
        }
    }
    incoming_.erase(0, at);
    return outcome;
}

bool SftpLane::Pump() { return channel_ != nullptr && ssh_channel_poll(channel_, 0) != SSH_ERROR; }

bool SftpLane::Widen() {
    if (step_ != Step::Ready || arrived_ < kWindow / 4) return true;
    arrived_ = 0;
    // A read asking for kWindow bytes grows the window to that; what arrives
    // goes to the listener, so it returns at once with nothing.
    if (!spare_) spare_ = std::make_unique_for_overwrite<char[]>(kWindow);
    const int got = ssh_channel_read_timeout(channel_, spare_.get(), kWindow, 0, 0);
    if (got > 0) incoming_.append(spare_.get(), static_cast<size_t>(got));
    return got != SSH_ERROR;
}

bool SftpLane::ended() const {
    return channel_ == nullptr || ssh_channel_is_eof(channel_) != 0 || ssh_channel_is_open(channel_) == 0;
}

}  // namespace kirvo
