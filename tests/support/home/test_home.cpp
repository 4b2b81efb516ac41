// Tests never touch the real user's trash, log or settings: each test process,
// and every program it starts, has a home of its own for them, removed at its
// end. Linked into every test binary as an object, so it is there even where a
// test uses nothing else of the support library (and when a test binary is run
// by hand, outside ctest). The texts are checked in German, the source
// language: the locale is pinned to "C" whatever the desktop's language.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

class TestHome {
public:
    TestHome() : owner_(getpid()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kirvo-home-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
        setenv("XDG_STATE_HOME", (path_ + "/state").c_str(), 1);
        if (std::getenv("XDG_CONFIG_HOME") == nullptr) setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
        setenv("LANG", "C", 1);
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(name);
    }
    ~TestHome() {
        std::error_code ec;
        if (getpid() == owner_) std::filesystem::remove_all(path_, ec);  // not from a forked child
    }

private:
    std::string path_;
    pid_t owner_;
};

const TestHome gTestHome;

}  // namespace
