#include "sync/mount_table.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace kirvo {
namespace {

// The table writes space, tab, newline and backslash as \ooo.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

template <class T>
bool Number(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
bool ParseLine(std::string_view line, MountEntry& entry) {
    const std::vector<std::string_view> f = Fields(line);
    size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (f.size() < 6 || dash + 2 >= f.size()) return false;
    const size_t colon = f[2].find(':');
    if (colon == std::string_view::npos || !Number(f[0], entry.id) || !Number(f[2].substr(0, colon), entry.major) ||
        !Number(f[2].substr(colon + 1), entry.minor))
        return false;
    entry.root = Unescape(f[3]);
    entry.mountPoint = Unescape(f[4]);
    entry.fsType = Unescape(f[dash + 1]);
    entry.source = Unescape(f[dash + 2]);
    return true;
}

bool Below(std::string_view path, std::string_view folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

MountTable MountTable::Parse(std::string_view mountinfo) {
    MountTable table;
    while (!mountinfo.empty()) {
        const size_t end = mountinfo.find('\n');
        MountEntry entry;
        if (ParseLine(mountinfo.substr(0, end), entry)) table.entries_.push_back(std::move(entry));
        if (end == std::string_view::npos) break;
        mountinfo.remove_prefix(end + 1);
    }
    return table;
}

MountTable MountTable::Read() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

const MountEntry* MountTable::byId(uint64_t id) const {
    for (const MountEntry& e : entries_)
        if (e.id == id) return &e;
    return nullptr;
}

const MountEntry* MountTable::containing(std::string_view canonicalPath) const {
    const MountEntry* best = nullptr;
    for (const MountEntry& e : entries_)
        if (Below(canonicalPath, e.mountPoint) && (best == nullptr || e.mountPoint.size() >= best->mountPoint.size()))
            best = &e;
    return best;
}

}  // namespace kirvo
