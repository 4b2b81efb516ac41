#include "fileops/run_log.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "fileops/operation_log.h"
#include "fileops/tsv_field.h"
#include "platform/error_text.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

bool Digits(std::string_view text) {
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// "2026-12-08 03:15:22"
bool IsTime(std::string_view t) {
    return t.size() == 19 && t[4] == '-' && t[7] == '-' && t[10] == ' ' && t[13] == ':' && t[16] == ':' &&
           Digits(t.substr(0, 4)) && Digits(t.substr(5, 2)) && Digits(t.substr(8, 2)) && Digits(t.substr(11, 2)) &&
           Digits(t.substr(14, 2)) && Digits(t.substr(17, 2));
}

bool IsAction(std::string_view action) {
    for (const std::string_view known :
         {OperationLog::kCopied, OperationLog::kReplaced, OperationLog::kTrashed, OperationLog::kDeleted,
          OperationLog::kFolderMade, OperationLog::kFolderRemoved, OperationLog::kMoved, OperationLog::kFolderMoved,
          OperationLog::kRestored,
          OperationLog::kRunStarted, OperationLog::kRunEnded})
        if (action == known) return true;
    return false;
}

bool IsResult(std::string_view result) {
    return result == OperationLog::kOk || result.substr(0, OperationLog::kSkippedPrefix.size()) == OperationLog::kSkippedPrefix ||
           result.substr(0, OperationLog::kFailedPrefix.size()) == OperationLog::kFailedPrefix;
}

// Calls take(line) for every whole line of the log that belongs to a run.
template <class Take>
bool ForEachLine(const std::string& path, std::string& error, Take take) {
    std::FILE* in = std::fopen(path.c_str(), "rbe");
    if (in == nullptr) {
        if (errno == ENOENT) return true;
        error = Format(Tr("Das Protokoll „%s“ kann nicht gelesen werden: %s"), path, ErrorText(errno));
        return false;
    }
    char* buffer = nullptr;
    size_t capacity = 0;
    LoggedLine line;
    errno = 0;
    for (ssize_t n; (n = getline(&buffer, &capacity, in)) > 0; errno = 0) {
        if (buffer[n - 1] != '\n') break;  // no line feed: cut short
        if (RunLog::Parse(std::string_view(buffer, static_cast<size_t>(n - 1)), line)) take(line);
    }
    const int failure = std::ferror(in) ? (errno != 0 ? errno : EIO) : 0;
    std::free(buffer);
    std::fclose(in);
    if (failure != 0) {
        error = Format(Tr("Das Protokoll „%s“ kann nicht gelesen werden: %s"), path, ErrorText(failure));
        return false;
    }
    return true;
}

}  // namespace

bool LoggedLine::ok() const { return result == OperationLog::kOk; }

bool LoggedLine::undoable() const {
    if (!ok()) return false;
    const bool kept = !trash.empty() && !trashName.empty() && before.has_value();
    if (action == OperationLog::kCopied || action == OperationLog::kRestored || action == OperationLog::kMoved ||
        action == OperationLog::kFolderMoved || action == OperationLog::kFolderMade)
        return after.has_value();
    if (action == OperationLog::kReplaced) return after.has_value() && kept;
    if (action == OperationLog::kTrashed) return kept;
    return action == OperationLog::kFolderRemoved;
}

