#include "cli/cli_arguments.h"


namespace kirvo {

bool CliArguments::Parse(std::span<const std::string> args, std::span<const OptionSpec> specs) {
    options_.clear();
    operands_.clear();
    error_.clear();
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            operands_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") {
            options_.push_back({"help", {}});
            continue;
        }
        if (arg.size() < 3 || arg[1] != '-') {
            error_ = "Unbekannte Option \"" + arg + "\".";
            return false;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : specs)
            if (s.name == name) spec = &s;
        if (!spec) {
            error_ = "Unbekannte Option \"--" + name + "\".";
            return false;
        }
        if (!spec->takesValue) {
            if (equals != std::string::npos) {
                error_ = "Die Option \"--" + name + "\" nimmt keinen Wert.";
                return false;
            }
            options_.push_back({name, {}});
            continue;
        }
        if (equals != std::string::npos) {
            options_.push_back({name, arg.substr(equals + 1)});
        } else if (i + 1 < args.size()) {
            options_.push_back({name, args[++i]});
        } else {
            error_ = "Der Option \"--" + name + "\" fehlt ihr Wert.";
            return false;
        }
    }
    return true;
}

bool ReadParallel(const CliArguments& parsed, int& parallel, std::string& error) {
    parallel = 0;
    const auto value = parsed.Value("parallel");
    if (!value) return true;
    int n = 0;
    bool digits = !value->empty() && value->size() <= 4;
    for (char c : *value) {
        if (c < '0' || c > '9') digits = false;
        n = n * 10 + (c - '0');
    }
    if (!digits || n > kMaxParallel) {
        error = "Ungültiger Wert \"" + *value + "\" für --parallel; erlaubt ist eine Zahl von 0 (automatisch) bis " +
                std::to_string(kMaxParallel) + ".";
        return false;
    }
    parallel = n;
    return true;
}

bool ReadCompareBy(const CliArguments& parsed, CompareBy& compareBy, std::string& error) {
    compareBy = CompareBy::Time;
    const auto value = parsed.Value("compare");
    if (!value || CompareByFromName(*value, compareBy)) return true;
    error = "Unbekannter Vergleich \"" + *value + "\"; erlaubt sind time, time-size, content.";
    return false;
}

bool ReadLinkMode(const CliArguments& parsed, LinkMode& links, std::string& error) {
    links = LinkMode::Follow;
    const auto value = parsed.Value("links");
    if (!value || ParseLinkMode(*value, links)) return true;
    error = "Unbekannter Wert \"" + *value + "\" für --links; erlaubt sind follow, copy, skip.";
    return false;
}

bool CliArguments::Has(std::string_view name) const {
    for (const Given& g : options_)
        if (g.name == name) return true;
    return false;
}

std::optional<std::string> CliArguments::Value(std::string_view name) const {
    std::optional<std::string> value;
    for (const Given& g : options_)
        if (g.name == name) value = g.value;
    return value;
}

std::vector<std::string> CliArguments::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const Given& g : options_)
        if (g.name == name) values.push_back(g.value);
    return values;
}

}  // namespace kirvo
