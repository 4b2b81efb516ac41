#pragma once
#include <string>

namespace kirvo {

class CliArguments;
class PathFilter;

// --include=PATTERN and --exclude=PATTERN (each repeatable) and
// --filter-from=FILE (repeatable): one rule per line, "+ PATTERN" to include,
// "- PATTERN" to exclude; blank lines and lines starting with # are skipped.
// All of them together make one filter. False with a German message naming
// the bad pattern, the bad line or the unreadable file.
bool ReadFilterArguments(const CliArguments& parsed, PathFilter& filter, std::string& error);

}  // namespace kirvo

// The help of the filter options and of the pattern syntax, shared by the
// commands that take them (string literals, to be joined with their help).
#define KIRVO_CLI_FILTER_OPTIONS_HELP                                                              \
    "  --include=MUSTER          nur Dateien vergleichen, die MUSTER trifft oder die in einem\n"  \
    "                            Ordner liegen, den es trifft; mehrfach erlaubt (Vorgabe: *)\n"   \
    "  --exclude=MUSTER          Dateien und Ordner, die MUSTER trifft, auslassen; solch ein\n"   \
    "                            Ordner wird gar nicht gelesen; mehrfach erlaubt\n"               \
    "  --filter-from=DATEI       Regeln aus DATEI, je Zeile \"+ MUSTER\" (einschließen) oder\n"    \
    "                            \"- MUSTER\" (ausschließen); Zeilen mit # am Anfang und leere\n"  \
    "                            Zeilen zählen nicht; mehrfach erlaubt\n"

#define KIRVO_CLI_PATTERN_HELP                                                                         \
    "Muster (--include, --exclude, --filter-from):\n"                                                  \
    "  *      beliebig viele Bytes außer /       ?      genau ein Byte außer /\n"                       \
    "  [a-z]  eines der Zeichen, [!a-z] keines   \\      nimmt das nächste Zeichen wörtlich\n"          \
    "  **     als ganzer Abschnitt (**/x, x/**, a/**/b): beliebig viele Ordner, auch keiner\n"         \
    "  Ohne / oder nur mit / am Ende trifft ein Muster den Namen in jeder Tiefe, sonst den\n"          \
    "  ganzen Pfad ab der Wurzel (ein / am Anfang ändert nichts); ein / am Ende trifft nur\n"         \
    "  Ordner. A bis Z gelten groß wie klein. Ausschließen geht vor Einschließen; beides gilt\n"      \
    "  auf beiden Seiten gleich, und nur aufgeführte Dateien werden kopiert.\n"                       \
    "  Beispiele: --exclude=.git/ --exclude=node_modules/ --exclude='*.tmp' --exclude='~$*'\n"        \
    "             --include='*.jpg' --include=Fotos/   (nur Bilder und alles unter Fotos/)\n"       \
    "             --exclude=/build/ --exclude='docs/**/*.pdf'   (nur ab der Wurzel)\n"
