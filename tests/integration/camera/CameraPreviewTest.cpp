// The camera preview window on a real X server: it shows the camera's frames, and closing,
// minimising and restoring it reach its owner.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SyntheticCameraDriver.h"
#include "TestServers.h"
#include "base/HResult.h"
#include "platform/CameraService.h"
#include "platform/MessageLoop.h"
#include "platform/Strings.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using platform::CameraPreviewEvents;
using platform::CameraService;
using platform::CameraState;
using platform::MessageLoop;
using D = platform::SyntheticCameraDriver;

const std::wstring kTitle = L"\x6d4b\x8bd5\x6444\x50cf\x5934";  // the preview's fixed title

// Runs the UI loop until `done` holds (checked every 20 ms: what the X server shows comes with
// no event) or the time is up. True when done.
bool runLoopUntil(const std::function<bool()>& done,
                  std::chrono::seconds timeout = std::chrono::seconds(20)) {
    MessageLoop& loop = MessageLoop::ui();
    // One quit per run: a second one would stay queued and end the next run at once.
    bool ending = false;
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
    loop.setTimer(9002, static_cast<uint32_t>(timeout.count() * 1000), [&] { end(1); });
    const int code = loop.run();
    loop.killTimer(9001);
    loop.killTimer(9002);
    return code == 0;
}

// A connection of our own to the X server, to see what the user would see.
class XView {
  public:
    XView() : display_(XOpenDisplay(nullptr)) {}
    ~XView() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    bool ok() const { return display_ != nullptr; }

    // Top-level windows whose _NET_WM_NAME is `title` (UTF-8).
    std::vector<::Window> windowsTitled(const std::string& title) {
        XSync(display_, 0);
        std::vector<::Window> found;
        collect(DefaultRootWindow(display_), title, &found);
        return found;
    }

    bool size(::Window w, int* width, int* height) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display_, w, &a) == 0) {
            return false;
        }
        *width = a.width;
        *height = a.height;
        return true;
    }

    // One row of the window as 0xRRGGBB values; empty when it cannot be read.
    std::vector<uint32_t> row(::Window w, int y, int width) {
        std::vector<uint32_t> pixels;
        XImage* image =
            XGetImage(display_, w, 0, y, static_cast<unsigned>(width), 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return pixels;
        }
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, 0)) & 0xFFFFFF);
        }
        XDestroyImage(image);
        return pixels;
    }

    void sendDeleteWindow(::Window w) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", 0);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", 0));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, w, 0, NoEventMask, &event);
        XFlush(display_);
    }

  private:
    void collect(::Window w, const std::string& title, std::vector<::Window>* found) {
        if (nameOf(w) == title) {
            found->push_back(w);
        }
        ::Window root = 0;
        ::Window parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, w, &root, &parent, &children, &count) == 0) {
            return;
        }
        for (unsigned i = 0; i < count; ++i) {
            collect(children[i], title, found);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }

    std::string nameOf(::Window w) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::string name;
        if (XGetWindowProperty(display_, w, XInternAtom(display_, "_NET_WM_NAME", 0), 0, 1024, 0,
                               XInternAtom(display_, "UTF8_STRING", 0), &type, &format, &items,
                               &after, &data) == Success &&
            data != nullptr) {
            name.assign(reinterpret_cast<const char*>(data), items);
        }
        if (data != nullptr) {
            XFree(data);
        }
        return name;
    }

    Display* display_;
};

uint32_t rgb(uint32_t argb) {
    return argb & 0xFFFFFF;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
        const int x = static_cast<int>((a >> shift) & 0xFF);
        const int y = static_cast<int>((b >> shift) & 0xFF);
        if (x - y > 8 || y - x > 8) {
            return false;
        }
    }
    return true;
}

// Whether the window shows the synthetic camera's picture; its square's left edge goes to
// *squareLeft.
bool showsTestPattern(XView& x, ::Window w, int* squareLeft) {
    const auto top = x.row(w, 0, D::kWidth);
    const auto bars = x.row(w, 160, D::kWidth);
    const auto band = x.row(w, D::kSquareTop + D::kSquareSize / 2, D::kWidth);
    const auto bottom = x.row(w, D::kHeight - 1, D::kWidth);
    if (top.empty() || bars.empty() || band.empty() || bottom.empty()) {
        return false;
    }
    for (int px : {0, 320, 639}) {
        if (!near(top[px], rgb(D::kFirstRow)) || !near(bottom[px], rgb(D::kLastRow))) {
            return false;
        }
    }
    for (int bar = 0; bar < 8; ++bar) {
        if (!near(bars[bar * 80 + 40], rgb(D::kBarColours[bar]))) {
            return false;
        }
    }
    for (int px = 0; px < D::kWidth; ++px) {
        if (near(band[px], rgb(D::kSquare))) {
            *squareLeft = px;
            return true;
        }
    }
    return false;
}

