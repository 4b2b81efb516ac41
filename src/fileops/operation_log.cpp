#include "fileops/operation_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "fileops/tsv_field.h"
#include "platform/root.h"

namespace kirvo {
namespace {

std::string LocalNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

}  // namespace

OperationLog::OperationLog(std::string path) : path_(std::move(path)) {
    std::error_code ec;
    workingFolder_ = std::filesystem::current_path(ec).string();
}

std::string OperationLog::absolute(std::string_view path) const {
    if (path.empty() || path[0] == '/' || Root::NamesRemote(path) || workingFolder_.empty()) return std::string(path);
    return workingFolder_ + "/" + std::string(path);
}

OperationLog::~OperationLog() {
    if (file_ != nullptr) std::fclose(file_);
}

std::string OperationLog::DefaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/kirvo/protokoll.log";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/kirvo/protokoll.log";
}

bool OperationLog::open() {
    if (file_ != nullptr) return true;
    if (failed_) return false;
    std::error_code ec;
    const std::filesystem::path path(path_);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    const bool fresh = !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
    file_ = std::fopen(path_.c_str(), "a");  // appends at the end even when several programs write
    if (file_ == nullptr) {
        failure_ = std::strerror(errno);
        failed_ = true;
        return false;
    }
    if (fresh) {
        std::fputs(std::string(kHeader).append("\n").c_str(), file_);
        std::fflush(file_);
    }
    return true;
}

bool OperationLog::write(const Entry& entry) {
    if (!open()) return false;
    std::string line = LocalNow();
    line += '\t';
    AppendTsvEscaped(line, entry.action);
    line += '\t';
    AppendTsvEscaped(line, absolute(entry.source));
    line += '\t';
    AppendTsvEscaped(line, absolute(entry.destination));
    line += '\t';
    if (entry.size) line += std::to_string(*entry.size);
    line += '\t';
    if (entry.sizeBefore) line += std::to_string(*entry.sizeBefore);
    line += '\t';
    AppendTsvEscaped(line, entry.result);
    line += '\n';
    // One write per line: lines of programs writing at once do not mix.
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
        if (!failed_) failure_ = std::strerror(errno != 0 ? errno : EIO);
        failed_ = true;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

std::string OperationLog::failureNotice() {
    if (!failed_ || told_) return {};
    told_ = true;
    return "Das Protokoll „" + path_ + "“ kann nicht geschrieben werden (" + failure_ +
           "); die Dateien werden trotzdem kopiert und gelöscht, nur ohne Eintrag.";
}

std::string OperationLog::Skipped(std::string_view reason) { return "übersprungen: " + std::string(reason); }
std::string OperationLog::Failed(std::string_view reason) { return "fehlgeschlagen: " + std::string(reason); }

}  // namespace kirvo
