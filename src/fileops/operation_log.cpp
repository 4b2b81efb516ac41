#include "fileops/operation_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include "fileops/tsv_field.h"
#include "platform/error_text.h"
#include "platform/root.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

std::string LocalNow(const char* format = "%Y-%m-%d %H:%M:%S") {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local) != nullptr) std::strftime(text, sizeof text, format, &local);
    return text;
}

void AppendField(std::string& line, std::string_view text) {
    line += '\t';
    AppendTsvEscaped(line, text);
}

}  // namespace

OperationLog::OperationLog(std::string path) : path_(std::move(path)) {
    std::error_code ec;
    workingFolder_ = std::filesystem::current_path(ec).string();
}

std::string OperationLog::absolute(std::string_view path) const {
    std::string out(path);
    if (!path.empty() && path[0] != '/' && !Root::NamesRemote(path) && !workingFolder_.empty())
        out = workingFolder_ + "/" + out;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

OperationLog::~OperationLog() {
    if (!run_.empty()) endRun();
    if (fd_ >= 0) close(fd_);
}

std::string OperationLog::DefaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/kirvo/protokoll.log";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/kirvo/protokoll.log";
}

bool OperationLog::open() {
    if (fd_ >= 0) return true;
    if (failed_) return false;
    std::error_code ec;
    const std::filesystem::path path(path_);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    // Appends at the end even when several programs write.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        failure_ = ErrorText(errno);
        failed_ = true;
        return false;
    }
    std::string start;
    struct stat st;
    if (fstat(fd_, &st) == 0 && st.st_size == 0) {
        start = std::string(kHeader) + "\n";
    } else {
        // A line cut short by a crash would swallow the next one: it is ended first.
        char last = '\n';
        const int reader = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (reader >= 0) {
            if (pread(reader, &last, 1, st.st_size - 1) != 1) last = '\n';
            close(reader);
        }
        if (last != '\n') start = "\n";
    }
    return start.empty() || append(start);
}

bool OperationLog::append(const std::string& lines) {
    // One write per line (or per start line and its first action): nothing of
    // another program's lines can come in between.
    size_t done = 0;
    while (done < lines.size()) {
        const ssize_t n = ::write(fd_, lines.data() + done, lines.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (!failed_) failure_ = ErrorText(n < 0 ? errno : ENOSPC);
            failed_ = true;
            close(fd_);
            fd_ = -1;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string OperationLog::line(std::string_view time, const Entry& entry) const {
    std::string line(time);
    AppendField(line, entry.action);
    AppendField(line, absolute(entry.source));
    AppendField(line, absolute(entry.destination));
    line += '\t';
    if (entry.size) line += std::to_string(*entry.size);
    line += '\t';
    if (entry.sizeBefore) line += std::to_string(*entry.sizeBefore);
    AppendField(line, entry.result);
    // The columns for undo, as far as there is anything in them; a line of no
    // run cannot be undone and keeps the old form.
    if (run_.empty()) return line + '\n';
    const std::string after = entry.after ? entry.after->text() : std::string();
    const std::string before = entry.before ? entry.before->text() : std::string();
    const std::string_view extra[] = {run_, entry.trash, entry.trashName, after, before};
    size_t used = std::size(extra);
    while (used > 0 && extra[used - 1].empty()) --used;
    for (size_t i = 0; i < used; ++i) AppendField(line, extra[i]);
    line += '\n';
    return line;
}

bool OperationLog::write(const Entry& entry) {
    if (!open()) return false;
    std::string lines;
    if (!run_.empty() && !runStarted_) {
        lines = line(runTime_, {kRunStarted, runSource_, runTarget_, {}, {}, runWhat_});
        runStarted_ = true;
    }
    lines += line(LocalNow(), entry);
    if (!run_.empty()) counts_.add(entry.action, entry.result, entry.trash);
    return append(lines);
}

std::string OperationLog::beginRun(const RunStart& start, bool now) {
    if (!run_.empty()) endRun();
    std::random_device random;
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "-%04x", static_cast<unsigned>(random() & 0xffffu));
    run_ = LocalNow("%Y%m%dT%H%M%S") + suffix;
    runTime_ = LocalNow();
    runWhat_ = start.undoes.empty() ? std::string(start.what) : std::string(kUndoesPrefix) + std::string(start.undoes);
    runSource_ = absolute(start.sourceRoot);
    runTarget_ = absolute(start.targetRoot);
    runStarted_ = false;
    counts_ = RunCounts();
    if (now && open() && append(line(runTime_, {kRunStarted, runSource_, runTarget_, {}, {}, runWhat_})))
        runStarted_ = true;
    return run_;
}

void OperationLog::endRun(bool cancelled) {
    if (run_.empty()) return;
    if (runStarted_ && open()) {
        const SourceTexts german;  // the log reads the same in every language
        const std::string counts = (cancelled ? std::string(kCancelledPrefix) : std::string()) + counts_.text();
        append(line(LocalNow(), {kRunEnded, runSource_, runTarget_, {}, {}, counts}));
        if (fd_ >= 0) fdatasync(fd_);  // undo goes by it
    }
    run_.clear();
    runStarted_ = false;
}

std::string OperationLog::failureNotice() {
    if (!failed_ || told_) return {};
    told_ = true;
    return Tr("Das Protokoll „") + path_ + Tr("“ kann nicht geschrieben werden (") + failure_ +
           Tr("); die Dateien werden trotzdem kopiert und gelöscht, nur ohne Eintrag.");
}

std::string OperationLog::Skipped(std::string_view reason) { return std::string(kSkippedPrefix) + std::string(reason); }
std::string OperationLog::Failed(std::string_view reason) { return std::string(kFailedPrefix) + std::string(reason); }

}  // namespace kirvo
