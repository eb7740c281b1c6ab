#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A child process started without a shell. It dies with the test process (even when the test
// crashes) and is killed when the object goes.
class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> env;  // added to (or replacing in) our environment
        std::string stdoutPath;                  // empty: inherit
        std::string stderrPath;                  // empty: inherit
        std::string cwd;                         // empty: inherit
        int passFd = -1;
        long fileSizeLimit = -1;  // bytes any file the child writes may reach; -1: no limit                         // kept open in the child (e.g. -displayfd)
        bool dieWithParent = true;
    };

    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    void signal(int sig);
    // Waits for the child's end; returns its exit code (128 + signal when killed), or -1 when
    // it did not end in time (it is then left running).
    int wait(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL if it does not end within the grace period.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    bool exited() const { return exitCode_ != kRunning; }
    int exitCode() const { return exitCode_; }

private:
    static constexpr int kRunning = -100000;
    pid_t pid_ = -1;
    int exitCode_ = kRunning;
};

// Runs a command to its end and returns its standard output; exit code through *status.
std::string runAndCapture(const std::vector<std::string>& argv, int* status = nullptr,
                          const std::map<std::string, std::string>& env = {});

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);

// Waits until the file's content satisfies the predicate (polled: a file gives no event).
bool waitForFile(const std::string& path, const std::function<bool(const std::string&)>& ready,
                 std::chrono::milliseconds timeout);
bool fileExists(const std::string& path);

}  // namespace testsupport
