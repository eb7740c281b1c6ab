#include "TestServers.h"

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "Await.h"

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>

namespace testsupport {

using namespace std::chrono_literals;

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
    pollfd pfd{fds[0], POLLIN, 0};
    for (char c = 0; ::poll(&pfd, 1, 20000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n';) {
        display_.push_back(c);
    }
    ::close(fds[0]);
    if (display_.empty()) {
        throw std::runtime_error("Xvfb did not start: " + readFile(dir_.file("xvfb.log")));
    }
    display_.insert(0, ":");
}

void XvfbServer::exportEnv() const {
    ::setenv("DISPLAY", display_.c_str(), 1);
}

WindowManager::WindowManager(const std::string& display) {
    for (const char* sub : {"/home", "/config", "/cache"}) {
        std::filesystem::create_directories(dir_.path() + sub);
    }
    ChildProcess::Options options;
    options.env = {{"DISPLAY", display},
                   {"HOME", dir_.path() + "/home"},
                   {"XDG_CONFIG_HOME", dir_.path() + "/config"},
                   {"XDG_CACHE_HOME", dir_.path() + "/cache"}};
    options.stderrPath = dir_.file("openbox.log");
    process_ = ChildProcess({"openbox", "--sm-disable"}, options);

    // Ready once it manages a window: it has reparented a probe window into a frame of its
    // own. Owning WM_S0 comes first, but a window mapped during the seconds openbox then
    // still spends starting is never managed, so the probe is mapped anew until it is.
    std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(display.c_str()),
                                                           XCloseDisplay);
    if (!connection) {
        throw std::runtime_error("cannot connect to " + display);
    }
    Display* d = connection.get();
    const Window root = DefaultRootWindow(d);
    const Window probe = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, 0);
    auto lastMap = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    const auto managing = [&] {
        Window rootReturn = 0;
        Window parent = root;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(d, probe, &rootReturn, &parent, &children, &count)) {
            XFree(children);
        }
        if (parent == root && std::chrono::steady_clock::now() - lastMap > 250ms) {
            XUnmapWindow(d, probe);
            XMapWindow(d, probe);
            lastMap = std::chrono::steady_clock::now();
        }
        return parent != root;
    };
    const auto ready =
        waitFor([&] { return process_.wait(std::chrono::milliseconds(0)) != -1 || managing(); },
                std::chrono::seconds(20), "openbox to manage a window");
    XDestroyWindow(d, probe);
    XSync(d, False);
    if (!ready || process_.exited()) {
        throw std::runtime_error(std::string(ready ? "openbox ended" : ready.message()) + ": " +
                                 readFile(dir_.file("openbox.log")));
    }
}

PulseServer::PulseServer() : address_("unix:" + dir_.file("native")) {
    for (const char* sub : {"/runtime", "/home", "/config"}) {
        std::filesystem::create_directories(dir_.path() + sub);
    }
    std::ofstream(dir_.file("default.pa"))
        << "load-module module-native-protocol-unix socket=" << dir_.file("native")
        << " auth-anonymous=1\n"
        << "load-module module-null-sink sink_name=testsink rate=48000 channels=2\n"
        << "set-default-sink testsink\n";
    std::ofstream(dir_.file("client.conf")) << "autospawn = no\n";

    ChildProcess::Options options;
    options.env = {{"PULSE_RUNTIME_PATH", dir_.path() + "/runtime"},
                   {"XDG_RUNTIME_DIR", dir_.path() + "/runtime"},
                   {"HOME", dir_.path() + "/home"},
                   {"XDG_CONFIG_HOME", dir_.path() + "/config"}};
    options.stderrPath = dir_.file("pulse.log");
    process_ = ChildProcess(
        {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
         "--disable-shm=yes", "-F", dir_.file("default.pa"), "--log-target=stderr"},
        options);
    // Ready when the server answers; there is no readiness event to wait on.
    for (int i = 0; i < 200 && running(); ++i) {
        int status = -1;
        pactl({"info"}, &status);
        if (status == 0) {
            return;
        }
        process_.wait(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("PulseAudio did not start: " + readFile(dir_.file("pulse.log")));
}

std::map<std::string, std::string> PulseServer::clientEnv() const {
    return {{"PULSE_SERVER", address_}, {"PULSE_CLIENTCONFIG", dir_.file("client.conf")}};
}

void PulseServer::exportEnv() const {
    for (const auto& [k, v] : clientEnv()) {
        ::setenv(k.c_str(), v.c_str(), 1);
    }
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

std::string binaryDir() {
    return SC_BINARY_DIR;
}
}  // namespace testsupport
