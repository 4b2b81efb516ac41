#pragma once
#include <functional>
#include <string>

namespace kirvo::test {

// Runs body in a forked child and returns what it returned, or a note on how
// the child ended when it did not end normally. setup runs in the child
// first. For faults that need the process itself changed.
std::string InChild(const std::function<std::string()>& body, const std::function<void()>& setup = {});

// Runs body where file permissions bind: as root in a child that has become
// the user nobody, after `tree` and everything in it was given to nobody;
// otherwise in a child of the caller's user. Returns what body returned.
std::string Unprivileged(const std::string& tree, const std::function<std::string()>& body);

}  // namespace kirvo::test
