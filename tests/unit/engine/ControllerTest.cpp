// The controller with a counting desktop, scripted sound endpoints and the synthetic (or a
// scripted) camera: which threads a recording runs, what goes into the files, failures while
// preparing, the state rules, and the order in which stop lets go of things.
#include "engine/Controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CameraFakes.h"
#include "ChildProcess.h"
#include "FakeAudioEndpoint.h"
#include "MediaProbe.h"
#include "RecordingFakes.h"
#include "SyntheticCameraDriver.h"
#include "audio/AudioManager.h"
#include "base/HResult.h"
#include "camera/StreamingCameraService.h"
#include "engine/CameraCapture.h"
#include "engine/Encoder.h"
#include "engine/RecordingClock.h"
#include "engine/ScreenCapturer.h"
#include "platform/linux/V4l2CameraDriver.h"

namespace {

using camerafakes::ScriptedDriver;
using fakeaudio::FakeDevice;
using platform::CameraService;
using platform::DataFlow;
using recordingfakes::CountingScreen;
using recordingfakes::ObservedCameraService;
using recordingfakes::ScreenLog;
using D = platform::SyntheticCameraDriver;

const Rect kArea{100, 50, 420, 290};  // 320 x 240

const testsupport::ProbedStream* streamOf(const testsupport::ProbedFile& f, AVMediaType type) {
    for (const auto& s : f.streams) {
        if (s.type == type) {
            return &s;
        }
    }
    return nullptr;
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override { useCamera(platform::createSyntheticCameraService()); }

    // The camera the next controller is made with, observed.
    void useCamera(std::unique_ptr<CameraService> inner) {
        auto observed = std::make_unique<ObservedCameraService>(std::move(inner));
        camera_ = observed.get();
        cameraOwned_ = std::move(observed);
    }

    std::unique_ptr<Controller> makeController() {
        auto c = std::make_unique<Controller>(audio_, *camera_);
        c->screenCapturer().useScreen(std::make_unique<CountingScreen>(screen_));
        return c;
    }

    FakeDevice& mic() { return audio_.device(DataFlow::Capture); }

    // Pushes one packet and waits until the capture thread has certainly taken it.
    void deliverSound(uint32_t frames, int16_t first) {
        mic().pushCounting(frames, first);
        ASSERT_TRUE(mic().awaitConsumed(std::chrono::seconds(20)));
    }

    testsupport::TempDir dir_;
    fakeaudio::FakeFactory audio_{true};
    std::shared_ptr<ScreenLog> screen_ = std::make_shared<ScreenLog>();
    std::unique_ptr<CameraService> cameraOwned_;
    ObservedCameraService* camera_ = nullptr;
};

TEST_F(ControllerTest, TheScreenIsRecordedByTheVideoThreadAndLetGoBeforeTheFileIsFinished) {
    auto c = makeController();
    EXPECT_EQ(c->state(), Controller::Created);
    const std::string path = dir_.file("screen.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, ""), S_OK);
    EXPECT_EQ(c->state(), Controller::Ready);
    EXPECT_EQ(c->outputPath(), path);
    EXPECT_EQ(c->screenCapturer().area(), kArea);

    // The desktop goes once the video thread has ended and while the file is still open.
    bool encoderOpenAtRelease = false;
    bool grabbingAtRelease = true;
    screen_->onDestroy = [&] {
        encoderOpenAtRelease = c->encoder().isOpen();
        grabbingAtRelease = screen_->grabbing;
    };

    ASSERT_EQ(c->start(), S_OK);
    EXPECT_EQ(c->state(), Controller::Recording);
    EXPECT_TRUE(c->videoThreadStarted());
    EXPECT_FALSE(c->audioThreadStarted());  // no sound source
    ASSERT_TRUE(screen_->waitForGrabs(8));
    c->stop();
    EXPECT_EQ(c->state(), Controller::Stopped);
    EXPECT_FALSE(c->videoThreadStarted());
    EXPECT_TRUE(screen_->destroyed);
    EXPECT_TRUE(encoderOpenAtRelease);
    EXPECT_FALSE(grabbingAtRelease);
    EXPECT_EQ(screen_->grabsAfterDestroy, 0);
    EXPECT_FALSE(c->encoder().isOpen());

    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.openError, 0);
    ASSERT_EQ(file.streams.size(), 1u);
    EXPECT_EQ(file.streams[0].width, kArea.width());
    EXPECT_EQ(file.streams[0].height, kArea.height());
    EXPECT_EQ(file.streams[0].decodeErrors, 0);
    // Each grab is one frame unless two fell into one tick of the 1/30 time base.
    EXPECT_GE(static_cast<int>(file.streams[0].framePts.size()), screen_->grabs / 2);
    EXPECT_LE(static_cast<int>(file.streams[0].framePts.size()), screen_->grabs.load());
}

TEST_F(ControllerTest, OnlyCameraWithoutSoundRunsNoThreadAndTheCameraStopsBeforeTheFileCloses) {
    auto c = makeController();
    c->camera().setOnlyCamera(true);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    const std::string path = dir_.file("main.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, dir_.file("camera.mp4")), S_OK);
    EXPECT_EQ(c->encoder().videoCodecContext()->width, D::kWidth);
    EXPECT_EQ(c->encoder().audioCodecContext(), nullptr);

    std::vector<std::string> heard;
    camera_->beforeCall = [&](const std::string& call) {
        heard.push_back(call + (c->encoder().isOpen() ? " (main open)" : " (main closed)"));
    };
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_FALSE(c->videoThreadStarted());
    EXPECT_FALSE(c->audioThreadStarted());
    ASSERT_TRUE(camera_->delivered.waitFor(8));
    c->stop();
    EXPECT_EQ(heard, (std::vector<std::string>{"run (main open)", "stop (main open)",
                                               "release (main open)"}));
    EXPECT_EQ(screen_->grabs, 0);
    EXPECT_FALSE(testsupport::fileExists(dir_.file("camera.mp4")));

    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.streams.size(), 1u);
    EXPECT_EQ(file.streams[0].width, D::kWidth);
    EXPECT_EQ(file.streams[0].height, D::kHeight);
    EXPECT_GE(file.streams[0].framePts.size(), 4u);
    EXPECT_EQ(file.streams[0].decodeErrors, 0);
}

TEST_F(ControllerTest, OnlyCameraWithSoundRunsTheAudioThreadAloneAndEncodesAllThatWasMixed) {
    auto c = makeController();
    c->camera().setOnlyCamera(true);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    ASSERT_EQ(c->audio().OpenDevice(AudioManager::kMicrophone), 0);
    const std::string path = dir_.file("main.mkv");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, dir_.file("camera.mp4")), S_OK);
    ASSERT_NE(c->encoder().audioCodecContext(), nullptr);
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_FALSE(c->videoThreadStarted());
    EXPECT_TRUE(c->audioThreadStarted());
    for (int i = 0; i < 12; ++i) {
        deliverSound(1024, static_cast<int16_t>(i * 2048));
    }
    // Stopped with the last chunks still on their way through the mixer.
    c->stop();
    const Controller::AudioTally tally = c->audioTally();
    EXPECT_EQ(tally.fed, 12u);
    EXPECT_EQ(tally.pulled, tally.fed);
    EXPECT_EQ(tally.encoded, tally.pulled);
    EXPECT_EQ(screen_->grabs, 0);

    const auto file = testsupport::probeMedia(path);
    const auto* sound = streamOf(file, AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->decodeErrors, 0);
    // Every frame encoded is in the file, behind the codec's one frame of priming.
    EXPECT_EQ(sound->samples, static_cast<int64_t>(tally.encoded + 1) * 1024);
    ASSERT_NE(streamOf(file, AVMEDIA_TYPE_VIDEO), nullptr);
    EXPECT_EQ(streamOf(file, AVMEDIA_TYPE_VIDEO)->width, D::kWidth);
}

