// The area overlay's helpers on a real X server: the desktop snapshot, the dimming mask and
// the window under the cursor.
#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "TestServers.h"
#include "engine/ScreenCapturer.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using testdesktop::patternAt;
using testdesktop::TestDesktop;

uint32_t pixelAt(const SDL_Surface* s, int x, int y) {
    return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(s->pixels) +
                                             static_cast<size_t>(y) * s->pitch)[x];
}

TEST(DesktopUtilities, TheSnapshotIsTheWholeDesktopAndTheMaskDimsIt) {
    TestDesktop desktop;
    desktop.paintPattern();
    auto screen = platform::Screen::open();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->desktopRect(), (Rect{0, 0, 1920, 1080}));
    // X draws programs at the display mode's size: the scale the recorder derives is 1.
    const platform::DisplayMetrics metrics = screen->displayMetrics();
    EXPECT_TRUE(metrics.modeKnown);
    EXPECT_EQ(metrics.modeWidth, metrics.logicalWidth);
    EXPECT_EQ(metrics.modeHeight, metrics.logicalHeight);

    SurfacePtr snapshot = ScreenCapturer::desktopSnapshot(*screen);
    ASSERT_NE(snapshot, nullptr);
    ASSERT_EQ(snapshot->w, 1920);
    ASSERT_EQ(snapshot->h, 1080);
    EXPECT_EQ(snapshot->format->format, SDL_PIXELFORMAT_RGB888);
    int wrong = 0;
    for (int y = 0; y < snapshot->h; ++y) {
        for (int x = 0; x < snapshot->w; ++x) {
            wrong += (pixelAt(snapshot.get(), x, y) & 0xFFFFFFu) != patternAt(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);

    SurfacePtr mask = ScreenCapturer::desktopMask(*screen);
    ASSERT_NE(mask, nullptr);
    ASSERT_EQ(mask->w, 1920);
    ASSERT_EQ(mask->h, 1080);
    EXPECT_EQ(mask->format->format, SDL_PIXELFORMAT_ARGB8888);
    int notMask = 0;
    for (int y = 0; y < mask->h; ++y) {
        for (int x = 0; x < mask->w; ++x) {
            notMask += pixelAt(mask.get(), x, y) != 0x4F000000u;
        }
    }
    EXPECT_EQ(notMask, 0);
}

class WindowUnderCursor : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = platform::Screen::open();
        ASSERT_NE(screen_, nullptr);
        // A top-level window with a bordered child; above the child an unmapped window and
        // an input-only one, both of which must be looked through.
        top_ = desktop_.createWindow(desktop_.root(), 300, 200, 400, 300);
        child_ = desktop_.createWindow(top_, 50, 40, 100, 80, 3);
        unmapped_ = desktop_.createWindow(top_, 40, 30, 200, 200, 0, false, false);
        inputOnly_ = desktop_.createWindow(top_, 45, 35, 150, 150, 0, true);
        framed_ = desktop_.createWindow(desktop_.root(), 1000, 100, 200, 100, 5);
    }
    void TearDown() override {
        for (xcb_window_t w : {top_, framed_}) {
            desktop_.destroyWindow(w);
        }
    }
    platform::NativeWindow lookAt(int x, int y, Rect& rect, platform::NativeWindow skip = 0) {
        desktop_.movePointer(x, y);
        return ScreenCapturer::windowUnderCursor(*screen_, rect, skip);
    }

    TestDesktop desktop_;
    std::unique_ptr<platform::Screen> screen_;
    xcb_window_t top_ = 0, child_ = 0, unmapped_ = 0, inputOnly_ = 0, framed_ = 0;
};

TEST_F(WindowUnderCursor, FindsTheDeepestVisibleWindowWithoutItsFrame) {
    Rect rect;
    // In the child: its client area (border 3 taken off each side).
    EXPECT_EQ(lookAt(360, 250, rect), child_);
    EXPECT_EQ(rect, (Rect{353, 243, 453, 323}));
    // On the child's border: still the child, the same rectangle.
    EXPECT_EQ(lookAt(351, 241, rect), child_);
    EXPECT_EQ(rect, (Rect{353, 243, 453, 323}));
    // In the top-level window beside the child, under the invisible windows.
    EXPECT_EQ(lookAt(520, 260, rect), top_);
    EXPECT_EQ(rect, (Rect{300, 200, 700, 500}));
    // A top-level window with a frame of 5.
    EXPECT_EQ(lookAt(1100, 150, rect), framed_);
    EXPECT_EQ(rect, (Rect{1005, 105, 1205, 205}));
    // The bare desktop is a window too: the whole screen.
    EXPECT_EQ(lookAt(1600, 900, rect), desktop_.root());
    EXPECT_EQ(rect, (Rect{0, 0, 1920, 1080}));
}

TEST_F(WindowUnderCursor, LooksThroughTheWindowItIsToldToSkip) {
    // A full-screen overlay on top, as the area picker is, whose content sits in a child
    // (as when a window manager frames a window).
    const xcb_window_t overlay = desktop_.createWindow(desktop_.root(), 0, 0, 1920, 1080);
    const xcb_window_t content = desktop_.createWindow(overlay, 0, 0, 1920, 1080);
    Rect rect;
    EXPECT_EQ(lookAt(360, 250, rect), content);
    EXPECT_EQ(lookAt(360, 250, rect, overlay), child_);
    EXPECT_EQ(rect, (Rect{353, 243, 453, 323}));
    EXPECT_EQ(lookAt(360, 250, rect, content), child_);
    desktop_.destroyWindow(overlay);
}

TEST_F(WindowUnderCursor, APointOffTheDesktopFindsNothing) {
    platform::WindowHit hit;
    hit.window = 42;
    EXPECT_FALSE(screen_->windowAt(Point{-1, 10}, 0, hit));
    EXPECT_FALSE(screen_->windowAt(Point{10, 1080}, 0, hit));
    EXPECT_EQ(hit.window, 42u);
    EXPECT_TRUE(screen_->windowAt(Point{1919, 1079}, 0, hit));
}

}  // namespace
