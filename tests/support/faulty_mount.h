#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace kirvo::test {

// The tests' faulty file system (tests/support/fuse/faulty_fs.cpp) mounted at
// `mountPoint`, showing `folder` (read-only by default) and failing where told:
// "--cut=/FOLDER:N" breaks FOLDER's listing off with EIO after N names,
// "--eio=/PATH" fails inspecting PATH with EIO, "--rw" lets it be written
// to, and then "--fail=fsync" or "--fail=chmod" fails every file's flush or
// change of permissions with EIO, "--corrupt-written" changes the bytes of
// what was written through it when they are read back ("--eio-written":
// fails reading them). Unmounted when the object dies. Where FUSE cannot be
// used, usable() is false and why() says why; a test skips then only where
// it is not Required().
class FaultyMount {
public:
    // Where FUSE must work for the tests (as root, with /dev/fuse): there a
    // mount that fails, or a server that was not built, fails the test
    // instead of skipping what it guards.
    static bool Required();

    FaultyMount(const std::string& folder, const std::string& mountPoint, const std::vector<std::string>& faults);
    ~FaultyMount();
    FaultyMount(const FaultyMount&) = delete;
    FaultyMount& operator=(const FaultyMount&) = delete;

    bool usable() const { return why_.empty(); }
    const std::string& why() const { return why_; }

private:
    std::string mountPoint_;
    pid_t server_ = -1;
    std::string why_;
};

}  // namespace kirvo::test
