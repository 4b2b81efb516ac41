#include "platform/sftp/sftp_connection.h"
#include "platform/translation.h"

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

void Wake(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = write(fd, &one, sizeof one);
}

uint32_t BigEndian(const char* p) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(p[0])) << 24) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 8) | static_cast<uint8_t>(p[3]);
}

// What one request may carry when the server allows `limit` (0: it does not say).
uint32_t BlockFor(uint64_t limit) {
    if (limit == 0) return SftpConnection::kSmallBlock;
    return static_cast<uint32_t>(std::clamp<uint64_t>(limit & ~uint64_t{4095}, 4096, 248 * 1024));
}

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
    auto first = std::make_unique<SftpLane>(session);
    const SftpLane::Fault why = first->OpenNow(std::chrono::steady_clock::now() + settings.replyTimeout);
    if (why != SftpLane::Fault::None) {
        const std::string machine = "„" + address.Machine();
        switch (why) {
        case SftpLane::Fault::NoSubsystem:
            message = machine + Tr("“ bietet keine Dateiübertragung (SFTP) an: ") + ssh_get_error(session) + ".";
            break;
        case SftpLane::Fault::CannotBegin: message = machine + Tr("“: Die Dateiübertragung lässt sich nicht beginnen."); break;
        case SftpLane::Fault::Silent: message = machine + "“: " + Tr("Der Server beginnt die Dateiübertragung nicht."); break;
        case SftpLane::Fault::TooOld: message = machine + Tr("“: Der SFTP-Server ist zu alt (Version 3 wird gebraucht)."); break;
        default: message = machine + "“: " + Tr("Der Server antwortet nicht wie ein SFTP-Server."); break;
        }
        first.reset();
        ssh_disconnect(session);
        ssh_free(session);
        fault = LoginFault::NoFileTransfer;
        return nullptr;
    }
    // From here on the connection's thread alone drives the session, never waiting in the library.
    first->Listen();
    ssh_set_blocking(session, 0);
    std::shared_ptr<SftpConnection> connection(new SftpConnection(session, std::move(first), address.Machine(), settings));
    try {
        connection->thread_ = std::thread([c = connection.get()] { c->Run(); });
    } catch (const std::system_error&) {
        fault = LoginFault::Failed;
        message = "„" + address.Machine() + Tr("“: Für die Verbindung lässt sich kein Thread mehr starten (zu viele Prozesse).");
        return nullptr;
    }
    connection->AskLimits();
    return connection;
}

SftpConnection::SftpConnection(ssh_session_struct* session, std::unique_ptr<SftpLane> first, std::string machine,
                               const LoginSettings& settings)
    : session_(session),
      machine_(std::move(machine)),
      number_(++gConnections),
      greeting_(first->greeting()),
      wantedLanes_(std::clamp(settings.channels, 1, kMaxLanes)),
      replyTimeout_(settings.replyTimeout),
      received_(std::make_unique<ssh_counter_struct>()) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    lanes_.push_back(std::move(first));
    queues_[0].ready = true;
    ssh_set_counters(session_, received_.get(), nullptr);
}

SftpConnection::~SftpConnection() {
    stopping_ = true;
    if (wake_ >= 0) Wake(wake_);
    if (thread_.joinable()) thread_.join();
    Lose();
    lanes_.clear();
    ssh_set_counters(session_, nullptr, nullptr);
    ssh_disconnect(session_);
    ssh_free(session_);
    if (wake_ >= 0) close(wake_);
}

// How much one request may carry, asked once; until the answer comes (and
// where there is none) requests carry kSmallBlock.
void SftpConnection::AskLimits() {
    if (!greeting_.limits) return;
    Send(std::move(sftp::Packet(sftp::kExtended).str("limits@openssh.com")), [this](uint8_t type, std::string_view body) {
        if (type != sftp::kExtendedReply) return;
        sftp::Reader reader(body);
        reader.u64();  // the longest packet
        const uint64_t read = reader.u64(), write = reader.u64();
        if (reader.failed()) return;
        readBlock_ = BlockFor(read);
        writeBlock_ = BlockFor(write);
    });
}

