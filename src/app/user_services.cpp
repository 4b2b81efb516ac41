#include "app/user_services.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/program_run.h"

namespace kirvo {

bool UserServices::Running() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime != nullptr && runtime[0] == '/' &&
           stat((std::string(runtime) + "/systemd/private").c_str(), &info) == 0;
}

bool UserServices::Systemctl(const std::vector<std::string>& words, std::string& message) {
    std::vector<std::string> argv = {"systemctl", "--user"};
    argv.insert(argv.end(), words.begin(), words.end());
    const ProgramResult result = RunProgram(argv, std::chrono::seconds(30));
    if (result.succeeded()) return true;
    message = !result.started    ? std::string("systemctl ist nicht installiert")
              : !result.finished ? std::string("systemctl antwortet nicht")
                                 : result.output;
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    if (message.empty()) message = "systemctl endete mit " + std::to_string(result.status);
    return false;
}

bool UserServices::Lingering() {
    const passwd* user = getpwuid(getuid());
    struct stat info {};
    return user != nullptr && stat((std::string("/var/lib/systemd/linger/") + user->pw_name).c_str(), &info) == 0;
}

}  // namespace kirvo