TEST_F(ControllerTest, OnlyCameraWithoutACameraPathRecordsTheScreenAndLeavesTheCameraOff) {
    auto c = makeController();
    c->camera().setOnlyCamera(true);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    std::vector<std::string> heard;
    camera_->beforeCall = [&](const std::string& call) { heard.push_back(call); };
    const std::string path = dir_.file("main.mp4");
    ASSERT_EQ(c->init(path, kArea, 24, 1500000, ""), S_OK);
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_TRUE(c->videoThreadStarted());
    ASSERT_TRUE(screen_->waitForGrabs(3));
    c->stop();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "run"), 0);
    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.streams.size(), 1u);
    EXPECT_EQ(file.streams[0].width, kArea.width());
    EXPECT_GE(file.streams[0].framePts.size(), 1u);
}

TEST_F(ControllerTest, ACameraThatFailsWhilePreparedIsDroppedAndTheScreenIsRecorded) {
    // The camera's own file cannot be made.
    {
        auto c = makeController();
        ASSERT_EQ(c->camera().openDevice(0), S_OK);
        const std::string path = dir_.file("a.mp4");
        ASSERT_EQ(c->init(path, kArea, 30, 1500000, dir_.file("missing/camera.mp4")), S_OK);
        EXPECT_FALSE(c->camera().enabled());
        ASSERT_EQ(c->start(), S_OK);
        EXPECT_TRUE(c->videoThreadStarted());
        ASSERT_TRUE(screen_->waitForGrabs(3));
        c->stop();
        EXPECT_EQ(testsupport::probeMedia(path).streams.at(0).width, kArea.width());
    }
    // The chosen device cannot be opened again when the recording is prepared, also in
    // only-camera mode: the screen takes the camera's place.
    auto driver = std::make_unique<ScriptedDriver>();
    ScriptedDriver* d = driver.get();
    d->list = {ScriptedDriver::named(L"unplugged")};
    d->openable = {false};
    useCamera(std::make_unique<platform::StreamingCameraService>(std::move(driver)));
    screen_ = std::make_shared<ScreenLog>();
    auto c = makeController();
    c->camera().setDeviceIndex(0);
    c->camera().setEnabled(true);
    c->camera().setOnlyCamera(true);
    const std::string path = dir_.file("b.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, dir_.file("camera.mp4")), S_OK);
    EXPECT_EQ(d->opened, std::vector<int32_t>{0});
    EXPECT_FALSE(c->camera().enabled());
    EXPECT_EQ(c->encoder().videoCodecContext()->width, kArea.width());
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_TRUE(c->videoThreadStarted());
    ASSERT_TRUE(screen_->waitForGrabs(3));
    c->stop();
    EXPECT_FALSE(testsupport::fileExists(dir_.file("camera.mp4")));
    EXPECT_EQ(testsupport::probeMedia(path).streams.at(0).height, kArea.height());
}

// The disk fills up (the file is the full device): the refused write is reported once, in
// every mode, also where only the camera callback writes and no thread of ours runs.
TEST_F(ControllerTest, AFullDiskIsReportedWithTheScreenAndWithTheCameraAlone) {
    for (const bool onlyCamera : {false, true}) {
        SCOPED_TRACE(onlyCamera ? "camera alone, no sound" : "screen");
        auto c = makeController();
        std::atomic<int> reports{0};
        camerafakes::Event refused;
        c->setOnWriteFailure([&] {
            ++reports;
            refused.set();
        });
        // Pictures that fill the output's buffer at once, so that it is written out soon.
        screen_->noisy = true;
        camera_->noisy = true;
        c->camera().setOnlyCamera(onlyCamera);
        if (onlyCamera) {
            ASSERT_EQ(c->camera().openDevice(0), S_OK);
        }
        const std::string path = dir_.file(onlyCamera ? "camera-full.mkv" : "screen-full.mkv");
        std::filesystem::create_symlink("/dev/full", path);
        ASSERT_EQ(c->init(path, kArea, 30, 1500000, onlyCamera ? dir_.file("camera.mp4") : ""),
                  S_OK);
        ASSERT_EQ(c->start(), S_OK);
        EXPECT_EQ(c->videoThreadStarted(), !onlyCamera);
        EXPECT_TRUE(refused.wait(std::chrono::seconds(20))) << "the full disk went unreported";
        c->stop();
        EXPECT_EQ(reports.load(), 1);
    }
}

TEST_F(ControllerTest, AFailedInitTearsDownWhatItBuiltAndEndsStopped) {
    for (const std::string name : {"missing/out.mp4", "out.unknownextension"}) {
        auto c = makeController();
        ASSERT_EQ(c->camera().openDevice(0), S_OK);
        ASSERT_EQ(c->audio().OpenDevice(AudioManager::kMicrophone), 0);
        EXPECT_EQ(c->init(dir_.file(name), kArea, 30, 1500000, dir_.file("camera.mp4")),
                  static_cast<int32_t>(0x80004005))
            << name;
        EXPECT_EQ(c->state(), Controller::Stopped);
        EXPECT_FALSE(c->encoder().isOpen());
        // The camera was let go and the microphone closed.
        EXPECT_FALSE(c->camera().enabled());
        EXPECT_FALSE(c->camera().graphExists());
        EXPECT_EQ(mic().get(&FakeDevice::endpointsAlive), 0);
        // Nothing can be started from there.
        EXPECT_EQ(c->start(), E_FAIL);
        EXPECT_FALSE(c->videoThreadStarted());
    }
    // Start before any init.
    auto c = makeController();
    EXPECT_EQ(c->start(), E_FAIL);
    EXPECT_EQ(c->state(), Controller::Created);
}

TEST_F(ControllerTest, PauseAndResumeOnlyActInTheirStateAndStopWhilePausedTakesThePauseOut) {
    auto c = makeController();
    ASSERT_EQ(c->init(dir_.file("p.mp4"), kArea, 30, 1500000, ""), S_OK);
    c->pause();  // not recording yet
    EXPECT_EQ(c->state(), Controller::Ready);
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_EQ(c->start(), E_FAIL);  // a second start would put a second thread on the file
    EXPECT_EQ(c->state(), Controller::Recording);
    // Nor is the running recording prepared again under its threads' feet.
    EXPECT_EQ(c->init(dir_.file("q.mp4"), kArea, 30, 1500000, ""), E_FAIL);
    EXPECT_EQ(c->state(), Controller::Recording);
    EXPECT_TRUE(c->encoder().isOpen());
    EXPECT_EQ(c->outputPath(), dir_.file("p.mp4"));
    c->resume();  // not paused
    EXPECT_EQ(c->state(), Controller::Recording);
    ASSERT_TRUE(screen_->waitForGrabs(2));

    RecordingClock& clock = RecordingClock::instance();
    const int64_t startBefore = clock.recordStart();
    const uint32_t pausedAt = platform::Clock::system().nowMs();
    c->pause();
    EXPECT_EQ(c->state(), Controller::Paused);
    EXPECT_GE(clock.pauseMark(), 0);
    c->pause();  // already paused
    EXPECT_EQ(c->state(), Controller::Paused);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the pause itself
    c->stop();
    const uint32_t stoppedAt = platform::Clock::system().nowMs();
    EXPECT_EQ(c->state(), Controller::Stopped);
    EXPECT_EQ(clock.pauseMark(), -1);
    const int64_t moved = clock.recordStart() - startBefore;
    EXPECT_GE(moved, 300);
    EXPECT_LE(moved, static_cast<int64_t>(stoppedAt - pausedAt));
    EXPECT_FALSE(c->encoder().isOpen());
    EXPECT_GE(testsupport::probeMedia(dir_.file("p.mp4")).streams.at(0).framePts.size(), 1u);

    // Stopping again, or pausing a stopped recording, changes nothing.
    c->stop();
    c->pause();
    EXPECT_EQ(c->state(), Controller::Stopped);
}

TEST(ControllerWithoutCameras, TheSystemCameraFindsNoneAndTheRecordingGoesOnWithout) {
    if (!platform::V4l2CameraDriver::videoNodes("/dev").empty()) {
        GTEST_SKIP() << "this machine has video devices";
    }
    testsupport::TempDir dir;
    fakeaudio::FakeFactory audio;
    auto system = CameraService::create();
    Controller c(audio, *system);
    auto screen = std::make_shared<ScreenLog>();
    c.screenCapturer().useScreen(std::make_unique<CountingScreen>(screen));
    EXPECT_EQ(c.camera().openDevice(0), E_FAIL);
    EXPECT_FALSE(c.camera().enabled());
    EXPECT_EQ(c.testCamera(nullptr, L"preview", 640, 480, 181), E_FAIL);  // no device chosen
    EXPECT_EQ(CameraCapture::previewState(), -1);

    // Settings that still name device 0.
    c.camera().setDeviceIndex(0);
    c.camera().setEnabled(true);
    EXPECT_EQ(c.testCamera(nullptr, L"preview", 640, 480, 181), E_FAIL);
    EXPECT_FALSE(c.camera().enabled());
    c.camera().setEnabled(true);
    const std::string path = dir.file("screen.mp4");
    ASSERT_EQ(c.init(path, kArea, 30, 1500000, dir.file("camera.mp4")), S_OK);
    EXPECT_FALSE(c.camera().enabled());
    ASSERT_EQ(c.start(), S_OK);
    ASSERT_TRUE(screen->waitForGrabs(2));
    c.stop();
    EXPECT_FALSE(testsupport::fileExists(dir.file("camera.mp4")));
    EXPECT_EQ(testsupport::probeMedia(path).streams.at(0).width, kArea.width());
}

}  // namespace
