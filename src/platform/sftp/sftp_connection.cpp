#include "platform/sftp/sftp_connection.h"

#include <libssh/libssh.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <vector>

namespace kirvo {
namespace {

std::atomic<uint64_t> gConnections{0};

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

constexpr uint32_t kMaxPacket = 1u << 20;  // servers send at most 256 KiB

}  // namespace

uint32_t SftpConnection::Reply::status() const {
    if (type == 0) return sftp::kStatusConnectionLost;
    if (type != sftp::kStatus) return sftp::kBadMessage;
    sftp::Reader reader(body);
    const uint32_t code = reader.u32();
    return reader.failed() ? sftp::kBadMessage : code;
}

std::shared_ptr<SftpConnection> SftpConnection::Open(const RemoteAddress& address, RemoteLoginUi* ui,
                                                     const LoginSettings& settings, LoginCancel& cancel,
                                                     LoginFault& fault, std::string& message) {
    ssh_session session = LogIn(address, ui, settings, cancel, fault, message);
    if (session == nullptr) return nullptr;
    const auto giveUp = [&](ssh_channel channel, std::string text) -> std::shared_ptr<SftpConnection> {
        if (channel) ssh_channel_free(channel);
        ssh_disconnect(session);
        ssh_free(session);
        fault = LoginFault::NoFileTransfer;
        message = std::move(text);
        return nullptr;
    };
    ssh_channel channel = ssh_channel_new(session);
    if (channel == nullptr || ssh_channel_open_session(channel) != SSH_OK ||
        ssh_channel_request_subsystem(channel, "sftp") != SSH_OK)
        return giveUp(channel, "„" + address.Machine() + "“ bietet keine Dateiübertragung (SFTP) an: " +
                                   ssh_get_error(session) + ".");
    std::shared_ptr<SftpConnection> connection(
        new SftpConnection(session, channel, address.Machine(), settings.replyTimeout));
    if (!connection->Handshake(message)) {
        fault = LoginFault::NoFileTransfer;
        return nullptr;
    }
    try {
        connection->thread_ = std::thread([c = connection.get()] { c->Run(); });
    } catch (const std::system_error&) {
        fault = LoginFault::Failed;
        message = "„" + address.Machine() + "“: Für die Verbindung lässt sich kein Thread mehr starten (zu viele Prozesse).";
        return nullptr;
    }
    return connection;
}

SftpConnection::SftpConnection(ssh_session_struct* session, ssh_channel_struct* channel, std::string machine,
                               std::chrono::milliseconds replyTimeout)
    : session_(session),
      channel_(channel),
      machine_(std::move(machine)),
      number_(++gConnections),
      replyTimeout_(replyTimeout) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

SftpConnection::~SftpConnection() {
    stopping_ = true;
    if (wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = write(wake_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    Lose();
    ssh_channel_close(channel_);
    ssh_channel_free(channel_);
    ssh_disconnect(session_);
    ssh_free(session_);
    if (wake_ >= 0) close(wake_);
}

bool SftpConnection::Handshake(std::string& message) {
    // Copied within the full expression: the packet is a temporary.
    const std::string bytes = sftp::Packet(sftp::kInit).u32(3).finish(0);
    if (ssh_channel_write(channel_, bytes.data(), static_cast<uint32_t>(bytes.size())) != static_cast<int>(bytes.size())) {
        message = "„" + machine_ + "“: Die Dateiübertragung lässt sich nicht beginnen.";
        return false;
    }
    // A server that never answers holds nobody: it has the reply timeout, as every request.
    const auto deadline = std::chrono::steady_clock::now() + replyTimeout_;
    const auto notSftp = [&](ReadOutcome outcome) {
        message = "„" + machine_ + "“: " +
                  (outcome == ReadOutcome::TimedOut ? "Der Server beginnt die Dateiübertragung nicht."
                                                    : "Der Server antwortet nicht wie ein SFTP-Server.");
        return false;
    };
    char head[4];
    if (const ReadOutcome got = ReadExactly(channel_, head, 4, deadline); got != ReadOutcome::Read) return notSftp(got);
    if (BigEndian(head) == 0 || BigEndian(head) > kMaxPacket) return notSftp(ReadOutcome::Ended);
    std::string body(BigEndian(head), '\0');
    if (const ReadOutcome got = ReadExactly(channel_, body.data(), static_cast<uint32_t>(body.size()), deadline);
        got != ReadOutcome::Read)
        return notSftp(got);
    if (body[0] != sftp::kVersion) return notSftp(ReadOutcome::Ended);
    sftp::Reader reader(std::string_view(body).substr(1));
    if (reader.u32() < 3) {
        message = "„" + machine_ + "“: Der SFTP-Server ist zu alt (Version 3 wird gebraucht).";
        return false;
    }
    while (!reader.empty() && !reader.failed()) {
        const std::string_view name = reader.str();
        reader.str();
        if (name == "posix-rename@openssh.com") posixRename_ = true;
        if (name == "fsync@openssh.com") fsync_ = true;
        if (name == "lsetstat@openssh.com") lsetstat_ = true;
    }
    return true;
}

void SftpConnection::Send(sftp::Packet&& packet, Callback callback, const std::atomic<bool>* stop) {
    {
        std::unique_lock lock(mutex_);
        if (!lost_) {
            const uint32_t id = nextId_++;
            if (nextId_ == 0) nextId_ = 1;
            outgoing_.append(packet.finish(id));
            waiting_.insert_or_assign(id, Waiting{std::move(callback), stop});
            if (stop) ++stoppable_;
            sentOrder_.push_back({id, std::chrono::steady_clock::now()});
            lock.unlock();
            const uint64_t one = 1;
            [[maybe_unused]] auto n = write(wake_, &one, sizeof one);
            return;
        }
    }
    callback(0, {});
}

SftpConnection::Reply SftpConnection::Call(sftp::Packet&& packet, const std::atomic<bool>* stop) {
    struct Waiter {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        Reply reply;
    };
    auto waiter = std::make_shared<Waiter>();
    Send(std::move(packet), [waiter](uint8_t type, std::string_view body) {
        const std::lock_guard lock(waiter->mutex);
        waiter->reply.type = type;
        waiter->reply.body.assign(body);
        waiter->finished = true;
        waiter->done.notify_all();
    }, stop);
    std::unique_lock lock(waiter->mutex);
    waiter->done.wait(lock, [&] { return waiter->finished; });
    return std::move(waiter->reply);
}

void SftpConnection::Fail(std::string reason) {
    {
        const std::lock_guard lock(mutex_);
        if (lost_) return;
        lostReason_ = std::move(reason);
    }
    Abort();
}

std::string SftpConnection::lostReason() const {
    const std::lock_guard lock(mutex_);
    return lostReason_;
}

void SftpConnection::Abort() {
    if (lost_.exchange(true)) return;
    if (const int fd = ssh_get_fd(session_); fd >= 0) shutdown(fd, SHUT_RDWR);
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(wake_, &one, sizeof one);
}

// Every request still waiting learns that no reply will come.
void SftpConnection::Lose() {
    std::unordered_map<uint32_t, Waiting> waiting;
    {
        const std::lock_guard lock(mutex_);
        lost_ = true;
        waiting.swap(waiting_);
        stoppable_ = 0;
        sentOrder_.clear();
        outgoing_.clear();
    }
    for (auto& [id, request] : waiting) request.callback(0, {});
}

bool SftpConnection::Overdue(std::chrono::steady_clock::time_point now) {
    const std::lock_guard lock(mutex_);
    while (!sentOrder_.empty() && !waiting_.contains(sentOrder_.front().id)) {
        sentOrder_.pop_front();
        frontSince_ = now;
    }
    return !sentOrder_.empty() && now - std::max(sentOrder_.front().at, frontSince_) > replyTimeout_;
}

void SftpConnection::GiveUpStopped() {
    std::vector<Callback> stopped;
    {
        const std::lock_guard lock(mutex_);
        if (stoppable_ == 0) return;
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (it->second.stop && it->second.stop->load(std::memory_order_relaxed)) {
                stopped.push_back(std::move(it->second.callback));
                it = waiting_.erase(it);
                --stoppable_;
            } else {
                ++it;
            }
        }
    }
    for (Callback& callback : stopped) callback(0, {});
}

void SftpConnection::Run() {
    const int fd = ssh_get_fd(session_);
    while (!stopping_) {
        if (lost_ || !WriteOut() || !ReadIn()) break;
        GiveUpStopped();
        if (Overdue(std::chrono::steady_clock::now())) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(replyTimeout_).count();
            Fail("der Server hat " + std::to_string(seconds) + " Sekunden lang nicht auf eine Anfrage geantwortet");
            break;
        }
        bool idle;
        {
            const std::lock_guard lock(mutex_);
            idle = outgoing_.empty();
        }
        if (!idle || moreToRead_) continue;
        pollfd polls[2] = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(polls, 2, static_cast<int>(kStopLatency.count())) < 0 && errno != EINTR) break;
        if (polls[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] auto n = read(wake_, &count, sizeof count);
        }
        if (polls[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            ReadIn();
            break;
        }
    }
    if (const int socket = ssh_get_fd(session_); socket >= 0 && !stopping_) shutdown(socket, SHUT_RDWR);
    Lose();
}

bool SftpConnection::WriteOut() {
    std::string sending;
    {
        const std::lock_guard lock(mutex_);
        sending.swap(outgoing_);
    }
    // In slices, with the replies read in between: a server whose replies
    // are not taken stops taking requests.
    size_t at = 0;
    while (at < sending.size()) {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(sending.size() - at, 256u << 10));
        const int written = ssh_channel_write(channel_, sending.data() + at, n);
        if (written <= 0) return false;
        at += static_cast<size_t>(written);
        if (at < sending.size() && !ReadIn()) return false;
    }
    return true;
}

