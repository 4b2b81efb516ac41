#pragma once
#include <ostream>

#include "app/run_result.h"
#include "sync/sync_session.h"

namespace kirvo {

// What kirvo-cli sync prints of a plan (--dry-run): per action its heading
// with the count and every file, then the counts and bytes of every action
// together. The copies keep the headings they always had ("Von Quelle nach
// Ziel (3 Dateien):"); `toTarget`/`toSource` say which directions are shown.
void WritePlannedWork(const SyncWork& work, bool toTarget, bool toSource, std::ostream& out);

// One line per request the run made, counted as its summary is:
// "Von Quelle nach Ziel: 2 kopiert, 1 ersetzt, 1 fehlgeschlagen; 1 ersetzte Datei im Papierkorb."
void WriteSyncOutcome(const RunResult& result, std::ostream& out);

}  // namespace kirvo
