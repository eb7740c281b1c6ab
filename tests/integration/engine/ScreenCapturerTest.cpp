// Grabs of the private X server's screen: exact pixels in either buffer, areas past the
// screen's edge, the cursor drawn where the pointer is, failures, and the window under the
// cursor.
#include "engine/ScreenCapturer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

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

int channel(uint32_t v, int shift) {
    return static_cast<int>((v >> shift) & 0xFF);
}

uint32_t bgrAt(const uint8_t* buffer, int width, int x, int y) {
    const uint8_t* p = &buffer[(static_cast<size_t>(y) * width + x) * 4];
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

// Pixels of the area on the desktop must be the pattern, the rest all-zero bytes, except
// where the cursor image (its top-left at left, top on the screen) is blended over them.
int countWrongPixels(const uint8_t* buffer, const Rect& area, const SDL_Surface* cursor = nullptr,
                     int left = 0, int top = 0) {
    int wrong = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const size_t at =
                (static_cast<size_t>(y - area.top) * area.width() + x - area.left) * 4;
            if (x < 0 || y < 0 || x >= kScreenW || y >= kScreenH) {
                uint32_t all = 0;
                std::memcpy(&all, &buffer[at], 4);
                wrong += all != 0;
                continue;
            }
            uint32_t want = patternAt(x, y);
            const int ix = x - left, iy = y - top;
            if (cursor != nullptr && ix >= 0 && iy >= 0 && ix < cursor->w && iy < cursor->h) {
                const uint32_t s = reinterpret_cast<const uint32_t*>(
                    static_cast<const uint8_t*>(cursor->pixels) + iy * cursor->pitch)[ix];
                const double a = channel(s, 24) / 255.0;
                uint32_t blended = 0;
                for (int shift : {16, 8, 0}) {
                    blended |= static_cast<uint32_t>(channel(s, shift) * a +
                                                     channel(want, shift) * (1 - a) + 0.5)
                               << shift;
                }
                want = blended;
            }
            const uint32_t got = bgrAt(buffer, area.width(), x - area.left, y - area.top);
            bool ok = true;
            for (int shift : {16, 8, 0}) {  // SDL's blend divides by 256: up to 3 levels off
                ok = ok && std::abs(channel(got, shift) - channel(want, shift)) <= (cursor ? 3 : 0);
            }
            if (!ok && ++wrong <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << std::hex << " got 0x" << got
                              << " want 0x" << want;
            }
        }
    }
    return wrong;
}

// Shared memory and the plain protocol must give the same pictures.
class GrabTest : public PatternedDesktop, public ::testing::WithParamInterface<bool> {};

