// The camera preview window on a real X server: it shows the camera's frames; closing it
// through the window manager or from the program; and, through the controller, what
// minimising, restoring and closing do to the camera and how a preview meets the recording
// that is prepared after it.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../../unit/engine/RecordingFakes.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "TestServers.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"
#include "platform/AudioEndpoint.h"
#include "platform/HResult.h"
#include "platform/MessageLoop.h"
#include "platform/Strings.h"
#include "platform/SyntheticCameraDriver.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using platform::CameraService;
using platform::CameraState;
using D = platform::SyntheticCameraDriver;

const std::wstring kTitle = L"\x6d4b\x8bd5\x6444\x50cf\x5934";  // the preview's fixed title
const std::string kTitleText = WideToAnsi(kTitle);

// Runs the UI loop until `done` holds (checked every 20 ms: what the X server shows comes with
// no event) or 20 s are up. True when done.
::testing::AssertionResult runLoopUntil(const std::function<bool()>& done, const char* what) {
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    bool ending = false;  // one quit per run: a second would end the next run at once
    const auto end = [&](int code) {
        if (!ending) {
            ending = true;
            loop.quit(code);
        }
    };
    loop.setTimer(9001, 20, [&] {
        if (!ending && done()) {
            end(0);
        }
    });
    loop.setTimer(9002, 20000, [&] { end(1); });
    const int code = loop.run();
    loop.killTimer(9001);
    loop.killTimer(9002);
    return code == 0 ? ::testing::AssertionSuccess()
                     : ::testing::AssertionFailure() << "20 s in vain for " << what;
}

// A connection of our own to the X server, to see what the user would see.
class XView {
public:
    ~XView() { XCloseDisplay(display_); }

    // Top-level windows named like the preview.
    std::vector<::Window> previews() {
        XSync(display_, 0);
        std::vector<::Window> found;
        collect(DefaultRootWindow(display_), &found);
        return found;
    }
    std::pair<int, int> size(::Window w) {
        XWindowAttributes a{};
        XGetWindowAttributes(display_, w, &a);
        return {a.width, a.height};
    }
    // One row of the window as 0xRRGGBB values.
    std::vector<uint32_t> row(::Window w, int y) {
        std::vector<uint32_t> pixels;
        if (XImage* image = XGetImage(display_, w, 0, y, D::kWidth, 1, AllPlanes, ZPixmap)) {
            for (int x = 0; x < D::kWidth; ++x) {
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, 0)) & 0xFFFFFF);
            }
            XDestroyImage(image);
        }
        return pixels;
    }
    void sendDeleteWindow(::Window w) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", 0);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", 0));
        XSendEvent(display_, w, 0, NoEventMask, &event);
        XFlush(display_);
    }

private:
    void collect(::Window w, std::vector<::Window>* found) {
        XTextProperty text{};
        if (XGetTextProperty(display_, w, &text, XInternAtom(display_, "_NET_WM_NAME", 0)) &&
            text.value != nullptr) {
            if (std::string(reinterpret_cast<char*>(text.value), text.nitems) == kTitleText) {
                found->push_back(w);
            }
            XFree(text.value);
        }
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, w, &root, &parent, &children, &count) != 0) {
            for (unsigned i = 0; i < count; ++i) {
                collect(children[i], found);
            }
            XFree(children);
        }
    }
    Display* display_ = XOpenDisplay(nullptr);
};

bool near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > 8) {
            return false;
        }
    }
    return true;
}

// Where the window shows the synthetic camera's picture, its square's left edge; else -1.
int squareShownAt(XView& x, ::Window w) {
    const auto top = x.row(w, 0), bars = x.row(w, 160), bottom = x.row(w, D::kHeight - 1);
    const auto band = x.row(w, D::kSquareTop + D::kSquareSize / 2);
    if (top.empty() || bars.empty() || band.empty() || bottom.empty()) {
        return -1;
    }
    for (int px : {0, 320, 639}) {
        if (!near(top[px], D::kFirstRow & 0xFFFFFF) || !near(bottom[px], D::kLastRow & 0xFFFFFF)) {
            return -1;
        }
    }
    for (int bar = 0; bar < 8; ++bar) {
        if (!near(bars[bar * 80 + 40], D::kBarColours[bar] & 0xFFFFFF)) {
            return -1;
        }
    }
    for (int px = 0; px < D::kWidth; ++px) {
        if (near(band[px], D::kSquare & 0xFFFFFF)) {
            return px;
        }
    }
    return -1;
}

// Pushes a window event at the preview's SDL window, as a window manager would; false when
// there is no preview window.
bool pushWindowEvent(Uint8 what, Uint32 offset = 0) {
    for (Uint32 id = 1; id < 1000; ++id) {
        SDL_Window* w = SDL_GetWindowFromID(id);
        if (w != nullptr && kTitleText == SDL_GetWindowTitle(w)) {
            SDL_Event event{};
            event.type = SDL_WINDOWEVENT;
            event.window.windowID = id + offset;
            event.window.event = what;
            return SDL_PushEvent(&event) == 1;
        }
    }
    return false;
}

