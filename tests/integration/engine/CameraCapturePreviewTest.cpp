// The camera preview through the controller on a real X server: the window it opens, what
// minimising, restoring and closing do to the camera, and how a preview meets the recording
// that is prepared after it.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <functional>
#include <memory>
#include <string>

#include "../../unit/engine/RecordingFakes.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticCameraDriver.h"
#include "TestServers.h"
#include "base/HResult.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"
#include "platform/AudioEndpoint.h"
#include "platform/CameraService.h"
#include "platform/MessageLoop.h"
#include "platform/Strings.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using platform::CameraService;
using platform::CameraState;
using platform::MessageLoop;
using recordingfakes::ObservedCameraService;
using D = platform::SyntheticCameraDriver;

const std::wstring kTitle = L"\x6d4b\x8bd5\x6444\x50cf\x5934";  // what the camera popup asks for
const Rect kArea{0, 0, 320, 240};

// Runs the UI loop until `done` holds (checked every 20 ms) or the time is up.
bool runLoopUntil(const std::function<bool()>& done) {
    MessageLoop& loop = MessageLoop::ui();
    bool ending = false;  // one quit per run: a second would end the next run at once
    const auto end = [&](int code) {
        if (!ending) {
            ending = true;
            loop.quit(code);
        }
    };
    loop.setTimer(9101, 20, [&] {
        if (!ending && done()) {
            end(0);
        }
    });
    loop.setTimer(9102, 20000, [&] { end(1); });
    const int code = loop.run();
    loop.killTimer(9101);
    loop.killTimer(9102);
    return code == 0;
}

// The preview's SDL window, to push window events at it as a window manager would; 0 if none.
Uint32 previewWindow() {
    const std::string title = WideToAnsi(kTitle);
    for (Uint32 id = 1; id < 1000; ++id) {
        SDL_Window* w = SDL_GetWindowFromID(id);
        if (w != nullptr && title == SDL_GetWindowTitle(w)) {
            return id;
        }
    }
    return 0;
}

void pushWindowEvent(Uint32 windowId, Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = what;
    SDL_PushEvent(&event);
}

class PreviewTest : public ::testing::Test {
protected:
    std::unique_ptr<Controller> makeController(CameraService& camera) {
        return std::make_unique<Controller>(platform::AudioEndpointFactory::system(), camera);
    }

    // A short screen recording beside the camera; returns the camera file's frame count.
    size_t recordBriefly(Controller& c, ObservedCameraService& camera) {
        const std::string cameraPath = dir_.file("camera.mp4");
        EXPECT_EQ(c.init(dir_.file("screen.mp4"), kArea, 30, 1500000, cameraPath), S_OK);
        EXPECT_EQ(c.start(), S_OK);
        const size_t before = camera.delivered.count();
        EXPECT_TRUE(camera.delivered.waitFor(before + 6));
        c.stop();
        const auto file = testsupport::probeMedia(cameraPath);
        return file.streams.empty() ? 0 : file.streams[0].framePts.size();
    }

    testsupport::TempDir dir_;
};

TEST_F(PreviewTest, MinimisingStopsTheCameraRestoringRunsItAndClosingLetsTheDeviceGo) {
    ObservedCameraService camera(platform::createSyntheticCameraService());
    auto c = makeController(camera);
    EXPECT_EQ(CameraCapture::previewState(), -1);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    ASSERT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
    EXPECT_EQ(CameraCapture::previewState(), 1);
    EXPECT_EQ(camera.state(), CameraState::Running);
    EXPECT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), 1);  // already shown
    const Uint32 id = previewWindow();
    ASSERT_NE(id, 0u);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(SDL_GetWindowFromID(id), &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    pushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }));
    EXPECT_EQ(camera.state(), CameraState::Stopped);
    pushWindowEvent(id, SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 1; }));
    EXPECT_EQ(camera.state(), CameraState::Running);

    pushWindowEvent(id, SDL_WINDOWEVENT_CLOSE);
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }));
    EXPECT_EQ(previewWindow(), 0u);
    EXPECT_FALSE(c->camera().graphExists());
    EXPECT_EQ(camera.state(), CameraState::Released);
    // Still the chosen camera: the recording opens it again.
    EXPECT_TRUE(c->camera().enabled());
    EXPECT_EQ(c->camera().deviceIndex(), 0);
    EXPECT_GE(recordBriefly(*c, camera), 3u);
}

TEST_F(PreviewTest, APreviewLeftOpenIsClosedBeforeTheRecordingCameraIsBuilt) {
    // Showing, and minimised (its camera stopped, the window still there, which closing later
    // would have torn the recording camera down with).
    for (const bool minimise : {false, true}) {
        ObservedCameraService camera(platform::createSyntheticCameraService());
        auto c = makeController(camera);
        ASSERT_EQ(c->camera().openDevice(0), S_OK);
        ASSERT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
        if (minimise) {
            pushWindowEvent(previewWindow(), SDL_WINDOWEVENT_MINIMIZED);
            ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }));
        }
        ASSERT_EQ(c->init(dir_.file("screen.mp4"), kArea, 30, 1500000, dir_.file("camera.mp4")),
                  S_OK);
        EXPECT_FALSE(camera.previewOpen()) << minimise;
        EXPECT_EQ(previewWindow(), 0u);
        EXPECT_EQ(CameraCapture::previewState(), 0);
        EXPECT_TRUE(c->camera().enabled());
        ASSERT_EQ(c->start(), S_OK);
        EXPECT_EQ(camera.state(), CameraState::Running);
        ASSERT_TRUE(camera.delivered.waitFor(camera.delivered.count() + 4));
        c->stop();
        EXPECT_GE(testsupport::probeMedia(dir_.file("camera.mp4")).streams.at(0).framePts.size(),
                  2u);
    }
}

TEST_F(PreviewTest, NoPreviewOnceTheRecordingCameraIsBuilt) {
    ObservedCameraService camera(platform::createSyntheticCameraService());
    auto c = makeController(camera);
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    ASSERT_EQ(c->init(dir_.file("screen.mp4"), kArea, 30, 1500000, dir_.file("camera.mp4")), S_OK);
    // Counting down: the camera must not run into its file before the clock starts.
    EXPECT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    EXPECT_FALSE(camera.previewOpen());
    EXPECT_EQ(camera.state(), CameraState::Stopped);
    EXPECT_EQ(camera.delivered.count(), 0u);
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    c->pause();
    EXPECT_EQ(c->testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    EXPECT_FALSE(camera.previewOpen());
    EXPECT_EQ(previewWindow(), 0u);
    c->stop();
    EXPECT_EQ(CameraCapture::previewState(), -1);
}

}  // namespace
