#pragma once
#include <span>
#include <string>

#include "fileops/file_operation_service.h"

namespace kirvo {

// What a file-operation command did, in one line for the status bar and the
// bar "Ausgabe": "12 Dateien kopiert, 3 ersetzte in den Papierkorb, 1 Fehler".
// Built from the service's reports of all requests of one command.
class OperationSummary {
public:
    enum class Kind { Copy, Delete, Move };

    OperationSummary(Kind kind, std::span<const OperationResult> results);
    // The requests of a synchronisation, each of its own kind (kinds[i] for
    // results[i]): what was copied, renamed and deleted. `command` words
    // what was not done ("nicht kopiert") and nothing at all ("Nichts kopiert").
    OperationSummary(std::span<const Kind> kinds, std::span<const OperationResult> results, Kind command);

    // "Nichts kopiert" / "Nichts gelöscht" when no file was handed over.
    const std::string& text() const { return text_; }
    // Files that failed: the log has the details.
    int32_t failures() const { return failures_; }

private:
    std::string text_;
    int32_t failures_ = 0;
};

}  // namespace kirvo
