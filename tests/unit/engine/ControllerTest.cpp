// The controller with a counting desktop, scripted sound endpoints and the synthetic (or a
// scripted) camera: which threads a recording runs, what goes into the files, cameras that
// cannot record, failures while preparing, the state rules, and the order in which stop lets
// go of things.
#include "engine/Controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Await.h"
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
#include "engine/ScreenCapturer.h"
#ifndef _WIN32
#include "platform/linux/V4l2CameraDriver.h"
#endif

namespace {

using platform::CameraService;
using recordingfakes::ObservedCameraService;
using D = platform::SyntheticCameraDriver;
using namespace std::chrono_literals;

const Rect kArea{100, 50, 420, 290};  // 320 x 240

std::unique_ptr<CameraService> synthetic() {
    return platform::createSyntheticCameraService();
}

class ControllerTest : public ::testing::Test {
protected:
    // A controller over the counting desktop and the camera, which is observed.
    std::unique_ptr<Controller> makeController(
        std::unique_ptr<CameraService> camera = synthetic()) {
        camera_ = std::make_unique<ObservedCameraService>(std::move(camera));
        camera_->beforeCall = [this](const std::string& call) {
            heard_.push_back(call + (c_->encoder().isOpen() ? " (main open)" : ""));
        };
        auto c = std::make_unique<Controller>(audio_, *camera_);
        c->screenCapturer().useScreen(std::make_unique<recordingfakes::CountingScreen>(screen_));
        c_ = c.get();
        return c;
    }
    fakeaudio::FakeDevice& mic() { return audio_.device(platform::DataFlow::Capture); }

    testsupport::TempDir dir_;
    fakeaudio::FakeFactory audio_{true};
    std::shared_ptr<recordingfakes::ScreenLog> screen_ =
        std::make_shared<recordingfakes::ScreenLog>();
    std::unique_ptr<ObservedCameraService> camera_;
    Controller* c_ = nullptr;
    std::vector<std::string> heard_;  // the camera calls, and whether the main file was open
};

TEST_F(ControllerTest, OnlyTheCameraWithSoundRunsNoVideoThreadAndStopsTheCameraFirst) {
    auto c = makeController();
    c->camera().setOnlyCamera(true);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    ASSERT_EQ(c->audio().OpenDevice(AudioManager::kMicrophone), 0);
    const std::string path = dir_.file("main.mkv");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, dir_.file("camera.mp4")), S_OK);
    heard_.clear();
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_FALSE(c->videoThreadStarted());
    EXPECT_TRUE(c->audioThreadStarted());
    for (int i = 0; i < 12; ++i) {
        mic().push(1024, static_cast<int16_t>(i * 2048));
        ASSERT_TRUE(mic().awaitConsumed());
    }
    ASSERT_TRUE(camera_->delivered.waitFor(4));
    // Stopped with a burst of chunks still on their way through the mixer: the audio thread
    // pulls a frame a pass, so most of them are still to be encoded when the stop comes.
    for (int i = 0; i < 100; ++i) {
        mic().push(1024, 0);
    }
    ASSERT_TRUE(mic().awaitConsumed());
    testsupport::returnsWithin(20s, "the stop", [&] { c->stop(); });
    // The camera's frames go to the main file, so it stops while that file is still open.
    EXPECT_EQ(heard_, (std::vector<std::string>{"run (main open)", "stop (main open)",
                                                "release (main open)"}));
    EXPECT_EQ(screen_->grabs, 0);
    EXPECT_FALSE(testsupport::fileExists(dir_.file("camera.mp4")));
    const Controller::AudioTally tally = c->audioTally();
    EXPECT_EQ(tally.fed, 112u);
    EXPECT_EQ(tally.pulled, tally.fed);
    EXPECT_EQ(tally.encoded, tally.pulled);

    const auto file = testsupport::probeMedia(path);
    const auto* video = file.first(AVMEDIA_TYPE_VIDEO);
    const auto* sound = file.first(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && sound);
    EXPECT_EQ(video->width, D::kWidth);
    EXPECT_EQ(video->height, D::kHeight);
    EXPECT_EQ(video->decodeErrors + sound->decodeErrors, 0);
    // Every frame encoded is in the file, behind the codec's one frame of priming.
    EXPECT_EQ(sound->samples, static_cast<int64_t>(tally.encoded + 1) * 1024);
}

// The screen alone, as chosen or because the camera cannot record: the video thread records
// it, and the desktop goes once that thread has ended and while the file is still open.
TEST_F(ControllerTest, TheScreenIsRecordedAloneByTheVideoThreadAndLetGoBeforeTheFileIsFinished) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CameraService>()> camera;
        std::function<std::string(Controller&)> choose;  // returns the camera file's name
    };
#ifdef _WIN32
    const bool machineHasCameras = !CameraService::create()->devices().empty();
#else
    const bool machineHasCameras = !platform::V4l2CameraDriver::videoNodes("/dev").empty();
