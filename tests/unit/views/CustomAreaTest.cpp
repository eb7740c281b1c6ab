// The custom area off-screen: the overlay over a scripted desktop (the edges of picking an area,
// the magnifier) and the frame on a 1920 x 1080 one (layout, handles, the limits of resizing and
// moving, the lock). Picking, the 2x picture, clicking through the frame and recording are end to
// end.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "Await.h"
#include "ViewsTestSupport.h"
#include "platform/Screen.h"
#include "views/CaptureAreaWin.h"
#include "views/Detection.h"
#include "views/ViewMessages.h"
#include "views/controls/TransformTool.h"

namespace {

using namespace std::chrono_literals;
using viewstest::sendAt;

constexpr int32_t kW = 640;
constexpr int32_t kH = 480;
constexpr uint32_t kGrey = 0xFF808080;
const Rect kDesktop{0, 0, 1920, 1080};  // the frame's
// A 400 x 300 window whose 396 x 260 client part lies in it evenly framed.
const Rect kWindow{100, 80, 500, 380};
const Rect kClient{102, 100, 498, 360};

// A grey desktop with the window on it.
class FakeScreen : public platform::Screen {
public:
    Rect desktopRect() override { return {0, 0, kW, kH}; }
    platform::DisplayMetrics displayMetrics() override { return {}; }
    bool cursorPosition(Point&) override { return false; }
    bool prepare(int32_t, int32_t) override { return true; }
    bool grab(const Rect& area, uint8_t* buffer) override {
        std::fill_n(reinterpret_cast<uint32_t*>(buffer), area.width() * area.height(), kGrey);
        return true;
    }
    bool windowAt(Point p, platform::NativeWindow, platform::WindowHit& hit) override {
        const bool in = p.x >= 100 && p.x < 500 && p.y >= 80 && p.y < 380;
        hit = {0, in ? kWindow : desktopRect(), in ? kClient.width() : kW,
               in ? kClient.height() : kH};
        return true;
    }
    bool usesSharedMemory() const override { return false; }
};

class DetectionTest : public ::testing::Test {
protected:
    DetectionTest() {
        detection.CreateOffscreen(L"detection", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW);
        detection.SetToolbarWindow(toolbar.GetHWND());
        detection.SendMessage(WM_VIEW_SHOW);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    viewstest::MessageLog toolbar;
    Detection detection{std::make_unique<FakeScreen>(), [](Point& at) {
                            at = {300, 200};
                            return true;
                        }};
};

TEST(DetectionSizeBarTest, AboveTheSelectionUnlessThatLeavesTheScreenThenInsideAtItsBottom) {
    const std::pair<int32_t, int32_t> cases[] = {{100, 72}, {29, 1}, {28, 272}, {0, 272}};
    for (const auto& [top, barTop] : cases) {
        EXPECT_EQ(Detection::SizeBarRect({50, top, 400, 300}), (Rect{50, barTop, 400, barTop + 28}))
            << top;
    }
}

TEST_F(DetectionTest, ADragIsClampedToTheDesktopAndTakenOnTheRelease) {
    const std::pair<Point, Rect> cases[] = {{{-40, -10}, {0, 0, 300, 200}},  // from (300, 200)
                                            {{700, 530}, {300, 200, kW, kH}}};
    for (const auto& [to, selection] : cases) {
        log.clear();
        detection.SendMessage(WM_VIEW_SHOW);
        sendAt(detection, ui::WM_LBUTTONDOWN, {300, 200}, ui::kModLButton);
        sendAt(detection, ui::WM_MOUSEMOVE, to, ui::kModLButton);
        EXPECT_EQ(detection.Selection(), selection);
        EXPECT_TRUE(log.rects.empty()) << "taken before the release";
        sendAt(detection, ui::WM_LBUTTONUP, to);
        EXPECT_EQ(log.rects, std::vector<Rect>{selection});
    }
}

TEST_F(DetectionTest, OnlyTheHighlightedWindowIsLeftUndimmedAndAClickWithoutMovementTakesIt) {
    sendAt(detection, ui::WM_MOUSEMOVE, {200, 200});
    EXPECT_EQ(detection.Selection(), kClient);
    EXPECT_EQ(viewstest::control(detection, "toolBar")->GetPos(), (Rect{102, 72, 498, 100}));
    EXPECT_EQ(viewstest::control(detection, "tips")->GetPos().left, 220) << "the hint follows";
    const ui::Canvas canvas = viewstest::render(detection, kW, kH);
    EXPECT_EQ(canvas.pixel(300, 300), kGrey);
    EXPECT_NE(canvas.pixel(550, 300), kGrey) << "not dimmed";
    EXPECT_EQ(canvas.pixel(103, 200), 0xFFFF5722u) << "the selection's border";

    sendAt(detection, ui::WM_LBUTTONUP, {200, 200});  // a release whose press was not ours
    EXPECT_TRUE(log.rects.empty());
    sendAt(detection, ui::WM_LBUTTONDOWN, {200, 200}, ui::kModLButton);
    sendAt(detection, ui::WM_MOUSEMOVE, {200, 200}, ui::kModLButton);  // a report of no motion
    sendAt(detection, ui::WM_LBUTTONUP, {200, 200});
    EXPECT_EQ(log.rects, std::vector<Rect>{kClient});
    sendAt(detection, ui::WM_MOUSEMOVE, {600, 450});  // fixed until the next detection
    EXPECT_EQ(detection.Selection(), kClient);
}

TEST_F(DetectionTest, ARightClickMidDragCancelsAndTheLeftReleaseAfterItIsNoChoice) {
    sendAt(detection, ui::WM_LBUTTONDOWN, {300, 200}, ui::kModLButton);
    sendAt(detection, ui::WM_MOUSEMOVE, {500, 400}, ui::kModLButton);
    sendAt(detection, ui::WM_RBUTTONUP, {500, 400}, ui::kModLButton);
    EXPECT_FALSE(detection.IsWindowVisible());
    EXPECT_EQ(toolbar.heard, std::vector<uint32_t>{WM_VIEW_SHOW});
    detection.SendMessage(WM_VIEW_SHOW);
    sendAt(detection, ui::WM_LBUTTONUP, {500, 400});
    EXPECT_TRUE(log.rects.empty());
}

// Only the part of the pointer's square on the screenshot is drawn, at its place: black around.
TEST(MagnifierTest, TheSquareAroundThePointerIsClippedToTheScreenshot) {
    const std::pair<Point, const char*> cases[] = {
        {{10, 20}, "file='desktopImage-7' source='0,0,60,70' dest='80,60,200,200'"},
        {{630, 470}, "file='desktopImage-7' source='580,420,640,480' dest='0,0,120,120'"},
        {{-60, 200}, ""},
    };
    for (const auto& [cursor, expected] : cases) {
        EXPECT_EQ(Magnifier::Descriptor(7, cursor, {200, 200}, {0, 0, kW, kH}), expected);
    }
    // The screenshot's pixels count from the desktop's corner.
    EXPECT_EQ(Magnifier::Descriptor(1, {1300, 200}, {200, 200}, {1280, 0, 1920, 480}),
              "file='desktopImage-1' source='0,150,70,250' dest='60,0,200,200'");
}

TEST_F(DetectionTest, TheMagnifierFollowsEachNewScreenshotAndJumpsOutOfThePointersWay) {
    ui::Control* magnifier = viewstest::control(detection, "magnifier");
    auto* worker = viewstest::control<Magnifier>(detection, "magnifier", "Magnifier");
    const auto shows = [&](int32_t serial) {
        const std::string image = "file='desktopImage-" + std::to_string(serial) + "' ";
        return testsupport::runLoop(5s, [&] { return magnifier->GetBkImage().find(image) == 0; });
    };
    const int32_t first = Magnifier::DesktopImageSerial();
    ASSERT_EQ(shows(first), 0) << magnifier->GetBkImage();
    detection.SendMessage(WM_VIEW_HIDE);
    EXPECT_FALSE(worker->IsRunning());
    detection.SendMessage(WM_VIEW_SHOW);
    EXPECT_TRUE(worker->IsRunning());
    const std::string old = "desktopImage-" + std::to_string(first);
    EXPECT_EQ(detection.GetPaintManager().GetImages().findImage(old), nullptr);
    ASSERT_EQ(shows(first + 1), 0) << magnifier->GetBkImage();
    viewstest::render(detection);  // laid out, it sits at the top left
    sendAt(detection, ui::WM_MOUSEMOVE, {100, 100});
    EXPECT_EQ(magnifier->GetPos(), (Rect{kW - 200, kH - 200, kW, kH}));
    sendAt(detection, ui::WM_MOUSEMOVE, {kW - 100, kH - 100});
    EXPECT_EQ(magnifier->GetPos(), (Rect{0, 0, 200, 200}));
    detection.DestroyWindow();
    EXPECT_FALSE(worker->IsRunning());
}

class CaptureAreaWinTest : public ::testing::Test {
protected:
    CaptureAreaWinTest() {
        frame.CreateOffscreen(L"capture", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST);
    }

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

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    CaptureAreaWin frame{kDesktop};
};

TEST_F(CaptureAreaWinTest, TheFrameStandsJustOutsideTheAreaAndTheBarAboveItUnlessNearTheTop) {
    show({300, 25, 1000, 700});
    EXPECT_EQ(viewstest::control(frame, "captureArea")->GetPos(), (Rect{298, 23, 1003, 703}));
    EXPECT_EQ(viewstest::control(frame, "toolBar")->GetPos(), (Rect{300, 1, 1000, 25}));
    show({300, 24, 1000, 700});
    EXPECT_EQ(viewstest::control(frame, "toolBar")->GetPos(), (Rect{300, 676, 1000, 700}));
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
            << ::testing::PrintToString(area) << " " << from.x << "," << from.y;
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
