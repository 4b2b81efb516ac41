#include "cli/remote_roots.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "cli/cli_command.h"
#include "fileops/terminal_text.h"
#include "platform/snapshot/snapshot_backend.h"
#include "platform/translation.h"

namespace kirvo {

std::optional<std::string> TerminalLoginUi::askSecret(const std::string& question) {
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    // The question may carry a server's own text (keyboard-interactive prompts).
    const std::string prompt = DisplayEscapedLines(question) + " ";
    [[maybe_unused]] ssize_t n = write(tty, prompt.data(), prompt.size());
    termios saved{};
    const bool terminal = tcgetattr(tty, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    std::string answer;
    bool ended = false;
    for (char c; !ended;) {
        const ssize_t got = read(tty, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c == '\n') ended = true;
        else answer.push_back(c);
    }
    if (terminal) tcsetattr(tty, TCSAFLUSH, &saved);
    n = write(tty, "\n", 1);
    close(tty);
    if (!ended) return std::nullopt;  // the terminal closed (Ctrl+D)
    return answer;
}

namespace {

LoginSettings SettingsFor(bool acceptNewHostKey) {
    LoginSettings settings = LoginSettings::Default();
    settings.acceptNewHostKey = acceptNewHostKey;
    return settings;
}

}  // namespace

CliRemoteRoots::CliRemoteRoots(bool acceptNewHostKey) : connections_(&ui_, SettingsFor(acceptNewHostKey)) {}

int CliRemoteRoots::Open(std::string_view command, const std::string& sourceText, const std::string& targetText,
                         std::ostream& err, std::string* said) {
    std::string why;
    source_ = Root::Parse(sourceText, &why);
    if (source_) target_ = Root::Parse(targetText, &why);
    if (!source_ || !target_) {
        err << "kirvo-cli " << command << ": " << DisplayEscaped(why) << '\n';
        if (said) *said = why;
        return kExitUsage;
    }
    for (Root* root : {&*source_, &*target_}) {
        LoginFault fault = LoginFault::None;
        std::string message = connections_.connect(*root, &fault);
        if (message.empty()) continue;
        if (fault == LoginFault::HostKeyUnknown)
            message += Tr(" Mit --accept-new-host-key wird der Schlüssel angenommen und in ~/.ssh/known_hosts eingetragen.");
        err << "kirvo-cli " << command << ": " << DisplayEscaped(message) << '\n';
        if (said) *said = message;
        return kExitUnreachable;
    }
    for (Root* root : {&*source_, &*target_}) connections_.inspect(*root);
    // A snapshot that is not there or not one is never compared as an empty folder.
    for (const Root* root : {&*source_, &*target_}) {
        if (const std::string problem = SnapshotProblem(*root); !problem.empty()) {
            err << "kirvo-cli " << command << ": " << DisplayEscaped(problem) << '\n';
            if (said) *said = problem;
            return kExitUnreadable;
        }
    }
    return 0;
}

bool CliRemoteRoots::StillConnected(std::string_view command, std::ostream& err) const {
    const std::string lost = connections_.lostMessage();
    if (lost.empty()) return true;
    err << "kirvo-cli " << command << ": " << DisplayEscaped(lost) << Tr(" Der Vergleich ist unvollständig.\n");
    return false;
}

}  // namespace kirvo
