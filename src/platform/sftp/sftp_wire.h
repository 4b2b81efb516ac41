#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvo::sftp {

// Version 3 of SSH's file transfer protocol: the message types, status codes
// and attribute flags that Kirvo uses, and the encoding of its packets
// (big-endian integers, strings with a 32-bit length in front).
enum Type : uint8_t {
    kInit = 1, kVersion = 2, kOpen = 3, kClose = 4, kRead = 5, kWrite = 6, kLstat = 7, kFstat = 8,
    kSetstat = 9, kFsetstat = 10, kOpendir = 11, kReaddir = 12, kRemove = 13, kMkdir = 14, kRmdir = 15,
    kRealpath = 16, kStat = 17, kRename = 18, kReadlink = 19, kSymlink = 20, kStatus = 101, kHandle = 102, kData = 103, kName = 104,
    kAttrs = 105, kExtended = 200, kExtendedReply = 201,
};

enum Status : uint32_t {
    kOk = 0, kEof = 1, kNoSuchFile = 2, kPermissionDenied = 3, kFailure = 4, kBadMessage = 5,
    kStatusNoConnection = 6, kStatusConnectionLost = 7, kOpUnsupported = 8,
};

enum AttrFlag : uint32_t { kAttrSize = 1, kAttrUidGid = 2, kAttrPermissions = 4, kAttrTimes = 8, kAttrExtended = 0x80000000u };
enum OpenFlag : uint32_t { kOpenRead = 1, kOpenWrite = 2, kOpenCreate = 8, kOpenTruncate = 0x10, kOpenExclusive = 0x20 };

// The mode bits of a file's type as servers send them with the permissions.
inline constexpr uint32_t kTypeMask = 0170000, kTypeFile = 0100000, kTypeFolder = 0040000, kTypeLink = 0120000;

struct Attributes {
    uint32_t flags = 0;
    uint64_t size = 0;
    uint32_t uid = 0, gid = 0;
    uint32_t permissions = 0;  // with the type bits
    uint32_t atime = 0, mtime = 0;

    uint32_t type() const { return (flags & kAttrPermissions) ? permissions & kTypeMask : 0; }
};

// Builds one request: type and a placeholder for the id, then the fields.
class Packet {
public:
    explicit Packet(uint8_t type) {
        bytes_.assign(4, '\0');
        bytes_.push_back(static_cast<char>(type));
        if (type != kInit) bytes_.append(4, '\0');
    }
    Packet& u32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<char>((v >> shift) & 0xFF));
        return *this;
    }
    Packet& u64(uint64_t v) { return u32(static_cast<uint32_t>(v >> 32)).u32(static_cast<uint32_t>(v)); }
    Packet& str(std::string_view s) {
        u32(static_cast<uint32_t>(s.size()));
        bytes_.append(s);
        return *this;
    }
    Packet& attrs(const Attributes& a);
    // Fills in the length and the id; the bytes to send.
    std::string& finish(uint32_t id);
    uint8_t type() const { return static_cast<uint8_t>(bytes_[4]); }

private:
    std::string bytes_;
};

// Reads the fields of one reply; a read past the end sets failed() and gives zeros.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}
    uint8_t u8();
    uint32_t u32();
    uint64_t u64();
    std::string_view str();
    Attributes attrs();
    bool failed() const { return failed_; }
    bool empty() const { return rest_.empty(); }

private:
    std::string_view rest_;
    bool failed_ = false;
};

// One name of a NAME reply; the view lies in the reply's bytes.
struct Name {
    std::string_view name;
    Attributes attributes;
};

// The names of a NAME reply (its fields after the id), appended to out.
// False, with out as it was, when the reply does not hold what it says: a
// count larger than its bytes can carry, or a field that runs past its end.
bool ParseNames(std::string_view body, std::vector<Name>& out);

// What a server says of itself in its VERSION reply: the version and the
// extensions of OpenSSH's server that Kirvo uses.
struct Greeting {
    uint32_t version = 0;
    bool posixRename = false;
    bool fsync = false;
    bool lsetstat = false;
    bool limits = false;  // limits@openssh.com: it tells how much one request may carry
    bool operator==(const Greeting&) const = default;
};
// The greeting in a VERSION reply's fields after the type; false when it holds none.
bool ParseGreeting(std::string_view body, Greeting& out);

// The handle of a HANDLE reply: false unless it is 1 to 256 bytes, as the protocol allows.
bool ParseHandle(std::string_view body, std::string& out);

}  // namespace kirvo::sftp