bool RunLog::IsRunId(std::string_view id) {
    if (id.size() != 20 || id[8] != 'T' || id[15] != '-' || !Digits(id.substr(0, 8)) || !Digits(id.substr(9, 6)))
        return false;
    for (const char c : id.substr(16))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool RunLog::Parse(std::string_view text, LoggedLine& line) {
    if (text.empty() || text[0] == '#') return false;
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (fields.size() < 8 || fields.size() > 12 || !IsTime(fields[0]) || !IsRunId(fields[7])) return false;
    line = LoggedLine{};
    line.time = fields[0];
    if (!TsvUnescaped(fields[1], line.action) || !IsAction(line.action)) return false;
    const bool frame = line.action == OperationLog::kRunStarted || line.action == OperationLog::kRunEnded;
    if (!TsvUnescaped(fields[2], line.source) || !TsvUnescaped(fields[3], line.destination)) return false;
    if (!fields[4].empty()) {
        uint64_t size = 0;
        const auto [ptr, ec] = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), size);
        if (ec != std::errc() || ptr != fields[4].data() + fields[4].size()) return false;
        line.size = size;
    }
    // The frame of a run holds the command and the counts where the others hold their result.
    if (!TsvUnescaped(fields[6], line.result) || (!frame && !IsResult(line.result))) return false;
    line.run = fields[7];
    if (fields.size() > 8 && !TsvUnescaped(fields[8], line.trash)) return false;
    if (fields.size() > 9 && !TsvUnescaped(fields[9], line.trashName)) return false;
    // A stamp cut short or mangled makes the line useless for undo: passed over.
    if (fields.size() > 10 && !fields[10].empty() && !(line.after = FileStamp::Parse(fields[10]))) return false;
    if (fields.size() > 11 && !fields[11].empty() && !(line.before = FileStamp::Parse(fields[11]))) return false;
    return true;
}

bool RunLog::ReadRuns(const std::string& path, std::vector<LoggedRun>& runs, std::string& error) {
    runs.clear();
    std::map<std::string, size_t, std::less<>> index;
    const bool read = ForEachLine(path, error, [&](const LoggedLine& line) {
        auto [at, fresh] = index.try_emplace(line.run, runs.size());
        if (fresh) {
            runs.emplace_back().id = line.run;
            runs.back().time = line.time;
        }
        LoggedRun& run = runs[at->second];
        if (line.action == OperationLog::kRunStarted) {
            run.started = true;
            run.time = line.time;
            run.sourceRoot = line.source;
            run.targetRoot = line.destination;
            const std::string_view what = line.result;
            if (what.substr(0, OperationLog::kUndoesPrefix.size()) == OperationLog::kUndoesPrefix) {
                run.what = "rückgängig";
                run.undoes = what.substr(OperationLog::kUndoesPrefix.size());
            } else {
                run.what = what;
            }
        } else if (line.action == OperationLog::kRunEnded) {
            run.ended = true;
            run.cancelled = line.result.compare(0, OperationLog::kCancelledPrefix.size(), OperationLog::kCancelledPrefix) == 0;
        } else {
            run.counts.add(line.action, line.result, line.trash);
            run.undoable = run.undoable || (run.started && line.undoable());  // without its roots, nothing is reached
        }
    });
    if (!read) return false;
    // Latest first: whether an undo stands is known before the run it took back is looked at.
    std::map<std::string_view, std::vector<size_t>> undos;
    for (size_t i = 0; i < runs.size(); ++i)
        if (!runs[i].undoes.empty()) undos[runs[i].undoes].push_back(i);
    for (size_t i = runs.size(); i-- > 0;) {
        const auto found = undos.find(runs[i].id);
        if (found == undos.end()) continue;
        for (const size_t j : found->second) {
            const LoggedRun& undo = runs[j];
            if (j > i && undo.complete() && undo.undoneBy.empty()) runs[i].undoneBy = undo.id;
        }
    }
    return true;
}

bool RunLog::ReadLines(const std::string& path, std::string_view run, std::vector<LoggedLine>& lines,
                       std::string& error) {
    lines.clear();
    return ForEachLine(path, error, [&](const LoggedLine& line) {
        if (line.run == run) lines.push_back(line);
    });
}

const LoggedRun* RunLog::LastUndoable(const std::vector<LoggedRun>& runs) {
    for (size_t i = runs.size(); i-- > 0;) {
        const LoggedRun& run = runs[i];
        if (run.undoable && run.undoes.empty() && run.undoneBy.empty()) return &run;
    }
    return nullptr;
}

const LoggedRun* RunLog::Find(const std::vector<LoggedRun>& runs, std::string_view id) {
    for (const LoggedRun& run : runs)
        if (run.id == id) return &run;
    return nullptr;
}

}  // namespace kirvo
