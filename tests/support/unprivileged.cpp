#include "support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace kirvo::test {

std::string InChild(const std::function<std::string()>& body, const std::function<void()>& setup) {
    int fds[2];
    if (pipe(fds) != 0) return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (setup) setup();
        const std::string result = body();
        (void)!write(fds[1], result.data(), result.size());
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child died with signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0) return "child exited with status " + std::to_string(WEXITSTATUS(status));
    return result;
}

std::string Unprivileged(const std::string& tree, const std::function<std::string()>& body) {
    if (geteuid() != 0) return InChild(body);
    constexpr uid_t kNobody = 65534;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (lchown(tree.c_str(), kNobody, kNobody) != 0) return "cannot give the tree to nobody";
    for (auto it = fs::recursive_directory_iterator(tree, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (lchown(it->path().c_str(), kNobody, kNobody) != 0) return "cannot give the tree to nobody";
    }
    return InChild(body, [] {
        setgroups(0, nullptr);
        if (setresgid(kNobody, kNobody, kNobody) != 0 || setresuid(kNobody, kNobody, kNobody) != 0) _exit(3);
    });
}

}  // namespace kirvo::test
