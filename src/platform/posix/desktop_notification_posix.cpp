#include <sys/stat.h>

#include <chrono>
#include <cstdlib>

#include "platform/desktop_notification.h"
#include "platform/program_run.h"

namespace kirvo {
namespace {

bool SessionBusKnown() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && address[0] != '\0')
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime != nullptr && runtime[0] == '/' && stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
           S_ISSOCK(info.st_mode);
}

// The body may carry simple markup on some desktops: a file name never does.
std::string WithoutMarkup(const std::string& text) {
    std::string plain;
    for (char c : text) {
        if (c == '&') {
            plain += "&amp;";
        } else if (c == '<') {
            plain += "&lt;";
        } else if (c == '>') {
            plain += "&gt;";
        } else {
            plain += c;
        }
    }
    return plain;
}

}  // namespace

bool ShowDesktopNotification(const std::string& title, const std::string& body) {
    if (!SessionBusKnown() || !IsProgramInPath("notify-send")) return false;
    const ProgramResult result = RunProgram(
        {"notify-send", "--app-name=Kirvo", "--icon=kirvo", "--", title, WithoutMarkup(body)}, std::chrono::seconds(5));
    return result.succeeded();
}

}  // namespace kirvo
