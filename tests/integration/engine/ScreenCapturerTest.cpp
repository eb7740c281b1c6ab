// Grabs of the private X server's screen: exact pixels, the image size on every grab, areas
// past the screen's edge, the cursor drawn where the pointer is, and the clock stamp.
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

class PatternedDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        desktop_ = new TestDesktop();
        desktop_->paintPattern();
    }
    static void TearDownTestSuite() {
        delete desktop_;
        desktop_ = nullptr;
    }
    static TestDesktop* desktop_;
};
TestDesktop* PatternedDesktop::desktop_ = nullptr;

int channel(uint32_t v, int shift) {
    return static_cast<int>((v >> shift) & 0xFF);
}

uint32_t bgrAt(const uint8_t* buffer, int width, int x, int y) {
    const uint8_t* p = &buffer[(static_cast<size_t>(y) * width + x) * 4];
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}
uint32_t bgrAt(const std::vector<uint8_t>& buffer, int width, int x, int y) {
    return bgrAt(buffer.data(), width, x, y);
}

// Pixels of the area that lie on the desktop must be the pattern, the rest all-zero bytes.
int countWrongPixels(const uint8_t* buffer, const Rect& area, int screenW, int screenH) {
    int wrong = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const int bx = x - area.left, by = y - area.top;
            const bool onScreen = x >= 0 && y >= 0 && x < screenW && y < screenH;
            if (onScreen) {
                wrong += bgrAt(buffer, area.width(), bx, by) != patternAt(x, y);
            } else {
                uint32_t all = 0;
                std::memcpy(&all, &buffer[(static_cast<size_t>(by) * area.width() + bx) * 4], 4);
                wrong += all != 0;
            }
        }
    }
    return wrong;
}
int countWrongPixels(const std::vector<uint8_t>& buffer, const Rect& area, int screenW,
                     int screenH) {
    return countWrongPixels(buffer.data(), area, screenW, screenH);
}

// Shared memory and the plain protocol must give the same pictures.
class GrabTest : public PatternedDesktop, public ::testing::WithParamInterface<bool> {
protected:
    // A capturer over a connection of the kind under test, with no cursor composed.
    void init(ScreenCapturer& capturer, const Rect& area) {
        auto screen = platform::Screen::open(GetParam());
        ASSERT_NE(screen, nullptr);
        screen_ = screen.get();
        capturer.useScreen(std::move(screen));
        capturer.init(area);
    }
    platform::Screen* screen_ = nullptr;
    CursorState cursor_;
    RecordingClock clock_;
};

TEST_P(GrabTest, AGrabIsPixelExactAndFullSizeEveryTime) {
    ScreenCapturer capturer(cursor_, clock_);
    const Rect area{123, 45, 123 + 640, 45 + 360};
    init(capturer, area);
    std::vector<uint8_t> buffer(640 * 360 * 4);
    for (int i = 0; i < 3; ++i) {
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        uint32_t clockTime = 0;
        ASSERT_EQ(capturer.capture(buffer.data(), clockTime), 640 * 360 * 4);
        EXPECT_EQ(countWrongPixels(buffer, area, desktop_->width(), desktop_->height()), 0);
    }
    EXPECT_EQ(screen_->usesSharedMemory(), GetParam());

    // The whole screen at once as well.
    const Rect full{0, 0, desktop_->width(), desktop_->height()};
    capturer.init(full);
    std::vector<uint8_t> whole(static_cast<size_t>(full.width()) * full.height() * 4);
    uint32_t clockTime = 0;
    ASSERT_EQ(capturer.capture(whole.data(), clockTime), full.width() * full.height() * 4);
    EXPECT_EQ(countWrongPixels(whole, full, desktop_->width(), desktop_->height()), 0);
}

