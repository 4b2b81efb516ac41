// Copying and deleting through the file-operation service against cp -a and rm -rf.
// Usage: kirvo-copy-bench ARBEITSORDNER [LÄUFE]
// Keeps its sources in ARBEITSORDNER (5,000 files of 4 KiB in 50 folders, one
// 1 GiB file of real data, written once) and drops the destination before each
// run. Every figure is the median of several runs after one warm-up run; each
// run starts with the cache clean (sync), so write-back of one run does not
// fall into the next.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fileops/local_file_operation_service.h"

namespace kirvo {
namespace {

constexpr int kSmallFolders = 50;
constexpr int kSmallPerFolder = 100;
constexpr size_t kSmallBytes = 4096;
constexpr uint64_t kBigBytes = 1ull << 30;

// Answers yes to everything, never cancels; counts failures.
class SilentUi final : public FileOperationUi {
public:
    ConfirmAnswer confirmFolderCreation(const std::string&) override { return ConfirmAnswer::YesToAll; }
    ConfirmAnswer confirmOverwrite(const FileFacts&, const FileFacts&, bool) override {
        return ConfirmAnswer::YesToAll;
    }
    bool confirmDelete(const DeleteRequest&) override { return true; }
    ConfirmAnswer confirmChanged(const ChangedFile&) override { return ConfirmAnswer::YesToAll; }
    ConfirmAnswer confirmWithoutTrash(const std::string&, TreeSide, FileAction, const std::string&) override {
        return ConfirmAnswer::YesToAll;
    }
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override {
        std::fprintf(stderr, "Fehler: %s: %s\n", path.c_str(), reason.c_str());
        return ErrorAnswer::SkipAll;
    }
    void notify(const std::string& text) override { std::fprintf(stderr, "Hinweis: %s\n", text.c_str()); }
    bool progress(const ProgressInfo&) override { return true; }
};

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Run(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s ist fehlgeschlagen\n", argv[0].c_str());
        std::exit(1);
    }
}

void Drop(const std::string& path) {
    std::filesystem::remove_all(path);
    sync();
}

std::string SmallName(int folder, int file) {
    char name[96];
    std::snprintf(name, sizeof name, "ordner-%02d/datei-%03d-mit-einem-laengeren-namen.dat", folder, file);
    return name;
}

// Real data: a copy that could skip zeros or holes would not be measured fairly.
void FillRandom(std::vector<char>& buffer, uint64_t& state) {
    for (size_t i = 0; i + 8 <= buffer.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(&buffer[i], &state, 8);
    }
}

void MakeSources(const std::string& work) {
    const std::string small = work + "/klein";
    if (!std::filesystem::exists(small + "/.fertig")) {
        std::filesystem::remove_all(small);
        uint64_t state = 42;
        std::vector<char> data(kSmallBytes);
        for (int f = 0; f < kSmallFolders; ++f) {
            std::filesystem::create_directories(small + "/ordner-" + (f < 10 ? "0" : "") + std::to_string(f));
            for (int i = 0; i < kSmallPerFolder; ++i) {
                FillRandom(data, state);
                std::ofstream(small + "/" + SmallName(f, i), std::ios::binary).write(data.data(), data.size());
            }
        }
        std::ofstream(small + "/.fertig");
    }
    const std::string big = work + "/gross/datei.bin";
    struct stat st;
    if (stat(big.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != kBigBytes) {
        std::filesystem::create_directories(work + "/gross");
        std::ofstream out(big, std::ios::binary | std::ios::trunc);
        uint64_t state = 4711;
        std::vector<char> data(1 << 20);
        for (uint64_t done = 0; done < kBigBytes; done += data.size()) {
            FillRandom(data, state);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
        }
    }
    sync();
}

struct Request {
    std::vector<CopyPair> copies;
    std::vector<ListedPath> deletes;
};

Request Plan(const std::string& from, const std::string& to, const std::vector<std::string>& names) {
    Request r;
    for (const std::string& n : names) {
        r.copies.push_back({RootedPath::Join(from + "/", n), RootedPath::Join(to + "/", n)});
        r.deletes.push_back({RootedPath::Join(to + "/", n), {}});
    }
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Times {
    std::vector<double> kirvoCopy, cpCopy, cpCopySync, kirvoDelete, kirvoTrash, rmDelete;
};

// One round: each contender copies into a fresh destination and deletes it again.
void Round(const std::string& source, const std::string& destination, const Request& request, Times* times) {
    SilentUi ui;
    LocalFileOperationService service(ui);
    Drop(destination);
    OperationResult copied;
    const double kc = Seconds([&] { copied = service.copy(request.copies, CopyFlags{false, false}); });
    if (!copied.allDone()) std::exit(1);
    sync();
    OperationResult removed;
    const double kd = Seconds([&] { removed = service.remove(request.deletes, DeleteFlags{false}); });
    if (!removed.allDone()) std::exit(1);
    Drop(destination);
    // The same files once more, now into the trash (kept in the work folder).
    copied = service.copy(request.copies, CopyFlags{false, false});
    sync();
    const double kt = Seconds([&] { removed = service.remove(request.deletes, DeleteFlags{false, true}); });
    if (!removed.allDone()) std::exit(1);
    Drop(destination);
    Drop(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash");
    const double cc = Seconds([&] { Run({"cp", "-a", source, destination}); });
    sync();
    const double rd = Seconds([&] { Run({"rm", "-rf", destination}); });
    sync();
    const double cs = Seconds([&] {
        Run({"cp", "-a", source, destination});
        sync();
    });
    Drop(destination);
    if (times == nullptr) return;
    times->kirvoCopy.push_back(kc);
    times->kirvoDelete.push_back(kd);
    times->kirvoTrash.push_back(kt);
    times->cpCopy.push_back(cc);
    times->rmDelete.push_back(rd);
    times->cpCopySync.push_back(cs);
}

Times Measure(const std::string& source, const std::string& destination, const Request& request, int runs) {
    Times times;
    Round(source, destination, request, nullptr);  // warm-up
    for (int r = 0; r < runs; ++r) Round(source, destination, request, &times);
    return times;
}

void Line(const char* what, double seconds, double files, double bytes, double reference) {
    std::printf("  %-22s %8.3f s %10.0f Dateien/s %8.1f MB/s   %5.2f\n", what, seconds, files / seconds,
                bytes / seconds / 1e6, reference / seconds);
}

}  // namespace
}  // namespace kirvo

int main(int argc, char** argv) {
    using namespace kirvo;
    if (argc < 2) {
        std::fprintf(stderr, "Aufruf: kirvo-copy-bench ARBEITSORDNER [LÄUFE]\n");
        return 2;
    }
    const std::string work = std::filesystem::absolute(argv[1]).lexically_normal().string();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    MakeSources(work);
    // The trash of this machine's user stays out of it: a home trash of its own, beside the trees.
    setenv("XDG_DATA_HOME", (work + "/daten").c_str(), 1);

    std::vector<std::string> smallNames;
    for (int f = 0; f < kSmallFolders; ++f)
        for (int i = 0; i < kSmallPerFolder; ++i) smallNames.push_back(SmallName(f, i));
    const Times small = Measure(work + "/klein", work + "/ziel", Plan(work + "/klein", work + "/ziel", smallNames),
                                runs);
    const Times big = Measure(work + "/gross", work + "/ziel", Plan(work + "/gross", work + "/ziel", {"datei.bin"}),
                              std::max(1, runs / 2 + 1));

    const double smallFiles = kSmallFolders * kSmallPerFolder;
    const double smallBytes = smallFiles * kSmallBytes;
    std::printf("Median aus %d Läufen (1 GiB: %d), Ziel vor jedem Lauf entfernt; Spalte 5: Zeit cp -a bzw. rm -rf "
                "/ Zeit der Zeile\n",
                runs, std::max(1, runs / 2 + 1));
    std::printf("%d Dateien zu 4 KiB in %d Ordnern:\n", kSmallFolders * kSmallPerFolder, kSmallFolders);
    const double cp = Median(small.cpCopy), rm = Median(small.rmDelete);
    Line("kopieren kirvo", Median(small.kirvoCopy), smallFiles, smallBytes, cp);
    Line("kopieren cp -a", cp, smallFiles, smallBytes, cp);
    Line("kopieren cp -a; sync", Median(small.cpCopySync), smallFiles, smallBytes, cp);
    Line("löschen kirvo", Median(small.kirvoDelete), smallFiles, smallBytes, rm);
    Line("Papierkorb kirvo", Median(small.kirvoTrash), smallFiles, smallBytes, rm);
    Line("löschen rm -rf", rm, smallFiles, smallBytes, rm);
    std::printf("1 Datei zu 1 GiB:\n");
    const double bigCp = Median(big.cpCopy), bigRm = Median(big.rmDelete);
    Line("kopieren kirvo", Median(big.kirvoCopy), 1, kBigBytes, bigCp);
    Line("kopieren cp -a", bigCp, 1, kBigBytes, bigCp);
    Line("kopieren cp -a; sync", Median(big.cpCopySync), 1, kBigBytes, bigCp);
    Line("löschen kirvo", Median(big.kirvoDelete), 1, kBigBytes, bigRm);
    Line("Papierkorb kirvo", Median(big.kirvoTrash), 1, kBigBytes, bigRm);
    Line("löschen rm -rf", bigRm, 1, kBigBytes, bigRm);
    return 0;
}