#endif
    const Case cases[] = {
        {"no camera chosen", synthetic, [](Controller&) { return std::string(); }},
        {"the camera's file cannot be made", synthetic,
         [&](Controller& c) {
             EXPECT_EQ(c.camera().openDevice(0), S_OK);
             return dir_.file("missing/camera.mp4");
         }},
        {"only the camera, but no file named for it", synthetic,
         [&](Controller& c) {
             c.camera().setOnlyCamera(true);
             EXPECT_EQ(c.camera().openDevice(0), S_OK);
             return std::string();
         }},
        {"the chosen camera cannot be opened again",
         [] {
             return std::make_unique<platform::StreamingCameraService>(
                 std::make_unique<camerafakes::ScriptedDriver>(1, std::vector<bool>{false}));
         },
         [&](Controller& c) {
             c.camera().setDeviceIndex(0);
             c.camera().setEnabled(true);
             c.camera().setOnlyCamera(true);
             return dir_.file("camera.mp4");
         }},
        {"this machine has no camera", [] { return CameraService::create(); },
         [&](Controller& c) {
             EXPECT_EQ(c.camera().openDevice(0), E_FAIL);
             EXPECT_EQ(c.testCamera(nullptr, L"preview", 640, 480, 181), E_FAIL);
             c.camera().setDeviceIndex(0);  // settings that still name device 0
             c.camera().setEnabled(true);
             return dir_.file("camera.mp4");
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        if (machineHasCameras && &k == &cases[4]) {
            continue;
        }
        screen_ = std::make_shared<recordingfakes::ScreenLog>();
        bool encoderOpenAtRelease = false;
        bool grabbingAtRelease = true;
        auto c = makeController(k.camera());
        screen_->onDestroy = [&] {
            encoderOpenAtRelease = c->encoder().isOpen();
            grabbingAtRelease = screen_->grabbing;
        };
        const std::string cameraPath = k.choose(*c);
        // The engine takes file names as UTF-8 (FFmpeg's own, on Windows too).
        const std::string path = dir_.file("录屏.mp4");
        ASSERT_EQ(c->init(path, kArea, 30, 1500000, cameraPath), S_OK);
        ASSERT_EQ(c->start(), S_OK);
        EXPECT_TRUE(c->videoThreadStarted());
        EXPECT_FALSE(c->audioThreadStarted());  // no sound source
        ASSERT_TRUE(screen_->waitForGrabs(3));
        c->stop();
        EXPECT_TRUE(screen_->destroyed);
        EXPECT_TRUE(encoderOpenAtRelease);
        EXPECT_FALSE(grabbingAtRelease);
        EXPECT_EQ(screen_->grabsAfterDestroy, 0);
        EXPECT_EQ(std::count(heard_.begin(), heard_.end(), "run (main open)"), 0);
        EXPECT_FALSE(testsupport::fileExists(dir_.file("camera.mp4")));
        const auto video = testsupport::probeMedia(path).streams.at(0);
        EXPECT_EQ(video.width, kArea.width());
        EXPECT_EQ(video.decodeErrors, 0);
    }
}

TEST_F(ControllerTest, AFailedInitTearsDownWhatItBuiltAndNothingStartsFromThere) {
    for (const std::string name : {"missing/out.mp4", "out.unknownextension"}) {
        auto c = makeController();
        EXPECT_EQ(c->start(), E_FAIL);  // before any init
        ASSERT_EQ(c->camera().openDevice(0), S_OK);
        ASSERT_EQ(c->audio().OpenDevice(AudioManager::kMicrophone), 0);
        EXPECT_EQ(c->init(dir_.file(name), kArea, 30, 1500000, dir_.file("camera.mp4")), E_FAIL)
            << name;
        EXPECT_EQ(c->state(), Controller::Stopped);
        EXPECT_FALSE(c->encoder().isOpen() || c->camera().enabled() || c->camera().graphExists());
        EXPECT_EQ(mic().get(&fakeaudio::FakeDevice::endpointsAlive), 0);
        EXPECT_EQ(c->start(), E_FAIL);
    }
}

TEST_F(ControllerTest, PauseResumeStartAndInitActOnlyInTheirState) {
    auto c = makeController();
    ASSERT_EQ(c->init(dir_.file("p.mp4"), kArea, 30, 1500000, ""), S_OK);
    // No preview once the recording is prepared: it would run the camera before the clock.
    const auto preview = [&] { return c->testCamera(nullptr, L"Camera", 64, 48, 181); };
    EXPECT_EQ(preview(), E_FAIL);
    c->pause();  // not recording yet
    EXPECT_EQ(c->state(), Controller::Ready);
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_EQ(c->start(), E_FAIL);  // a second start would put a second thread on the file
    // Nor is the running recording prepared again under its threads' feet.
    EXPECT_EQ(c->init(dir_.file("q.mp4"), kArea, 30, 1500000, ""), E_FAIL);
    c->resume();  // not paused
    EXPECT_EQ(c->state(), Controller::Recording);
    c->pause();
    c->pause();  // already paused
    EXPECT_EQ(c->state(), Controller::Paused);
    EXPECT_EQ(preview(), E_FAIL);
    c->resume();
    ASSERT_TRUE(screen_->waitForGrabs(screen_->grabs + 2));  // the video thread runs again
    c->stop();
    c->stop();
    c->pause();
    EXPECT_EQ(c->state(), Controller::Stopped);
}

#ifndef _WIN32  // a full disk is /dev/full
// A full disk ends the recording in every mode, also where no worker thread runs.
TEST_F(ControllerTest, AFullDiskIsReportedWithTheScreenAndWithTheCameraAlone) {
    for (const bool onlyCamera : {false, true}) {
        SCOPED_TRACE(onlyCamera ? "camera alone, no sound" : "screen");
        auto c = makeController();
        std::atomic<int> reports{0};
        testsupport::Event refused;
        c->setOnWriteFailure([&] {
            ++reports;
            refused.set();
        });
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
        EXPECT_TRUE(refused.wait(std::chrono::seconds(20), "the full disk to be reported"));
        c->stop();
        EXPECT_EQ(reports.load(), 1);
    }
}

#endif

}  // namespace
