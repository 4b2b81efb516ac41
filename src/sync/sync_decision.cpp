#include "sync/sync_decision.h"

#include "platform/translation.h"

namespace kirvo {
namespace {

std::string In(SyncSide side) { return side == SyncSide::Source ? Tr("in der Quelle") : Tr("im Ziel"); }

// TRANSLATORS: the quotation marks around a name in a message.
std::string Quoted(std::string_view path) { return Format(Tr("„%s“"), path); }

std::string ComparedText(const SyncDecision& d, std::string_view detail) {
    switch (d.action) {
    case SyncAction::CopyToTarget: return Tr("in der Quelle neuer oder nur dort");
    case SyncAction::CopyToSource: return Tr("im Ziel neuer oder nur dort");
    case SyncAction::Conflict:
        return detail.empty() ? Tr("ungleich, ohne dass die Zeiten eine Richtung zeigen") : std::string(detail);
    default: return Tr("gleich");
    }
}

}  // namespace

// Whole sentences with the side ("in der Quelle", "im Ziel") and names put in,
// so that each reads naturally in every language.
std::string ReasonText(const SyncDecision& d, std::string_view partnerPath, std::string_view detail) {
    const std::string here = In(d.side);
    const std::string there = In(Other(d.side));
    switch (d.reason) {
    case SyncReason::Equal: return Tr("gleich");
    case SyncReason::SameContent: return Tr("gleich (Inhalt verglichen)");
    case SyncReason::Compared: return ComparedText(d, detail);
    case SyncReason::FirstRun:
        return Format(Tr("noch kein Abgleich mit Gedächtnis für diese Ordner: %s"), ComparedText(d, detail));
    case SyncReason::New: return Format(Tr("neu %s seit dem letzten Abgleich"), here);
    case SyncReason::Changed: return Format(Tr("%s geändert seit dem letzten Abgleich"), here);
    case SyncReason::Deleted: return Format(Tr("%s gelöscht seit dem letzten Abgleich"), here);
    case SyncReason::DeletedChangedElsewhere:
        return Format(Tr("%s gelöscht, %s geändert seit dem letzten Abgleich: die geänderte Datei bleibt"), here, there);
    case SyncReason::DeletedFilterChanged:
        return Format(Tr("%s gelöscht seit dem letzten Abgleich, doch der Filter ist seitdem geändert: die Datei wird "
                         "zurückkopiert"),
                      here);
    case SyncReason::Moved:
        return Format(Tr("%s verschoben von %s seit dem letzten Abgleich"), here, Quoted(partnerPath));
    case SyncReason::MovedAway:
        return Format(Tr("%s verschoben nach %s seit dem letzten Abgleich"), here, Quoted(partnerPath));
    case SyncReason::ChangedOnBoth: return Tr("in Quelle und Ziel geändert seit dem letzten Abgleich");
    case SyncReason::NewOnBoth: return Tr("in Quelle und Ziel neu und verschieden");
    case SyncReason::UnequalUnchanged: return Tr("in Quelle und Ziel unverändert seit dem letzten Abgleich, aber ungleich");
    case SyncReason::MirrorMissing: return Format(Tr("fehlt %s"), here);
    case SyncReason::MirrorDifferent: return Format(Tr("%s anders: wird ersetzt"), here);
    case SyncReason::MirrorExtra: return Format(Tr("nur %s: wird gelöscht"), here);
    case SyncReason::MirrorMoved:
        return Format(Tr("%s mit gleichem Inhalt unter %s: wird umbenannt"), here, Quoted(partnerPath));
    case SyncReason::MirrorMovedAway: return Format(Tr("%s umbenannt nach %s"), here, Quoted(partnerPath));
    case SyncReason::CaseRenamed:
        return Format(Tr("%s umbenannt in %s seit dem letzten Abgleich (nur Groß-/Kleinschreibung)"), here,
                      Quoted(partnerPath));
    case SyncReason::CaseRenamedOnBoth:
        return Tr("in Quelle und Ziel verschieden umbenannt seit dem letzten Abgleich (Groß-/Kleinschreibung)");
    case SyncReason::CaseTwins:
        return Format(Tr("%s gibt es auch %s, das sich nur in Groß-/Kleinschreibung unterscheidet"), here,
                      Quoted(partnerPath));
    case SyncReason::MirrorCase: return Format(Tr("%s anders geschrieben: wird umbenannt"), here);
    case SyncReason::FileFolderClash:
        return Format(Tr("auf der einen Seite eine Datei, auf der anderen ein Ordner (%s)"), Quoted(partnerPath));
    case SyncReason::FolderStillUsed:
        return Format(Tr("%s gelöscht, doch %s liegt darin Neues: der Ordner bleibt"), here, there);
    case SyncReason::Damaged:
        return Format(Tr("%s beschädigt? (anderer Inhalt bei gleicher Größe und Zeit): wird nicht kopiert"), here);
    case SyncReason::Repair:
        return Format(Tr("%s beschädigt? (anderer Inhalt bei gleicher Größe und Zeit): wird von der anderen Seite "
                         "wiederhergestellt"),
                      here);
    case SyncReason::Unreadable:
        return detail.empty() ? Format(Tr("%s nicht lesbar: bleibt, wie es ist"), here)
                              : Format(Tr("%s nicht lesbar (%s): bleibt, wie es ist"), here, detail);
    }
    return {};
}

}  // namespace kirvo