TEST_P(GrabTest, GrabsArePixelExactFullSizeAndBlackOffTheScreenInEitherBuffer) {
    CursorState cursor;
    RecordingClock clock;
    ScreenCapturer capturer(cursor, clock);
    auto screen = platform::Screen::open(GetParam());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->usesSharedMemory(), GetParam());
    capturer.useScreen(std::move(screen));
    const int w = kScreenW, h = kScreenH;
    const Rect areas[] = {
        {123, 45, 123 + 640, 45 + 360},
        {w - 120, h - 80, w - 120 + 256, h - 80 + 160},  // over the bottom-right corner
        {-50, -30, 150, 70},                             // over the top-left corner
        {-7, 100, 300, 200},                             // off the left edge: rows move sideways
        {w + 10, 0, w + 110, 100},                       // wholly off the screen
        {300, -200, 500, -100},                          // above the screen
        {0, 0, w, h},
        {-10, -10, w + 10, h + 10},  // larger than the screen
    };
    for (const Rect& area : areas) {
        SCOPED_TRACE(::testing::Message()
                     << area.left << "," << area.top << " " << area.right << "," << area.bottom);
        capturer.init(area);
        const size_t bytes = static_cast<size_t>(area.width()) * area.height() * 4;
        std::vector<uint8_t> own(bytes);
        // The display's own buffer, where it has one (shared memory), spares a copy.
        uint8_t* direct = capturer.frameBuffer();
        EXPECT_EQ(direct != nullptr, GetParam());
        for (uint8_t* buffer : {own.data(), direct, own.data()}) {
            if (buffer == nullptr) {
                continue;
            }
            std::memset(buffer, 0xEE, bytes);
            uint32_t clockTime = 0;
            ASSERT_EQ(capturer.capture(buffer, clockTime), static_cast<int32_t>(bytes));
            EXPECT_EQ(countWrongPixels(buffer, area), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, GrabTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SharedMemory" : "Plain"; });

TEST_F(PatternedDesktop, TheCursorIsDrawnCentredWhereThePointerIsAndPressedAfterAClick) {
    CursorState cursor;
    CursorOverlay::compose(cursor, 104, 129, 117);
    RecordingClock clock;
    ScreenCapturer capturer(cursor, clock);
    const Rect area{600, 300, 900, 500};
    capturer.init(area);
    std::vector<uint8_t> own(static_cast<size_t>(area.width()) * area.height() * 4);
    struct Case {
        int x, y, pressed;
        bool direct;  // into the capturer's own frame buffer
    };
    // Inside, partly off the area's corners, and held down (the hook saw a left-button-down;
    // the next mouse event, a move, clears it).
    for (const Case& c :
         {Case{700, 400, 0, false}, Case{605, 497, 0, false}, Case{650, 310, 0, true},
          Case{750, 420, 1, false}, Case{750, 420, 1, true}, Case{760, 425, 0, false}}) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y << " pressed " << c.pressed);
        desktop_->movePointer(c.x, c.y);
        Point p;
        ASSERT_TRUE(platform::Screen::open()->cursorPosition(p));
        ASSERT_EQ(p.x, c.x);
        ASSERT_EQ(p.y, c.y);
        cursor.x = p.x;
        cursor.y = p.y;
        cursor.pressed = c.pressed;
        uint8_t* buffer = c.direct ? capturer.frameBuffer() : own.data();
        ASSERT_NE(buffer, nullptr);
        uint32_t clockTime = 0;
        ASSERT_EQ(capturer.capture(buffer, clockTime), static_cast<int32_t>(own.size()));
        const GDIBitmap& image = c.pressed ? *cursor.pressedImage : *cursor.normalImage;
        EXPECT_EQ(countWrongPixels(buffer, area, image.surface(), c.x - cursor.halfWidth,
                                   c.y - cursor.halfHeight),
                  0);
    }
}

TEST(ScreenCapturer, WhenTheXServerGoesAwayAGrabFailsAndLeavesTheBufferAndTheTimeAlone) {
    auto other = std::make_unique<testsupport::XvfbServer>(320, 240);
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", other->display().c_str(), 1);
    auto screen = platform::Screen::open();
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_NE(screen, nullptr);
    CursorState cursor;
    RecordingClock clock;
    ScreenCapturer orphan(cursor, clock);
    orphan.useScreen(std::move(screen));
    orphan.init(Rect{0, 0, 64, 64});
    std::vector<uint8_t> own(64 * 64 * 4);
    uint32_t clockTime = 0;
    ASSERT_GT(orphan.capture(own.data(), clockTime), 0);
    other.reset();
    // Its own buffer, and the display's, keep the last picture.
    for (uint8_t* buffer : {own.data(), own.data(), orphan.frameBuffer()}) {
        ASSERT_NE(buffer, nullptr);
        std::fill(buffer, buffer + own.size(), 0xEE);
        clockTime = 77;
        EXPECT_EQ(orphan.capture(buffer, clockTime), 0);
        EXPECT_EQ(clockTime, 77u);
        EXPECT_TRUE(std::all_of(buffer, buffer + own.size(), [](uint8_t b) { return b == 0xEE; }));
    }
}

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
