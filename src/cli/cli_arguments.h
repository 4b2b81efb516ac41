#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kirvo {

// The options and operands of one subcommand. Options are "--name",
// "--name=value" or "--name value"; "--" ends the options, so operands may
// begin with a dash. A repeated option keeps its last value.
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

}  // namespace kirvo
