#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace kirvo {

// What became of a helper program (systemctl, notify-send, ...).
struct ProgramResult {
    bool started = false;   // false: not found in PATH, or it could not be started
    bool finished = false;  // false: still running at the deadline, and killed
    int status = -1;        // its exit status when it finished normally, else -1
    std::string output;     // standard output and error together, at most 64 KiB

    bool succeeded() const { return started && finished && status == 0; }
};

// Runs argv[0], looked up in PATH, with the other words as its arguments and
// nothing on its standard input; waits at most `timeout`, then kills it.
ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

// Whether `name` is an executable file in one of the folders of PATH.
bool IsProgramInPath(const std::string& name);

}  // namespace kirvo
