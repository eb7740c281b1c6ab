// The capture frame off-screen on a 1920 x 1080 desktop: its layout, handles, the limits of
// resizing and moving, and the lock. Clicking through it and recording are checked end to end.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "ViewsTestSupport.h"
#include "views/CaptureAreaWin.h"
#include "views/controls/TransformTool.h"

namespace {

using viewstest::sendAt;

const Rect kDesktop{0, 0, 1920, 1080};

class CaptureAreaWinTest : public ::testing::Test {
protected:
    CaptureAreaWinTest() {
        frame.CreateOffscreen(L"capture", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST);
        log.clear();
    }
    ~CaptureAreaWinTest() override { log.clear(); }

    ui::Control* control(const char* name) { return viewstest::control(frame, name); }
    // The area as the Store answers it, laid out as the window is before it is seen.
    void show(const Rect& area) {
        frame.FrameCaptureRect(area);
        viewstest::render(frame);
    }
    // A press at `from`, a move to `to` and the release, as the pointer does it.
    void drag(Point from, Point to) {
        sendAt(frame, ui::WM_LBUTTONDOWN, from);
        sendAt(frame, ui::WM_MOUSEMOVE, to);
        sendAt(frame, ui::WM_LBUTTONUP, to);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::instance();
    CaptureAreaWin frame{kDesktop};
};

TEST_F(CaptureAreaWinTest, TheFrameStandsJustOutsideTheAreaAndTheBarAboveItUnlessNearTheTop) {
    show({300, 25, 1000, 700});
    EXPECT_EQ(control("captureArea")->GetPos(), (Rect{298, 23, 1003, 703}));
    EXPECT_EQ(control("toolBar")->GetPos(), (Rect{300, 1, 1000, 25}));
    show({300, 24, 1000, 700});
    EXPECT_EQ(control("toolBar")->GetPos(), (Rect{300, 676, 1000, 700}));
    frame.FrameCaptureRect({100, 100, 300, 700});  // 200 wide: not followed
    EXPECT_EQ(frame.FramedArea(), (Rect{300, 24, 1000, 700}));
}

TEST_F(CaptureAreaWinTest, HandlesAreHitByTheirRectsAndBetweenThemIsTheMoveCursor) {
    show({300, 200, 1000, 700});  // frame (298, 198, 1003, 703)
    auto* tool = viewstest::control<TransformTool>(frame, "captureArea", "TransformTool");
    // Handles' last pixels and the first ones past them; the border between handles, the inside.
    const std::pair<Point, ui::Cursor> cases[] = {
        {{300, 450}, ui::Cursor::SizeWE},    {{650, 700}, ui::Cursor::SizeNS},
        {{309, 209}, ui::Cursor::SizeNWSE},  {{310, 199}, ui::Cursor::SizeAll},
        {{643, 199}, ui::Cursor::SizeAll},   {{644, 199}, ui::Cursor::SizeNS},
        {{1000, 200}, ui::Cursor::SizeNESW}, {{299, 300}, ui::Cursor::SizeAll},
    };
    for (const auto& [at, cursor] : cases) {
        EXPECT_EQ(tool->HitTest(at), cursor) << at.x << "," << at.y;
    }
}

// A handle of the frame around `area` or the move button in its middle dragged from one point
// to another: the area asked for stays on the desktop, and a resized one at least 200 x 200.
TEST_F(CaptureAreaWinTest, ResizedOrMovedTheAreaStaysOnTheDesktopResizedAtLeast200) {
    const Rect a{300, 200, 1000, 700};
    const std::tuple<Rect, Point, Point, Rect> cases[] = {
        // area, from, to, asked for
        {a, {1000, 700}, {400, 300}, {300, 200, 500, 400}},  // past the minimum
        {a, {300, 200}, {1000, 700}, {800, 500, 1000, 700}},
        {a, {300, 450}, {1200, 400}, {800, 200, 1000, 700}},
        {a, {650, 700}, {600, -200}, {300, 200, 1000, 400}},
        {a, {300, 200}, {-50, -80}, {0, 0, 1000, 700}},  // off the desktop
        {a, {1000, 450}, {2100, 400}, {300, 200, 1920, 700}},
        {a, {650, 200}, {700, 100}, {300, 100, 1000, 700}},
        {a, {500, 199}, {600, 260}, a},                                    // between handles
        {{5, 300, 705, 800}, {355, 550}, {345, 570}, {5, 320, 705, 820}},  // moves
        {{300, 5, 1000, 505}, {650, 255}, {680, 245}, {330, 5, 1030, 505}},
        {{1200, 300, 1915, 800}, {1557, 550}, {1567, 530}, {1200, 280, 1915, 780}},
        {{300, 575, 1000, 1075}, {650, 825}, {610, 835}, {260, 575, 960, 1075}},
        {{10, 10, 710, 510}, {360, 260}, {350, 250}, {0, 0, 700, 500}},  // to the corner exactly
    };
    for (const auto& [area, from, to, asked] : cases) {
        show(area);
        log.clear();
        drag(from, to);
        EXPECT_EQ(log.rects, std::vector<Rect>{asked})
            << viewstest::str(area) << " " << from.x << "," << from.y;
    }
}

TEST_F(CaptureAreaWinTest, LockedOnlyTheBorderStaysAndNotEvenThatAroundTheWholeScreen) {
    for (const auto& [area, shown] :
         {std::pair{kDesktop, false}, std::pair{Rect{0, 2, 1920, 1080}, true}}) {
        CaptureAreaWin locked{kDesktop};
        locked.CreateOffscreen(L"capture", ui::WS_POPUP, 0);
        locked.FrameCaptureRect(area);
        viewstest::render(locked);
        locked.LockForRecording();
        EXPECT_EQ(viewstest::control(locked, "captureArea")->IsVisible(), shown);
        EXPECT_FALSE(viewstest::control(locked, "dragBtn")->IsVisible() ||
                     viewstest::control(locked, "toolBar")->IsVisible());
    }
    show({300, 200, 1000, 700});
    frame.LockForRecording();
    drag({1000, 700}, {1100, 800});  // a resize unlocked (above)
    EXPECT_TRUE(log.rects.empty());
}

}  // namespace
