#pragma once
#include <ostream>
#include <string_view>

namespace kirvo {

struct CompareOptions;
class ResultRows;
class SelectionStats;
struct SyncOptions;
struct RunResult;
class TreeMatcher;

// The reports for scripts (--format=json): one JSON document each, field
// names fixed, sizes as numbers, times as ISO 8601 with the offset of the run
// and as nanoseconds since 1970 (UTC). A text field holding a path whose
// bytes are not UTF-8 has its invalid bytes shown as U+FFFD, and a field
// NAME_base64 beside it with the exact bytes (RFC 4648), so every path
// comes back as it is. The man page shows both documents.

// The rows `compare` shows: one object per file row, then the sums.
void WriteCompareJson(std::ostream& out, const TreeMatcher& matcher, const ResultRows& rows,
                      const SelectionStats& stats, const CompareOptions& options);

// What a synchronisation planned and did, and the exit status it ended
// with; `command` is "sync" or "run", and `job` the job's name for "run".
void WriteSyncJson(std::ostream& out, const RunResult& result, int status, const SyncOptions& options,
                   std::string_view command, std::string_view job = {});

// "kirvo-cli sync --format=json": synchronises without questions (the
// options say --yes or --dry-run), drops the text and writes the document.
int RunSyncAsJson(const SyncOptions& options, std::ostream& out, std::ostream& err, bool showProgress);

}  // namespace kirvo
