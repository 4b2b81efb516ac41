#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kirvo::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs kirvo-cli in this process with args after the program name.
inline CliResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "kirvo-cli");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    CliResult r;
    r.status = RunCli(static_cast<int>(args.size()), argv.data(), out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace kirvo::test