// The SDL window of the preview, to push window events at it as a window manager would.
Uint32 sdlWindowTitled(const std::string& title) {
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

TEST(CameraPreview, ShowsTheCameraAndClosingTheWindowIsReported) {
    XView x;
    ASSERT_TRUE(x.ok());
    auto camera = platform::createSyntheticCameraService();
    ASSERT_EQ(camera->open(0), S_OK);
    int closed = 0;
    CameraPreviewEvents events;
    events.closed = [&] {
        ++closed;
        camera->stop();  // as the owner does
    };
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    EXPECT_TRUE(camera->previewOpen());
    EXPECT_EQ(camera->openPreview(kTitle, {640, 480}, 181, {}), S_FALSE);
    ASSERT_EQ(camera->run(), S_OK);

    const std::string title = WideToAnsi(kTitle);
    ::Window window = 0;
    std::set<int> squarePositions;
    const bool shown = runLoopUntil([&] {
        const auto windows = x.windowsTitled(title);
        if (windows.size() != 1) {
            return false;
        }
        window = windows[0];
        int left = -1;
        if (showsTestPattern(x, window, &left)) {
            squarePositions.insert(left);
        }
        return squarePositions.size() >= 3;  // moving: more than one frame has been shown
    });
    ASSERT_TRUE(shown) << "square seen at " << squarePositions.size() << " places";
    int width = 0;
    int height = 0;
    ASSERT_TRUE(x.size(window, &width, &height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    // The window manager's close button.
    x.sendDeleteWindow(window);
    ASSERT_TRUE(runLoopUntil([&] { return closed > 0 && x.windowsTitled(title).empty(); }));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(camera->previewOpen());
    EXPECT_EQ(camera->state(), CameraState::Stopped);

    // It can be opened again afterwards.
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    camera->closePreview();
}

TEST(CameraPreview, MinimiseAndRestoreReachTheOwnerWhichStopsAndRunsTheCamera) {
    auto camera = platform::createSyntheticCameraService();
    ASSERT_EQ(camera->open(0), S_OK);
    std::atomic<int> frames{0};
    camera->setFrameCallback([&](const platform::CameraFrame&) { ++frames; });
    std::vector<std::string> heard;
    CameraPreviewEvents events;
    events.minimized = [&] {
        heard.push_back("minimized");
        camera->stop();
    };
    events.restored = [&] {
        heard.push_back("restored");
        camera->run();
    };
    events.closed = [&] {
        heard.push_back("closed");
        camera->release();
    };
    ASSERT_EQ(camera->openPreview(kTitle, {320, 240}, 181, events), S_OK);
    ASSERT_EQ(camera->run(), S_OK);
    const Uint32 id = sdlWindowTitled(WideToAnsi(kTitle));
    ASSERT_NE(id, 0u);

    ASSERT_TRUE(runLoopUntil([&] { return frames >= 3; }));
    pushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(runLoopUntil([&] { return heard.size() == 1; }));
    EXPECT_EQ(camera->state(), CameraState::Stopped);

    pushWindowEvent(id, SDL_WINDOWEVENT_RESTORED);
    ASSERT_TRUE(runLoopUntil([&] { return heard.size() == 2; }));
    EXPECT_EQ(camera->state(), CameraState::Running);
    const int before = frames;
    ASSERT_TRUE(runLoopUntil([&] { return frames >= before + 3; }));

    // Events of other windows are not the preview's.
    pushWindowEvent(id + 1000, SDL_WINDOWEVENT_CLOSE);
    pushWindowEvent(id, SDL_WINDOWEVENT_CLOSE);
    ASSERT_TRUE(runLoopUntil([&] { return heard.size() >= 3; }));
    EXPECT_EQ(heard, (std::vector<std::string>{"minimized", "restored", "closed"}));
    EXPECT_FALSE(camera->previewOpen());
    EXPECT_EQ(camera->state(), CameraState::Released);
}

TEST(CameraPreview, ClosingItFromTheProgramIsNotReportedAndLeavesTheCameraAlone) {
    XView x;
    ASSERT_TRUE(x.ok());
    const std::string title = WideToAnsi(kTitle);
    auto camera = platform::createSyntheticCameraService();
    ASSERT_EQ(camera->open(0), S_OK);
    int closed = 0;
    CameraPreviewEvents events;
    events.closed = [&] { ++closed; };
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    ASSERT_EQ(camera->run(), S_OK);
    ASSERT_TRUE(runLoopUntil([&] { return x.windowsTitled(title).size() == 1; }));

    camera->closePreview();
    EXPECT_FALSE(camera->previewOpen());
    EXPECT_EQ(camera->state(), CameraState::Running);
    ASSERT_TRUE(runLoopUntil([&] { return x.windowsTitled(title).empty(); }));
    EXPECT_EQ(closed, 0);

    // The service going while frames wait to be drawn leaves nothing behind to crash on.
    ASSERT_EQ(camera->openPreview(kTitle, {640, 480}, 181, events), S_OK);
    camera.reset();
    ASSERT_TRUE(runLoopUntil([&] { return x.windowsTitled(title).empty(); }));
    EXPECT_EQ(closed, 0);
}

}  // namespace
