#include "view/line_diff.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace kirvo {
namespace {

// Lines as numbers, equal lines the same number, so the search compares integers.
void Number(std::span<const std::string_view> left, std::span<const std::string_view> right,
            std::vector<uint32_t>& a, std::vector<uint32_t>& b) {
    std::unordered_map<std::string_view, uint32_t> ids;
    ids.reserve(left.size() + right.size());
    const auto id = [&ids](std::string_view line) {
        return ids.emplace(line, static_cast<uint32_t>(ids.size())).first->second;
    };
    a.reserve(left.size());
    b.reserve(right.size());
    for (std::string_view line : left) a.push_back(id(line));
    for (std::string_view line : right) b.push_back(id(line));
}

// Appends one step of the edit: an equal line, a removed (left) or an added (right) line.
void Append(std::vector<DiffBlock>& blocks, bool equal, size_t x, size_t y, size_t dx, size_t dy) {
    if (dx == 0 && dy == 0) return;
    if (!blocks.empty() && blocks.back().equal == equal) {
        blocks.back().leftCount += dx;
        blocks.back().rightCount += dy;
        return;
    }
    blocks.push_back({equal, x, dx, y, dy});
}

// Myers' greedy search over a[0..n) and b[0..m); the moves from (0,0) to
// (n,m) go into blocks, offset by `at`. False when more than maxEdits are needed.
bool Search(const uint32_t* a, size_t n, const uint32_t* b, size_t m, size_t maxEdits, size_t atLeft,
            size_t atRight, std::vector<DiffBlock>& blocks) {
    const auto N = static_cast<int64_t>(n);
    const auto M = static_cast<int64_t>(m);
    const int64_t limit = std::min<int64_t>(N + M, static_cast<int64_t>(maxEdits));
    // v[k + offset]: the furthest x on diagonal k; trace[d]: v before round d.
    const int64_t offset = limit + 1;
    std::vector<int64_t> v(static_cast<size_t>(2 * offset + 1), 0);
    std::vector<std::vector<int64_t>> trace;
    int64_t found = -1;
    for (int64_t d = 0; d <= limit && found < 0; ++d) {
        trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
        for (int64_t k = -d; k <= d; k += 2) {
            int64_t x = (k == -d || (k != d && v[k - 1 + offset] < v[k + 1 + offset])) ? v[k + 1 + offset]
                                                                                     : v[k - 1 + offset] + 1;
            int64_t y = x - k;
            while (x < N && y < M && a[x] == b[y]) ++x, ++y;
            v[k + offset] = x;
            if (x >= N && y >= M) {
                found = d;
                break;
            }
        }
    }
    if (found < 0) return false;
    // Back from (n,m): per round one step off the diagonal, then the diagonal run.
    struct Move {
        int64_t x, y, dx, dy;  // a removed/added line at (x,y), then `run` equal lines
        int64_t run;
    };
    std::vector<Move> moves;
    int64_t x = N, y = M;
    for (int64_t d = found; d > 0; --d) {
        const std::vector<int64_t>& before = trace[static_cast<size_t>(d)];  // v[-d..d] before round d
        const auto at = [&before, d](int64_t k) { return before[static_cast<size_t>(k + d)]; };
        const int64_t k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const int64_t prevK = down ? k + 1 : k - 1;
        const int64_t prevX = at(prevK);
        const int64_t prevY = prevX - prevK;
        const int64_t startX = down ? prevX : prevX + 1;
        moves.push_back({prevX, prevY, down ? 0 : 1, down ? 1 : 0, x - startX});
        x = prevX;
        y = prevY;
    }
    Append(blocks, true, atLeft, atRight, static_cast<size_t>(x), static_cast<size_t>(y));  // the run before the first edit
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
        Append(blocks, false, atLeft + static_cast<size_t>(it->x), atRight + static_cast<size_t>(it->y),
               static_cast<size_t>(it->dx), static_cast<size_t>(it->dy));
        Append(blocks, true, atLeft + static_cast<size_t>(it->x + it->dx), atRight + static_cast<size_t>(it->y + it->dy),
               static_cast<size_t>(it->run), static_cast<size_t>(it->run));
    }
    return true;
}

}  // namespace

LineDiff DiffLines(std::span<const std::string_view> left, std::span<const std::string_view> right,
                   size_t maxEdits) {
    std::vector<uint32_t> a, b;
    Number(left, right, a, b);
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;

    LineDiff diff;
    Append(diff.blocks, true, 0, 0, head, head);
    const size_t n = a.size() - head - tail;
    const size_t m = b.size() - head - tail;
    if (!Search(a.data() + head, n, b.data() + head, m, maxEdits, head, head, diff.blocks)) {
        diff.gaveUp = true;
        Append(diff.blocks, false, head, head, n, m);
    }
    Append(diff.blocks, true, head + n, head + m, tail, tail);
    return diff;
}

}  // namespace kirvo
