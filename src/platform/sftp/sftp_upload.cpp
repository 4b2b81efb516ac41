#include "platform/sftp/sftp_upload.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/file_node.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_connection.h"
#include "platform/temporary_name.h"

namespace kirvo {

struct SftpUpload::State {
    SftpConnection& connection;
    std::string folder, name;
    int lane = 0;

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::string temp, handle;
    int attempts = 0;
    bool opening = false, open = false, closing = false, closed = false;
    bool finishing = false, finished = false, abandoned = false, removing = false, removed = false, done = false;
    int error = 0;
    std::vector<std::pair<uint64_t, std::string>> held;  // written before the file was open
    uint64_t underWay = 0, window = kFirstWindow;
    size_t writes = 0;  // written and not yet answered (held ones included)
    size_t steps = 0;   // FSETSTAT and flush sent and not yet answered
    // Writes between the look at the state and their requests: no CLOSE may
    // overtake them (the server could give the handle to the next file).
    size_t writing = 0;
    sftp::Attributes attributes;
    bool flush = false;

    State(SftpConnection& c, std::string f, std::string n) : connection(c), folder(std::move(f)), name(std::move(n)) {}

    void fail(int code) {
        if (error == 0) error = code;
    }
};

using State = SftpUpload::State;
using StatePtr = std::shared_ptr<State>;

// What comes next, decided under the lock and sent outside it (a lost
// connection answers at once, on this thread).
namespace {

void Pump(const StatePtr& s);

void SendOpen(const StatePtr& s) {
    sftp::Attributes mode;
    mode.flags = sftp::kAttrPermissions;
    mode.permissions = 0600;
    std::string path;
    {
        const std::lock_guard lock(s->mutex);
        s->temp = TemporaryName::For(s->name, OwnTemporaryFile::RandomNumber());
        s->opening = true;
        ++s->attempts;
        path = sftp::Join(s->folder, s->temp);
    }
    s->connection.Send(
        std::move(sftp::Packet(sftp::kOpen).str(path).u32(sftp::kOpenWrite | sftp::kOpenCreate | sftp::kOpenExclusive).attrs(mode)),
        [s, path](uint8_t type, std::string_view body) {
            const SftpConnection::Reply opened{type, std::string(body)};
            std::unique_lock lock(s->mutex);
            s->opening = false;
            if (type == sftp::kHandle && sftp::ParseHandle(body, s->handle)) {
                s->open = true;
            } else if (type == sftp::kHandle) {
                s->fail(EIO);
            } else if (opened.status() == sftp::kFailure && s->attempts < 8 && !s->abandoned) {
                // FAILURE is what a name already taken gives: another name then; anything else is final.
                s->opening = true;
                lock.unlock();
                s->connection.Send(std::move(sftp::Packet(sftp::kLstat).str(path)), [s, opened](uint8_t t, std::string_view) {
                    if (t == sftp::kAttrs) return SendOpen(s);
                    {
                        const std::lock_guard relock(s->mutex);
                        s->opening = false;
                        s->temp.clear();
                        s->fail(sftp::ErrorOf(opened));
                    }
                    Pump(s);
                }, nullptr, s->lane);
                return;
            } else {
                s->temp.clear();
                s->fail(type == 0 ? kConnectionLost : sftp::ErrorOf(opened));
            }
            lock.unlock();
            Pump(s);
        },
        nullptr, s->lane);
}

void SendWrite(const StatePtr& s, const std::string& handle, uint64_t offset, const std::string& data) {
    const uint64_t n = data.size();
    s->connection.Send(std::move(sftp::Packet(sftp::kWrite).str(handle).u64(offset).str(data)),
                       [s, n](uint8_t type, std::string_view body) {
                           {
                               const std::lock_guard lock(s->mutex);
                               --s->writes;
                               s->underWay -= n;
                               if (const int e = sftp::ErrorOf(SftpConnection::Reply{type, std::string(body)})) s->fail(e);
                           }
                           Pump(s);
                       },
                       nullptr, s->lane);
}

// A step's reply: its error is kept, the file is closed anyway.
void Stepped(const StatePtr& s, int error) {
    {
        const std::lock_guard lock(s->mutex);
        --s->steps;
        s->fail(error);
    }
    Pump(s);
}

void SendSteps(const StatePtr& s, const std::string& handle, const sftp::Attributes& attributes, bool flush) {
    SftpConnection& c = s->connection;
    c.Send(std::move(sftp::Packet(sftp::kFsetstat).str(handle).attrs(attributes)),
           [s](uint8_t type, std::string_view body) { Stepped(s, sftp::ErrorOf(SftpConnection::Reply{type, std::string(body)})); },
           nullptr, s->lane);
    if (flush) {
        c.Send(std::move(sftp::Packet(sftp::kExtended).str("fsync@openssh.com").str(handle)),
               [s](uint8_t type, std::string_view body) {
                   // A server that cannot flush at all still has the data; one whose flush failed may not.
                   const uint32_t status = SftpConnection::Reply{type, std::string(body)}.status();
                   Stepped(s, status == sftp::kOpUnsupported ? 0 : sftp::ErrorOf(status));
               },
               nullptr, s->lane);
    }
}

void SendClose(const StatePtr& s, const std::string& handle) {
    s->connection.Send(std::move(sftp::Packet(sftp::kClose).str(handle)),
                       [s](uint8_t type, std::string_view body) {
                           {
                               const std::lock_guard lock(s->mutex);
                               s->closed = true;
                               s->fail(sftp::ErrorOf(SftpConnection::Reply{type, std::string(body)}));
                           }
                           Pump(s);
                       },
                       nullptr, s->lane);
}

void Pump(const StatePtr& s) {
    std::vector<std::pair<uint64_t, std::string>> writes;
    std::string handle, removal;
    bool steps = false, close = false;
    sftp::Attributes attributes;
    bool flush = false;
    {
        const std::lock_guard lock(s->mutex);
        const bool stopping = s->error != 0 || s->abandoned;
        if (!s->opening && (stopping || !s->open)) {  // nothing more is written
            for (const auto& piece : s->held) s->underWay -= piece.second.size();
            s->writes -= s->held.size();
            s->held.clear();
        }
        if (s->open && !s->closing) {
            handle = s->handle;
            if (!stopping && !s->held.empty()) {
                writes.swap(s->held);
                ++s->writing;
            } else if (s->writing == 0) {
                // The server takes the requests of one lane in order: the last
                // steps follow the writes at once, and a file given up is closed
                // at once (what was sent before is still answered).
                if (s->finishing && !s->finished && !stopping) {
                    s->finished = steps = true;
                    s->steps = s->flush ? 2 : 1;
                    attributes = s->attributes;
                    flush = s->flush;
                }
                close = steps || stopping;
                s->closing = close;
            }
        }
        const bool settled = !s->opening && s->writes == 0 && s->steps == 0 && (s->open ? s->closed : s->held.empty());
        if (settled && (s->closed || s->error != 0 || s->abandoned)) s->done = true;
        if (s->done && s->abandoned && !s->temp.empty() && !s->removing) {
            s->removing = true;
            removal = sftp::Join(s->folder, s->temp);
        }
        s->changed.notify_all();
    }
    if (!writes.empty()) {
        for (const auto& [offset, data] : writes) SendWrite(s, handle, offset, data);
        {
            const std::lock_guard lock(s->mutex);
            --s->writing;
        }
        return Pump(s);
    }
    if (steps) SendSteps(s, handle, attributes, flush);
    if (close) SendClose(s, handle);
    if (!removal.empty()) {
        sftp::Forget(s->connection, removal);
        s->connection.Send(std::move(sftp::Packet(sftp::kRemove).str(removal)), [s](uint8_t, std::string_view) {
            const std::lock_guard lock(s->mutex);
            s->removed = true;
            s->temp.clear();
            s->changed.notify_all();
        }, nullptr, s->lane);
    }
}

}  // namespace

SftpUpload::SftpUpload(SftpConnection& connection, std::string folderPath, std::string destinationName)
    : state_(std::make_shared<State>(connection, std::move(folderPath), std::move(destinationName))) {}

SftpUpload::~SftpUpload() { abandon(); }

void SftpUpload::create() {
    state_->lane = state_->connection.PickLane();
    SendOpen(state_);
}

bool SftpUpload::room(uint64_t bytes, std::chrono::milliseconds wait) {
    std::unique_lock lock(state_->mutex);
    const auto fits = [&] { return state_->error != 0 || state_->underWay == 0 || state_->underWay + bytes <= state_->window; };
    if (fits()) return true;
    if (!state_->changed.wait_for(lock, wait, fits)) return false;
    // The window was full and replies came back: the link takes more.
    state_->window = std::min(state_->window * 2, kMaxWindow);
    return true;
}

void SftpUpload::write(uint64_t offset, std::string data) {
    std::string handle;
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->error != 0 || state_->abandoned) return;
        state_->underWay += data.size();
        ++state_->writes;
        if (!state_->open) {
            state_->held.emplace_back(offset, std::move(data));
            return;
        }
        handle = state_->handle;
        ++state_->writing;
    }
    SendWrite(state_, handle, offset, data);
    {
        const std::lock_guard lock(state_->mutex);
        --state_->writing;
    }
    Pump(state_);
}

void SftpUpload::finish(const sftp::Attributes& attributes, bool flush) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->attributes = attributes;
        state_->flush = flush;
        state_->finishing = true;
    }
    Pump(state_);
}

int SftpUpload::error() const {
    const std::lock_guard lock(state_->mutex);
    return state_->error;
}

int SftpUpload::wait() {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->done; });
    if (state_->error == 0 && !state_->closed) return EIO;
    return state_->error;
}

std::string SftpUpload::temporaryName() const {
    const std::lock_guard lock(state_->mutex);
    return state_->temp;
}

void SftpUpload::abandon() {
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->abandoned) return;
        state_->abandoned = true;
    }
    Pump(state_);
    // Mostly the removal is answered at once; a stalled server is not waited for.
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, std::chrono::seconds(1), [&] { return state_->done && state_->temp.empty(); });
}

void SftpUpload::placed() {
    const std::lock_guard lock(state_->mutex);
    state_->temp.clear();
}

}  // namespace kirvo
