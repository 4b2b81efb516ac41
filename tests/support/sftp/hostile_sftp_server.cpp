// A small SFTP version 3 server on stdin/stdout for the tests' sshd
// ("Subsystem sftp PROGRAM CONTROL-FILE"): it serves the real file system
// like any server, and misbehaves on purpose in the listing of one folder as
// the control file says, read once per session. Its lines are KEY=VALUE:
//
//   fault=    none | silent | stall-readdir | stall-read | empty-names |
//             repeat-names | failure-after-first | opendir-denied | bad-name |
//             reorder | fail-write | stall-write
//   folder=   the last name of the folder the fault is for ("": every folder)
//   batch=    names per NAME reply (default 50)
//   stray-ms= while stalled: a reply nobody asked for every this many ms (default 200)
//   name=     bad-name: the name added to the folder's first batch, with \xHH for any byte
//
// silent never answers the first message; stall-readdir never answers
// READDIR, stall-read never READ of a file in the folder (both write
// CONTROL-FILE.stalled when they begin not to, and send a reply nobody asked
// for now and then); empty-names answers READDIR with empty NAME replies and
// repeat-names with the first batch, both for ever; failure-after-first sends
// STATUS FAILURE after the first batch. fail-write answers WRITE to a file in
// the folder with FAILURE, stall-write never answers it (as stall-read).
// reorder (every folder) holds back the replies while more requests wait to
// be read and then sends them last first.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Control {
    std::string fault = "none";
    std::string folder;
    size_t batch = 50;
    int strayMs = 200;
    std::string badName;
};

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

Control ReadControl(const char* path) {
    Control control;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "fault") control.fault = value;
        if (key == "folder") control.folder = value;
        if (key == "batch") control.batch = std::max<size_t>(1, std::strtoul(value.c_str(), nullptr, 10));
        if (key == "stray-ms") control.strayMs = std::atoi(value.c_str());
        if (key == "name") control.badName = Unescaped(value);
    }
    return control;
}

class Out {
public:
    Out(uint8_t type, uint32_t id) {
        bytes_.assign(4, '\0');
        bytes_.push_back(static_cast<char>(type));
        u32(id);
    }
    Out& u32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<char>((v >> shift) & 0xFF));
        return *this;
    }
    Out& u64(uint64_t v) { return u32(static_cast<uint32_t>(v >> 32)).u32(static_cast<uint32_t>(v)); }
    Out& str(const std::string& s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes_ += s;
        return *this;
    }
    Out& attrs(const struct stat& st) {
        u32(1 | 2 | 4 | 8).u64(static_cast<uint64_t>(st.st_size)).u32(st.st_uid).u32(st.st_gid).u32(st.st_mode);
        return u32(static_cast<uint32_t>(st.st_atime)).u32(static_cast<uint32_t>(st.st_mtime));  // wrapped, as servers do
    }
    void send() {
        const uint32_t n = static_cast<uint32_t>(bytes_.size() - 4);
        for (int i = 0; i < 4; ++i) bytes_[static_cast<size_t>(i)] = static_cast<char>((n >> (24 - 8 * i)) & 0xFF);
        if (held != nullptr) return held->push_back(std::move(bytes_));
        Write(bytes_);
    }
    static void Write(const std::string& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t written = write(1, bytes.data() + at, bytes.size() - at);
            if (written <= 0) _exit(0);
            at += static_cast<size_t>(written);
        }
    }
    static inline std::vector<std::string>* held = nullptr;  // reorder: replies not yet sent

private:
    std::string bytes_;
};

class In {
public:
    explicit In(std::string bytes) : bytes_(std::move(bytes)) {}
    uint32_t u32() {
        if (at_ + 4 > bytes_.size()) return at_ = bytes_.size(), 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes_[at_++]);
        return v;
    }
    uint64_t u64() {
        const uint64_t high = u32();
        return (high << 32) | u32();
    }
    std::string str() {
        const uint32_t n = u32();
        if (at_ + n > bytes_.size()) return at_ = bytes_.size(), std::string();
        std::string s = bytes_.substr(at_, n);
        at_ += n;
        return s;
    }
    // Permissions and times, when present (-1: absent).
    void attrs(long& mode, long& mtime, long& atime) {
        mode = mtime = atime = -1;
        const uint32_t flags = u32();
        if (flags & 1) u64();
        if (flags & 2) u32(), u32();
        if (flags & 4) mode = u32() & 07777;
        if (flags & 8) atime = u32(), mtime = u32();
    }

private:
    std::string bytes_;
    size_t at_ = 0;
};

void Status(uint32_t id, uint32_t code) { Out(101, id).u32(code).str("").str("").send(); }

uint32_t CodeOf(int error) {
    if (error == ENOENT) return 2;
    if (error == EACCES || error == EPERM) return 3;
    return 4;
}

void Done(uint32_t id, int result) { Status(id, result == 0 ? 0 : CodeOf(errno)); }

bool ReadExactly(std::string& into, size_t n) {
    into.resize(n);
    for (size_t at = 0; at < n;) {
        const ssize_t got = read(0, into.data() + at, n - at);
        if (got <= 0) return false;
        at += static_cast<size_t>(got);
    }
    return true;
}

