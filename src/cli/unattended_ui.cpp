#include "cli/unattended_ui.h"

#include "fileops/terminal_text.h"

namespace kirvo {

ConfirmAnswer UnattendedUi::confirmOverwrite(const FileFacts&, const FileFacts& destination, bool destinationNewer) {
    if (!destinationNewer) return ConfirmAnswer::Yes;
    say("Nicht ersetzt, weil neuer als die Quelle: ", destination.path);
    return ConfirmAnswer::No;
}

ConfirmAnswer UnattendedUi::confirmChanged(const ChangedFile& file) {
    const bool deleting = file.action == FileAction::Trash || file.action == FileAction::Delete;
    say(deleting ? "Nicht gelöscht, weil seit dem Vergleich geändert: " : "Nicht ersetzt, weil seit dem Vergleich geändert: ",
        file.path);
    return ConfirmAnswer::No;
}

ConfirmAnswer UnattendedUi::confirmWithoutTrash(const std::string& path, TreeSide, FileAction action,
                                                const std::string& reason) {
    const bool deleting = action == FileAction::Trash || action == FileAction::Delete;
    say(std::string(deleting ? "Nicht gelöscht" : "Nicht ersetzt") + ", weil kein Papierkorb die alte Fassung nimmt (" +
            DisplayEscaped(reason) + "; mit --no-trash wird endgültig " + (deleting ? "gelöscht" : "ersetzt") + "): ",
        path);
    return ConfirmAnswer::No;
}

void UnattendedUi::notify(const std::string& text) {
    std::string line = "kirvo-cli sync: Hinweis: ";
    AppendDisplayEscaped(line, text);
    err_ << line << '\n';
}

ErrorAnswer UnattendedUi::reportError(const std::string& path, const std::string& reason) {
    std::string line = "kirvo-cli sync: Fehler: ";
    AppendDisplayEscaped(line, path);
    err_ << line << ": " << DisplayEscaped(reason) << '\n';
    return ErrorAnswer::Skip;
}

void UnattendedUi::say(const std::string& what, const std::string& path) {
    std::string line = "kirvo-cli sync: " + what;
    AppendDisplayEscaped(line, path);
    err_ << line << '\n';
}

}  // namespace kirvo
