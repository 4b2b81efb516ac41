#include "view/value_format.h"

#include "engine/file_pair.h"
#include "platform/translation.h"
#include "platform/value_text.h"

#include <cstdint>
#include <ctime>

namespace kirvo {
namespace {

constexpr double kPerKilo = 1.0 / 1024.0;  // exact power of two

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
        AppendCount(out, shown);
        out.append(bytes >= 1024 ? " KB" : Tr(" Byte"));
        return;
    }
    if (size < 1024) {
        out.append(DecimalText(size, 0)).append(Tr(" Byte"));
    } else {
        out.append(DecimalText(size * kPerKilo, 0)).append(" KB");
    }
}

std::string FormatTotalSize(double total) { return SizeText(total); }

std::string FormatDate(const SystemTime& t) {
    std::string text;
    AppendDate(text, t);
    return text;
}

std::string FormatDate(int64_t utcSeconds) {
    const std::time_t t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    localtime_r(&t, &local);
    SystemTime time;
    time.year = static_cast<uint16_t>(local.tm_year + 1900);
    time.month = static_cast<uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time.day = static_cast<uint16_t>(local.tm_mday);
    time.hour = static_cast<uint16_t>(local.tm_hour);
    time.minute = static_cast<uint16_t>(local.tm_min);
    time.second = static_cast<uint16_t>(local.tm_sec);
    std::string text = FormatDate(time);
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

void AppendDate(std::string& out, const SystemTime& t) {
    AppendDateText(out, t.year, t.month, t.day, t.hour, t.minute, t.second, true);
}

std::string FormatArrow(Verdict verdict) {
    std::string text;
    AppendArrow(text, verdict);
    return text;
}

void AppendUnknownPlace(std::string& out, const UnknownPlace& place, std::string_view root) {
    out.append(Tr("nicht lesbar: ")).append(place.path.empty() ? root : std::string_view(place.path));
    out.append(" – ").append(place.reason);
}

std::string UnknownPlacesWarning(std::span<const UnknownPlace> places, std::string_view sourceRoot,
                                 std::string_view targetRoot, size_t named) {
    std::string text = Format(TrN("Nicht alles lesbar: %d Stelle ließ sich nicht lesen. Was dort liegt, gilt als "
                                  "unbekannt (?), nicht als fehlend; dort wird nichts kopiert, ersetzt oder gelöscht.\n",
                                  "Nicht alles lesbar: %d Stellen ließen sich nicht lesen. Was dort liegt, gilt als "
                                  "unbekannt (?), nicht als fehlend; dort wird nichts kopiert, ersetzt oder gelöscht.\n",
                                  places.size()),
                              places.size());
    for (size_t i = 0; i < places.size() && i < named; ++i) {
        const UnknownPlace& place = places[i];
        text += place.side == kSourceSide ? Tr("\nQuelle: ") : Tr("\nZiel: ");
        AppendUnknownPlace(text, place, place.side == kSourceSide ? sourceRoot : targetRoot);
    }
    if (places.size() > named) text += Format(Tr("\n… und %d weitere."), places.size() - named);
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
