// The capture frame off-screen on a 1920 x 1080 desktop: layout, handles, resize, move, lock.

#include <gtest/gtest.h>

#include <string>

#include "ViewsTestSupport.h"
#include "ui/render/Canvas.h"
#include "views/CaptureAreaWin.h"
#include "views/ViewMessages.h"
#include "views/controls/TransformTool.h"

namespace {

using ui::MakeLParam;
using viewstest::str;

const Rect kDesktop{0, 0, 1920, 1080};

class CaptureAreaWinTest : public ::testing::Test {
protected:
    CaptureAreaWinTest() {
        frame.CreateOffscreen(L"capture", ui::WS_POPUP | ui::WS_CLIPSIBLINGS,
                              ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST);
        tool = static_cast<TransformTool*>(control("captureArea")->GetInterface("TransformTool"));
        log.clear();
    }
    ~CaptureAreaWinTest() override { log.clear(); }

    ui::Control* control(const char* name) { return frame.GetPaintManager().FindControl(name); }
    // The area as the Store answers it; laid out as the window is before it is seen.
    void show(const Rect& area) {
        frame.FrameCaptureRect(area);
        render();
    }
    ui::Canvas render() {
        ui::Canvas canvas(kDesktop.width(), kDesktop.height());
        frame.RenderTo(canvas);
        return canvas;
    }
    void send(uint32_t msg, Point at) { frame.SendMessage(msg, 0, MakeLParam(at.x, at.y)); }
    // A press at `from`, a move to `to` and the release, as the pointer does it.
    void drag(Point from, Point to) {
        send(ui::WM_MOUSEMOVE, from);
        frame.SendMessage(ui::WM_SETCURSOR);
        send(ui::WM_LBUTTONDOWN, from);
        send(ui::WM_MOUSEMOVE, to);
        send(ui::WM_LBUTTONUP, to);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::instance();
    CaptureAreaWin frame{kDesktop};
    TransformTool* tool = nullptr;
};

TEST_F(CaptureAreaWinTest,
       TheFrameStandsJustOutsideTheAreaWithTheButtonCentredAndTheBarAboveIfOver200) {
    struct Case {
        const char* what;
        Rect area;
        int32_t barTop;
    };
    const Case cases[] = {
        {"room above", {300, 200, 1000, 700}, 176},
        {"bar's top on the first row", {300, 25, 1000, 700}, 1},
        {"within 24 of the top: inside at the bottom", {300, 24, 1000, 700}, 676},
        {"the whole screen", {0, 0, 1920, 1080}, 1056},
    };
    for (const Case& c : cases) {
        show(c.area);
        EXPECT_TRUE(frame.IsWindowVisible()) << c.what;
        const Rect& a = c.area;
        EXPECT_EQ(str(tool->GetPos()), str({a.left - 2, a.top - 2, a.right + 3, a.bottom + 3}))
            << c.what;
        EXPECT_EQ(str(frame.FramedArea()), str(a)) << c.what;
        const int32_t cx = (a.left + a.right) / 2 - 16;
        const int32_t cy = (a.top + a.bottom) / 2 - 16;
        EXPECT_EQ(str(control("dragBtn")->GetPos()), str({cx, cy, cx + 32, cy + 32})) << c.what;
        EXPECT_EQ(str(control("toolBar")->GetPos()),
                  str({a.left, c.barTop, a.right, c.barTop + 24}))
            << c.what;
    }
    // An area of 200 or less either way shows the window but moves nothing.
    frame.ShowWindow(false);
    for (const Rect& small :
         {Rect{100, 100, 300, 700}, Rect{100, 100, 700, 300}, Rect{100, 100, 150, 150}}) {
        frame.FrameCaptureRect(small);
        EXPECT_TRUE(frame.IsWindowVisible());
        EXPECT_EQ(str(frame.FramedArea()), str(kDesktop));
        EXPECT_EQ(control("captureSize")->GetText(), L"L: 0, T: 0, Width: 1920, Height: 1080");
    }
}

TEST_F(CaptureAreaWinTest, HandlesAreFoundByTheirRectsAndBetweenThemIsTheMoveCursor) {
    show({300, 200, 1000, 700});  // frame (298, 198, 1003, 703), centre (650, 450)
    struct Case {
        Point at;
        int32_t handle;
        ui::Cursor cursor;
    };
    const Case cases[] = {
        // The corners and sides not dragged below; then the handles' last pixels and the
        // first ones past them; the border between handles, and the inside.
        {{1000, 200}, 2, ui::Cursor::SizeNESW}, {{300, 450}, 3, ui::Cursor::SizeWE},
        {{300, 700}, 6, ui::Cursor::SizeNESW},  {{650, 700}, 7, ui::Cursor::SizeNS},
        {{309, 209}, 0, ui::Cursor::SizeNWSE},  {{310, 199}, 4, ui::Cursor::SizeAll},
        {{643, 199}, 4, ui::Cursor::SizeAll},   {{644, 199}, 1, ui::Cursor::SizeNS},
        {{299, 300}, 4, ui::Cursor::SizeAll},   {{650, 450}, 4, ui::Cursor::SizeAll},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tool->HitTest(c.at), c.cursor) << c.at.x << "," << c.at.y;
        EXPECT_EQ(tool->HitHandle(), c.handle) << c.at.x << "," << c.at.y;
    }
}

TEST_F(CaptureAreaWinTest, ResizingKeepsTheAreaOnTheDesktopAndAtLeast200) {
    struct Case {
        const char* what;
        Point from;
        Point to;
        Rect expected;
    };
    // Frame of (300, 200, 1000, 700) each time.
    const Case cases[] = {
        {"bottom-right in past the minimum", {1000, 700}, {400, 300}, {300, 200, 500, 400}},
        {"top-left in past the minimum", {300, 200}, {1000, 700}, {800, 500, 1000, 700}},
        {"top-left beyond the desktop", {300, 200}, {-50, -80}, {0, 0, 1000, 700}},
        {"right side beyond the desktop", {1000, 450}, {2100, 400}, {300, 200, 1920, 700}},
        {"top side, only vertical", {650, 200}, {700, 100}, {300, 100, 1000, 700}},
        {"on the border between handles: unchanged", {500, 199}, {600, 260}, {300, 200, 1000, 700}},
    };
    for (const Case& c : cases) {
        show({300, 200, 1000, 700});
        log.clear();
        drag(c.from, c.to);
        ASSERT_EQ(log.rects.size(), 1u) << c.what;
        EXPECT_EQ(str(log.rects[0]), str(c.expected)) << c.what;
    }
    // The minimum on its own, for each side.
    EXPECT_EQ(str(TransformTool::Resize({300, 200, 1000, 700}, 3, 900, 0, kDesktop)),
              str({800, 200, 1000, 700}));
    EXPECT_EQ(str(TransformTool::Resize({300, 200, 1000, 700}, 7, 0, -900, kDesktop)),
              str({300, 200, 1000, 400}));
}

TEST_F(CaptureAreaWinTest, TheMoveButtonMovesTheAreaStoppingAtEachEdgeOnItsOwn) {
    struct Case {
        const char* what;
        Rect area;
        Point by;
        Rect expected;
    };
    const Case cases[] = {
        {"into the left edge: only vertical", {5, 300, 705, 800}, {-10, 20}, {5, 320, 705, 820}},
        {"into the top edge: only horizontal", {300, 5, 1000, 505}, {30, -10}, {330, 5, 1030, 505}},
        {"into the right edge", {1200, 300, 1915, 800}, {10, -20}, {1200, 280, 1915, 780}},
        {"into the bottom edge", {300, 575, 1000, 1075}, {-40, 10}, {260, 575, 960, 1075}},
        {"up to the corner exactly", {10, 10, 710, 510}, {-10, -10}, {0, 0, 700, 500}},
    };
    for (const Case& c : cases) {
        show(c.area);
        log.clear();
        const Rect button = control("dragBtn")->GetPos();
        const Point from{button.left + 16, button.top + 16};
        drag(from, {from.x + c.by.x, from.y + c.by.y});
        ASSERT_EQ(log.rects.size(), 1u) << c.what;
        EXPECT_EQ(str(log.rects[0]), str(c.expected)) << c.what;
    }
}

TEST_F(CaptureAreaWinTest, LockingLeavesOnlyTheBorderAndHidesAFullScreenFrame) {
    struct Case {
        const char* what;
        Rect area;
        bool frameShown;
    };
    const Case cases[] = {
        {"the whole screen", {0, 0, 1920, 1080}, false},
        {"the screen but its top two rows", {0, 2, 1920, 1080}, true},
    };
    for (const Case& c : cases) {
        CaptureAreaWin locked{kDesktop};
        locked.CreateOffscreen(L"capture", ui::WS_POPUP, 0);
        locked.FrameCaptureRect(c.area);
        ui::Canvas canvas(kDesktop.width(), kDesktop.height());
        locked.RenderTo(canvas);
        locked.LockForRecording();
        ui::PaintManager& pm = locked.GetPaintManager();
        EXPECT_FALSE(pm.FindControl("toolBar")->IsVisible()) << c.what;
        EXPECT_FALSE(pm.FindControl("dragBtn")->IsVisible()) << c.what;
        EXPECT_FALSE(pm.FindControl("captureArea")->IsEnabled()) << c.what;
        EXPECT_EQ(pm.FindControl("captureArea")->IsVisible(), c.frameShown) << c.what;
    }

    // Unlocked, a handle is drawn and the inside is see-through but for the move button.
    show({300, 200, 1000, 700});
    ui::Canvas canvas = render();
    EXPECT_EQ(canvas.pixel(304, 204), 0xFFFFFFFFu) << "top-left handle";
    EXPECT_EQ(canvas.pixel(500, 450) >> 24, 0u) << "inside";
    EXPECT_NE(canvas.pixel(650, 450) >> 24, 0u) << "move button";
    // Locked: the border outside the area, no handle, nothing inside.
    frame.LockForRecording();
    canvas = render();
    for (Point border : {Point{298, 400}, Point{299, 400}, Point{1001, 400}}) {
        EXPECT_EQ(canvas.pixel(border.x, border.y), 0xFFFF5722u) << border.x;
    }
    for (Point inside :
         {Point{300, 200}, Point{305, 205}, Point{650, 450}, Point{999, 699}, Point{1000, 400}}) {
        EXPECT_EQ(canvas.pixel(inside.x, inside.y) >> 24, 0u)
            << "drawn at " << inside.x << "," << inside.y;
    }
    // Locked, the frame takes no resize.
    log.clear();
    drag({1000, 700}, {1100, 800});
    EXPECT_TRUE(log.rects.empty());
}

}  // namespace
