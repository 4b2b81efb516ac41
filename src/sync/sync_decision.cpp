#include "sync/sync_decision.h"

namespace kirvo {
namespace {

constexpr std::string_view kSince = " seit dem letzten Abgleich";

std::string In(SyncSide side) { return side == SyncSide::Source ? "in der Quelle" : "im Ziel"; }

std::string Quoted(std::string_view path) { return "„" + std::string(path) + "“"; }

std::string ComparedText(const SyncDecision& d, std::string_view detail) {
    switch (d.action) {
    case SyncAction::CopyToTarget: return "in der Quelle neuer oder nur dort";
    case SyncAction::CopyToSource: return "im Ziel neuer oder nur dort";
    case SyncAction::Conflict:
        return detail.empty() ? "ungleich, ohne dass die Zeiten eine Richtung zeigen" : std::string(detail);
    default: return "gleich";
    }
}

}  // namespace

std::string ReasonText(const SyncDecision& d, std::string_view partnerPath, std::string_view detail) {
    const std::string here = In(d.side);
    const std::string there = In(Other(d.side));
    switch (d.reason) {
    case SyncReason::Equal: return "gleich";
    case SyncReason::Compared: return ComparedText(d, detail);
    case SyncReason::FirstRun: return "noch kein Abgleich mit Gedächtnis für diese Ordner: " + ComparedText(d, detail);
    case SyncReason::New: return "neu " + here + std::string(kSince);
    case SyncReason::Changed: return here + " geändert" + std::string(kSince);
    case SyncReason::Deleted: return here + " gelöscht" + std::string(kSince);
    case SyncReason::DeletedChangedElsewhere:
        return here + " gelöscht, " + there + " geändert" + std::string(kSince) + ": die geänderte Datei bleibt";
    case SyncReason::DeletedFilterChanged:
        return here + " gelöscht" + std::string(kSince) +
               ", doch der Filter ist seitdem geändert: die Datei wird zurückkopiert";
    case SyncReason::Moved: return here + " verschoben von " + Quoted(partnerPath) + std::string(kSince);
    case SyncReason::MovedAway: return here + " verschoben nach " + Quoted(partnerPath) + std::string(kSince);
    case SyncReason::ChangedOnBoth: return "in Quelle und Ziel geändert" + std::string(kSince);
    case SyncReason::NewOnBoth: return "in Quelle und Ziel neu und verschieden";
    case SyncReason::UnequalUnchanged:
        return "in Quelle und Ziel unverändert" + std::string(kSince) + ", aber ungleich";
    case SyncReason::MirrorMissing: return "fehlt " + here;
    case SyncReason::MirrorDifferent: return here + " anders: wird ersetzt";
    case SyncReason::MirrorExtra: return "nur " + here + ": wird gelöscht";
    case SyncReason::MirrorMoved:
        return here + " mit gleichem Inhalt unter " + Quoted(partnerPath) + ": wird umbenannt";
    case SyncReason::MirrorMovedAway: return here + " umbenannt nach " + Quoted(partnerPath);
    case SyncReason::Unreadable:
        return here + " nicht lesbar" + (detail.empty() ? std::string() : " (" + std::string(detail) + ")") +
               ": bleibt, wie es ist";
    }
    return {};
}

}  // namespace kirvo
