// The private servers every later suite relies on: reachable, isolated, and configured as
// the suites expect.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestServers.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse =
    ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

TEST(TestServers, XvfbIsReachableAtTheFullHdSize) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr);
    int status = -1;
    const std::string out = testsupport::runAndCapture({"xdpyinfo"}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(out.find("dimensions:    1920x1080 pixels"), std::string::npos) << out;
    EXPECT_NE(out.find("MIT-SHM"), std::string::npos);
}

TEST(TestServers, PulseHasANullSinkAsDefaultAndItsMonitorAsSource) {
    auto* pulse = testsupport::PulseEnvironment::server();
    ASSERT_NE(pulse, nullptr);
    int status = -1;
    const std::string info = pulse->pactl({"info"}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(info.find("Default Sink: testsink"), std::string::npos) << info;
    EXPECT_NE(info.find("Default Source: testsink.monitor"), std::string::npos) << info;
    // This process is pointed at the private server, not a system one.
    EXPECT_EQ(std::string(std::getenv("PULSE_SERVER")), pulse->serverAddress());
}

TEST(TestServers, TwoXServersGetDifferentDisplays) {
    testsupport::XvfbServer other(320, 240);
    EXPECT_NE(other.display(), testsupport::XvfbEnvironment::server()->display());
}

}  // namespace
