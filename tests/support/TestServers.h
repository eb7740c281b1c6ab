#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ChildProcess.h"

namespace testsupport {

// A private X server (Xvfb, 1920x1080x24, -noreset) on a display number it picks itself.
class XvfbServer {
public:
    XvfbServer(int width = 1920, int height = 1080);
    ~XvfbServer();
    const std::string& display() const { return display_; }  // ":N"

private:
    TempDir dir_;
    ChildProcess process_;
    std::string display_;
};

// A private PulseAudio server: its own runtime directory and home, a null sink "testsink" as
// the default sink (its monitor is then the default source), reached through one socket.
// Nothing system-wide is touched; clients never autospawn another server.
class PulseServer {
public:
    PulseServer();
    ~PulseServer();
    // What PULSE_SERVER must hold for clients to reach it.
    const std::string& serverAddress() const { return address_; }
    const std::string& clientConfig() const { return clientConfig_; }
    // Environment for a client process (pactl, paplay, the recorder).
    std::map<std::string, std::string> clientEnv() const;
    // Runs pactl against this server; returns its output.
    std::string pactl(const std::vector<std::string>& args, int* status = nullptr) const;
    void kill();  // ends the server at once (for fault tests)
    bool running() const { return process_.started() && !process_.exited(); }

private:
    TempDir dir_;
    ChildProcess process_;
    std::string address_;
    std::string clientConfig_;
};

// Global environments: start the server before the first test of a binary, point this process
// at it (DISPLAY, PULSE_SERVER) and stop it after the last, whatever the tests did.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static XvfbServer* server();

private:
    static std::unique_ptr<XvfbServer> server_;
};

class PulseEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    static PulseServer* server();

private:
    static std::unique_ptr<PulseServer> server_;
};

// The directory with the built program (screen-capturer) and the source tree.
std::string binaryDir();
std::string sourceDir();

}  // namespace testsupport
