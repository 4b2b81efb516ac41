// Writes two folder trees of about N files each, in a realistic shape, for
// benchmarks: folders about 50 bytes deep, names about 25 bytes, about 100
// files per folder, 5 % of the files with another time on the target side,
// 1 % only in the source and 1 % only in the target. Deterministic.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint64_t state = 0x9E3779B97F4A7C15ULL;
uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

const char* const kWords[] = {"bilder", "dokumente", "projekt", "archiv", "musik", "rechnungen", "berichte",
                              "entwurf", "sicherung", "urlaub", "vertrag", "daten", "quelle", "notizen",
                              "praesentation", "tabelle", "protokoll", "export", "import", "vorlage"};
const char* const kExtensions[] = {".txt", ".jpg", ".pdf", ".docx", ".png", ".csv", ".mp3", ".xml"};

std::string Word() { return kWords[Next() % std::size(kWords)]; }

void MakeDir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(path.c_str());
        std::exit(2);
    }
}

void MakeFile(const std::string& path, int64_t mtime, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
    static const std::string payload(4096, 'k');
    if (size > 0 && write(fd, payload.data(), size % payload.size()) < 0) std::perror("write");
    struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    futimens(fd, times);
    close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: make-trees N ZIELORDNER\n");
        return 2;
    }
    const long total = std::atol(argv[1]);
    const std::string out = argv[2];
    MakeDir(out);
    const std::string roots[2] = {out + "/quelle", out + "/ziel"};
    MakeDir(roots[0]);
    MakeDir(roots[1]);

    // Folders: a tree whose relative paths grow to about 50 bytes.
    std::vector<std::string> folders{""};
    const long folderCount = total / 100 + 1;
    while (static_cast<long>(folders.size()) < folderCount) {
        std::string parent = folders[Next() % folders.size()];
        if (parent.size() > 45) parent = folders[Next() % std::min<size_t>(folders.size(), 20)];
        std::string name = Word() + "-" + std::to_string(folders.size());
        const std::string folder = parent + name + "/";
        folders.push_back(folder);
        for (const auto& root : roots) MakeDir(root + "/" + folder);
    }
    const int64_t base = 1'600'000'000;
    for (long i = 0; i < total; ++i) {
        const std::string& folder = folders[i % folders.size()];
        std::string name = Word() + "_" + Word().substr(0, 6) + "_" + std::to_string(i) +
                           kExtensions[Next() % std::size(kExtensions)];
        const int64_t mtime = base + static_cast<int64_t>(Next() % 100'000'000);
        const size_t size = Next() % 4000;
        const unsigned roll = static_cast<unsigned>(Next() % 100);
        const std::string rel = folder + name;
        if (roll != 0) MakeFile(roots[0] + "/" + rel, mtime, size);          // 1 % target only
        if (roll != 1) MakeFile(roots[1] + "/" + rel, roll < 7 && roll > 1 ? mtime + 3600 : mtime, size);
    }
    std::printf("%s %s\n", roots[0].c_str(), roots[1].c_str());
    return 0;
}
