// The camera preview through the controller on a real X server: it shows the camera's frames,
// what minimising, restoring and closing do to the camera, and how a preview meets the
// recording that is prepared after it.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../../unit/engine/RecordingFakes.h"
#include "Await.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticCameraDriver.h"
#include "TestServers.h"
#include "base/HResult.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"
#include "platform/AudioEndpoint.h"
#include "platform/Strings.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the headers above.
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using platform::CameraService;
using platform::CameraState;
using D = platform::SyntheticCameraDriver;

const std::wstring kTitle = L"\x6d4b\x8bd5\x6444\x50cf\x5934";  // the preview's fixed title
const std::string kTitleText = WideToAnsi(kTitle);
constexpr std::chrono::seconds kLoopDeadline{20};
using testsupport::runLoop;

// Runs the UI loop until the preview reaches the state (0 hidden, 1 shown).
bool previewBecomes(int state) {
    return runLoop(kLoopDeadline, [state] { return CameraCapture::previewState() == state; }) == 0;
}

// The preview's SDL window, or null.
SDL_Window* previewWindow() {
    for (Uint32 id = 1; id < 1000; ++id) {
        SDL_Window* w = SDL_GetWindowFromID(id);
        if (w != nullptr && kTitleText == SDL_GetWindowTitle(w)) {
            return w;
        }
    }
    return nullptr;
}

// The preview's X window, or 0.
::Window previewXWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_Window* w = previewWindow();
    return w != nullptr && SDL_GetWindowWMInfo(w, &info) ? info.info.x11.window : 0;
}

// One row of the window as 0xRRGGBB values, as the X server shows it to the user.
std::vector<uint32_t> row(Display* display, ::Window w, int y) {
    std::vector<uint32_t> pixels;
    if (XImage* image = XGetImage(display, w, 0, y, D::kWidth, 1, AllPlanes, ZPixmap)) {
        for (int x = 0; x < D::kWidth; ++x) {
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, 0)) & 0xFFFFFF);
        }
        XDestroyImage(image);
    }
    return pixels;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > 8) {
            return false;
        }
    }
    return true;
}

// Where the window shows the synthetic camera's picture (its top row red, a white square in
// the band below the bars), the square's left edge; else -1.
int squareShownAt(Display* display, ::Window w) {
    const auto top = row(display, w, 0);
    const auto band = row(display, w, D::kSquareTop + D::kSquareSize / 2);
    if (top.empty() || band.empty() || !near(top[320], D::kFirstRow & 0xFFFFFF)) {
        return -1;
    }
    for (int px = 0; px < D::kWidth; ++px) {
        if (near(band[px], D::kSquare & 0xFFFFFF)) {
            return px;
        }
    }
    return -1;
}

// Pushes a window event at the preview's SDL window, as a window manager would; false when
// there is none.
bool pushWindowEvent(Uint8 what, Uint32 offset = 0) {
    SDL_Window* w = previewWindow();
    if (w == nullptr) {
        return false;
    }
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = SDL_GetWindowID(w) + offset;
    event.window.event = what;
    return SDL_PushEvent(&event) == 1;
}

class PreviewThroughTheController : public ::testing::Test {
protected:
    recordingfakes::ObservedCameraService camera_{platform::createSyntheticCameraService()};
    Controller c_{platform::AudioEndpointFactory::system(), camera_};
    testsupport::TempDir dir_;

    // A short screen recording beside the camera, whose file must hold camera frames.
    void recordBriefly() {
        ASSERT_EQ(c_.init(dir_.file("screen.mp4"), Rect{0, 0, 320, 240}, 30, 1500000,
                          dir_.file("camera.mp4")),
                  S_OK);
        EXPECT_EQ(CameraCapture::previewState(), 0);
        ASSERT_EQ(c_.start(), S_OK);
        ASSERT_TRUE(camera_.delivered.waitFor(camera_.delivered.count() + 4));
        c_.stop();
        EXPECT_GE(testsupport::probeMedia(dir_.file("camera.mp4")).streams.at(0).framePts.size(),
                  1u);
    }
};

TEST_F(PreviewThroughTheController, ShowsTheCameraMinimisingStopsItRestoringRunsItClosingLetsGo) {
    EXPECT_EQ(CameraCapture::previewState(), -1);
    ASSERT_EQ(c_.camera().openDevice(0), S_OK);
    ASSERT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
    EXPECT_EQ(CameraCapture::previewState(), 1);
    EXPECT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), 1);  // already shown
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    std::set<int> squarePositions;
    const auto moving = [&] {
        const ::Window w = previewXWindow();
        squarePositions.insert(w != 0 ? squareShownAt(display.get(), w) : -1);
        return squarePositions.size() >= 4;  // more than one frame has been shown
    };
    ASSERT_EQ(runLoop(kLoopDeadline, moving), 0) << "the camera's picture, moving";
    int width = 0, height = 0;
    SDL_GetWindowSize(previewWindow(), &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(640, 480));
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED));
    ASSERT_TRUE(previewBecomes(0)) << "minimised";
    EXPECT_EQ(camera_.state(), CameraState::Stopped);
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_RESTORED));
    ASSERT_TRUE(previewBecomes(1)) << "restored";
    EXPECT_EQ(camera_.state(), CameraState::Running);
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE, 1000));  // another window's: not ours
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE));
    ASSERT_TRUE(previewBecomes(0)) << "closed";
    EXPECT_FALSE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE));  // no window left
    EXPECT_FALSE(c_.camera().graphExists());
    EXPECT_EQ(camera_.state(), CameraState::Released);
    // Still the chosen camera: the recording opens it again.
    EXPECT_TRUE(c_.camera().enabled());
    recordBriefly();
}

TEST_F(PreviewThroughTheController, APreviewLeftOpenOrMinimisedIsClosedBeforeTheRecordingStarts) {
    ASSERT_EQ(c_.camera().openDevice(0), S_OK);
    ASSERT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
    recordBriefly();
    EXPECT_FALSE(camera_.previewOpen());
    // Minimised: its camera stopped and the window still there, which closing later would
    // tear the recording camera down with.
    ASSERT_EQ(c_.camera().openDevice(0), S_OK);
    ASSERT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED));
    ASSERT_TRUE(previewBecomes(0)) << "minimised";
    recordBriefly();
    EXPECT_FALSE(camera_.previewOpen());
    EXPECT_FALSE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE));
}

}  // namespace