int SftpConnection::PickLane() {
    const std::lock_guard lock(mutex_);
    int best = 0;
    uint64_t least = UINT64_MAX;
    for (int i = 1; i < kMaxLanes; ++i) {
        const Queue& q = queues_[static_cast<size_t>(i)];
        // A request waits about as long as 64 KiB take to go.
        const uint64_t load = q.requests + q.bytes / 65536;
        if (q.ready && load < least) {
            least = load;
            best = i;
        }
    }
    return best;
}

int SftpConnection::lanes() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(queues_.begin(), queues_.end(), [](const Queue& q) { return q.ready; }));
}

void SftpConnection::Send(sftp::Packet&& packet, Callback callback, const std::atomic<bool>* stop, int lane) {
    {
        std::unique_lock lock(mutex_);
        if (!lost_ && lane >= 0 && lane < kMaxLanes && queues_[static_cast<size_t>(lane)].ready) {
            const uint32_t id = nextId_++;
            if (nextId_ == 0) nextId_ = 1;
            const std::string& bytes = packet.finish(id);
            Queue& queue = queues_[static_cast<size_t>(lane)];
            queue.outgoing.append(bytes);
            queue.sentOrder.push_back({id, std::chrono::steady_clock::now()});
            ++queue.requests;
            queue.bytes += bytes.size();
            waiting_.insert_or_assign(id, Waiting{std::move(callback), stop, lane, bytes.size()});
            if (stop) ++stoppable_;
            lock.unlock();
            Wake(wake_);
            return;
        }
    }
    callback(0, {});
}

SftpConnection::Reply SftpConnection::Call(sftp::Packet&& packet, const std::atomic<bool>* stop, int lane) {
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
    }, stop, lane);
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
    Wake(wake_);
}

// Every request still waiting learns that no reply will come.
void SftpConnection::Lose() {
    std::unordered_map<uint32_t, Waiting> waiting;
    {
        const std::lock_guard lock(mutex_);
        lost_ = true;
        waiting.swap(waiting_);
        stoppable_ = 0;
        for (Queue& queue : queues_) {
            queue.sentOrder.clear();
            queue.outgoing.clear();
            queue.requests = 0;
            queue.bytes = 0;
        }
    }
    for (auto& [id, request] : waiting) request.callback(0, {});
}

bool SftpConnection::Overdue(std::chrono::steady_clock::time_point now) {
    const std::lock_guard lock(mutex_);
    for (Queue& queue : queues_) {
        while (!queue.sentOrder.empty() && !waiting_.contains(queue.sentOrder.front().id)) {
            queue.sentOrder.pop_front();
            queue.frontSince = now;
        }
        if (!queue.sentOrder.empty() && now - std::max(queue.sentOrder.front().at, queue.frontSince) > replyTimeout_)
            return true;
    }
    return false;
}

