#include "fileops/log_text.h"

#include <vector>

#include "fileops/operation_log.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// Every action of the log and every word its end line counts with.
constexpr const char* kWords[] = {
    TrNoop("kopiert"),         TrNoop("ersetzt"),         TrNoop("Papierkorb"),
    TrNoop("gelöscht"),        TrNoop("Ordner angelegt"), TrNoop("Ordner entfernt"),
    TrNoop("umbenannt"),       TrNoop("zurückgeholt"),    TrNoop("Lauf begonnen"),
    TrNoop("Lauf beendet"),    TrNoop("Abgleichstand vergessen"),
    TrNoop("in den Papierkorb"), TrNoop("endgültig gelöscht"), TrNoop("aus dem Papierkorb zurückgeholt"),
    TrNoop("übersprungen"),    TrNoop("fehlgeschlagen"),  TrNoop("nichts getan"),
};

std::string Word(std::string_view german) {
    for (const char* word : kWords)
        if (german == word) return Tr(word);
    return std::string(german);
}

std::string WithPrefix(std::string_view text, std::string_view prefix, const char* shown) {
    return text.substr(0, prefix.size()) == prefix ? Tr(shown) + std::string(text.substr(prefix.size())) : std::string();
}

// "abgebrochen; 3 kopiert, 1 ersetzt": every count with its word.
std::string Counts(std::string_view text) {
    std::string out;
    if (text.substr(0, OperationLog::kCancelledPrefix.size()) == OperationLog::kCancelledPrefix) {
        out = Tr("abgebrochen; ");
        text.remove_prefix(OperationLog::kCancelledPrefix.size());
    }
    for (bool first = true; !text.empty(); first = false) {
        const size_t comma = text.find(", ");
        const std::string_view part = text.substr(0, comma);
        if (!first) out += ", ";
        const size_t space = part.find(' ');
        if (space != std::string_view::npos && part.find_first_not_of("0123456789") == space) {
            out.append(part.substr(0, space + 1)).append(Word(part.substr(space + 1)));
        } else {
            out += Word(part);
        }
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 2);
    }
    return out;
}

std::string Result(std::string_view action, std::string_view result) {
    if (action == OperationLog::kRunEnded) return Counts(result);
    if (action == OperationLog::kRunStarted) {
        // The command, or the run an undo takes back.
        if (std::string undo = WithPrefix(result, OperationLog::kUndoesPrefix, TrNoop("rückgängig: ")); !undo.empty())
            return undo;
        return Tr(std::string(result).c_str());
    }
    if (std::string skipped = WithPrefix(result, OperationLog::kSkippedPrefix, TrNoop("übersprungen: ")); !skipped.empty())
        return skipped;
    if (std::string failed = WithPrefix(result, OperationLog::kFailedPrefix, TrNoop("fehlgeschlagen: ")); !failed.empty())
        return failed;
    return std::string(result);
}

}  // namespace

std::string LogText::ShownLine(std::string_view line) {
    if (TextsLanguage() == UiLanguage::German) return std::string(line);
    if (line == OperationLog::kHeader) return Tr(OperationLog::kHeader);
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (fields.size() < 7) return std::string(line);
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += '\t';
        if (i == 1) {
            out += Word(fields[1]);
        } else if (i == 6) {
            out += Result(fields[1], fields[6]);
        } else {
            out.append(fields[i]);
        }
    }
    return out;
}

std::string LogText::Shown(std::string_view text) {
    if (TextsLanguage() == UiLanguage::German) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        out += ShownLine(text.substr(0, end));
        if (end == std::string_view::npos) break;
        out += '\n';
        text.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace kirvo
