#include "ChildProcess.h"

#include "Await.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace testsupport {

namespace {

void redirect(const std::string& path, int fd) {
    const int out = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
        ::dup2(out, fd);
        ::close(out);
    }
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ > 0) {
        return;
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127);
    }
    ::setpgid(0, 0);
    for (const auto& [k, v] : options.env) {
        ::setenv(k.c_str(), v.c_str(), 1);
    }
    if (options.fileSizeLimit >= 0) {
        const auto limit = static_cast<rlim_t>(options.fileSizeLimit);
        const rlimit both{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &both);
    }
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) {
        ::_exit(127);
    }
    redirect(options.stdoutPath, 1);
    redirect(options.stderrPath, 2);
    // Close what the test process holds open, except what the child is meant to get.
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != options.passFd) {
            ::close(fd);
        }
    }
    ::execvp(args[0], args.data());
    ::_exit(127);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        stop();
        pid_ = std::exchange(other.pid_, -1);
        exitCode_ = other.exitCode_;
    }
    return *this;
}

void ChildProcess::signal(int sig) {
    if (started() && !exited()) {
        ::kill(pid_, sig);
    }
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (!started()) {
        return -1;
    }
    // Polled: there is no portable event to block on with a timeout.
    waitFor(
        [this] {
            int status = 0;
            const pid_t r = exited() ? 0 : ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (r < 0) {
                exitCode_ = -1;
            }
            return exited();
        },
        timeout, "the child to end");
    return exited() ? exitCode_ : -1;
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (!started() || exited()) {
        return;
    }
    ::kill(pid_, SIGTERM);
    if (wait(grace) == -1 && !exited()) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        wait(std::chrono::milliseconds(5000));
    }
}

std::string runAndCapture(const std::vector<std::string>& argv, int* status,
                          const std::map<std::string, std::string>& env) {
    TempDir dir;
    ChildProcess child(argv, {env, dir.file("out"), dir.file("err")});
    const int code = child.wait(std::chrono::minutes(5));
    if (status != nullptr) {
        *status = code;
    }
    return readFile(dir.file("out"));
}

}  // namespace testsupport
