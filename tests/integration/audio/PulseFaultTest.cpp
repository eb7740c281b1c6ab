// What the sound server can do wrong: be missing, say nothing, or die during a recording.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "../../unit/audio/AudioTestHelpers.h"
#include "ChildProcess.h"
#include "TestServers.h"
#include "audio/AudioManager.h"
#include "audio/Silence.h"
#include "base/Log.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Points this process at another server address for one test.
class ScopedServerAddress {
  public:
    explicit ScopedServerAddress(const std::string& address) {
        if (const char* old = std::getenv("PULSE_SERVER")) {
            old_ = old;
        }
        ::setenv("PULSE_SERVER", address.c_str(), 1);
    }
    ~ScopedServerAddress() {
        if (old_) {
            ::setenv("PULSE_SERVER", old_->c_str(), 1);
        } else {
            ::unsetenv("PULSE_SERVER");
        }
    }

  private:
    std::optional<std::string> old_;
};

// Waits for what the worker threads bring about; bounded so a fault fails instead of hanging.
bool eventually(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = steady_clock::now() + limit;
    while (!done()) {
        if (steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

class PulseFaultTest : public ::testing::Test {
  protected:
    void SetUp() override { EnableLog(dir_.file("trace.log")); }
    void TearDown() override { DisableLog(); }
    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    testsupport::TempDir dir_;
};

TEST_F(PulseFaultTest, WithoutAServerOpeningFailsCleanlyAndStartsNone) {
    ScopedServerAddress nowhere("unix:" + dir_.file("no-server-here"));
    AudioManager manager;
    EXPECT_LT(manager.OpenDevice(AudioManager::kMicrophone), 0);
    EXPECT_LT(manager.OpenDevice(AudioManager::kSpeaker), 0);
    EXPECT_FALSE(manager.microphoneOn());
    EXPECT_FALSE(manager.speakerOn());
    EXPECT_EQ(manager.Initialize(nullptr), 1);
    const std::string text = log();
    for (const char* line :
         {"Try to open default microphone device", "Can't create IMMDeviceEnumerator",
          "Try to open default speaker device", "Failed open default speaker device"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    EXPECT_EQ(text.find("Succeed open"), std::string::npos);

    Silence silence;
    testing::internal::CaptureStdout();
    EXPECT_EQ(silence.Start(), platform::audiohr::kFail);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("CoCreateInstance"), std::string::npos);
}

TEST_F(PulseFaultTest, AServerThatNeverAnswersIsGivenUpOn) {
    // A socket that accepts connections into its backlog and never says a word.
    const std::string path = dir_.file("mute");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    {
        ScopedServerAddress mute("unix:" + path);
        AudioManager manager;
        EXPECT_LT(manager.OpenDevice(AudioManager::kSpeaker), 0);
        EXPECT_FALSE(manager.speakerOn());
    }
    ::close(fd);
    EXPECT_NE(log().find("Can't create IMMDeviceEnumerator"), std::string::npos);
}

TEST_F(PulseFaultTest, AServerKilledDuringCaptureNeitherCrashesNorHangsStopAndRelease) {
    testsupport::PulseServer server;
    ScopedServerAddress here(server.serverAddress());
    auto encoder = audiotest::openAacEncoder(48000);
    ASSERT_TRUE(encoder);
    AudioManager manager;
    ASSERT_EQ(manager.OpenDevice(AudioManager::kMicrophone), 0);
    ASSERT_EQ(manager.OpenDevice(AudioManager::kSpeaker), 0);
    ASSERT_EQ(manager.Initialize(encoder.get()), 0);
    ASSERT_EQ(manager.Start(), 0);
    AudioMixer* mixer = manager.mixer();
    ASSERT_TRUE(eventually([&] { return mixer->micFed() >= 5 && mixer->speakerFed() >= 5; },
                           std::chrono::seconds(20)));

    server.kill();
    ASSERT_FALSE(server.running());
    // The streams are gone, yet the chunk stream keeps pace: long gaps become silence.
    const uint32_t fedAtKill = mixer->micFed();
    EXPECT_TRUE(
        eventually([&] { return mixer->micFed() >= fedAtKill + 30; }, std::chrono::seconds(20)));
    audiotest::FramePtr frame(av_frame_alloc());
    int pulled = 0;
    while (manager.PullFrame(frame.get()) >= 0) {
        av_frame_unref(frame.get());
        ++pulled;
    }
    EXPECT_GT(pulled, 0);

    EXPECT_EQ(manager.Stop(), 0);
    manager.Release();
    EXPECT_FALSE(manager.microphoneOn() || manager.speakerOn());
    // Opening again finds no server and says so.
    EXPECT_LT(manager.OpenDevice(AudioManager::kMicrophone), 0);
}

}  // namespace
