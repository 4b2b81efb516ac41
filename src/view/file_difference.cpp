#include "view/file_difference.h"
#include "platform/error_text.h"
#include "platform/translation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>

namespace kirvo {
namespace {

constexpr size_t kSniffBytes = 8192;
constexpr size_t kChunk = size_t{1} << 20;

// Up to maxBytes of the file; error set when it cannot be opened or read.
std::string ReadStart(const std::string& path, uint64_t maxBytes, FileDifference::Side& side) {
    side.path = path;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        side.error = ErrorText(errno);
        return {};
    }
    side.size = static_cast<uint64_t>(in.tellg());
    in.seekg(0);
    std::string data(static_cast<size_t>(std::min(side.size, maxBytes)), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(data.size()))) {
        side.error = Tr("Die Datei kann nicht gelesen werden");
        return {};
    }
    side.cut = side.size > maxBytes;
    return data;
}

bool LooksBinary(const std::string& data) {
    return std::memchr(data.data(), '\0', std::min(data.size(), kSniffBytes)) != nullptr;
}

// Lines without their ends ("\n", "\r\n"); a last line without an end counts too.
std::vector<std::string> Lines(const std::string& data, bool cut) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos) {
            if (cut) break;  // a line cut off by the bound is left out
            end = data.size();
        }
        size_t length = end - start;
        if (length > 0 && data[end - 1] == '\r' && end < data.size()) --length;
        lines.emplace_back(data, start, length);
        start = end + 1;
    }
    return lines;
}

// The offset of the first differing byte within the first kMaxBinaryBytes.
void FindFirstDifference(FileDifference& result, const std::atomic<bool>* stop) {
    std::ifstream left(result.left.path, std::ios::binary);
    std::ifstream right(result.right.path, std::ios::binary);
    std::vector<char> a(kChunk), b(kChunk);
    uint64_t offset = 0;
    const uint64_t common = std::min(result.left.size, result.right.size);
    while (offset < common) {
        if (offset >= FileDifference::kMaxBinaryBytes) {
            result.binaryCut = true;
            return;
        }
        if (stop && stop->load()) {
            result.stopped = true;
            return;
        }
        const auto want = static_cast<std::streamsize>(std::min<uint64_t>(kChunk, common - offset));
        left.read(a.data(), want);
        right.read(b.data(), want);
        const std::streamsize got = std::min(left.gcount(), right.gcount());
        if (got <= 0) {
            result.left.error = Tr("Die Datei kann nicht gelesen werden");
            return;
        }
        const auto mismatch = std::mismatch(a.begin(), a.begin() + got, b.begin());
        if (mismatch.first != a.begin() + got) {
            result.firstDifference = offset + static_cast<uint64_t>(mismatch.first - a.begin());
            return;
        }
        offset += static_cast<uint64_t>(got);
    }
    if (result.left.size != result.right.size) result.firstDifference = common;
}

}  // namespace

bool FileDifference::equal() const {
    if (binary) return !firstDifference && !binaryCut && left.size == right.size;
    return std::all_of(lines.blocks.begin(), lines.blocks.end(), [](const DiffBlock& b) { return b.equal; });
}

FileDifference FileDifference::Compare(const std::string& leftPath, const std::string& rightPath,
                                       const std::atomic<bool>* stop) {
    FileDifference result;
    const std::string leftData = ReadStart(leftPath, kMaxTextBytes, result.left);
    const std::string rightData = ReadStart(rightPath, kMaxTextBytes, result.right);
    if (!result.readable()) return result;
    result.binary = LooksBinary(leftData) || LooksBinary(rightData);
    if (result.binary) {
        result.left.cut = result.right.cut = false;
        FindFirstDifference(result, stop);
        return result;
    }
    result.left.lines = Lines(leftData, result.left.cut);
    result.right.lines = Lines(rightData, result.right.cut);
    const std::vector<std::string_view> a(result.left.lines.begin(), result.left.lines.end());
    const std::vector<std::string_view> b(result.right.lines.begin(), result.right.lines.end());
    result.lines = DiffLines(a, b, kMaxEdits);
    return result;
}

}  // namespace kirvo
