#include "platform/sftp/sftp_wire.h"

namespace kirvo::sftp {

Packet& Packet::attrs(const Attributes& a) {
    u32(a.flags & ~kAttrExtended);
    if (a.flags & kAttrSize) u64(a.size);
    if (a.flags & kAttrUidGid) u32(a.uid).u32(a.gid);
    if (a.flags & kAttrPermissions) u32(a.permissions);
    if (a.flags & kAttrTimes) u32(a.atime).u32(a.mtime);
    return *this;
}

std::string& Packet::finish(uint32_t id) {
    const auto put = [this](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + static_cast<size_t>(i)] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
    };
    put(0, static_cast<uint32_t>(bytes_.size() - 4));
    if (type() != kInit) put(5, id);
    return bytes_;
}

uint8_t Reader::u8() {
    if (rest_.empty()) {
        failed_ = true;
        return 0;
    }
    const auto v = static_cast<uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return v;
}

uint32_t Reader::u32() {
    if (rest_.size() < 4) {
        failed_ = true;
        rest_ = {};
        return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(rest_[static_cast<size_t>(i)]);
    rest_.remove_prefix(4);
    return v;
}

uint64_t Reader::u64() {
    const uint64_t high = u32();
    return (high << 32) | u32();
}

std::string_view Reader::str() {
    const uint32_t n = u32();
    if (rest_.size() < n) {
        failed_ = true;
        rest_ = {};
        return {};
    }
    const std::string_view s = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return s;
}

Attributes Reader::attrs() {
    Attributes a;
    a.flags = u32();
    if (a.flags & kAttrSize) a.size = u64();
    if (a.flags & kAttrUidGid) {
        a.uid = u32();
        a.gid = u32();
    }
    if (a.flags & kAttrPermissions) a.permissions = u32();
    if (a.flags & kAttrTimes) {
        a.atime = u32();
        a.mtime = u32();
    }
    if (a.flags & kAttrExtended) {
        const uint32_t count = u32();
        for (uint32_t i = 0; i < count && !failed_; ++i) {
            str();
            str();
        }
    }
    return a;
}

bool ParseNames(std::string_view body, std::vector<Name>& out) {
    // A name is at least its two lengths and the attributes' flags.
    constexpr size_t kSmallestName = 12;
    Reader reader(body);
    const uint32_t count = reader.u32();
    if (reader.failed() || count > (body.size() - 4) / kSmallestName) return false;
    const size_t before = out.size();
    out.reserve(before + count);
    for (uint32_t i = 0; i < count; ++i) {
        Name entry;
        entry.name = reader.str();
        reader.str();  // the long form, as ls shows it
        entry.attributes = reader.attrs();
        if (reader.failed()) {
            out.resize(before);
            return false;
        }
        out.push_back(entry);
    }
    return true;
}

bool ParseGreeting(std::string_view body, Greeting& out) {
    out = Greeting{};
    Reader reader(body);
    out.version = reader.u32();
    if (reader.failed()) return false;
    while (!reader.empty() && !reader.failed()) {
        const std::string_view name = reader.str();
        reader.str();
        if (name == "posix-rename@openssh.com") out.posixRename = true;
        if (name == "fsync@openssh.com") out.fsync = true;
        if (name == "lsetstat@openssh.com") out.lsetstat = true;
        if (name == "limits@openssh.com") out.limits = true;
    }
    return true;
}

bool ParseHandle(std::string_view body, std::string& out) {
    Reader reader(body);
    const std::string_view handle = reader.str();
    if (reader.failed() || handle.empty() || handle.size() > 256) return false;
    out.assign(handle);
    return true;
}

}  // namespace kirvo::sftp
