#include "support/temp_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/directory_lister.h"

namespace kirvo::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kirvo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable again so tests that removed permissions still clean up.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
    }
    chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view relative) const {
    std::string p = path_;
    p.push_back('/');
    p.append(relative);
    return p;
}

int64_t LocalEpoch(int year, int month, int day, int hour, int minute, int second) {
    SystemTime t;
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint16_t>(month);
    t.day = static_cast<uint16_t>(day);
    t.hour = static_cast<uint16_t>(hour);
    t.minute = static_cast<uint16_t>(minute);
    t.second = static_cast<uint16_t>(second);
    return SecondsFromSystemTime(t) - CurrentUtcOffsetSeconds();
}

void MakeDirs(const std::string& path) {
    std::filesystem::create_directories(path);
}

void SetModified(const std::string& path, int64_t mtimeSeconds, uint32_t mtimeNanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(mtimeSeconds);
    times[0].tv_nsec = mtimeNanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat failed: " + path);
}

void WriteFile(const std::string& path, std::string_view content, int64_t mtimeSeconds,
               uint32_t mtimeNanoseconds) {
    const auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) throw std::runtime_error("cannot write " + path);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    SetModified(path, mtimeSeconds, mtimeNanoseconds);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void MakeTree(const std::string& root, std::initializer_list<FileSpec> files) {
    MakeDirs(root);
    for (const FileSpec& f : files) WriteFile(root + "/" + f.relativePath, f.content, f.mtime);
}

}  // namespace kirvo::test
