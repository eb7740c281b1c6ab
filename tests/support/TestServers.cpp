#include "TestServers.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

XvfbServer::XvfbServer(int width, int height) {
    int fds[2];
    if (::pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ChildProcess::Options options;
    options.passFd = fds[1];
    options.stderrPath = dir_.file("xvfb.log");
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    process_ = ChildProcess({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                             "-noreset", "-nolisten", "tcp", "+extension", "MIT-SHM"},
                            options);
    ::close(fds[1]);
    // Xvfb writes the display number when it is ready to accept connections.
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (::poll(&pfd, 1, 20000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number.push_back(c);
    }
    ::close(fds[0]);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not start: " + readFile(dir_.file("xvfb.log")));
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() { process_.stop(); }

PulseServer::PulseServer() {
    const std::string socket = dir_.file("native");
    for (const char* sub : {"/runtime", "/home", "/config"}) {
        std::filesystem::create_directories(dir_.path() + sub);
    }
    {
        std::ofstream pa(dir_.file("default.pa"));
        pa << "load-module module-native-protocol-unix socket=" << socket
           << " auth-anonymous=1\n"
           << "load-module module-null-sink sink_name=testsink rate=48000 channels=2\n"
           << "set-default-sink testsink\n";
        std::ofstream client(dir_.file("client.conf"));
        client << "autospawn = no\n";
    }
    address_ = "unix:" + socket;
    clientConfig_ = dir_.file("client.conf");

    ChildProcess::Options options;
    options.env = {{"PULSE_RUNTIME_PATH", dir_.path() + "/runtime"},
                   {"XDG_RUNTIME_DIR", dir_.path() + "/runtime"},
                   {"HOME", dir_.path() + "/home"},
                   {"XDG_CONFIG_HOME", dir_.path() + "/config"}};
    options.stderrPath = dir_.file("pulse.log");
    process_ = ChildProcess({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                             "--use-pid-file=no", "--disable-shm=yes", "-F",
                             dir_.file("default.pa"), "--log-target=stderr"},
                            options);
    // Ready when the server answers; there is no readiness event to wait on.
    for (int i = 0; i < 200; ++i) {
        int status = -1;
        pactl({"info"}, &status);
        if (status == 0) {
            return;
        }
        if (process_.wait(std::chrono::milliseconds(0)) != -1) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("PulseAudio did not start: " + readFile(dir_.file("pulse.log")));
}

PulseServer::~PulseServer() { process_.stop(); }

std::map<std::string, std::string> PulseServer::clientEnv() const {
    return {{"PULSE_SERVER", address_}, {"PULSE_CLIENTCONFIG", clientConfig_}};
}

std::string PulseServer::pactl(const std::vector<std::string>& args, int* status) const {
    std::vector<std::string> argv{"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runAndCapture(argv, status, clientEnv());
}

void PulseServer::kill() {
    process_.signal(SIGKILL);
    process_.wait(std::chrono::milliseconds(5000));
}

std::unique_ptr<XvfbServer> XvfbEnvironment::server_;
std::unique_ptr<PulseServer> PulseEnvironment::server_;

void XvfbEnvironment::SetUp() {
    server_ = std::make_unique<XvfbServer>();
    ::setenv("DISPLAY", server_->display().c_str(), 1);
}

void XvfbEnvironment::TearDown() { server_.reset(); }

XvfbServer* XvfbEnvironment::server() { return server_.get(); }

void PulseEnvironment::SetUp() {
    server_ = std::make_unique<PulseServer>();
    for (const auto& [k, v] : server_->clientEnv()) {
        ::setenv(k.c_str(), v.c_str(), 1);
    }
}

void PulseEnvironment::TearDown() { server_.reset(); }

PulseServer* PulseEnvironment::server() { return server_.get(); }

std::string binaryDir() { return SC_BINARY_DIR; }
std::string sourceDir() { return SC_SOURCE_DIR; }

}  // namespace testsupport
