#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/filter_arguments.h"
#include "engine/run_options.h"

namespace kirvo {

// The options and operands of one subcommand. Options are "--name",
// "--name=value" or "--name value"; "--" ends the options, so operands may
// begin with a dash. A repeated option keeps its last value for Value() and
// all of them, in order, for Values().
class CliArguments {
public:
    struct OptionSpec {
        std::string_view name;  // without the leading dashes
        bool takesValue = false;
    };

    // False on a usage error, with a German message in error().
    bool Parse(std::span<const std::string> args, std::span<const OptionSpec> specs);

    bool Has(std::string_view name) const;
    std::optional<std::string> Value(std::string_view name) const;
    std::vector<std::string> Values(std::string_view name) const;
    const std::vector<std::string>& operands() const { return operands_; }
    const std::string& error() const { return error_; }

private:
    struct Given {
        std::string name;
        std::string value;
    };
    std::vector<Given> options_;
    std::vector<std::string> operands_;
    std::string error_;
};

// The value of --parallel: 0 (automatic) up to kMaxParallel listings at once.
inline constexpr int kMaxParallel = 1024;
bool ReadParallel(const CliArguments& parsed, int& parallel, std::string& error);

// The value of --compare: time (the default), time-size or content.
bool ReadCompareBy(const CliArguments& parsed, CompareBy& compareBy, std::string& error);

// The value of --links: follow (the default), copy or skip.
bool ReadLinkMode(const CliArguments& parsed, LinkMode& links, std::string& error);

// The help of --links, shared by compare and sync.
#define KIRVO_CLI_LINKS_OPTION_HELP                                                                \
    "  --links=WERT              Verknüpfungen (symbolische Links):\n"                               \
    "                              follow  eine Verknüpfung auf eine Datei gilt als diese Datei\n"    \
    "                                      (Vorgabe)\n"                                               \
    "                              copy    jede Verknüpfung gilt als sie selbst (ihre Zeit, ihre\n"   \
    "                                      Länge, ihr Ziel-Text als Inhalt) und wird als\n"           \
    "                                      Verknüpfung kopiert\n"                                      \
    "                              skip    Verknüpfungen werden ausgelassen\n"                         \
    "                            In Ordner, auf die eine Verknüpfung zeigt, geht Kirvo nie. Als root\n" \
    "                            folgt es keiner Verknüpfung, die einem anderen gehört als ihr Ziel.\n"

// The help of --compare and --ignore-hour, shared by compare and sync.
#define KIRVO_CLI_COMPARE_OPTIONS_HELP                                                             \
    "  --compare=WERT            wann zwei Dateien gleich sind:\n"                                  \
    "                              time       gleiche Änderungszeit (Vorgabe)\n"                    \
    "                              time-size  dazu: gleiche Zeit, aber andere Größe ist ein\n"      \
    "                                         Konflikt (<?>)\n"                                     \
    "                              content    Dateien gleicher Größe werden Byte für Byte\n"        \
    "                                         verglichen; gleicher Inhalt ist gleich (=), sonst\n"  \
    "                                         gilt der Pfeil der Zeiten oder, bei gleicher Zeit,\n" \
    "                                         ein Konflikt (<?>); ebenso unlesbare Dateien\n"       \
    "  --ignore-hour             Zeiten, die genau eine Stunde auseinanderliegen (Sommerzeit auf\n" \
    "                            FAT-Laufwerken), als gleich werten\n"

// The scan options and the two roots that compare and sync share: fills
// excludeSubFolders, excludeSystemFolders, twoSecondTolerance, ignoreHour,
// compareBy, links, parallel, quiet, acceptNewHostKey, pathFilter, source and target of `options`. False on a usage error,
// with a German message.
template <class Options>
bool ReadScanArguments(const CliArguments& parsed, Options& options, std::string& error) {
    options.excludeSubFolders = parsed.Has("exclude-subfolders");
    options.excludeSystemFolders = parsed.Has("exclude-system-folders");
    options.twoSecondTolerance = !parsed.Has("no-tolerance");
    options.ignoreHour = parsed.Has("ignore-hour");
    options.quiet = parsed.Has("quiet");
    options.acceptNewHostKey = parsed.Has("accept-new-host-key");
    if (!ReadParallel(parsed, options.parallel, error)) return false;
    if (!ReadCompareBy(parsed, options.compareBy, error)) return false;
    if (!ReadLinkMode(parsed, options.links, error)) return false;
    if (!ReadFilterArguments(parsed, options.pathFilter, error)) return false;
    const auto& operands = parsed.operands();
    if (operands.size() > 2) {
        error = "Zu viele Argumente: \"" + operands[2] + "\" ist überzählig.";
        return false;
    }
    if (operands.empty() || operands[0].empty()) {
        error = operands.empty() ? "Es fehlt das Argument QUELLE." : "Es fehlt das Argument QUELLE: der Pfad ist leer.";
        return false;
    }
    if (operands.size() < 2 || operands[1].empty()) {
        error = operands.size() < 2 ? "Es fehlt das Argument ZIEL." : "Es fehlt das Argument ZIEL: der Pfad ist leer.";
        return false;
    }
    options.source = operands[0];
    options.target = operands[1];
    return true;
}

// The engine's settings for the options ReadScanArguments filled; the filter
// is borrowed from `options` and left out when it leaves out nothing.
template <class Options>
RunOptions ScanRunOptions(const Options& options) {
    RunOptions run;
    run.excludeSubFolders = options.excludeSubFolders;
    run.excludeSystemFolders = options.excludeSystemFolders;
    run.twoSecondTolerance = options.twoSecondTolerance;
    run.ignoreHour = options.ignoreHour;
    run.compareBy = options.compareBy;
    run.links = options.links;
    run.parallel = options.parallel;
    run.filter = options.pathFilter.LeavesOutNothing() ? nullptr : &options.pathFilter;
    return run;
}

}  // namespace kirvo
