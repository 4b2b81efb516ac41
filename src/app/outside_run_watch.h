#pragma once
#include <cstdint>
#include <string>

namespace kirvo {

// Whether a run this window did not start (a job by its timer or "watch",
// kirvo-cli, another Kirvo) changed files under the roots it shows. Every
// run that copies, replaces, deletes or moves writes its lines into the one
// log as it goes; the lines written since the last look are read and their
// paths compared with the two roots. The log is read from where the last
// look ended, so each look costs a stat and the new lines alone.
class OutsideRunWatch {
public:
    explicit OutsideRunWatch(std::string logPath);

    // What the log holds now is known (a comparison starts: it sees those changes).
    void SkipToEnd();
    // Reads the whole lines written since the last look; true when one of
    // them names a path at or under either root (a root as the matcher keeps it).
    bool Touched(const std::string& sourceRoot, const std::string& targetRoot);

private:
    std::string path_;
    uint64_t offset_ = 0;
};

}  // namespace kirvo
