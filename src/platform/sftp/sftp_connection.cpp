#include "platform/sftp/sftp_connection.h"

#include <libssh/libssh.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <system_error>
#include <vector>

namespace kirvo {
namespace {

std::atomic<uint64_t> gConnections{0};

uint32_t BigEndian(const char* p) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 8) | static_cast<uint8_t>(p[3]);
}

// Reads exactly n bytes, blocking; false on the end or an error.
bool ReadExactly(ssh_channel channel, char* into, uint32_t n) {
    while (n > 0) {
        const int got = ssh_channel_read(channel, into, n, 0);
        if (got <= 0) return false;
        into += got;
        n -= static_cast<uint32_t>(got);
    }
    return true;
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
    std::shared_ptr<SftpConnection> connection(new SftpConnection(session, channel, address.Machine()));
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

SftpConnection::SftpConnection(ssh_session_struct* session, ssh_channel_struct* channel, std::string machine)
    : session_(session), channel_(channel), machine_(std::move(machine)), number_(++gConnections) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    lastHeard_ = std::chrono::steady_clock::now();
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
    char head[4];
    if (!ReadExactly(channel_, head, 4) || BigEndian(head) == 0 || BigEndian(head) > kMaxPacket) {
        message = "„" + machine_ + "“: Der Server antwortet nicht wie ein SFTP-Server.";
        return false;
    }
    std::string body(BigEndian(head), '\0');
    if (!ReadExactly(channel_, body.data(), static_cast<uint32_t>(body.size())) || body[0] != sftp::kVersion) {
        message = "„" + machine_ + "“: Der Server antwortet nicht wie ein SFTP-Server.";
        return false;
    }
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
    }
    return true;
}

void SftpConnection::Send(sftp::Packet&& packet, Callback callback) {
    {
        std::unique_lock lock(mutex_);
        if (!lost_) {
            const uint32_t id = nextId_++;
            if (nextId_ == 0) nextId_ = 1;
            outgoing_.append(packet.finish(id));
            waiting_.emplace(id, std::move(callback));
            lock.unlock();
            const uint64_t one = 1;
            [[maybe_unused]] auto n = write(wake_, &one, sizeof one);
            return;
        }
    }
    callback(0, {});
}

SftpConnection::Reply SftpConnection::Call(sftp::Packet&& packet) {
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
    });
    std::unique_lock lock(waiter->mutex);
    waiter->done.wait(lock, [&] { return waiter->finished; });
    return std::move(waiter->reply);
}

void SftpConnection::Abort() {
    if (lost_.exchange(true)) return;
    if (const int fd = ssh_get_fd(session_); fd >= 0) shutdown(fd, SHUT_RDWR);
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(wake_, &one, sizeof one);
}

// Every request still waiting learns that no reply will come.
void SftpConnection::Lose() {
    std::unordered_map<uint32_t, Callback> waiting;
    {
        const std::lock_guard lock(mutex_);
        lost_ = true;
        waiting.swap(waiting_);
        outgoing_.clear();
    }
    for (auto& [id, callback] : waiting) callback(0, {});
}

void SftpConnection::Run() {
    const int fd = ssh_get_fd(session_);
    while (!stopping_) {
        if (lost_ || !WriteOut() || !ReadIn()) break;
        bool idle;
        bool waiting;
        {
            const std::lock_guard lock(mutex_);
            idle = outgoing_.empty();
            waiting = !waiting_.empty();
        }
        if (!idle) continue;
        if (waiting && std::chrono::steady_clock::now() - lastHeard_ > kReplyTimeout) break;
        if (!waiting) lastHeard_ = std::chrono::steady_clock::now();
        pollfd polls[2] = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(polls, 2, 1000) < 0 && errno != EINTR) break;
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
    while (true) {
        const int n = ssh_channel_read_nonblocking(channel_, buffer, sizeof buffer, 0);
        if (n < 0) return false;
        if (n == 0) return ssh_channel_is_eof(channel_) == 0 && ssh_channel_is_open(channel_) != 0;
        lastHeard_ = std::chrono::steady_clock::now();
        incoming_.append(buffer, static_cast<size_t>(n));
        size_t at = 0;
        while (incoming_.size() - at >= 4) {
            const uint32_t length = BigEndian(incoming_.data() + at);
            if (length < 5 || length > kMaxPacket) return false;
            if (incoming_.size() - at - 4 < length) break;
            Dispatch(std::string_view(incoming_).substr(at + 4, length));
            at += 4 + length;
        }
        incoming_.erase(0, at);
    }
}

void SftpConnection::Dispatch(std::string_view packet) {
    const auto type = static_cast<uint8_t>(packet[0]);
    const uint32_t id = BigEndian(packet.data() + 1);
    Callback callback;
    {
        const std::lock_guard lock(mutex_);
        const auto it = waiting_.find(id);
        if (it == waiting_.end()) return;  // nobody asked: ignored
        callback = std::move(it->second);
        waiting_.erase(it);
    }
    callback(type, packet.substr(5));
}

}  // namespace kirvo