TEST(CameraPreview, ShowsTheCameraAndOnlyAClosingByTheUserIsReported) {
    XView x;
    auto camera = CameraService::create(CameraService::Backend::Synthetic);
    ASSERT_EQ(camera->open(0), S_OK);
    int closed = 0;
    platform::CameraPreviewEvents events;
    events.closed = [&] {
        ++closed;
        camera->stop();  // as the owner does
    };
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    EXPECT_EQ(camera->openPreview(kTitle, {640, 480}, 181, {}), S_FALSE);
    ASSERT_EQ(camera->run(), S_OK);
    std::set<int> squarePositions;
    ASSERT_TRUE(runLoopUntil(
        [&] {
            const auto windows = x.previews();
            squarePositions.insert(windows.size() == 1 ? squareShownAt(x, windows[0]) : -1);
            return squarePositions.size() >= 4;  // moving: more than one frame has been shown
        },
        "the camera's picture, moving"));
    EXPECT_EQ(x.size(x.previews().at(0)), std::make_pair(640, 480));

    x.sendDeleteWindow(x.previews()[0]);  // the window manager's close button
    ASSERT_TRUE(runLoopUntil([&] { return closed > 0 && x.previews().empty(); }, "the close"));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(camera->previewOpen());
    EXPECT_EQ(camera->state(), CameraState::Stopped);

    // Closed by the program: not reported, the camera left alone.
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(runLoopUntil([&] { return x.previews().size() == 1; }, "the window"));
    camera->closePreview();
    EXPECT_EQ(camera->state(), CameraState::Running);
    ASSERT_TRUE(runLoopUntil([&] { return x.previews().empty(); }, "the window to go"));
    // The service going while frames wait to be drawn leaves nothing behind to crash on.
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    camera.reset();
    ASSERT_TRUE(runLoopUntil([&] { return x.previews().empty(); }, "the window to go"));
    EXPECT_EQ(closed, 1);
}

class PreviewThroughTheController : public ::testing::Test {
protected:
    recordingfakes::ObservedCameraService camera_{
        CameraService::create(CameraService::Backend::Synthetic)};
    Controller c_{platform::AudioEndpointFactory::system(), camera_};
    testsupport::TempDir dir_;

    // A short screen recording beside the camera, whose file must hold camera frames.
    void recordBriefly() {
        ASSERT_EQ(c_.init(dir_.file("screen.mp4"), Rect{0, 0, 320, 240}, 30, 1500000,
                          dir_.file("camera.mp4")),
                  S_OK);
        EXPECT_EQ(CameraCapture::previewState(), 0);
        ASSERT_EQ(c_.start(), S_OK);
        EXPECT_EQ(camera_.state(), CameraState::Running);
        ASSERT_TRUE(camera_.delivered.waitFor(camera_.delivered.count() + 4));
        c_.stop();
        EXPECT_GE(testsupport::probeMedia(dir_.file("camera.mp4")).streams.at(0).framePts.size(),
                  1u);
    }
};

TEST_F(PreviewThroughTheController, MinimisingStopsTheCameraRestoringRunsItClosingLetsItGo) {
    EXPECT_EQ(CameraCapture::previewState(), -1);
    ASSERT_EQ(c_.camera().openDevice(0), S_OK);
    ASSERT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), S_OK);
    EXPECT_EQ(CameraCapture::previewState(), 1);
    EXPECT_EQ(camera_.state(), CameraState::Running);
    EXPECT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), 1);  // already shown
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED));
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }, "minimised"));
    EXPECT_EQ(camera_.state(), CameraState::Stopped);
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_RESTORED));
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 1; }, "restored"));
    EXPECT_EQ(camera_.state(), CameraState::Running);
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE, 1000));  // another window's: not ours
    ASSERT_TRUE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE));
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }, "closed"));
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
    ASSERT_TRUE(runLoopUntil([] { return CameraCapture::previewState() == 0; }, "minimised"));
    recordBriefly();
    EXPECT_FALSE(camera_.previewOpen());
    EXPECT_FALSE(pushWindowEvent(SDL_WINDOWEVENT_CLOSE));
}

TEST_F(PreviewThroughTheController, NoPreviewOnceTheRecordingCameraIsBuilt) {
    ASSERT_EQ(c_.camera().openDevice(0), S_OK);
    ASSERT_EQ(c_.init(dir_.file("screen.mp4"), Rect{0, 0, 320, 240}, 30, 1500000,
                      dir_.file("camera.mp4")),
              S_OK);
    // Counting down: the camera must not run into its file before the clock starts.
    EXPECT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    EXPECT_EQ(camera_.state(), CameraState::Stopped);
    ASSERT_EQ(c_.start(), S_OK);
    EXPECT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    c_.pause();
    EXPECT_EQ(c_.testCamera(nullptr, kTitle, 640, 480, 181), E_FAIL);
    EXPECT_FALSE(camera_.previewOpen());
    c_.stop();
    EXPECT_EQ(CameraCapture::previewState(), -1);
}

}  // namespace
