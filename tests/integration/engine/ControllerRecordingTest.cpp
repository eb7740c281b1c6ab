// Whole recordings through the controller on a private X server and a private PulseAudio
// server, with a tone playing into the default sink (recorded both through loopback and
// through the sink's monitor, the default source) and the synthetic camera beside the screen.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "../../unit/engine/RecordingFakes.h"
#include "AudioSignals.h"
#include "Await.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticCameraDriver.h"
#include "TestServers.h"
#include "audio/AudioManager.h"
#include "base/HResult.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using D = platform::SyntheticCameraDriver;
using namespace std::chrono_literals;

const Rect kArea{200, 100, 840, 580};  // 640 x 480 of the test desktop

class ControllerRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(audiotest::writeTone(dir_.file("tone.wav"), "20"));
        // An idle null sink renders seconds ahead, so a stream that starts listening to its
        // monitor hears nothing until that time has passed; a sound card, and a desktop sink
        // somebody listens to, keep pace. A listener of our own puts the sink in step with
        // short periods before anything is recorded.
        testsupport::ChildProcess::Options options;
        options.stdoutPath = dir_.file("listener.raw");
        listener_ = testsupport::ChildProcess(
            {"parec", "--raw", "--latency-msec=10", "-d", "testsink.monitor"}, options);
        ASSERT_TRUE(testsupport::waitForFile(
            dir_.file("listener.raw"), [](const std::string& data) { return !data.empty(); }, 10s));
        tone_ =
            testsupport::ChildProcess({"paplay", "--latency-msec=50", dir_.file("tone.wav")}, {});
        c_ = std::make_unique<Controller>(platform::AudioEndpointFactory::system(), camera_);
        ASSERT_EQ(c_->audio().OpenDevice(AudioManager::kMicrophone), 0);
        ASSERT_EQ(c_->audio().OpenDevice(AudioManager::kSpeaker), 0);
    }

    testsupport::TempDir dir_;
    testsupport::ChildProcess listener_;
    testsupport::ChildProcess tone_;
    recordingfakes::ObservedCameraService camera_{platform::createSyntheticCameraService()};
    std::unique_ptr<Controller> c_;
};

// Both files are recorded in fragments and finished into regular files after the stop.
TEST_F(ControllerRecordingTest, ScreenSoundAndCameraGiveStreamsThatEndTogether) {
    ASSERT_EQ(c_->camera().openDevice(0), S_OK);
    const std::string path = dir_.file("screen.mp4");
    const std::string cameraPath = dir_.file("camera.mp4");
    ASSERT_EQ(c_->init(path, kArea, 30, 1500000, cameraPath), S_OK);
    ASSERT_EQ(c_->start(), S_OK);
    std::this_thread::sleep_for(3s);  // the length of the recording
    testsupport::returnsWithin(30s, "the stop", [&] { c_->stop(); });
    const std::regex fragments("ftyp moov (moof mdat )+mfra"), regular("ftyp moov (free )?mdat");
    for (const std::string& file : {path, cameraPath}) {
        EXPECT_TRUE(std::regex_match(testsupport::topLevelBoxes(file), fragments)) << file;
    }
    std::atomic<int32_t> percent{-1};
    testsupport::Event finished;
    ASSERT_TRUE(c_->finishFiles([&](int32_t p) { percent = p; }, [&] { finished.set(); }));
    ASSERT_TRUE(finished.wait(30s, "the files to be finished"));
    EXPECT_EQ(percent.load(), 100);
    for (const std::string& file : {path, cameraPath}) {
        EXPECT_TRUE(std::regex_match(testsupport::topLevelBoxes(file), regular)) << file;
    }
    EXPECT_FALSE(c_->finishFiles([](int32_t) {}, [] {}));  // nothing left to finish

    // Every mixed frame fed before the stop was pulled and encoded, and is in the file: the
    // encoder's one extra frame (the codec's priming samples) is trimmed by the MP4's edit list.
    const Controller::AudioTally tally = c_->audioTally();
    EXPECT_GT(tally.fed, 0u);
    EXPECT_EQ(tally.pulled, tally.fed);
    EXPECT_EQ(tally.encoded, tally.pulled);
    const auto file = testsupport::probeDecodable(path);
    const auto* video = file.first(AVMEDIA_TYPE_VIDEO);
    const auto* sound = file.first(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && sound);
    EXPECT_EQ(video->codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(video->width, kArea.width());
    EXPECT_EQ(video->height, kArea.height());
    EXPECT_EQ(sound->codecId, AV_CODEC_ID_AAC);
    EXPECT_EQ(sound->samples, static_cast<int64_t>(tally.encoded) * sound->frameSize);
    EXPECT_NEAR(video->start + video->duration, sound->start + sound->duration, 0.1);

    // The camera's own file beside it: the camera's size and no sound.
    const auto cam = testsupport::probeDecodable(cameraPath);
    ASSERT_EQ(cam.streams.size(), 1u);
    EXPECT_EQ(cam.streams[0].width, D::kWidth);
    EXPECT_EQ(cam.streams[0].height, D::kHeight);
    EXPECT_GT(cam.streams[0].framePts.size(), 0u);
}

TEST_F(ControllerRecordingTest, PausedTimeIsLeftOutAndStoppingWhilePausedFinishesTheFile) {
    const std::string path = dir_.file("paused.mp4");
    ASSERT_EQ(c_->init(path, kArea, 30, 1500000, ""), S_OK);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(c_->start(), S_OK);
    std::this_thread::sleep_for(1s);
    c_->pause();
    EXPECT_EQ(c_->state(), Controller::Paused);
    std::this_thread::sleep_for(3s);  // the pause
    c_->resume();
    std::this_thread::sleep_for(1s);
    c_->pause();
    testsupport::returnsWithin(30s, "the stop while paused", [&] { c_->stop(); });
    EXPECT_EQ(c_->state(), Controller::Stopped);
    const std::chrono::duration<double> recorded = std::chrono::steady_clock::now() - started - 3s;

    // However slowly the machine recorded, neither stream can hold more than the time
    // recorded, and the sound goes on where it was paused.
    const auto file = testsupport::probeDecodable(path);
    ASSERT_EQ(file.streams.size(), 2u);
    for (const auto& s : file.streams) {
        EXPECT_LT(s.start + s.duration, recorded.count() + 0.2) << s.type;
    }
    EXPECT_NEAR(file.streams[0].start + file.streams[0].duration,
                file.streams[1].start + file.streams[1].duration, 0.1);
}

}  // namespace
