#include "platform/sftp/ssh_login.h"

#include <fcntl.h>
#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <netdb.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/error_text.h"
#include "platform/sftp/remote_login_ui.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// TRANSLATORS: the quotation marks around a name in a message.
std::string Quoted(const std::string& text) { return Format(Tr("„%s“"), text); }

void Wipe(std::string& secret) {
    volatile char* p = secret.data();
    for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
    secret.clear();
}

std::string ConnectError(int error) {
    switch (error) {
    case ECONNREFUSED: return Tr("dort nimmt niemand Verbindungen an (läuft ein SSH-Server an diesem Port?)");
    case EHOSTUNREACH:
    case ENETUNREACH: return Tr("der Rechner ist nicht erreichbar");
    default: return ErrorText(error);
    }
}

// Resolves and connects without blocking past the timeout or a cancel.
int ConnectSocket(const std::string& host, unsigned port, int timeoutSeconds, LoginCancel& cancel, LoginFault& fault,
                  std::string& message, const std::string& machine) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        fault = LoginFault::UnknownMachine;
        message = rc == EAI_NONAME || rc == EAI_NODATA
                      ? Tr("Der Rechner ") + Quoted(host) + Tr(" ist nicht bekannt: der Name lässt sich nicht auflösen.")
                      : Tr("Der Rechner ") + Quoted(host) + Tr(" lässt sich nicht nachschlagen (") + gai_strerror(rc) + ").";
        return -1;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, &freeaddrinfo);
    int lastError = ETIMEDOUT;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) continue;
        cancel.setSocket(fd);
        int rc = connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            while (!cancel.cancelled()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                if (poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 200))) != 0) break;
            }
            int error = ETIMEDOUT;
            socklen_t size = sizeof error;
            if (p.revents != 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
            if (p.revents == 0) error = ETIMEDOUT;
            rc = error == 0 ? 0 : -1;
            errno = error;
        }
        if (rc == 0 && !cancel.cancelled()) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return fd;
        }
        lastError = errno;
        cancel.setSocket(-1);
        close(fd);
        if (cancel.cancelled()) break;
    }
    if (cancel.cancelled()) {
        fault = LoginFault::Cancelled;
        message = Tr("Die Verbindung zu ") + Quoted(machine) + Tr(" wurde abgebrochen.");
    } else {
        fault = LoginFault::Unreachable;
        message = lastError == ETIMEDOUT
                      ? Tr("Der Rechner ") + Quoted(host) + Tr(" antwortet nicht (nach ") + std::to_string(timeoutSeconds) +
                            Tr(" Sekunden aufgegeben).")
                      : Tr("Keine Verbindung zu ") + Quoted(host) + Tr(" an Port ") + std::to_string(port) + ": " +
                            ConnectError(lastError) + ".";
    }
    return -1;
}

struct Prompting {
    RemoteLoginUi* ui;
    bool declined = false;
};

// libssh's question for a key's passphrase.
int AskPassphrase(const char* prompt, char* buffer, size_t length, int /*echo*/, int /*verify*/, void* userdata) {
    auto* prompting = static_cast<Prompting*>(userdata);
    if (prompting->ui == nullptr || prompting->declined) return -1;
    std::string question = Tr("Passphrase für den Schlüssel");
    if (const char* quote = std::strchr(prompt, '\''); quote != nullptr) {
        const char* end = std::strchr(quote + 1, '\'');
        if (end != nullptr) question += " " + Quoted(std::string(quote + 1, end));
    }
    question += ":";
    std::optional<std::string> answer = prompting->ui->askSecret(question);
    if (!answer) {
        prompting->declined = true;
        return -1;
    }
    const bool fits = answer->size() < length;
    if (fits) std::memcpy(buffer, answer->c_str(), answer->size() + 1);
    Wipe(*answer);
    return fits ? 0 : -1;
}

std::string HostKeyFingerprint(ssh_session session, std::string& type) {
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK) return {};
    unsigned char* hash = nullptr;
    size_t length = 0;
    std::string text;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == 0) {
        char* printable = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
        if (printable) text = printable;
        ssh_string_free_char(printable);
        ssh_clean_pubkey_hash(&hash);
    }
    type = ssh_key_type_to_char(ssh_key_type(key));
    ssh_key_free(key);
    return text;
}

