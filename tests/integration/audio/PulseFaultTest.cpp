// What the sound server can do wrong: be missing, say nothing, or die during a recording.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "AudioSignals.h"
#include "Await.h"
#include "ChildProcess.h"
#include "TestServers.h"
#include "audio/AudioManager.h"
#include "audio/Silence.h"
#include "base/Log.h"

namespace {

using namespace std::chrono_literals;

// Points this process at another sound server for as long as it lives (the test server's
// environment has set the address it restores).
struct ScopedServerAddress {
    explicit ScopedServerAddress(const std::string& address) {
        ::setenv("PULSE_SERVER", address.c_str(), 1);
    }
    ~ScopedServerAddress() { ::setenv("PULSE_SERVER", old.c_str(), 1); }
    const std::string old = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
};

TEST(PulseFault, WithoutAServerOrWithOneThatNeverAnswersNothingOpensAndNothingHangs) {
    testsupport::TempDir dir;
    // A socket that accepts connections into its backlog and never says a word.
    const int mute = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, dir.file("mute").c_str(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(mute, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(mute, 4), 0);
    for (const std::string& address : {dir.file("no-server-here"), dir.file("mute")}) {
        SCOPED_TRACE(address);
        ScopedServerAddress there("unix:" + address);
        AudioManager manager;
        EXPECT_LT(manager.OpenDevice(AudioManager::kMicrophone), 0);
        EXPECT_LT(manager.OpenDevice(AudioManager::kSpeaker), 0);
        EXPECT_FALSE(manager.microphoneOn() || manager.speakerOn());
        EXPECT_EQ(manager.Initialize(nullptr), 1);  // nothing to record
        EXPECT_EQ(Silence().Start(), platform::audiohr::kFail);
    }
    ::close(mute);
}

TEST(PulseFault, AServerKilledDuringARecordingNeitherCrashesNorHangsAndGapsBecomeSilence) {
    testsupport::PulseServer server;
    ScopedServerAddress here(server.serverAddress());
    auto encoder = audiotest::openAacEncoder(48000);
    AudioManager manager;
    ASSERT_EQ(manager.OpenDevice(AudioManager::kMicrophone), 0);
    ASSERT_EQ(manager.OpenDevice(AudioManager::kSpeaker), 0);
    ASSERT_EQ(manager.Initialize(encoder.get()), 0);
    ASSERT_EQ(manager.Start(), 0);
    AudioMixer* mixer = manager.mixer();
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return mixer->micFed() >= 5 && mixer->speakerFed() >= 5; }, 20s, "sound"));
    server.kill();
    ASSERT_FALSE(server.running());
    // The streams are gone, yet the chunk stream keeps pace: long gaps become silence.
    const uint32_t fedAtKill = mixer->micFed();
    EXPECT_TRUE(testsupport::waitFor([&] { return mixer->micFed() >= fedAtKill + 30; }, 20s,
                                     "silence in place of the lost stream"));
    audiotest::FramePtr frame(av_frame_alloc());
    int pulled = 0;
    for (; manager.PullFrame(frame.get()) >= 0; ++pulled) {
        av_frame_unref(frame.get());
    }
    EXPECT_GT(pulled, 0);
    testsupport::returnsWithin(20s, "the stop", [&] { EXPECT_EQ(manager.Stop(), 0); });
    manager.Release();
    EXPECT_LT(manager.OpenDevice(AudioManager::kMicrophone), 0);  // no server any more
}

}  // namespace
