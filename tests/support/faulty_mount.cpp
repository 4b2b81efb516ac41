#include "support/faulty_mount.h"

#include <signal.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/temp_tree.h"

namespace kirvo::test {
namespace {

constexpr long kFuseMagic = 0x65735546;

bool Mounted(const std::string& path) {
    struct statfs fs;
    return statfs(path.c_str(), &fs) == 0 && static_cast<long>(fs.f_type) == kFuseMagic;
}

}  // namespace

bool FaultyMount::Required() { return geteuid() == 0 && access("/dev/fuse", F_OK) == 0; }

FaultyMount::FaultyMount(const std::string& folder, const std::string& mountPoint,
                         const std::vector<std::string>& faults)
    : mountPoint_(mountPoint) {
    const std::string program = KIRVO_FAULTY_FS_PATH;
    if (program.empty()) {
        why_ = "kirvo-faulty-fs wurde nicht gebaut (libfuse3 fehlt)";
        return;
    }
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        why_ = "/dev/fuse ist nicht benutzbar";
        return;
    }
    MakeDirs(mountPoint);
    std::vector<std::string> args = {program, folder, mountPoint};
    args.insert(args.end(), faults.begin(), faults.end());
    server_ = fork();
    if (server_ == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Mounted(mountPoint_)) {
        int status = 0;
        if (server_ < 0 || waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;
            why_ = "kirvo-faulty-fs ließ sich nicht einhängen (FUSE nicht erlaubt?)";
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            why_ = "kirvo-faulty-fs wurde nicht binnen 10 Sekunden eingehängt";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FaultyMount::~FaultyMount() {
    if (server_ < 0) return;
    kill(server_, SIGTERM);  // the server unmounts as it ends
    int status = 0;
    waitpid(server_, &status, 0);
    if (Mounted(mountPoint_)) {
        const std::string command = "fusermount3 -u -z '" + mountPoint_ + "' 2>/dev/null";
        [[maybe_unused]] const int ignored = std::system(command.c_str());
    }
}

}  // namespace kirvo::test