bool CheckHostKey(ssh_session session, const std::string& host, unsigned port, const std::string& sshFolder,
                  RemoteLoginUi* ui, bool acceptNew, LoginFault& fault, std::string& message) {
    // How known_hosts names the machine.
    const std::string entry = port == 22 ? host : "'[" + host + "]:" + std::to_string(port) + "'";
    std::string type;
    const std::string fingerprint = HostKeyFingerprint(session, type);
    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK: return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        fault = LoginFault::HostKeyChanged;
        message = Tr("WARNUNG: Der Schlüssel des Rechners ") + Quoted(host) + Tr(" ist ein anderer als der in ") +
                  sshFolder + "/known_hosts (jetzt " + type + " " + fingerprint +
                  Tr("). Jemand könnte sich als dieser Rechner ausgeben; Kirvo verbindet sich nicht. War der Wechsel "
                  "erwartet, entfernt \"ssh-keygen -R ") + entry + Tr("\" den alten Eintrag.");
        return false;
    case SSH_KNOWN_HOSTS_NOT_FOUND:
    case SSH_KNOWN_HOSTS_UNKNOWN: break;
    case SSH_KNOWN_HOSTS_ERROR:
    default:
        fault = LoginFault::Failed;
        message = Tr("Der Schlüssel des Rechners ") + Quoted(host) + Tr(" lässt sich nicht prüfen: ") +
                  ssh_get_error(session) + ".";
        return false;
    }
    bool accepted = acceptNew;
    if (!accepted && ui != nullptr) accepted = ui->acceptNewHostKey(host, type, fingerprint);
    if (!accepted) {
        fault = LoginFault::HostKeyUnknown;
        message = Tr("Der Rechner ") + Quoted(host) + Tr(" ist noch nicht bekannt (Schlüssel ") + type + " " + fingerprint +
                  Tr("); ohne Zustimmung verbindet sich Kirvo nicht.");
        return false;
    }
    mkdir(sshFolder.c_str(), 0700);
    if (ssh_session_update_known_hosts(session) != SSH_OK) {
        fault = LoginFault::Failed;
        message = Tr("Der Schlüssel des Rechners ") + Quoted(host) + Tr(" lässt sich nicht in ") + sshFolder +
                  "/known_hosts eintragen: " + ssh_get_error(session) + ".";
        return false;
    }
    return true;
}

bool Authenticate(ssh_session session, const std::string& account, Prompting& prompting, LoginFault& fault,
                  std::string& message) {
    int rc = ssh_userauth_none(session, nullptr);
    if (rc == SSH_AUTH_SUCCESS) return true;
    if (rc == SSH_AUTH_ERROR) {
        fault = LoginFault::Failed;
        message = std::string(Tr("Die Anmeldung an ")) + Quoted(account) + Tr(" ist gescheitert: ") + ssh_get_error(session) + ".";
        return false;
    }
    const int methods = ssh_userauth_list(session, nullptr);
    if ((methods & SSH_AUTH_METHOD_PUBLICKEY) != 0) {
        rc = ssh_userauth_publickey_auto(session, nullptr, nullptr);
        if (rc == SSH_AUTH_SUCCESS) return true;
    }
    RemoteLoginUi* ui = prompting.ui;
    if (ui != nullptr && !prompting.declined && (methods & SSH_AUTH_METHOD_INTERACTIVE) != 0) {
        for (int round = 0; round < 3; ++round) {
            rc = ssh_userauth_kbdint(session, nullptr, nullptr);
            while (rc == SSH_AUTH_INFO) {
                const int prompts = ssh_userauth_kbdint_getnprompts(session);
                for (int i = 0; i < prompts; ++i) {
                    char echo = 0;
                    const char* prompt = ssh_userauth_kbdint_getprompt(session, static_cast<unsigned>(i), &echo);
                    std::string text = prompt ? prompt : "";
                    if (text.rfind("Password", 0) == 0 || text.rfind("password", 0) == 0)
                        text = Tr("Passwort für ") + Quoted(account) + ":";
                    std::optional<std::string> answer = ui->askSecret(text);
                    if (!answer) {
                        prompting.declined = true;
                        break;
                    }
                    ssh_userauth_kbdint_setanswer(session, static_cast<unsigned>(i), answer->c_str());
                    Wipe(*answer);
                }
                if (prompting.declined) break;
                rc = ssh_userauth_kbdint(session, nullptr, nullptr);
            }
            if (rc == SSH_AUTH_SUCCESS) return true;
            if (prompting.declined || rc == SSH_AUTH_ERROR) break;
        }
    } else if (ui != nullptr && !prompting.declined && (methods & SSH_AUTH_METHOD_PASSWORD) != 0) {
        for (int round = 0; round < 3; ++round) {
            std::optional<std::string> password = ui->askSecret(
                round == 0 ? Tr("Passwort für ") + Quoted(account) + ":" : Tr("Falsches Passwort. Passwort für ") + Quoted(account) + ":");
            if (!password) {
                prompting.declined = true;
                break;
            }
            rc = ssh_userauth_password(session, nullptr, password->c_str());
            Wipe(*password);
            if (rc == SSH_AUTH_SUCCESS) return true;
            if (rc == SSH_AUTH_ERROR) break;
        }
    }
    fault = prompting.declined ? LoginFault::Cancelled : LoginFault::Refused;
    message = prompting.declined
                  ? Tr("Die Anmeldung an ") + Quoted(account) + Tr(" wurde abgebrochen.")
                  : Tr("Die Anmeldung an ") + Quoted(account) +
                        Tr(" wurde abgelehnt: weder der SSH-Agent noch die Schlüssel in ~/.ssh noch ein Passwort wurden "
                        "angenommen.");
    return false;
}

}  // namespace

void LoginCancel::cancel() {
    cancelled_ = true;
    const std::lock_guard lock(mutex_);
    if (socket_ >= 0) shutdown(socket_, SHUT_RDWR);
}

