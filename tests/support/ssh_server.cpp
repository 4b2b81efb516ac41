#include "support/ssh_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

namespace kirvo::test {
namespace {

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

}  // namespace

SshServer::SshServer(bool trustHost, const std::string& sftpServer) {
    const std::string sshd = "/usr/sbin/sshd";
    if (access(sshd.c_str(), X_OK) != 0) {
        error_ = "no OpenSSH server (openssh-server) installed";
        return;
    }
    const std::string dir = serverDir_.path();
    const std::string ssh = home_ / ".ssh";
    mkdir(ssh.c_str(), 0700);
    if (!Run("ssh-keygen -q -t ed25519 -N '' -f '" + dir + "/host_key'") ||
        !Run("ssh-keygen -q -t ed25519 -N '' -f '" + ssh + "/id_ed25519'")) {
        error_ = "ssh-keygen failed";
        return;
    }
    Run("cp '" + ssh + "/id_ed25519.pub' '" + dir + "/authorized_keys'");
    const std::string print = Output("ssh-keygen -l -f '" + dir + "/host_key.pub'");
    if (const size_t at = print.find("SHA256:"); at != std::string::npos)
        fingerprint_ = print.substr(at, print.find(' ', at) - at);
    port_ = FreePort();
    {
        std::ofstream config(dir + "/sshd_config");
        config << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << dir << "/host_key\nPidFile " << dir
               << "/sshd.pid\nAuthorizedKeysFile " << dir << "/authorized_keys\nPermitRootLogin prohibit-password\n"
               << "PasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
               << "UseDNS no\nLogLevel ERROR\nMaxStartups 100\nMaxSessions 100\n"
               // sshd starts a subsystem through the user's shell: with the test's
               // HOME and a nested shell level, bash reads no start-up files (the
               // user's could take seconds), nor does sshd run the user's ~/.ssh/rc.
               << "SetEnv \"HOME=" << home_.path() << "\" SHLVL=1\nPermitUserRC no\nSubsystem sftp "
               << (sftpServer.empty() ? "internal-sftp" : sftpServer) << "\n";
    }
    if (trustHost) {
        const std::string key = Output("cat '" + dir + "/host_key.pub'");
        std::ofstream known(ssh + "/known_hosts");
        known << "[localhost]:" << port_ << " " << key.substr(0, key.rfind(' ')) << "\n";
    }
    mkdir("/run/sshd", 0755);  // the server's privilege-separation folder
    pid_ = fork();
    if (pid_ == 0) {
        // The server's complaints (the probes below) go to its own log, not the test's output.
        const int log = open((dir + "/sshd.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (log >= 0) dup2(log, 2);
        execl(sshd.c_str(), sshd.c_str(), "-D", "-e", "-f", (dir + "/sshd_config").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && !Accepts(port_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!Accepts(port_)) {
        error_ = "sshd did not start";
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    if (const char* home = std::getenv("HOME")) {
        hadHome_ = true;
        savedHome_ = home;
    }
    setenv("HOME", home_.path().c_str(), 1);
    if (const char* agent = std::getenv("SSH_AUTH_SOCK")) {
        hadAgent_ = true;
        savedAgent_ = agent;
        unsetenv("SSH_AUTH_SOCK");
    }
}

SshServer::~SshServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (hadHome_) setenv("HOME", savedHome_.c_str(), 1);
    if (hadAgent_) setenv("SSH_AUTH_SOCK", savedAgent_.c_str(), 1);
}

std::string SshServer::Url(const std::string& localPath) const {
    return "sftp://localhost:" + std::to_string(port_) + localPath;
}

bool SshServer::UsePassphraseKey(const std::string& passphrase) {
    const std::string ssh = home_ / ".ssh";
    std::remove((ssh + "/id_ed25519").c_str());
    std::remove((ssh + "/id_ed25519.pub").c_str());
    return Run("ssh-keygen -q -t ed25519 -N '" + passphrase + "' -f '" + ssh + "/id_ed25519'") &&
           Run("cp '" + ssh + "/id_ed25519.pub' '" + serverDir_.path() + "/authorized_keys'");
}

void SshServer::DropConnections() {
    // The sessions are the server's descendants: each process with its parent.
    std::vector<std::pair<int, int>> processes;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        char state = 0;
        int parent = 0;
        if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2)
            processes.emplace_back(std::stoi(name), parent);
    }
    std::vector<int> doomed = {pid_};
    for (size_t i = 0; i < doomed.size(); ++i)
        for (const auto& [pid, parent] : processes)
            if (parent == doomed[i]) doomed.push_back(pid);
    for (size_t i = 1; i < doomed.size(); ++i) kill(doomed[i], SIGKILL);
}

bool SshServer::UseUnknownKey() {
    const std::string ssh = home_ / ".ssh";
    std::remove((ssh + "/id_ed25519").c_str());
    std::remove((ssh + "/id_ed25519.pub").c_str());
    return Run("ssh-keygen -q -t ed25519 -N '' -f '" + ssh + "/id_ed25519'");
}

bool SshServer::ForgeKnownHost() {
    const std::string other = serverDir_ / "other_key";
    if (!Run("ssh-keygen -q -t ed25519 -N '' -f '" + other + "'")) return false;
    const std::string key = Output("cat '" + other + ".pub'");
    std::ofstream known(home_ / ".ssh/known_hosts");
    known << "[localhost]:" << port_ << " " << key.substr(0, key.rfind(' ')) << "\n";
    return true;
}

}  // namespace kirvo::test