TEST_P(GrabTest, AnAreaPastTheEdgeComesBackFullSizeAndBlackOffScreen) {
    const int w = desktop_->width(), h = desktop_->height();
    const Rect areas[] = {
        {w - 120, h - 80, w - 120 + 256, h - 80 + 160},  // over the bottom-right corner
        {-50, -30, 150, 70},                             // over the top-left corner
        {w + 10, 0, w + 110, 100},                       // wholly off the screen
        {-10, -10, w + 10, h + 10},                      // larger than the screen
        {300, -200, 500, -100},                          // above the screen
    };
    for (const Rect& area : areas) {
        SCOPED_TRACE(::testing::Message()
                     << area.left << "," << area.top << " " << area.right << "," << area.bottom);
        ScreenCapturer capturer(cursor_, clock_);
        init(capturer, area);
        std::vector<uint8_t> buffer(static_cast<size_t>(area.width()) * area.height() * 4, 0xEE);
        uint32_t clockTime = 0;
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(capturer.capture(buffer.data(), clockTime), area.width() * area.height() * 4);
            EXPECT_EQ(countWrongPixels(buffer, area, w, h), 0);
        }
        // The connection is still good for an ordinary grab afterwards.
        const Rect inside{10, 10, 74, 74};
        capturer.init(inside);
        std::vector<uint8_t> small(64 * 64 * 4);
        ASSERT_EQ(capturer.capture(small.data(), clockTime), 64 * 64 * 4);
        EXPECT_EQ(countWrongPixels(small, inside, w, h), 0);
    }
}

TEST_P(GrabTest, TheCapturersFrameBufferTakesGrabsWhereTheDisplayCanWriteIt) {
    const int w = desktop_->width(), h = desktop_->height();
    ScreenCapturer capturer(cursor_, clock_);
    init(capturer, Rect{0, 0, 64, 64});
    if (!GetParam()) {
        EXPECT_EQ(capturer.frameBuffer(), nullptr);  // the caller brings its own
        return;
    }
    // Whole areas and areas past the edge, whose visible rows are moved into place inside
    // the buffer the server wrote them into; the larger ones make the capturer find room.
    const Rect areas[] = {
        {123, 45, 123 + 640, 45 + 360},
        {w - 120, h - 80, w - 120 + 256, h - 80 + 160},
        {-50, -30, 150, 70},
        {-7, 100, 300, 200},  // off the left edge only: every row moves sideways
        {300, -200, 500, -100},
        {0, 0, w, h},
        {-10, -10, w + 10, h + 10},
    };
    for (const Rect& area : areas) {
        SCOPED_TRACE(::testing::Message()
                     << area.left << "," << area.top << " " << area.right << "," << area.bottom);
        capturer.init(area);
        uint8_t* frame = capturer.frameBuffer();
        ASSERT_NE(frame, nullptr);
        const size_t bytes = static_cast<size_t>(area.width()) * area.height() * 4;
        for (int i = 0; i < 2; ++i) {
            std::memset(frame, 0xEE, bytes);
            uint32_t clockTime = 0;
            ASSERT_EQ(capturer.capture(frame, clockTime), static_cast<int32_t>(bytes));
            EXPECT_EQ(countWrongPixels(frame, area, w, h), 0);
        }
    }
}

TEST_P(GrabTest, TheDisplaysOwnBufferRefusesAnAreaLargerThanItWasMadeFor) {
    auto screen = platform::Screen::open(GetParam());
    ASSERT_NE(screen, nullptr);
    uint8_t* small = screen->directBuffer(64, 64);
    if (!GetParam()) {
        EXPECT_EQ(small, nullptr);
        return;
    }
    ASSERT_NE(small, nullptr);
    std::memset(small, 0xEE, 64 * 64 * 4);
    // Making room for the larger area would unmap the very buffer being written.
    EXPECT_FALSE(screen->grab(Rect{0, 0, 128, 128}, small));
    EXPECT_EQ(small[0], 0xEE);
    EXPECT_TRUE(screen->grab(Rect{0, 0, 64, 32}, small));  // a smaller one fits
    std::vector<uint8_t> copy(small, small + 64 * 32 * 4);
    EXPECT_EQ(countWrongPixels(copy, Rect{0, 0, 64, 32}, desktop_->width(), desktop_->height()), 0);
}

INSTANTIATE_TEST_SUITE_P(SharedMemoryAndPlain, GrabTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "SharedMemory" : "Plain";
                         });

