#include "cli/unattended_ui.h"

#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {

ConfirmAnswer UnattendedUi::confirmOverwrite(const FileFacts&, const FileFacts& destination, bool destinationNewer) {
    if (!destinationNewer) return ConfirmAnswer::Yes;
    say(Tr("Nicht ersetzt, weil neuer als die Quelle: "), destination.path);
    return ConfirmAnswer::No;
}

ConfirmAnswer UnattendedUi::confirmChanged(const ChangedFile& file) {
    const bool deleting = file.action == FileAction::Trash || file.action == FileAction::Delete;
    say(deleting ? Tr("Nicht gelöscht, weil seit dem Vergleich geändert: ") : Tr("Nicht ersetzt, weil seit dem Vergleich geändert: "),
        file.path);
    return ConfirmAnswer::No;
}

ConfirmAnswer UnattendedUi::confirmWithoutTrash(const std::string& path, TreeSide, FileAction action,
                                                const std::string& reason) {
    const bool deleting = action == FileAction::Trash || action == FileAction::Delete;
    say(Format(deleting ? Tr("Nicht gelöscht, weil kein Papierkorb die alte Fassung nimmt (%s; mit --no-trash wird "
                             "endgültig gelöscht): ")
                        : Tr("Nicht ersetzt, weil kein Papierkorb die alte Fassung nimmt (%s; mit --no-trash wird "
                             "endgültig ersetzt): "),
               DisplayEscaped(reason)),
        path);
    return ConfirmAnswer::No;
}

void UnattendedUi::notify(const std::string& text) {
    std::string line = prefix_ + Tr("Hinweis: ");
    AppendDisplayEscaped(line, text);
    err_ << line << '\n';
}

ErrorAnswer UnattendedUi::reportError(const std::string& path, const std::string& reason) {
    std::string line = prefix_ + Tr("Fehler: ");
    AppendDisplayEscaped(line, path);
    err_ << line << ": " << DisplayEscaped(reason) << '\n';
    return ErrorAnswer::Skip;
}

void UnattendedUi::say(const std::string& what, const std::string& path) {
    std::string line = prefix_ + what;
    AppendDisplayEscaped(line, path);
    err_ << line << '\n';
}

}  // namespace kirvo
