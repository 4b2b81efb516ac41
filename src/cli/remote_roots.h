#pragma once
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/run_options.h"
#include "platform/root.h"
#include "platform/sftp/remote_connections.h"
#include "platform/sftp/remote_login_ui.h"
#include "platform/translation.h"

namespace kirvo {

// Asks on the terminal (/dev/tty) what a login needs: a password or a key's
// passphrase, without echo, never kept. An unknown host key is not asked
// about: kirvo-cli takes it only with --accept-new-host-key.
class TerminalLoginUi final : public RemoteLoginUi {
public:
    bool acceptNewHostKey(const std::string&, const std::string&, const std::string&) override { return false; }
    std::optional<std::string> askSecret(const std::string& question) override;
};

// The two roots of one kirvo-cli run, parsed once, and the connections of
// those on other machines ("sftp://..."): one per root, made before the scan
// and kept for the copying.
class CliRemoteRoots {
public:
    explicit CliRemoteRoots(bool acceptNewHostKey);

    // Parses the two operands, connects for each remote root and looks at
    // both roots: 0, or kExitUsage for an address that is no valid one,
    // kExitUnreachable when no connection could be made, after writing why
    // ("kirvo-cli COMMAND: ...") to err; kExitUnreadable for a snapshot
    // that is not there, not one, or damaged.
    // The message also goes to `said` when given.
    int Open(std::string_view command, const std::string& sourceText, const std::string& targetText,
             std::ostream& err, std::string* said = nullptr);
    // The roots as Open found them.
    const Root& source() const { return *source_; }
    const Root& target() const { return *target_; }
    // Lists and reads remote roots over their connections.
    void Use(RunOptions& run) {
        run.listers = connections_.listers();
        run.readers = connections_.readers();
    }
    // False after writing the message when a connection broke off during the scan.
    bool StillConnected(std::string_view command, std::ostream& err) const;

    RemoteConnections& connections() { return connections_; }

private:
    TerminalLoginUi ui_;
    RemoteConnections connections_;
    std::optional<Root> source_;
    std::optional<Root> target_;
};

}  // namespace kirvo

// The help of --accept-new-host-key and of folders on other machines, shared
// by the commands that take them (string literals, to be joined with their help).
#define KIRVO_CLI_REMOTE_OPTION_HELP                                                              \
    TrNoop("  --accept-new-host-key     einen Rechner, der noch nicht in ~/.ssh/known_hosts steht,\n" \
    "                            annehmen und seinen Schlüssel dort eintragen\n")

#define KIRVO_CLI_REMOTE_HELP                                                                         \
    TrNoop("Ordner auf anderen Rechnern: QUELLE oder ZIEL als sftp://[BENUTZER@]RECHNER[:PORT]/PFAD\n" \
    "(/~/PFAD: im Heimordner dort). Angemeldet wird über SSH wie mit ssh: ~/.ssh/config (Host,\n"      \
    "HostName, User, Port, IdentityFile), der SSH-Agent, die Schlüssel ~/.ssh/id_*, sonst wird auf\n"  \
    "dem Terminal nach Passwort oder Passphrase gefragt (nie gespeichert). Der Schlüssel des\n"        \
    "Rechners wird mit ~/.ssh/known_hosts verglichen: ein unbekannter nur mit\n"                       \
    "--accept-new-host-key angenommen, ein geänderter immer abgelehnt.\n")