void SftpConnection::GiveUpStopped() {
    std::vector<Callback> stopped;
    {
        const std::lock_guard lock(mutex_);
        if (stoppable_ == 0) return;
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (it->second.stop && it->second.stop->load(std::memory_order_relaxed)) {
                Queue& queue = queues_[static_cast<size_t>(it->second.lane)];
                --queue.requests;
                queue.bytes -= it->second.bytes;
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
    while (!stopping_ && !lost_) {
        bool progressed = false;
        if (!OpenLanes(progressed) || !WriteOut(progressed) || !ReadIn(progressed)) break;
        GiveUpStopped();
        if (Overdue(std::chrono::steady_clock::now())) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(replyTimeout_).count();
            Fail(Tr("der Server hat ") + std::to_string(seconds) + Tr(" Sekunden lang nicht auf eine Anfrage geantwortet"));
            break;
        }
        if (progressed) continue;
        const int fd = ssh_get_fd(session_);
        if (fd < 0) break;
        const bool writing = (ssh_get_poll_flags(session_) & SSH_WRITE_PENDING) != 0;
        pollfd polls[2] = {{fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0}, {wake_, POLLIN, 0}};
        if (poll(polls, 2, static_cast<int>(kStopLatency.count())) < 0 && errno != EINTR) break;
        if (polls[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] auto n = read(wake_, &count, sizeof count);
        }
        if (polls[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            ReadIn(progressed);
            break;
        }
    }
    if (const int socket = ssh_get_fd(session_); socket >= 0 && !stopping_) shutdown(socket, SHUT_RDWR);
    Lose();
}

// The lanes beyond the first are opened here, side by side, without waiting;
// each is used as soon as its server has greeted like the first one's.
bool SftpConnection::OpenLanes(bool& progressed) {
    while (static_cast<int>(lanes_.size()) < wantedLanes_) {
        lanes_.push_back(std::make_unique<SftpLane>(session_));
        progressed = true;
    }
    const auto now = std::chrono::steady_clock::now();
    for (size_t i = 1; i < lanes_.size(); ++i) {
        SftpLane& lane = *lanes_[i];
        if (lane.step() == SftpLane::Step::Ready || lane.step() == SftpLane::Step::Gone) continue;
        if (lane.Advance(greeting_)) progressed = true;
        if (lane.step() == SftpLane::Step::Ready) {
            const std::lock_guard lock(mutex_);
            queues_[i].ready = true;
        } else if (lane.step() != SftpLane::Step::Gone && now - lane.since() > replyTimeout_) {
            lane.Drop();
        }
    }
    return true;
}

bool SftpConnection::WriteOut(bool& progressed) {
    for (size_t i = 0; i < lanes_.size(); ++i) {
        if (lanes_[i]->step() != SftpLane::Step::Ready) continue;
        std::string& sending = sending_[i];
        size_t& at = sent_[i];
        if (at == sending.size()) {
            sending.clear();
            at = 0;
            const std::lock_guard lock(mutex_);
            sending.swap(queues_[i].outgoing);
        }
        const size_t before = at;
        if (!lanes_[i]->WriteSome(sending, at)) return false;
        if (at != before) progressed = true;
    }
    return true;
}

bool SftpConnection::ReadIn(bool& progressed) {
    // The library takes at most 4 KiB from the connection at a time and hands
    // the lanes what it has; it is asked again while it finds more (at most
    // 4 MiB at a time: a server that sends without pause still meets the
    // deadline and the stop).
    for (int round = 0; round < 1024; ++round) {
        const uint64_t before = received_->in_bytes;
        if (!lanes_[0]->Pump()) return false;
        if (received_->in_bytes == before) break;
        progressed = true;
    }
    for (size_t i = 0; i < lanes_.size(); ++i) {
        SftpLane& lane = *lanes_[i];
        if (lane.step() != SftpLane::Step::Ready) continue;
        if (!lane.Widen()) return false;
        const SftpLane::Taken taken = lane.TakePackets([&](std::string_view packet) {
            progressed = true;
            return Dispatch(static_cast<int>(i), packet);
        });
        if (taken == SftpLane::Taken::NotSftp) Fail(Tr("der Server hat ein Paket geschickt, das kein SFTP ist"));
        if (taken != SftpLane::Taken::Ok || lane.ended()) return false;
    }
    return true;
}

bool SftpConnection::Dispatch(int lane, std::string_view packet) {
    const auto type = static_cast<uint8_t>(packet[0]);
    const uint32_t id = BigEndian(packet.data() + 1);
    Callback callback;
    {
        const std::lock_guard lock(mutex_);
        const auto it = waiting_.find(id);
        if (it == waiting_.end() || it->second.lane != lane) return true;  // nobody asked there (or gave up): ignored
        callback = std::move(it->second.callback);
        if (it->second.stop) --stoppable_;
        Queue& queue = queues_[static_cast<size_t>(lane)];
        --queue.requests;
        queue.bytes -= it->second.bytes;
        waiting_.erase(it);
    }
    callback(type, packet.substr(5));
    return !lost_;  // a reply may break the protocol
}

}  // namespace kirvo
