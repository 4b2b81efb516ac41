#pragma once
#include <string>

#include "sync/sync_mode.h"
#include "sync/sync_work.h"

namespace kirvo {

class CliArguments;

// --mode=update|mirror|two-way and --direction=both|to-target|to-source,
// shared by compare (which shows the plan) and sync.
struct SyncModeArguments {
    SyncMode mode = SyncMode::Update;
    // The sides a run may change: to-target changes only the target (the
    // arrows "--->"), to-source only the source. A mirror makes the side it
    // may change a copy of the other (to the target when not given).
    ChangedSides sides;
    SyncSide mirrorFrom() const { return sides.target ? SyncSide::Source : SyncSide::Target; }
};

// False on a usage error, with a German message.
bool ReadSyncModeArguments(const CliArguments& parsed, SyncModeArguments& arguments, std::string& error);

// The help of --mode and --direction.
#define KIRVO_CLI_MODE_OPTIONS_HELP                                                                  \
    "  --mode=WERT               wie abgeglichen wird:\n"                                            \
    "                              update   Neuere kopieren (Vorgabe): jede ungleiche Datei in\n"    \
    "                                       Pfeilrichtung; nichts wird gelöscht\n"                   \
    "                              mirror   Spiegeln: das Ziel wird eine genaue Kopie der Quelle\n"  \
    "                                       (mit --direction=to-source umgekehrt): Fehlendes und\n"  \
    "                                       Verschiedenes wird kopiert, auch über Neueres, was es\n" \
    "                                       nur dort gibt, gelöscht (in den Papierkorb), leere\n"    \
    "                                       Ordner, die es dort nicht gibt, entfernt\n"              \
    "                              two-way  In beide Richtungen mit Gedächtnis: entschieden gegen\n" \
    "                                       den Stand des letzten Abgleichs dieser Ordner\n"         \
    "  --direction=WERT          both (Vorgabe): beide Seiten; to-target: nur das Ziel wird\n"       \
    "                            geändert; to-source: nur die Quelle\n"

}  // namespace kirvo
