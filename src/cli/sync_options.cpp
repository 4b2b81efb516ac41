#include "cli/sync_options.h"

#include "cli/filter_arguments.h"
#include "cli/sync_mode_arguments.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"mode", true},
    {"direction", true},
    {"max-delete", true},
    {"forget-state", false},
    {"dry-run", false},
    {"yes", false},
    {"exclude-subfolders", false},
    {"exclude-system-folders", false},
    {"no-tolerance", false},
    {"compare", true},
    {"ignore-hour", false},
    {"links", true},
    {"parallel", true},
    {"quiet", false},
    {"accept-new-host-key", false},
    {"include", true},
    {"exclude", true},
    {"filter-from", true},
    {"no-trash", false},
    {"no-log", false},
    {"verify", false},
    {"format", true},
    {"help", false},
};

}  // namespace

bool ParseSyncOptions(std::span<const std::string> args, SyncOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = SyncOptions();
    options.help = parsed.Has("help");
    if (options.help) return true;
    SyncModeArguments sync;
    if (!ReadSyncModeArguments(parsed, sync, error)) return false;
    options.mode = sync.mode;
    options.toTarget = sync.sides.target;
    options.toSource = sync.sides.source;
    if (const auto format = parsed.Value("format")) {
        if (*format == "json") {
            options.format = SyncOptions::Format::Json;
        } else if (*format != "text") {
            error = Tr("Unbekanntes Format \"") + *format + Tr("\"; erlaubt sind text und json.");
            return false;
        }
    }
    if (const auto limit = parsed.Value("max-delete")) {
        options.maxDelete = DeleteLimit::Parse(*limit, &error);
        if (!options.maxDelete) return false;
    }
    options.forgetState = parsed.Has("forget-state");
    if (options.forgetState && options.mode != SyncMode::TwoWay) {
        error = Tr("--forget-state gilt nur mit --mode=two-way: nur dieser Abgleich hat ein Gedächtnis.");
        return false;
    }
    options.dryRun = parsed.Has("dry-run");
    options.yes = parsed.Has("yes");
    options.useTrash = !parsed.Has("no-trash");
    options.useLog = !parsed.Has("no-log");
    options.verify = parsed.Has("verify");
    if (options.format == SyncOptions::Format::Json && !options.yes && !options.dryRun) {
        error = Tr("Mit --format=json wird nichts gefragt: dazu gehört --yes oder --dry-run.");
        return false;
    }
    return ReadScanArguments(parsed, options, error);
}

std::span<const CliArguments::OptionSpec> SyncOptionSpecs() { return kOptions; }

}  // namespace kirvo