// Expects the grab to hold the composed image over the pattern with its top-left at
// (left, top) in screen coordinates, and the plain pattern everywhere else.
void expectCursorAt(const std::vector<uint8_t>& buffer, const Rect& area, const SDL_Surface* image,
                    int left, int top) {
    int wrong = 0;
    int covered = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const uint32_t bg = patternAt(x, y);
            uint32_t want = bg;
            const int ix = x - left, iy = y - top;
            if (ix >= 0 && iy >= 0 && ix < image->w && iy < image->h) {
                const uint32_t s = reinterpret_cast<const uint32_t*>(
                    static_cast<const uint8_t*>(image->pixels) + iy * image->pitch)[ix];
                const double a = channel(s, 24) / 255.0;
                covered += a > 0;
                want = 0;
                for (int shift : {16, 8, 0}) {
                    want |= static_cast<uint32_t>(channel(s, shift) * a +
                                                  channel(bg, shift) * (1 - a) + 0.5)
                            << shift;
                }
            }
            const uint32_t got = bgrAt(buffer, area.width(), x - area.left, y - area.top);
            bool ok = true;
            for (int shift : {16, 8, 0}) {
                ok = ok && std::abs(channel(got, shift) - channel(want, shift)) <= 3;  // SDL's /256
            }
            if (!ok && ++wrong <= 5) {
                ADD_FAILURE() << "at " << x << "," << y << std::hex << " got 0x" << got
                              << " want 0x" << want;
            }
        }
    }
    EXPECT_GT(covered, 100);
    EXPECT_EQ(wrong, 0);
}

class CursorGrabTest : public PatternedDesktop {
protected:
    void SetUp() override {
        CursorOverlay::compose(cursor_, 104, 129, 117);
        capturer_.init(area_);
    }
    // Where the pointer is, as the mouse hook would report it.
    void pointerMovedTo(int x, int y) {
        desktop_->movePointer(x, y);
        auto screen = platform::Screen::open();
        ASSERT_NE(screen, nullptr);
        Point p;
        ASSERT_TRUE(screen->cursorPosition(p));
        ASSERT_EQ(p.x, x);
        ASSERT_EQ(p.y, y);
        cursor_.x = p.x;
        cursor_.y = p.y;
        cursor_.pressed = 0;
    }
    void grab() {
        uint32_t clockTime = 0;
        ASSERT_EQ(capturer_.capture(buffer_.data(), clockTime), area_.width() * area_.height() * 4);
    }

    CursorState cursor_;
    RecordingClock clock_;
    ScreenCapturer capturer_{cursor_, clock_};
    const Rect area_{600, 300, 900, 500};
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(300 * 200 * 4);
};

TEST_F(CursorGrabTest, TheCursorIsDrawnCentredWhereThePointerIs) {
    pointerMovedTo(700, 400);
    grab();
    expectCursorAt(buffer_, area_, cursor_.normalImage->surface(), 700 - cursor_.halfWidth,
                   400 - cursor_.halfHeight);

    // Near the area's edge, partly outside it.
    pointerMovedTo(605, 497);
    grab();
    expectCursorAt(buffer_, area_, cursor_.normalImage->surface(), 605 - cursor_.halfWidth,
                   497 - cursor_.halfHeight);
}

TEST_F(CursorGrabTest, TheCursorIsDrawnIntoTheCapturersFrameBufferToo) {
    pointerMovedTo(650, 310);  // partly off the area's top-left
    uint8_t* frame = capturer_.frameBuffer();
    ASSERT_NE(frame, nullptr);
    uint32_t clockTime = 0;
    ASSERT_EQ(capturer_.capture(frame, clockTime), area_.width() * area_.height() * 4);
    const std::vector<uint8_t> copy(frame, frame + buffer_.size());
    expectCursorAt(copy, area_, cursor_.normalImage->surface(), 650 - cursor_.halfWidth,
                   310 - cursor_.halfHeight);
}

TEST_F(CursorGrabTest, ALeftClickShowsThePressedImageUntilTheNextMouseEvent) {
    pointerMovedTo(750, 420);
    cursor_.pressed = 1;  // the hook saw a left-button-down
    for (int i = 0; i < 2; ++i) {
        grab();
        expectCursorAt(buffer_, area_, cursor_.pressedImage->surface(), 750 - cursor_.halfWidth,
                       420 - cursor_.halfHeight);
    }
    pointerMovedTo(760, 425);  // the next event is a move: pressed is 0 again
    grab();
    expectCursorAt(buffer_, area_, cursor_.normalImage->surface(), 760 - cursor_.halfWidth,
                   425 - cursor_.halfHeight);
}

