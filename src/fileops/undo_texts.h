#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "fileops/run_log.h"
#include "fileops/undo_step.h"
#include "platform/translation.h"

namespace kirvo {

// The wording of undo, shared by kirvo-cli and the window. Paths and what else
// comes from the log go through `shown` (kirvo-cli escapes them for the
// terminal); as they are without one.
struct UndoTexts {
    using Shown = std::string (*)(std::string_view);

    // "20261208T031522-4f3a vom 08.12.2026 03:15:22 (kirvo-cli sync)"
    static std::string RunName(const LoggedRun& run, Shown shown = nullptr);
    // "08.12.2026 03:15:22"
    static std::string Time(const LoggedRun& run);
    // The command: "kirvo-cli sync", "macht 20261208T031522-4f3a rückgängig", …
    static std::string What(const LoggedRun& run, Shown shown = nullptr);
    // The name, then "Quelle: …", "Ziel: …" and the counts, one line each.
    static std::string RunDescription(const LoggedRun& run, Shown shown = nullptr);
    // Whether it can be undone, for the list of runs: "rückgängig zu machen", "rückgängig gemacht (…)", …
    static std::string RunState(const LoggedRun& run, Shown shown = nullptr);
    // "3 Dateien in den Papierkorb legen, 2 aus dem Papierkorb zurückholen, …"
    static std::string Plan(const std::vector<UndoStep>& steps);
    // "Lauf … rückgängig machen?" with the run's description and the plan of its steps.
    static std::string Question(const LoggedRun& run, const std::vector<UndoStep>& steps, Shown shown = nullptr);
    // What a step does (dry run) or why it stays: "<path>: <what or why>".
    static std::string Step(const UndoStep& step, Shown shown = nullptr);

    static constexpr std::string_view kNothingToUndo =
        TrNoop("Im Protokoll steht kein Lauf, der sich rückgängig machen lässt.");
};

}  // namespace kirvo
