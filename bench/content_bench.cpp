// Comparing by content against the disk: two trees of identical files, read
// once by a plain sequential reader (what the disk gives) and once by the
// comparison by content, each from a cold cache (the files' pages dropped
// with POSIX_FADV_DONTNEED, no other file touched) and from a warm one. The
// bytes the process read (/proc/self/io, rchar) show each file read once.
// Usage: kirvo-content-bench ORDNER [DATEIEN [MiB_JE_DATEI [LÄUFE]]]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/run_options.h"
#include "engine/tree_matcher.h"
#include "platform/root.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t ReadChars() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return -1;
}

void WriteTree(const std::string& root, int files, size_t bytes) {
    std::string data(bytes, '\0');
    uint64_t x = 88172645463325252ull;  // the same pseudo-random bytes on both sides
    for (int f = 0; f < files; ++f) {
        for (size_t i = 0; i + 8 <= bytes; i += 8) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            std::memcpy(&data[i], &x, 8);
        }
        const std::string folder = root + "/d" + std::to_string(f / 16);
        mkdir(root.c_str(), 0755);
        mkdir(folder.c_str(), 0755);
        const std::string path = folder + "/f" + std::to_string(f) + ".bin";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || write(fd, data.data(), bytes) != static_cast<ssize_t>(bytes)) std::exit(1);
        fsync(fd);
        close(fd);
        const timespec times[2] = {{1'300'000'000, 0}, {1'300'000'000, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

std::vector<std::string> Files(const std::string& root, int files) {
    std::vector<std::string> paths;
    for (int f = 0; f < files; ++f) paths.push_back(root + "/d" + std::to_string(f / 16) + "/f" + std::to_string(f) + ".bin");
    return paths;
}

void DropFromCache(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) continue;
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

// Reads every file from start to end in pieces of 1 MiB, one after the other,
// into a page-aligned buffer (as cat does: unaligned, the copy from the cache
// is several times slower).
double PlainRead(const std::vector<std::string>& paths) {
    static std::vector<char> storage((1 << 20) + 4096);
    char* const aligned = storage.data() + (4096 - reinterpret_cast<uintptr_t>(storage.data()) % 4096) % 4096;
    const struct {
        char* at;
        char* data() const { return at; }
        size_t size() const { return 1 << 20; }
    } buffer{aligned};
    const auto t0 = Clock::now();
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY);
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        while (read(fd, buffer.data(), buffer.size()) > 0) {
        }
        close(fd);
    }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double ContentCompare(const std::string& source, const std::string& target, int64_t& readBytes, int& unequal) {
    kirvo::TreeMatcher matcher;
    kirvo::RunOptions options;
    options.compareBy = kirvo::CompareBy::Content;
    std::string s = source, t = target;
    const int64_t before = ReadChars();
    const auto t0 = Clock::now();
    matcher.Run(kirvo::Root::Local(s), kirvo::Root::Local(t), options);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    readBytes = ReadChars() - before;
    unequal = 0;
    for (const kirvo::FilePair& pair : matcher.pairs()) unequal += pair.verdict != kirvo::Verdict::Equal;
    return seconds;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "Aufruf: kirvo-content-bench ORDNER [DATEIEN [MiB_JE_DATEI [LÄUFE]]]\n");
        return 2;
    }
    const std::string work = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 32;
    const size_t mib = argc > 3 ? static_cast<size_t>(std::atoi(argv[3])) : 32;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 3;
    const std::string source = work + "/quelle", target = work + "/ziel";
    const std::string marker = work + "/.fertig-" + std::to_string(files) + "-" + std::to_string(mib);
    if (access(marker.c_str(), F_OK) != 0) {
        std::system(("rm -rf '" + work + "'").c_str());
        mkdir(work.c_str(), 0755);
        WriteTree(source, files, mib << 20);
        WriteTree(target, files, mib << 20);
        close(open(marker.c_str(), O_WRONLY | O_CREAT, 0644));
    }
    std::vector<std::string> all = Files(source, files);
    const std::vector<std::string> targets = Files(target, files);
    all.insert(all.end(), targets.begin(), targets.end());
    const double total = 2.0 * files * static_cast<double>(mib << 20);

    std::vector<double> plainCold, plainWarm, contentCold, contentWarm;
    int64_t readBytes = 0;
    int unequal = 0;
    for (int r = 0; r < runs; ++r) {
        DropFromCache(all);
        plainCold.push_back(PlainRead(all));
        DropFromCache(all);
        contentCold.push_back(ContentCompare(source, target, readBytes, unequal));
        plainWarm.push_back(PlainRead(all));
        contentWarm.push_back(ContentCompare(source, target, readBytes, unequal));
    }
    const auto rate = [total](double seconds) { return total / seconds / 1e6; };
    std::printf("2 × %d Dateien zu %zu MiB (%.0f MB zusammen), Median aus %d Läufen\n", files, mib, total / 1e6, runs);
    std::printf("  kalt: nacheinander lesen %.2f s (%.0f MB/s), Vergleich nach Inhalt %.2f s (%.0f MB/s): %.0f %%\n",
                Median(plainCold), rate(Median(plainCold)), Median(contentCold), rate(Median(contentCold)),
                100.0 * Median(plainCold) / Median(contentCold));
    std::printf("  warm: nacheinander lesen %.2f s (%.0f MB/s), Vergleich nach Inhalt %.2f s (%.0f MB/s): %.0f %%\n",
                Median(plainWarm), rate(Median(plainWarm)), Median(contentWarm), rate(Median(contentWarm)),
                100.0 * Median(plainWarm) / Median(contentWarm));
    std::printf("  gelesen beim Vergleich: %lld Byte = %.3f × die Bytes beider Bäume; ungleich: %d\n",
                static_cast<long long>(readBytes), static_cast<double>(readBytes) / total, unequal);
    return unequal == 0 ? 0 : 1;
}
