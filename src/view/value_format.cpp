#include "view/value_format.h"

#include "engine/file_pair.h"

#include <cstdint>
#include <cstdio>

namespace kirvo {
namespace {

constexpr double kPerKilo = 1.0 / 1024.0;  // exact power of two

template <typename... Args>
void AppendPrintf(std::string& out, const char* format, Args... args) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof buffer) {
        out.append(buffer, static_cast<size_t>(n));
        return;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, format, args...);
    out.resize(at + static_cast<size_t>(n));
}

void AppendTwoDigits(std::string& out, unsigned value, char lead) {
    out.push_back(value >= 10 ? static_cast<char>('0' + value / 10 % 10) : lead);
    out.push_back(static_cast<char>('0' + value % 10));
}

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char buffer[64];  // enough for every ordinary value; huge doubles take the second path
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace

std::string FormatCellSize(double size) {
    std::string text;
    AppendCellSize(text, size);
    return text;
}

void AppendCellSize(std::string& out, double size) {
    constexpr double kExactInteger = 9007199254740992.0;  // 2^53: every whole number below is a double
    if (size >= 0 && size < kExactInteger && size == static_cast<double>(static_cast<uint64_t>(size))) {
        // "%.0f" without printf: bytes, or KB rounded to the nearest, halves to even.
        const auto bytes = static_cast<uint64_t>(size);
        uint64_t shown = bytes;
        if (bytes >= 1024) {
            const uint64_t rest = bytes & 1023;
            shown = bytes >> 10;
            if (rest > 512 || (rest == 512 && (shown & 1) != 0)) ++shown;
        }
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        do {
            *--p = static_cast<char>('0' + shown % 10);
            shown /= 10;
        } while (shown != 0);
        out.append(p, static_cast<size_t>(end - p));
        out.append(bytes >= 1024 ? " KB" : " Byte");
        return;
    }
    if (size < 1024) {
        AppendPrintf(out, "%.0f Byte", size);
    } else {
        AppendPrintf(out, "%.0f KB", size * kPerKilo);
    }
}

std::string FormatTotalSize(double total) {
    static const char* const kFormats[] = {"%.0f Bytes", "%.0f KB", "%.1f MB", "%.1f GB", "%.1f TB", "%.1f PB"};
    double x = total;
    int unit = 0;
    while (x >= 1024 && unit < 5) {
        x *= kPerKilo;
        ++unit;
    }
    return Printf(kFormats[unit], x);
}

std::string FormatDate(const SystemTime& t) {
    std::string text;
    AppendDate(text, t);
    return text;
}

void AppendDate(std::string& out, const SystemTime& t) {
    if (t.day > 99 || t.month > 99 || t.year > 9999 || t.hour > 99 || t.minute > 99 || t.second > 99) {
        AppendPrintf(out, "%2i.%.2i.%.4i %.2i:%.2i:%.2i", int{t.day}, int{t.month}, int{t.year}, int{t.hour},
                     int{t.minute}, int{t.second});
        return;
    }
    // "%2i.%.2i.%.4i %.2i:%.2i:%.2i" without the printf machinery: a million dates per list.
    AppendTwoDigits(out, t.day, ' ');
    out.push_back('.');
    AppendTwoDigits(out, t.month, '0');
    out.push_back('.');
    AppendTwoDigits(out, t.year / 100u, '0');
    AppendTwoDigits(out, t.year % 100u, '0');
    out.push_back(' ');
    AppendTwoDigits(out, t.hour, '0');
    out.push_back(':');
    AppendTwoDigits(out, t.minute, '0');
    out.push_back(':');
    AppendTwoDigits(out, t.second, '0');
}

std::string FormatArrow(Verdict verdict) {
    std::string text;
    AppendArrow(text, verdict);
    return text;
}

void AppendUnknownPlace(std::string& out, const UnknownPlace& place, std::string_view root) {
    out.append("nicht lesbar: ").append(place.path.empty() ? root : std::string_view(place.path));
    out.append(" – ").append(place.reason);
}

std::string UnknownPlacesWarning(std::span<const UnknownPlace> places, std::string_view sourceRoot,
                                 std::string_view targetRoot, size_t named) {
    std::string text = "Nicht alles lesbar: " + std::to_string(places.size()) +
                       (places.size() == 1 ? " Stelle" : " Stellen") +
                       " ließ sich nicht lesen. Was dort liegt, gilt als unbekannt (?), nicht als fehlend; "
                       "dort wird nichts kopiert, ersetzt oder gelöscht.\n";
    for (size_t i = 0; i < places.size() && i < named; ++i) {
        const UnknownPlace& place = places[i];
        text += place.side == kSourceSide ? "\nQuelle: " : "\nZiel: ";
        AppendUnknownPlace(text, place, place.side == kSourceSide ? sourceRoot : targetRoot);
    }
    if (places.size() > named) text += "\n… und " + std::to_string(places.size() - named) + " weitere.";
    return text;
}

void AppendActionArrow(std::string& out, const PathDecision& decision, const PathDecision* partner) {
    switch (decision.planned.action) {
    case SyncAction::CopyToTarget: out.append("--->"); return;
    case SyncAction::CopyToSource: out.append("<---"); return;
    case SyncAction::DeleteInTarget: out.append("--X"); return;
    case SyncAction::DeleteInSource: out.append("X--"); return;
    case SyncAction::MoveInTarget: out.append("~~>"); return;
    case SyncAction::MoveInSource: out.append("<~~"); return;
    case SyncAction::Conflict: out.append(kConflictArrow); return;
    case SyncAction::Unknown: out.append(kUnknownArrow); return;
    case SyncAction::Nothing: break;
    }
    if (partner != nullptr && partner->planned.action == SyncAction::MoveInTarget) {
        out.append("(~>)");
    } else if (partner != nullptr && partner->planned.action == SyncAction::MoveInSource) {
        out.append("(<~)");
    } else {
        out.append("=");
    }
}

void AppendArrow(std::string& out, Verdict verdict) {
    switch (verdict) {
    case Verdict::SourceToTarget: out.append("--->"); return;
    case Verdict::TargetToSource: out.append("<---"); return;
    case Verdict::Conflict: out.append(kConflictArrow); return;
    case Verdict::Unknown: out.append(kUnknownArrow); return;
    case Verdict::Equal: break;
    }
    out.append("=");
}

}  // namespace kirvo