bool SftpConnection::ReadIn() {
    char buffer[64 * 1024];
    // At most 4 MiB at a time: a server that sends without pause still meets the deadline and the stop.
    moreToRead_ = false;
    for (int round = 0; round < 64; ++round) {
        const int n = ssh_channel_read_nonblocking(channel_, buffer, sizeof buffer, 0);
        if (n < 0) return false;
        if (n == 0) return ssh_channel_is_eof(channel_) == 0 && ssh_channel_is_open(channel_) != 0;
        incoming_.append(buffer, static_cast<size_t>(n));
        size_t at = 0;
        while (incoming_.size() - at >= 4) {
            const uint32_t length = BigEndian(incoming_.data() + at);
            if (length < 5 || length > kMaxPacket) {
                Fail("der Server hat ein Paket geschickt, das kein SFTP ist");
                return false;
            }
            if (incoming_.size() - at - 4 < length) break;
            Dispatch(std::string_view(incoming_).substr(at + 4, length));
            if (lost_) return false;  // a reply broke the protocol
            at += 4 + length;
        }
        incoming_.erase(0, at);
    }
    moreToRead_ = true;
    return true;
}

void SftpConnection::Dispatch(std::string_view packet) {
    const auto type = static_cast<uint8_t>(packet[0]);
    const uint32_t id = BigEndian(packet.data() + 1);
    Callback callback;
    {
        const std::lock_guard lock(mutex_);
        const auto it = waiting_.find(id);
        if (it == waiting_.end()) return;  // nobody asked (or gave up): ignored
        callback = std::move(it->second.callback);
        if (it->second.stop) --stoppable_;
        waiting_.erase(it);
    }
    callback(type, packet.substr(5));
}

}  // namespace kirvo
