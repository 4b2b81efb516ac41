#include "app/outside_run_watch.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "fileops/run_log.h"

namespace kirvo {
namespace {

uint64_t SizeOf(const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}

// path is the root itself or lies under it; root may end in a separator.
bool Under(std::string_view path, std::string_view root) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    if (root.empty() || path.size() < root.size() || path.substr(0, root.size()) != root) return false;
    return path.size() == root.size() || path[root.size()] == '/' || root == "/";
}

}  // namespace

OutsideRunWatch::OutsideRunWatch(std::string logPath) : path_(std::move(logPath)) { SkipToEnd(); }

void OutsideRunWatch::SkipToEnd() { offset_ = SizeOf(path_); }

bool OutsideRunWatch::Touched(const std::string& sourceRoot, const std::string& targetRoot) {
    const uint64_t size = SizeOf(path_);
    if (size < offset_) offset_ = size;  // begun afresh: what it held is gone
    if (size == offset_) return false;
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> bytes(size - offset_);
    if (!in.seekg(static_cast<std::streamoff>(offset_))) return false;
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) return false;
    const std::string_view text(bytes.data(), static_cast<size_t>(got));
    const size_t whole = text.rfind('\n');
    if (whole == std::string_view::npos) return false;  // a line still being written
    offset_ += whole + 1;
    bool touched = false;
    size_t begin = 0;
    while (begin <= whole) {
        const size_t end = text.find('\n', begin);
        LoggedLine line;
        if (RunLog::Parse(text.substr(begin, end - begin), line)) {
            for (const std::string* path : {&line.source, &line.destination})
                touched = touched || Under(*path, sourceRoot) || Under(*path, targetRoot);
        }
        begin = end + 1;
    }
    return touched;
}

}  // namespace kirvo
