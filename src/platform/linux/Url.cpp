#include "platform/Url.h"

#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

extern char** environ;

namespace platform {

bool openUrl(const std::string& url) {
    // The address goes to xdg-open as one argument: no shell ever parses it.
    std::string program = "xdg-open";
    char* const argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    // Reap the opener when it ends so it does not linger as a zombie; nobody waits for it.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

std::string executableDirectory() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) {
        return "./";
    }
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

}  // namespace platform
