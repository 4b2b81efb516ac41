#include "app/job_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/job_file.h"
#include "fileops/operation_log.h"
#include "platform/file_node.h"
#include "platform/error_text.h"
#include "platform/file_replace.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

namespace fs = std::filesystem;

// A job is a few hundred bytes; a file far larger is no job and is not read to its end.
constexpr size_t kMaxJobFile = 1 << 20;

// 0, or the error number (EFBIG past kMaxJobFile).
int ReadWhole(const std::string& path, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    char buffer[16384];
    ssize_t n = 0;
    while (text.size() <= kMaxJobFile && ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
    const int failure = n < 0 ? errno : text.size() > kMaxJobFile ? EFBIG : 0;
    close(fd);
    return failure;
}

}  // namespace

std::string JobStore::DefaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/kirvo/jobs";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.config/kirvo/jobs";
}

std::string JobStore::LockPathOf(std::string_view name) {
    return fs::path(OperationLog::DefaultPath()).parent_path().string() + "/jobs/" + std::string(name) + ".lock";
}

std::string JobStore::LastRunPathOf(std::string_view name) {
    return fs::path(LockPathOf(name)).replace_extension(".last").string();
}

std::string JobStore::LastRun(std::string_view name) {
    std::ifstream file(LastRunPathOf(name));
    std::string line, translated;
    if (!std::getline(file, line)) return {};
    // The second line, where there is one, in the language the run had.
    if (CurrentLanguage() != UiLanguage::German && std::getline(file, translated) && !translated.empty()) line = translated;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) return {};
    return line.substr(0, tab) + " – " + line.substr(tab + 1);
}

std::vector<std::string> JobStore::Names(std::string* error) const {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder_, ec);
    if (ec == std::errc::no_such_file_or_directory) return names;  // none saved yet
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string stem = path.stem().string();
        // A file that cannot be looked at is listed: loading it says why.
        std::error_code kind;
        if (path.extension() == ".job" && Job::IsValidName(stem) && (it->is_regular_file(kind) || kind))
            names.push_back(stem);
    }
    if (ec && error)
        *error = Tr("Die Aufträge in „") + folder_ + Tr("“ lassen sich nicht lesen: ") + SystemErrorText(ec.value()) + ".";
    std::sort(names.begin(), names.end());
    return names;
}

bool JobStore::Exists(std::string_view name) const {
    std::error_code ec;
    return Job::IsValidName(name) && fs::is_regular_file(PathOf(name), ec);
}

bool JobStore::Load(std::string_view name, Job& job, std::string& error, std::vector<std::string>& warnings) const {
    if (!Job::IsValidName(name)) {
        error = Job::InvalidNameMessage(name);
        return false;
    }
    std::string text;
    if (const int failure = ReadWhole(PathOf(name), text)) {
        error = failure == ENOENT ? Tr("Es gibt keinen Auftrag \"") + std::string(name) + Tr("\" (in ") + folder_ + ")."
                                  : Tr("Der Auftrag \"") + std::string(name) + Tr("\" lässt sich nicht lesen (") +
                                        PathOf(name) + "): " + ErrorText(failure) + ".";
        return false;
    }
    return JobFile::Parse(text, name, job, error, warnings);
}

bool JobStore::Save(const Job& job, std::string& error) const {
    if (!Job::IsValidName(job.name)) {
        error = Job::InvalidNameMessage(job.name);
        return false;
    }
    const std::string path = PathOf(job.name);
    std::string previous;
    if (ReadWhole(path, previous) == 0) {
        Job old;
        std::string ignored;
        std::vector<std::string> warnings;
        if (!JobFile::Parse(previous, job.name, old, ignored, warnings)) previous.clear();  // replaced whole
    }
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (const int failure = ReplaceFile(path, JobFile::Write(job, previous), 0600)) {
        error = Tr("Der Auftrag \"") + job.name + Tr("\" lässt sich nicht speichern (") + path + "): " + ErrorText(failure) +
                ".";
        return false;
    }
    return true;
}

bool JobStore::Remove(std::string_view name, std::string& error) const {
    if (!Job::IsValidName(name)) {
        error = Job::InvalidNameMessage(name);
        return false;
    }
    if (unlink(PathOf(name).c_str()) == 0) return true;
    error = errno == ENOENT ? Tr("Es gibt keinen Auftrag \"") + std::string(name) + Tr("\" (in ") + folder_ + ")."
                            : Tr("Der Auftrag \"") + std::string(name) + Tr("\" lässt sich nicht löschen (") + PathOf(name) +
                                  "): " + ErrorText(errno) + ".";
    return false;
}

}  // namespace kirvo
