// Fuzzes the comparison engine's ordering and pairing over arbitrary sets of
// files made for real on a memory file system, against a simple model:
// every file in exactly one pair, the entry table ordered, pairs in table
// order, partners chosen by the case rules, verdicts by the time rules.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "engine/tree_matcher.h"
#include "platform/directory_lister.h"

namespace {

namespace fs = std::filesystem;
using kirvo::FileEntry;
using kirvo::FilePair;
using kirvo::TreeMatcher;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "model mismatch: %s\n", what.c_str());
    std::abort();
}

const std::string& Workspace() {
    static const std::string path = [] {
        std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
        return base + "/kirvo-fuzz-" + std::to_string(getpid());
    }();
    return path;
}

struct Made {
    int side;  // 1 source, 2 target
    std::string folder;
    std::string name;
    int64_t seconds;
};

std::string Fold(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return f;
}

int64_t LocalMonthKey(int64_t utc, int64_t offset) {
    const time_t local = static_cast<time_t>(utc + offset);
    struct tm t;
    gmtime_r(&local, &t);
    return static_cast<int64_t>(t.tm_year) * 12 + t.tm_mon;
}

int32_t ModelVerdict(int64_t s, int64_t t, bool tolerance, int64_t offset) {
    const int64_t ms = LocalMonthKey(s, offset), mt = LocalMonthKey(t, offset);
    if (ms != mt) return ms > mt ? 1 : -1;
    const int64_t d = s - t;
    if (d > 0) return tolerance && d <= 2 ? 0 : 1;
    if (d < 0) return tolerance && d >= -2 ? 0 : -1;
    return 0;
}

