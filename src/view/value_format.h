#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/file_pair.h"
#include "engine/system_time.h"
#include "engine/unknown_place.h"
#include "sync/sync_decision.h"

namespace kirvo {

// The texts of the result list and of the summaries. Pure functions; numbers
// and dates in the language of the texts (platform/value_text.h), German as
// the list has always written them.

// "Größe" cell of one file: "%.0f Byte" below 1024, else "%.0f KB" (never a larger unit).
std::string FormatCellSize(double size);
// A total: Bytes, KB (no decimal), then MB, GB, TB, PB with one decimal.
std::string FormatTotalSize(double total);
// "Geändert am" cell: " 6.03.2009 07:05:09" (day padded with a blank);
// English "03/06/2009 07:05:09".
std::string FormatDate(const SystemTime& time);
// "--->" for 1, "<---" for -1, "<?>" for a conflict, "?" for unknown, "=" for anything else.
std::string FormatArrow(Verdict verdict);
inline constexpr const char* kConflictArrow = "<?>";
inline constexpr const char* kUnknownArrow = "?";
// A damaged file ("beschädigt?"): neither copied nor copied over.
inline constexpr const char* kDamagedArrow = "<!>";

// The same texts appended to `out`, without a string of their own (for
// writers of whole lists).
void AppendCellSize(std::string& out, double size);
void AppendDate(std::string& out, const SystemTime& time);
void AppendArrow(std::string& out, Verdict verdict);
// The arrow of a planned action: "--->" and "<---" to copy, "--X" and "X--"
// to delete in the target or the source, "~~>" and "<~~" to rename there (at
// the new name), "(~>)" and "(<~)" at the old name, "<?>" for a conflict, "?"
// for unknown, "=" for nothing to do.
void AppendActionArrow(std::string& out, const PathDecision& decision, const PathDecision* partner);
// "nicht lesbar: Dokumente/ – Keine Berechtigung"; the root's own path for the root.
void AppendUnknownPlace(std::string& out, const UnknownPlace& place, std::string_view root);
// The warning after a comparison that could not read everything: what that
// means, then the first `named` places with their side, and how many more.
std::string UnknownPlacesWarning(std::span<const UnknownPlace> places, std::string_view sourceRoot,
                                 std::string_view targetRoot, size_t named = 10);

}  // namespace kirvo
