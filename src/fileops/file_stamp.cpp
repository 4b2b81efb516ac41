#include "fileops/file_stamp.h"

#include <charconv>

namespace kirvo {
namespace {

template <class Number>
bool Take(std::string_view& text, char end, Number& out) {
    const size_t stop = end == '\0' ? text.size() : text.find(end);
    if (stop == std::string_view::npos || stop == 0) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + stop, out);
    if (ec != std::errc() || ptr != text.data() + stop) return false;
    text.remove_prefix(end == '\0' ? stop : stop + 1);
    return true;
}

bool SameIdentity(const FileStamp& was, const NodeInfo& now) {
    if (was.device != 0 && now.device != 0 && was.device != now.device) return true;  // mounted anew: see matches()
    return was.inode == 0 || now.inode == 0 || was.inode == now.inode;
}

}  // namespace

FileStamp FileStamp::Of(const NodeInfo& info) {
    return {info.device, info.inode, info.size, info.modifiedSeconds, info.modifiedNanoseconds};
}

std::string FileStamp::text() const {
    char ns[16];
    const auto [end, ec] = std::to_chars(ns, ns + sizeof ns, nanoseconds);
    std::string fraction(ns, end);
    fraction.insert(0, 9 - std::min<size_t>(9, fraction.size()), '0');
    return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(size) + ":" +
           std::to_string(seconds) + "." + fraction;
}

std::optional<FileStamp> FileStamp::Parse(std::string_view text) {
    FileStamp s;
    if (!Take(text, ':', s.device) || !Take(text, ':', s.inode) || !Take(text, ':', s.size) ||
        !Take(text, '.', s.seconds) || text.size() != 9 || !Take(text, '\0', s.nanoseconds) ||
        s.nanoseconds >= 1'000'000'000u)
        return std::nullopt;
    return s;
}

bool FileStamp::matches(const NodeInfo& now) const {
    return (now.kind == NodeKind::File || now.kind == NodeKind::Link) && SameIdentity(*this, now) &&
           now.size == size && now.modifiedSeconds == seconds && now.modifiedNanoseconds == nanoseconds;
}

bool FileStamp::matchesFolder(const NodeInfo& now) const {
    return now.kind == NodeKind::Folder && SameIdentity(*this, now);
}

}  // namespace kirvo