struct Listing {
    struct Entry {
        std::string name;
        struct stat st;
    };
    std::vector<Entry> entries;
    size_t next = 0;
    bool trap = false;
    int batches = 0;
};

struct Server {
    Control control;
    std::string controlPath;
    std::map<std::string, Listing> folders;
    std::map<std::string, int> files;
    std::map<std::string, bool> trapFiles;  // by handle: in the folder of the fault
    int nextHandle = 0;
    uint32_t strayId = 0;

    bool IsTrap(const std::string& path) const {
        if (control.fault == "none") return false;
        if (control.folder.empty()) return true;
        std::string last = path;
        while (last.size() > 1 && last.back() == '/') last.pop_back();
        return last.substr(last.rfind('/') + 1) == control.folder;
    }

    void OpenFolder(uint32_t id, const std::string& path) {
        if (IsTrap(path) && control.fault == "opendir-denied") return Status(id, 3);
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) return Status(id, CodeOf(errno));
        Listing listing;
        listing.trap = IsTrap(path);
        while (const dirent* e = readdir(dir)) {
            Listing::Entry entry{e->d_name, {}};
            if (lstat((path + "/" + entry.name).c_str(), &entry.st) == 0) listing.entries.push_back(entry);
        }
        closedir(dir);
        if (listing.trap && control.fault == "bad-name") {
            Listing::Entry bad{control.badName, {}};
            bad.st = listing.entries.front().st;
            bad.st.st_mode = S_IFREG | 0644;
            listing.entries.insert(listing.entries.begin(), bad);
        }
        const std::string handle = "d" + std::to_string(nextHandle++);
        folders[handle] = std::move(listing);
        Out(102, id).str(handle).send();
    }

    void SendBatch(uint32_t id, Listing& listing, size_t from) {
        const size_t n = std::min(control.batch, listing.entries.size() - from);
        Out out(104, id);
        out.u32(static_cast<uint32_t>(n));
        for (size_t i = from; i < from + n; ++i) out.str(listing.entries[i].name).str(listing.entries[i].name).attrs(listing.entries[i].st);
        out.send();
    }

    // The request is never answered; the test learns that the wait has begun.
    bool Stall(uint32_t id) {
        std::ofstream(controlPath + ".stalled") << id;
        return false;
    }

    // false: this READDIR is never answered.
    bool ReadFolder(uint32_t id, const std::string& handle) {
        const auto it = folders.find(handle);
        if (it == folders.end()) return Status(id, 4), true;
        Listing& listing = it->second;
        const std::string& fault = control.fault;
        if (listing.trap) {
            if (fault == "stall-readdir") return Stall(id);
            if (fault == "empty-names") return Out(104, id).u32(0).send(), true;
            if (fault == "repeat-names") return SendBatch(id, listing, 0), true;
            if (fault == "failure-after-first" && listing.next > 0) return Status(id, 4), true;
        }
        if (listing.next >= listing.entries.size()) return Status(id, 1), true;
        SendBatch(id, listing, listing.next);
        listing.next += std::min(control.batch, listing.entries.size() - listing.next);
        return true;
    }

    void Handle(const std::string& packet) {
        In in(packet.substr(1));
        const auto type = static_cast<uint8_t>(packet[0]);
        if (type == 1) {
            if (control.fault == "silent") return;
            Out(2, 3).str("posix-rename@openssh.com").str("1").str("fsync@openssh.com").str("1").send();
            return;
        }
        const uint32_t id = in.u32();
        struct stat st {};
        switch (type) {
        case 16: {  // REALPATH
            const std::string path = in.str();
            char resolved[PATH_MAX];
            if (realpath(path.empty() ? "." : path.c_str(), resolved) == nullptr) return Status(id, CodeOf(errno));
            Out(104, id).u32(1).str(resolved).str(resolved).u32(0).send();
            return;
        }
        case 17:  // STAT
        case 7: {  // LSTAT
            const std::string path = in.str();
            if ((type == 17 ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return Status(id, CodeOf(errno));
            Out(105, id).attrs(st).send();
            return;
        }
        case 8: {  // FSTAT
            const auto it = files.find(in.str());
            if (it == files.end() || fstat(it->second, &st) != 0) return Status(id, 4);
            Out(105, id).attrs(st).send();
            return;
        }
        case 11: return OpenFolder(id, in.str());
        case 12: {
            if (!ReadFolder(id, in.str())) stalled_.push_back(id);
            return;
        }
        case 4: {  // CLOSE
            const std::string handle = in.str();
            if (folders.erase(handle) == 0) {
                const auto it = files.find(handle);
                if (it == files.end()) return Status(id, 4);
                close(it->second);
                files.erase(it);
            }
            return Status(id, 0);
        }
        case 3: {  // OPEN
            const std::string path = in.str();
            const uint32_t pflags = in.u32();
            long mode, mtime, atime;
            in.attrs(mode, mtime, atime);
            int flags = (pflags & 1) && (pflags & 2) ? O_RDWR : (pflags & 2) ? O_WRONLY : O_RDONLY;
            if (pflags & 8) flags |= O_CREAT;
            if (pflags & 0x10) flags |= O_TRUNC;
            if (pflags & 0x20) flags |= O_EXCL;
            const int fd = open(path.c_str(), flags | O_CLOEXEC, mode >= 0 ? static_cast<mode_t>(mode) : 0644);
            if (fd < 0) return Status(id, CodeOf(errno));
            const std::string handle = "f" + std::to_string(nextHandle++);
            files[handle] = fd;
            trapFiles[handle] = IsTrap(path.substr(0, path.rfind('/') + 1));
            Out(102, id).str(handle).send();
            return;
        }
        case 5: {  // READ
            const auto it = files.find(in.str());
            const uint64_t offset = in.u64();
            const uint32_t length = std::min<uint32_t>(in.u32(), 256 * 1024);
            if (it == files.end()) return Status(id, 4);
            if (control.fault == "stall-read" && trapFiles[it->first] && !Stall(id)) return stalled_.push_back(id);
            std::string data(length, '\0');
            const ssize_t got = pread(it->second, data.data(), length, static_cast<off_t>(offset));
            if (got < 0) return Status(id, CodeOf(errno));
            if (got == 0) return Status(id, 1);
            data.resize(static_cast<size_t>(got));
            Out(103, id).str(data).send();
            return;
        }
        case 6: {  // WRITE
            const auto it = files.find(in.str());
            const uint64_t offset = in.u64();
            const std::string data = in.str();
            if (it == files.end()) return Status(id, 4);
            if (control.fault == "fail-write" && trapFiles[it->first]) return Status(id, 4);
            if (control.fault == "stall-write" && trapFiles[it->first] && !Stall(id)) return stalled_.push_back(id);
            Done(id, pwrite(it->second, data.data(), data.size(), static_cast<off_t>(offset)) == static_cast<ssize_t>(data.size()) ? 0 : -1);
            return;
        }
        case 9:    // SETSTAT
        case 10: {  // FSETSTAT
            const std::string target = in.str();
            long mode, mtime, atime;
            in.attrs(mode, mtime, atime);
            int fd = -1;
            if (type == 10) {
                const auto it = files.find(target);
                if (it == files.end()) return Status(id, 4);
                fd = it->second;
            }
            int result = 0;
            if (mode >= 0) result = fd >= 0 ? fchmod(fd, static_cast<mode_t>(mode)) : chmod(target.c_str(), static_cast<mode_t>(mode));
            if (result == 0 && mtime >= 0) {
                const timeval times[2] = {{atime, 0}, {mtime, 0}};
                result = fd >= 0 ? futimes(fd, times) : utimes(target.c_str(), times);
            }
            return Done(id, result);
        }
        case 13: return Done(id, unlink(in.str().c_str()));
        case 14: {
            const std::string path = in.str();
            return Done(id, mkdir(path.c_str(), 0755));
        }
        case 15: return Done(id, rmdir(in.str().c_str()));
        case 18: {  // RENAME: never over an existing name
            const std::string from = in.str(), to = in.str();
            if (lstat(to.c_str(), &st) == 0) return Status(id, 4);
            return Done(id, rename(from.c_str(), to.c_str()));
        }
        case 200: {
            const std::string name = in.str();
            if (name == "posix-rename@openssh.com") {
                const std::string from = in.str(), to = in.str();
                return Done(id, rename(from.c_str(), to.c_str()));
            }
            if (name == "fsync@openssh.com") {
                const auto it = files.find(in.str());
                return Done(id, it == files.end() ? -1 : fsync(it->second));
            }
            return Status(id, 8);
        }
        default: return Status(id, 8);
        }
    }

    void Serve() {
        std::vector<std::string> held;
        if (control.fault == "reorder") Out::held = &held;
        while (true) {
            if (!held.empty()) {
                pollfd in{0, POLLIN, 0};
                if (poll(&in, 1, 0) == 0) {
                    for (auto it = held.rbegin(); it != held.rend(); ++it) Out::Write(*it);
                    held.clear();
                }
            }
            if (!stalled_.empty()) {
                // Waiting for more requests, and now and then a reply nobody asked for.
                pollfd in{0, POLLIN, 0};
                if (poll(&in, 1, control.strayMs) == 0) {
                    Status(0xF0000000u | (strayId++ & 0x0FFFFFFFu), 0);  // ids far above the client's
                    continue;
                }
            }
            std::string head, packet;
            if (!ReadExactly(head, 4)) return;
            uint32_t n = 0;
            for (char c : head) n = (n << 8) | static_cast<uint8_t>(c);
            if (n == 0 || n > (1u << 20) || !ReadExactly(packet, n)) return;
            Handle(packet);
        }
    }

private:
    std::vector<uint32_t> stalled_;
};

}  // namespace

int main(int argc, char** argv) {
    Server server;
    if (argc > 1) {
        server.controlPath = argv[1];
        server.control = ReadControl(argv[1]);
    }
    server.Serve();
    return 0;
}
