// The state database of two-way runs at scale: its size on disk and the time
// to save, load, decide and update the state of N files (no files are made;
// the paths have the shape of make-trees: folders about 50 bytes deep, names
// about 25 bytes, about 100 files per folder).
// Usage: kirvo-state-bench [N] [FOLDER]   (N: 200000; FOLDER: a new one in /tmp)
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "sync/reconciler.h"
#include "sync/state_update.h"
#include "sync/sync_state_store.h"

namespace {

using namespace kirvo;
using Clock = std::chrono::steady_clock;

uint64_t seed = 0x9E3779B97F4A7C15ULL;
uint64_t Next() {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
}

const char* const kWords[] = {"bilder",        "dokumente", "projekt",   "archiv",  "musik",  "rechnungen", "berichte",
                              "entwurf",       "sicherung", "urlaub",    "vertrag", "daten",  "quelle",     "notizen",
                              "praesentation", "tabelle",   "protokoll", "export",  "import", "vorlage"};
const char* const kExtensions[] = {".txt", ".jpg", ".pdf", ".docx", ".png", ".csv", ".mp3", ".xml"};
std::string Word() { return kWords[Next() % std::size(kWords)]; }

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

template <class F>
double Median(int runs, F&& f) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        f();
        times.push_back(Seconds(t0));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Check(const StoreError& error) {
    if (error) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long total = argc > 1 ? std::atol(argv[1]) : 200'000;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        char pattern[] = "/tmp/kirvo-state-bench-XXXXXX";
        folder = mkdtemp(pattern);
    }

    std::vector<std::string> folders{""};
    while (static_cast<long>(folders.size()) < total / 100 + 1) {
        std::string parent = folders[Next() % folders.size()];
        if (parent.size() > 45) parent = folders[Next() % std::min<size_t>(folders.size(), 20)];
        folders.push_back(parent + Word() + "-" + std::to_string(folders.size()) + "/");
    }
    std::deque<std::string> names;
    std::vector<ObservedPath> paths;
    paths.reserve(static_cast<size_t>(total));
    const int64_t base = 1'600'000'000'000'000'000;
    for (long i = 0; i < total; ++i) {
        const std::string& f = folders[static_cast<size_t>(i) * folders.size() / static_cast<size_t>(total)];
        names.push_back(Word() + "_" + Word() + "_" + std::to_string(i) + kExtensions[Next() % std::size(kExtensions)]);
        const uint64_t size = Next() % 2'000'000;
        const int64_t mtime = base + static_cast<int64_t>(Next() % 100'000'000'000'000'000);
        paths.push_back({f,
                         names.back(),
                         ObservedFile::Present(size, mtime, 2049, 1'000'000 + i),
                         ObservedFile::Present(size, mtime, 2065, 5'000'000 + i),
                         CompareVerdict::Equal,
                         {}});
    }
    std::printf("%ld Dateien in %zu Ordnern, Zustand in %s\n", total, folders.size(), folder.c_str());

    SyncStateStore store(folder);
    const PairKey pair(RootIdentity::Remote("bench", "a", 22, "/quelle"),
                       RootIdentity::Remote("bench", "b", 22, "/ziel"));
    const PairSettings settings{SyncMode::TwoWay, 0, FilterHash("")};
    Check(store.forget(pair));

    auto t0 = Clock::now();
    const StateUpdate first = ComputeStateUpdate(paths, nullptr, settings, nullptr, {});
    const double computeFirst = Seconds(t0);
    t0 = Clock::now();
    Check(store.save(pair, first));
    const double saveFirst = Seconds(t0);
    const auto bytes = std::filesystem::file_size(store.databasePath());

    std::optional<SyncState> state;
    const double load = Median(3, [&] { Check(store.load(pair, state)); });
    ReconcileInput input;
    input.mode = SyncMode::TwoWay;
    input.paths = paths;
    input.state = &*state;
    input.filterHash = settings.filterHash;
    size_t acting = 0;
    const double reconcile = Median(3, [&] {
        const std::vector<PathDecision> decisions = Reconcile(input);
        acting = static_cast<size_t>(std::count_if(decisions.begin(), decisions.end(), [](const PathDecision& d) {
            return d.effective() != SyncAction::Nothing;
        }));
    });
    StateUpdate idle;
    const double computeIdle = Median(3, [&] { idle = ComputeStateUpdate(paths, &*state, settings, nullptr, {}); });
    const double saveIdle = Median(3, [&] { Check(store.save(pair, idle)); });

    // One file in a hundred changed on one side and copied.
    for (size_t i = 0; i < paths.size(); i += 100) {
        paths[i].source.mtimeNs += 1'000'000'000;
        paths[i].target.mtimeNs += 1'000'000'000;
    }
    const StateUpdate some = ComputeStateUpdate(paths, &*state, settings, nullptr, {});
    t0 = Clock::now();
    Check(store.save(pair, some));
    const double saveSome = Seconds(t0);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Datenbank             %.1f MB (%.0f Byte je Datei)\n", static_cast<double>(bytes) / 1e6,
                static_cast<double>(bytes) / static_cast<double>(total));
    std::printf("erstes Speichern      %.3f s (+ %.3f s Zustand berechnen)\n", saveFirst, computeFirst);
    std::printf("Laden                 %.3f s\n", load);
    std::printf("Entscheiden, nichts zu tun   %.3f s (%zu Handlungen)\n", reconcile, acting);
    std::printf("Zustand danach berechnen     %.3f s, speichern %.3f s (%zu neue Einträge)\n", computeIdle, saveIdle,
                idle.puts.size() + idle.removals.size());
    std::printf("1 %% geändert speichern %.3f s (%zu Einträge)\n", saveSome, some.puts.size());
    std::printf("Spitzenspeicher       %ld MiB\n", usage.ru_maxrss / 1024);
    if (argc <= 2) std::filesystem::remove_all(folder);
    return 0;
}
