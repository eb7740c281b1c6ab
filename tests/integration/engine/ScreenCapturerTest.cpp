// Grabs of the private X server's screen: exact pixels in either buffer, areas past the
// screen's edge, the cursor drawn where the pointer is, and the window under the cursor.
#include "engine/ScreenCapturer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ChildProcess.h"
#include "GrabCheck.h"
#include "TestDesktop.h"
#include "TestServers.h"
#include "engine/CursorOverlay.h"
#include "engine/GDIBitmap.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using testdesktop::patternAt;
using testdesktop::TestDesktop;
constexpr int kScreenW = 1920;  // the test server's
constexpr int kScreenH = 1080;

class PatternedDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        desktop_ = new TestDesktop();
        desktop_->paintPattern();
    }
    static void TearDownTestSuite() { delete desktop_; }
    static inline TestDesktop* desktop_ = nullptr;
};

// Pixels of the area on the desktop must be the pattern, the rest black, except where the
// cursor image (its top-left at left, top on the screen) is blended over them.
int countWrongPixels(const uint8_t* buffer, const Rect& area, const SDL_Surface* cursor, int left,
                     int top) {
    return testsupport::countWrongPixels(
        buffer, area.width(), area.height(), static_cast<size_t>(area.width()) * 4,
        [&](int x, int y) {
            x += area.left;
            y += area.top;
            return x < 0 || y < 0 || x >= kScreenW || y >= kScreenH ? 0 : patternAt(x, y);
        },
        cursor, left - area.left, top - area.top);
}

// Shared memory and the plain protocol must give the same pictures.
class GrabTest : public PatternedDesktop, public ::testing::WithParamInterface<bool> {};

