#include "sync/file_system_identity.h"

#include <sys/vfs.h>

#include <cstdio>
#include <cstring>

#include "platform/block_device_label.h"
#include "sync/root_identity.h"

namespace kirvo {
namespace {

// Values may hold anything; the stored text keeps one per line.
std::string Escaped(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string Unescaped(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
            out += value[i] == 'n' ? '\n' : value[i];
        } else {
            out += value[i];
        }
    }
    return out;
}

bool Below(std::string_view path, std::string_view folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

FileSystemIdentity FileSystemIdentity::Of(const std::string& folder, const MountEntry* mount) {
    FileSystemIdentity id;
    if (mount != nullptr) {
        id.type = mount->fsType;
        id.source = mount->source;
        id.mountPoint = mount->mountPoint;
        if (mount->source.rfind("/dev/", 0) == 0) {
            const std::optional<BlockDeviceLabel> read = BlockDeviceLabel::Read(mount->source);
            if (const std::optional<std::string> uuid = SystemUuidOf(*mount)) id.uuid = *uuid;
            else if (read) id.uuid = read->uuid;
            if (read) id.label = read->label;
        }
    }
    struct statfs fs;
    if (statfs(folder.c_str(), &fs) == 0) {
        unsigned int words[2];
        static_assert(sizeof words == sizeof fs.f_fsid);
        std::memcpy(words, &fs.f_fsid, sizeof words);
        if (words[0] != 0 || words[1] != 0) {
            char hex[20];
            std::snprintf(hex, sizeof hex, "%08x%08x", words[0], words[1]);
            id.fsid = hex;
        }
    }
    return id;
}

std::string FileSystemIdentity::Text() const {
    std::string text;
    const std::pair<const char*, const std::string*> fields[] = {
        {"uuid", &uuid}, {"label", &label}, {"type", &type}, {"source", &source}, {"fsid", &fsid}, {"mount", &mountPoint},
    };
    for (const auto& [key, value] : fields)
        if (!value->empty()) text += std::string(key) + "=" + Escaped(*value) + "\n";
    return text;
}

FileSystemIdentity FileSystemIdentity::Parse(std::string_view text) {
    FileSystemIdentity id;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            const std::string_view key = line.substr(0, equals);
            std::string value = Unescaped(line.substr(equals + 1));
            if (key == "uuid") id.uuid = std::move(value);
            else if (key == "label") id.label = std::move(value);
            else if (key == "type") id.type = std::move(value);
            else if (key == "source") id.source = std::move(value);
            else if (key == "fsid") id.fsid = std::move(value);
            else if (key == "mount") id.mountPoint = std::move(value);
        }
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return id;
}

bool FileSystemIdentity::OtherThan(const FileSystemIdentity& now) const {
    if (!uuid.empty() && !now.uuid.empty()) return uuid != now.uuid;
    if (!label.empty() && !now.label.empty() && label != now.label) return true;
    // The kernel's id is only unique among file systems of one type.
    if (!fsid.empty() && !now.fsid.empty()) return fsid != now.fsid || type != now.type;
    if (!type.empty() && !now.type.empty()) return type != now.type || source != now.source;
    return false;
}

bool FileSystemIdentity::UnmountedIn(const FileSystemIdentity& now) const {
    return !mountPoint.empty() && !now.mountPoint.empty() && mountPoint != now.mountPoint &&
           Below(mountPoint, now.mountPoint);
}

}  // namespace kirvo
