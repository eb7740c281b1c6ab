#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TempDir.h"

namespace testsupport {

// A child process started without a shell, in a process group of its own. It dies with the
// test process (even when the test crashes) and is stopped when the object goes.
class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> env;  // added to (or replacing in) our environment
        std::string stdoutPath;                  // empty: inherit
        std::string stderrPath;                  // empty: inherit
        std::string cwd;                         // empty: inherit
        int passFd = -1;                         // kept open in the child (e.g. -displayfd)
        long fileSizeLimit = -1;  // bytes any file the child writes may reach; -1: no limit
    };

    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess() { stop(std::chrono::milliseconds(2000)); }
    ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool exited() const { return exitCode_ != kRunning; }
    int exitCode() const { return exitCode_; }

    void signal(int sig);
    // Waits for the child's end; returns its exit code (128 + signal when killed), or -1 when
    // it did not end in time (it is then left running).
    int wait(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL to its group if it does not end within the grace period.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

private:
    static constexpr int kRunning = -100000;
    pid_t pid_ = -1;
    int exitCode_ = kRunning;
};

// Runs a command to its end and returns its standard output; exit code through *status.
std::string runAndCapture(const std::vector<std::string>& argv, int* status = nullptr,
                          const std::map<std::string, std::string>& env = {});

}  // namespace testsupport