void LoginCancel::setSocket(int fd) {
    const std::lock_guard lock(mutex_);
    socket_ = fd;
    if (fd >= 0 && cancelled_) shutdown(fd, SHUT_RDWR);
}

LoginSettings LoginSettings::Default() {
    LoginSettings settings;
    const char* home = std::getenv("HOME");
    settings.sshFolder = std::string(home && *home ? home : ".") + "/.ssh";
    if (const char* timeout = std::getenv("KIRVO_SFTP_TIMEOUT")) {
        char* end = nullptr;
        const long seconds = std::strtol(timeout, &end, 10);
        if (end != timeout && *end == '\0' && seconds >= 1 && seconds <= 3600)
            settings.replyTimeout = std::chrono::seconds(seconds);
    }
    if (const char* channels = std::getenv("KIRVO_SFTP_CHANNELS")) {
        char* end = nullptr;
        const long n = std::strtol(channels, &end, 10);
        if (end != channels && *end == '\0' && n >= 1 && n <= 8) settings.channels = static_cast<int>(n);
    }
    return settings;
}

ssh_session_struct* LogIn(const RemoteAddress& address, RemoteLoginUi* ui, const LoginSettings& settings,
                          LoginCancel& cancel, LoginFault& fault, std::string& message) {
    fault = LoginFault::None;
    message.clear();
    ssh_session session = ssh_new();
    if (session == nullptr) {
        fault = LoginFault::Failed;
        message = Tr("Zu wenig Speicher für eine Verbindung.");
        return nullptr;
    }
    std::unique_ptr<ssh_session_struct, void (*)(ssh_session)> owned(session, [](ssh_session s) {
        ssh_disconnect(s);
        ssh_free(s);
    });
    const int no = 0;
    ssh_options_set(session, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ssh_options_set(session, SSH_OPTIONS_HOST, address.host.c_str());
    ssh_options_set(session, SSH_OPTIONS_SSH_DIR, settings.sshFolder.c_str());
    const std::string knownHosts = settings.sshFolder + "/known_hosts";
    ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, knownHosts.c_str());
    const std::string config = settings.sshFolder + "/config";
    if (access(config.c_str(), R_OK) == 0) ssh_options_parse_config(session, config.c_str());
    // What the address names wins over the config.
    if (!address.user.empty()) ssh_options_set(session, SSH_OPTIONS_USER, address.user.c_str());
    if (address.port != 0) {
        const unsigned port = static_cast<unsigned>(address.port);
        ssh_options_set(session, SSH_OPTIONS_PORT, &port);
    }
    const long timeout = settings.connectTimeoutSeconds;
    ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &timeout);

    char* hostName = nullptr;
    std::string host = address.host;
    if (ssh_options_get(session, SSH_OPTIONS_HOST, &hostName) == SSH_OK && hostName) {
        host = hostName;
        ssh_string_free_char(hostName);
    }
    char* userName = nullptr;
    std::string user = address.user;
    if (ssh_options_get(session, SSH_OPTIONS_USER, &userName) == SSH_OK && userName) {
        user = userName;
        ssh_string_free_char(userName);
    }
    if (user.empty()) {
        if (const passwd* account = getpwuid(getuid())) user = account->pw_name;
    }
    unsigned port = 22;
    ssh_options_get_port(session, &port);
    const std::string account = user.empty() ? host : user + "@" + host;

    const int fd = ConnectSocket(host, port, settings.connectTimeoutSeconds, cancel, fault, message, address.Machine());
    if (fd < 0) return nullptr;
    ssh_options_set(session, SSH_OPTIONS_FD, &fd);  // the session closes it
    Prompting prompting{ui};
    ssh_callbacks_struct callbacks{};
    callbacks.userdata = &prompting;
    callbacks.auth_function = &AskPassphrase;
    ssh_callbacks_init(&callbacks);
    ssh_set_callbacks(session, &callbacks);

    const auto failed = [&](LoginFault f, std::string text) -> ssh_session_struct* {
        cancel.setSocket(-1);
        fault = cancel.cancelled() ? LoginFault::Cancelled : f;
        message = cancel.cancelled() ? Tr("Die Verbindung zu ") + Quoted(address.Machine()) + Tr(" wurde abgebrochen.") : std::move(text);
        return nullptr;
    };
    if (ssh_connect(session) != SSH_OK)
        return failed(LoginFault::Unreachable,
                      Tr("Keine SSH-Verbindung zu ") + Quoted(host) + ": " + std::string(ssh_get_error(session)) + ".");
    if (!CheckHostKey(session, host, port, settings.sshFolder, ui, settings.acceptNewHostKey, fault, message))
        return failed(fault, message);
    if (!Authenticate(session, account, prompting, fault, message)) return failed(fault, message);
    // The prompting above lives on this stack: the session keeps callbacks that ask nothing.
    static ssh_callbacks_struct none = [] {
        ssh_callbacks_struct c{};
        ssh_callbacks_init(&c);
        return c;
    }();
    ssh_set_callbacks(session, &none);
    cancel.setSocket(-1);
    if (cancel.cancelled()) return failed(LoginFault::Cancelled, {});
    return owned.release();
}

}  // namespace kirvo