// A clock whose reading checks, at the moment it is read, that the grab is already complete.
class WitnessClock : public platform::Clock {
public:
    uint32_t nowMs() const override {
        ++reads;
        if (check) {
            sawFinishedGrab = check();
        }
        return 5000 + reads;
    }
    mutable int reads = 0;
    mutable bool sawFinishedGrab = false;
    std::function<bool()> check;
};

TEST_F(CursorGrabTest, TheClockIsReadAfterThePixelsAndTheCursor) {
    pointerMovedTo(800, 350);
    WitnessClock source;
    RecordingClock clock(source);
    clock.start();  // reading 1: recordStart = 5001
    ScreenCapturer capturer(cursor_, clock);
    capturer.init(area_);
    std::fill(buffer_.begin(), buffer_.end(), 0xEE);
    // The pixel under the cursor's centre holds the composed pointer, not the pattern (nor
    // the sentinel), once the grab is done; a corner far from the cursor holds the pattern.
    const int cx = 800 - area_.left, cy = 350 - area_.top;
    source.check = [&] {
        return bgrAt(buffer_, area_.width(), 0, 0) == patternAt(area_.left, area_.top) &&
               bgrAt(buffer_, area_.width(), cx, cy) != patternAt(800, 350) &&
               buffer_[(static_cast<size_t>(cy) * area_.width() + cx) * 4] != 0xEE;
    };
    uint32_t clockTime = 0;
    ASSERT_GT(capturer.capture(buffer_.data(), clockTime), 0);
    EXPECT_TRUE(source.sawFinishedGrab);
    EXPECT_EQ(source.reads, 2);  // one reading per grab
    EXPECT_EQ(clockTime, 1u);    // 5002 - 5001
}

TEST(ScreenCapturerFailures, AFailedGrabReturnsZeroAndLeavesTheBufferUntouched) {
    CursorState cursor;
    RecordingClock clock;
    std::vector<uint8_t> buffer(64 * 64 * 4, 0xEE);
    uint32_t clockTime = 77;
    auto untouched = [&] {
        return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; }) &&
               clockTime == 77;
    };

    ScreenCapturer neverReady(cursor, clock);
    EXPECT_EQ(neverReady.capture(buffer.data(), clockTime), 0);  // no init
    neverReady.init(Rect{10, 10, 10, 50});                       // no width
    EXPECT_EQ(neverReady.capture(buffer.data(), clockTime), 0);
    neverReady.init(Rect{10, 10, 5, 50});  // negative width
    EXPECT_EQ(neverReady.capture(buffer.data(), clockTime), 0);
    EXPECT_TRUE(untouched());

    ScreenCapturer released(cursor, clock);
    released.init(Rect{0, 0, 64, 64});
    ASSERT_GT(released.capture(buffer.data(), clockTime), 0);
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    clockTime = 77;
    released.release();
    EXPECT_EQ(released.capture(buffer.data(), clockTime), 0);
    EXPECT_TRUE(untouched());

    // The X server goes away in the middle of a recording.
    auto other = std::make_unique<testsupport::XvfbServer>(320, 240);
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", other->display().c_str(), 1);
    auto screen = platform::Screen::open();
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_NE(screen, nullptr);
    ScreenCapturer orphan(cursor, clock);
    orphan.useScreen(std::move(screen));
    orphan.init(Rect{0, 0, 64, 64});
    ASSERT_GT(orphan.capture(buffer.data(), clockTime), 0);
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    clockTime = 77;
    other.reset();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(orphan.capture(buffer.data(), clockTime), 0);
    }
    EXPECT_TRUE(untouched());
    // The capturer's own buffer keeps the last picture when the display is gone.
    uint8_t* frame = orphan.frameBuffer();
    ASSERT_NE(frame, nullptr);
    std::memset(frame, 0xEE, 64 * 64 * 4);
    EXPECT_EQ(orphan.capture(frame, clockTime), 0);
    EXPECT_TRUE(std::all_of(frame, frame + 64 * 64 * 4, [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(clockTime, 77u);
}

}  // namespace
