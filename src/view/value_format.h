#pragma once
#include <cstdint>
#include <string>

#include "engine/system_time.h"

namespace kirvo {

// The texts of the result list and of the summaries. Pure functions.

// "Größe" cell of one file: "%.0f Byte" below 1024, else "%.0f KB" (never a larger unit).
std::string FormatCellSize(double size);
// A total: Bytes, KB (no decimal), then MB, GB, TB, PB with one decimal.
std::string FormatTotalSize(double total);
// "Geändert am" cell: " 6.03.2009 07:05:09" (day padded with a blank).
std::string FormatDate(const SystemTime& time);
// "--->" for 1, "<---" for -1, "<?>" for a conflict, "=" for anything else.
std::string FormatArrow(int32_t verdict);
inline constexpr const char* kConflictArrow = "<?>";

// The same texts appended to `out`, without a string of their own (for
// writers of whole lists).
void AppendCellSize(std::string& out, double size);
void AppendDate(std::string& out, const SystemTime& time);
void AppendArrow(std::string& out, int32_t verdict);

}  // namespace kirvo