std::string Key(int side, const std::string& relative) { return std::to_string(side) + ":" + relative; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kFolders[] = {"", "a/", "A/", "b/", "a/b/", "A/b/", "a/B/", "b/a/"};
    static const char kAlphabet[] = {'a', 'A', 'b', 'B', '.', '-', '_', '~', '\xe4', '\xc4', ' ', '1', 'z', 'Z', '|', '\n'};
    if (size < 1) return 0;
    const bool tolerance = data[0] & 1;
    const std::string root = Workspace();
    const std::string roots[2] = {root + "/q", root + "/z"};
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(roots[0]);
    fs::create_directories(roots[1]);

    // A moment at a local month boundary, so small differences cross it.
    const int64_t offset = kirvo::CurrentUtcOffsetSeconds();
    const int64_t base = 1'580'515'200 - offset;  // 2020-02-01 00:00:00 local

    std::vector<Made> made;
    std::set<std::string> taken;
    size_t pos = 1;
    while (pos + 3 <= size && made.size() < 48) {
        const uint8_t head = data[pos++];
        const size_t length = 1 + data[pos++] % 6;
        if (pos + length + 1 > size) break;
        Made m;
        m.side = (head & 1) ? 2 : 1;
        m.folder = kFolders[(head >> 1) & 7];
        for (size_t i = 0; i < length; ++i) m.name.push_back(kAlphabet[data[pos++] & 15]);
        const uint8_t time = data[pos++];
        m.seconds = base + static_cast<int8_t>(time) * ((head & 0x80) ? 1 : 13);
        if (m.name == "." || m.name == "..") continue;
        const std::string full = roots[m.side - 1] + "/" + m.folder + m.name;
        fs::create_directories(roots[m.side - 1] + "/" + m.folder, ec);
        if (ec) continue;  // a file already has the folder's name
        const int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) continue;  // the same name twice, or a folder of that name
        const struct timespec times[2] = {{m.seconds, 0}, {m.seconds, ((head >> 4) & 7) * 120'000'000L}};
        futimens(fd, times);
        close(fd);
        made.push_back(m);
    }

    TreeMatcher matcher;
    std::string q = roots[0], z = roots[1];
    matcher.Run(q, z, false, false, tolerance);

    // Every file in exactly one pair.
    std::map<std::string, const Made*> expected;
    for (const Made& m : made) expected[Key(m.side, m.folder + m.name)] = &m;
    std::set<std::string> seen;
    const auto entries = matcher.entries();
    std::map<const FileEntry*, size_t> indexOf;
    for (int32_t i = 0; i <= matcher.lastEntry(); ++i) indexOf[entries[static_cast<size_t>(i)]] = static_cast<size_t>(i);
    for (const FilePair& p : matcher.pairs()) {
        for (const FileEntry* e : {p.source, p.target}) {
            if (!e) continue;
            const std::string key = Key(e->side(), e->relativePath());
            if (!expected.count(key)) Fail("unknown entry " + key);
            if (!seen.insert(key).second) Fail("entry in two pairs " + key);
        }
        if (!p.source && !p.target) Fail("empty pair");
        if (p.source && p.source->side() != 1) Fail("source entry of the target side");
        if (p.target && p.target->side() != 2) Fail("target entry of the source side");
    }
    if (seen.size() != expected.size()) Fail("files missing from the pairs");
    if (static_cast<size_t>(matcher.lastEntry() + 1) != made.size()) Fail("entry count");

    // The table ordered; pairs in table order.
    for (int32_t i = 0; i < matcher.lastEntry(); ++i)
        if (TreeMatcher::OrderEntries(*entries[static_cast<size_t>(i)], *entries[static_cast<size_t>(i) + 1]) >= 0)
            Fail("entry table out of order");
    // Pairs in table order, except in a group of folders equal ignoring case
    // where one side has several of them: there by the bytes of the pair's
    // folder (the source's where it has one), then in table order.
    std::map<std::string, std::set<std::string>> variants[2];  // folded folder -> texts, per side
    for (const Made& m : made) variants[m.side - 1][Fold(m.folder)].insert(m.folder);
    struct Placed {
        size_t group, rank, at;
    };
    std::vector<Placed> placed;
    std::map<std::string, size_t> groupStart;  // folded folder -> first table index
    for (int32_t i = 0; i <= matcher.lastEntry(); ++i)
        groupStart.emplace(Fold(std::string(entries[static_cast<size_t>(i)]->folder())), static_cast<size_t>(i));
    for (const FilePair& p : matcher.pairs()) {
        size_t at = SIZE_MAX;
        for (const FileEntry* e : {p.source, p.target})
            if (e) at = std::min(at, indexOf.at(e));
        const std::string home(p.source ? p.source->folder() : p.target->folder());
        const std::string folded = Fold(home);
        size_t rank = 0;
        if (variants[0][folded].size() > 1 || variants[1][folded].size() > 1) {
            std::set<std::string> all = variants[0][folded];
            all.insert(variants[1][folded].begin(), variants[1][folded].end());
            rank = static_cast<size_t>(std::distance(all.begin(), all.find(home)));
        }
        placed.push_back({groupStart.at(folded), rank, at});
    }
    for (size_t i = 1; i < placed.size(); ++i) {
        const Placed& a = placed[i - 1];
        const Placed& b = placed[i];
        if (std::tie(a.group, a.rank, a.at) >= std::tie(b.group, b.rank, b.at)) Fail("pairs out of order");
    }

    // Partners and verdicts. A group: same folder and name ignoring case.
    std::map<std::string, std::vector<const Made*>> groups;
    for (const Made& m : made) groups[Fold(m.folder) + "\n" + Fold(m.name)].push_back(&m);
    std::map<std::string, std::string> partner;  // key -> partner key, "" alone
    for (auto& [group, members] : groups) {
        std::vector<const Made*> rest;
        for (const Made* a : members) {
            if (a->side != 1) continue;
            bool matched = false;
            for (const Made* b : members)
                if (b->side == 2 && b->folder == a->folder && b->name == a->name) {
                    partner[Key(1, a->folder + a->name)] = Key(2, b->folder + b->name);
                    partner[Key(2, b->folder + b->name)] = Key(1, a->folder + a->name);
                    matched = true;
                }
            if (!matched) rest.push_back(a);
        }
        for (const Made* b : members)
            if (b->side == 2 && !partner.count(Key(2, b->folder + b->name))) rest.push_back(b);
        int sources = 0, targets = 0;
        for (const Made* m : rest) (m->side == 1 ? sources : targets)++;
        if (sources == 1 && targets == 1) {
            const std::string a = Key(rest[0]->side, rest[0]->folder + rest[0]->name);
            const std::string b = Key(rest[1]->side, rest[1]->folder + rest[1]->name);
            partner[a] = b;
            partner[b] = a;
        } else {
            for (const Made* m : rest) partner[Key(m->side, m->folder + m->name)] = "";
        }
    }
    for (const FilePair& p : matcher.pairs()) {
        if (p.source && p.target) {
            const std::string s = Key(1, p.source->relativePath()), t = Key(2, p.target->relativePath());
            if (partner[s] != t) Fail("wrong partners " + s + " / " + t);
            const int32_t v = ModelVerdict(expected[s]->seconds, expected[t]->seconds, tolerance, offset);
            if (static_cast<int32_t>(p.verdict) != v)
                Fail("verdict " + std::to_string(static_cast<int32_t>(p.verdict)) + " instead of " + std::to_string(v) + " for " + s);
        } else {
            const FileEntry* e = p.source ? p.source : p.target;
            if (!partner[Key(e->side(), e->relativePath())].empty()) Fail("alone but has a partner");
            if (static_cast<int32_t>(p.verdict) != (p.source ? 1 : -1)) Fail("one-sided verdict");
        }
    }
    fs::remove_all(root, ec);
    return 0;
}