// Every area is grabbed into a buffer of ours and, where the display writes grabs into memory
// of its own (shared memory), into that one too; some with the cursor drawn in, pressed or not.
TEST_P(GrabTest, GrabsArePixelExactFullSizeBlackOffTheScreenAndCarryTheCursor) {
    CursorState cursor;
    CursorOverlay::compose(cursor, 104, 129, 117);
    RecordingClock clock;
    ScreenCapturer capturer(cursor, clock);
    auto screen = platform::Screen::open(GetParam());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->usesSharedMemory(), GetParam());
    capturer.useScreen(std::move(screen));
    const int w = kScreenW, h = kScreenH;
    const struct {
        Rect area;
        int x, y, pressed;  // the cursor
    } cases[] = {
        {{123, 45, 123 + 640, 45 + 360}, 300, 200, 0},
        {{123, 45, 123 + 640, 45 + 360}, 300, 200, 1},  // after a left-button-down
        {{w - 120, h - 80, w - 120 + 256, h - 80 + 160}, w - 70, h - 40, 0},  // corners
        {{-50, -30, 150, 70}, 145, 65, 1},
        {{-7, 100, 300, 200}, -5000, 0, 0},        // off the left edge: rows move sideways
        {{w + 10, 0, w + 110, 100}, -5000, 0, 0},  // wholly off the screen
        {{300, -200, 500, -100}, -5000, 0, 0},     // above the screen
        {{0, 0, w, h}, -5000, 0, 0},
        {{-10, -10, w + 10, h + 10}, -5000, 0, 0},  // larger than the screen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.area.left << "," << c.area.top << " " << c.area.right
                                          << "," << c.area.bottom << " cursor " << c.x << "," << c.y
                                          << " pressed " << c.pressed);
        cursor.x = c.x;
        cursor.y = c.y;
        cursor.pressed = c.pressed;
        const GDIBitmap& image = c.pressed ? *cursor.pressedImage : *cursor.normalImage;
        capturer.init(c.area);
        const size_t bytes = static_cast<size_t>(c.area.width()) * c.area.height() * 4;
        std::vector<uint8_t> own(bytes);
        uint8_t* direct = capturer.frameBuffer();
        EXPECT_EQ(direct != nullptr, GetParam());
        for (uint8_t* buffer : {own.data(), direct, own.data()}) {
            if (buffer != nullptr) {
                std::memset(buffer, 0xEE, bytes);
                uint32_t clockTime = 0;
                ASSERT_EQ(capturer.capture(buffer, clockTime), static_cast<int32_t>(bytes));
                EXPECT_EQ(countWrongPixels(buffer, c.area, image.surface(), c.x - cursor.halfWidth,
                                           c.y - cursor.halfHeight),
                          0);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, GrabTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SharedMemory" : "Plain"; });

class WindowUnderCursor : public ::testing::Test {
protected:
    void SetUp() override {
        // A top-level window with a bordered child; above the child an unmapped window and
        // an input-only one, both of which must be looked through.
        top_ = desktop_.createWindow(desktop_.root(), 300, 200, 400, 300);
        child_ = desktop_.createWindow(top_, 50, 40, 100, 80, 3);
        desktop_.createWindow(top_, 40, 30, 200, 200, 0, false, false);
        desktop_.createWindow(top_, 45, 35, 150, 150, 0, true);
        framed_ = desktop_.createWindow(desktop_.root(), 1000, 100, 200, 100, 5);
    }
    void TearDown() override {
        desktop_.destroyWindow(top_);
        desktop_.destroyWindow(framed_);
    }
    platform::NativeWindow lookAt(int x, int y, Rect& rect) {
        desktop_.movePointer(x, y);
        return ScreenCapturer::windowUnderCursor(*screen_, rect);
    }

    TestDesktop desktop_;
    std::unique_ptr<platform::Screen> screen_ = platform::Screen::open();
    xcb_window_t top_ = 0, child_ = 0, framed_ = 0;
};

TEST_F(WindowUnderCursor, FindsTheDeepestVisibleWindowWithoutItsFrame) {
    const Rect childClient{353, 243, 453, 323};  // border 3 taken off each side
    const struct {
        int x, y;
        xcb_window_t window;
        Rect rect;
    } cases[] = {
        {360, 250, child_, childClient},
        {351, 241, child_, childClient},                       // on the child's border
        {520, 260, top_, Rect{300, 200, 700, 500}},            // beside the child
        {1100, 150, framed_, Rect{1005, 105, 1205, 205}},      // a frame of 5
        {1600, 900, desktop_.root(), Rect{0, 0, 1920, 1080}},  // the bare desktop
    };
    for (const auto& c : cases) {
        Rect rect;
        EXPECT_EQ(lookAt(c.x, c.y, rect), c.window) << c.x << "," << c.y;
        EXPECT_EQ(rect, c.rect) << c.x << "," << c.y;
    }
    platform::WindowHit hit;
    EXPECT_FALSE(screen_->windowAt(Point{-1, 10}, 0, hit));  // off the desktop
    EXPECT_FALSE(screen_->windowAt(Point{10, 1080}, 0, hit));
}

}  // namespace

namespace {

// Two monitors side by side, the right one primary: the desktop is that monitor; without a
// primary monitor it is the whole screen again. Monitors as RandR lets a session declare them.
TEST(Desktop, IsThePrimaryMonitor) {
    const auto xrandr = [](const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xrandr"};
        argv.insert(argv.end(), args.begin(), args.end());
        int status = -1;
        testsupport::runAndCapture(argv, &status);
        ASSERT_EQ(status, 0) << args.front();
    };
    auto screen = platform::Screen::open();
    ASSERT_TRUE(screen);
    const Rect whole = screen->desktopRect();
    xrandr({"--setmonitor", "left", "960/254x1080/286+0+0", "none"});
    xrandr({"--setmonitor", "*right", "960/254x1080/286+960+0", "none"});
    EXPECT_EQ(screen->desktopRect(), (Rect{960, 0, 1920, 1080}));
    xrandr({"--delmonitor", "left"});
    xrandr({"--delmonitor", "right"});
    EXPECT_EQ(screen->desktopRect(), whole);
    EXPECT_EQ(whole, (Rect{0, 0, 1920, 1080}));
}

}  // namespace
