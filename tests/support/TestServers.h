#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ChildProcess.h"

namespace testsupport {

// A private X server (Xvfb, -noreset, MIT-SHM) on a display number it picks itself.
class XvfbServer {
public:
    XvfbServer(int width = 1920, int height = 1080);
    const std::string& display() const { return display_; }  // ":N"
    // Points this process at the server.
    void exportEnv() const;

private:
    TempDir dir_;
    ChildProcess process_;
    std::string display_;
};

// A window manager (openbox) on a display, with a home and configuration of its own, ready
// once it has taken over the screen (it owns the WM_S0 selection); killed when the object goes.
class WindowManager {
public:
    explicit WindowManager(const std::string& display);

private:
    TempDir dir_;
    ChildProcess process_;
};

// Xvfb with a window manager on it, for tests of windows as users have them (decorated,
// stacked and focused by the manager).
class XvfbWithWindowManager {
public:
    XvfbWithWindowManager() : manager_(xvfb_.display()) {}
    const std::string& display() const { return xvfb_.display(); }
    void exportEnv() const { xvfb_.exportEnv(); }

private:
    XvfbServer xvfb_;  // first up, last down
    WindowManager manager_;
};

// A private PulseAudio server: its own runtime directory and home, a null sink "testsink" as
// the default sink (its monitor is then the default source), reached through one socket.
// Nothing system-wide is touched; clients never autospawn another server.
class PulseServer {
public:
    PulseServer();
    // What PULSE_SERVER must hold for clients to reach it.
    const std::string& serverAddress() const { return address_; }
    // Environment for a client process (pactl, paplay, the recorder).
    std::map<std::string, std::string> clientEnv() const;
    void exportEnv() const;
    // Runs pactl against this server; returns its output.
    std::string pactl(const std::vector<std::string>& args, int* status = nullptr) const;
    void kill();  // ends the server at once (for fault tests)
    bool running() const { return process_.started() && !process_.exited(); }

private:
    TempDir dir_;
    ChildProcess process_;
    std::string address_;
};

// A global environment: starts the server before the first test of a binary, points this
// process at it (DISPLAY, PULSE_SERVER) and stops it after the last, whatever the tests did.
template <typename Server>
class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        server_ = std::make_unique<Server>();
        server_->exportEnv();
    }
    void TearDown() override { server_.reset(); }
    static Server* server() { return server_.get(); }

private:
    static inline std::unique_ptr<Server> server_;
};
using XvfbEnvironment = ServerEnvironment<XvfbServer>;
using PulseEnvironment = ServerEnvironment<PulseServer>;
using XvfbWithWindowManagerEnvironment = ServerEnvironment<XvfbWithWindowManager>;

// The directory with the built program (screen-capturer).
std::string binaryDir();

}  // namespace testsupport
