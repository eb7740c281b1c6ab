// The custom-area overlay off-screen over a scripted desktop: hover, drag, cancel, picture.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Await.h"
#include "ViewsTestSupport.h"
#include "platform/Screen.h"
#include "ui/render/Canvas.h"
#include "views/Detection.h"
#include "views/ViewMessages.h"
#include "views/controls/Magnifier.h"

namespace {

using namespace std::chrono_literals;
using ui::MakeLParam;
using viewstest::str;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// The desktop's pixel at (x, y) in the shot-th screenshot: every pixel tells where it is from.
uint32_t shotPixel(int32_t x, int32_t y, int32_t shot) {
    return (uint32_t((x * 3 + shot * 50) & 0xFF) << 16) | (uint32_t(y & 0xFF) << 8) |
           uint32_t((x + y) & 0xFF);
}

// A desktop with windows on it (topmost first); the bare desktop lies under them all.
class FakeScreen : public platform::Screen {
public:
    struct Window {
        Rect outer;
        int32_t clientWidth, clientHeight;
    };

    Rect desktopRect() override { return {0, 0, kWidth, kHeight}; }
    platform::DisplayMetrics displayMetrics() override { return {}; }
    bool cursorPosition(Point& position) override {
        position = {cursorX.load(), cursorY.load()};
        return true;
    }
    bool prepare(int32_t, int32_t) override { return true; }
    bool grab(const Rect& area, uint8_t* buffer) override {
        ++grabs;
        auto* out = reinterpret_cast<uint32_t*>(buffer);
        for (int32_t y = area.top; y < area.bottom; ++y) {
            for (int32_t x = area.left; x < area.right; ++x) {
                *out++ = shotPixel(x, y, grabs);
            }
        }
        return true;
    }
    bool windowAt(Point p, platform::NativeWindow, platform::WindowHit& hit) override {
        Window found{desktopRect(), kWidth, kHeight};
        for (const Window& w : windows) {
            const Rect& o = w.outer;
            if (p.x >= o.left && p.x < o.right && p.y >= o.top && p.y < o.bottom) {
                found = w;
                break;
            }
        }
        hit.windowRect = found.outer;
        hit.clientWidth = found.clientWidth;
        hit.clientHeight = found.clientHeight;
        return true;
    }
    bool usesSharedMemory() const override { return false; }

    std::vector<Window> windows;
    int32_t grabs = 0;
    std::atomic<int32_t> cursorX{300};
    std::atomic<int32_t> cursorY{200};
};

class DetectionTest : public ::testing::Test {
protected:
    DetectionTest() {
        auto screen = std::make_unique<FakeScreen>();
        fake = screen.get();
        // A 400 x 300 window whose client part is 396 x 260: the frame is taken off evenly,
        // which leaves (102, 100, 498, 360).
        fake->windows.push_back({{100, 80, 500, 380}, 396, 260});
        detection = std::make_unique<Detection>(
            std::move(screen), [this](Point& at) { return fake->cursorPosition(at); });
        detection->CreateOffscreen(L"detection", ui::WS_POPUP | ui::WS_CLIPSIBLINGS,
                                   ui::WS_EX_TOOLWINDOW);
        detection->SetToolbarWindow(toolbar.GetHWND());
        log.clear();
    }
    ~DetectionTest() override { log.clear(); }

    void send(uint32_t msg, Point at, ui::WPARAM wParam = 0) {
        detection->SendMessage(msg, wParam, MakeLParam(at.x, at.y));
    }
    void hover(Point at) { send(ui::WM_MOUSEMOVE, at); }
    void drag(Point from, Point to) {
        send(ui::WM_LBUTTONDOWN, from, ui::kModLButton);
        send(ui::WM_MOUSEMOVE, to, ui::kModLButton);
    }
    ui::Control* control(const char* name) {
        return detection->GetPaintManager().FindControl(name);
    }
    ui::Canvas render() {
        ui::Canvas canvas(kWidth, kHeight);
        detection->RenderTo(canvas);
        return canvas;
    }

    viewstest::ActionLog& log = viewstest::ActionLog::instance();
    viewstest::MessageLog toolbar;
    FakeScreen* fake = nullptr;
    std::unique_ptr<Detection> detection;
};

TEST_F(DetectionTest, TheSizeBarGoesAboveTheSelectionOrInsideAtItsBottomNearTheTop) {
    struct Case {
        int32_t top;
        int32_t barTop;
    };
    // Above while the bar's top stays below the desktop's first row.
    const Case cases[] = {{100, 72}, {29, 1}, {28, 300 - 28}, {5, 300 - 28}, {0, 300 - 28}};
    for (const Case& c : cases) {
        const Rect bar = Detection::SizeBarRect({50, c.top, 400, 300});
        EXPECT_EQ(str(bar), str({50, c.barTop, 400, c.barTop + 28})) << "top " << c.top;
    }
    // The same through the window: a window at the very top.
    fake->windows.insert(fake->windows.begin(), {{300, 0, 600, 250}, 300, 250});
    detection->SendMessage(WM_VIEW_SHOW);
    hover({400, 100});
    EXPECT_EQ(str(control("toolBar")->GetPos()), str({300, 222, 600, 250}));
}

TEST_F(DetectionTest, ADragSelectsARectangleClampedToTheDesktopAndTheReleaseFixesIt) {
    struct Case {
        const char* what;
        Point from;
        Point to;
        Rect expected;
    };
    const Case cases[] = {
        {"inside, up-left", {500, 400}, {300, 200}, {300, 200, 500, 400}},
        {"beyond the left and top", {300, 200}, {-40, -10}, {0, 0, 300, 200}},
        {"beyond the right and bottom", {300, 200}, {700, 530}, {300, 200, kWidth, kHeight}},
    };
    for (const Case& c : cases) {
        log.clear();
        detection->SendMessage(WM_VIEW_SHOW);
        drag(c.from, c.to);
        EXPECT_EQ(str(detection->Selection()), str(c.expected)) << c.what;
        EXPECT_TRUE(log.rects.empty()) << c.what << ": chosen before the release";
        send(ui::WM_LBUTTONUP, c.to);
        ASSERT_EQ(log.rects.size(), 1u) << c.what;
        EXPECT_EQ(str(log.rects[0]), str(c.expected)) << c.what;
        EXPECT_FALSE(detection->IsWindowVisible()) << c.what;
        EXPECT_TRUE(detection->IsSelectionFixed()) << c.what;
    }
}

// The whole screen off the windows is checked with the picture, below.
TEST_F(DetectionTest, HoverHighlightsTheWindowsClientPartAPressAndReleaseInsideFixIt) {
    detection->SendMessage(WM_VIEW_SHOW);
    EXPECT_TRUE(detection->IsWindowVisible());
    hover({200, 200});
    const Rect client{102, 100, 498, 360};
    EXPECT_EQ(str(detection->Selection()), str(client));
    EXPECT_EQ(str(control("desktopMaskBorder")->GetPos()), str(client));
    EXPECT_EQ(control("tips")->GetPos().left, 220) << "the hint follows the pointer";
    send(ui::WM_LBUTTONUP, {200, 200});  // a release whose press was not ours
    EXPECT_TRUE(log.rects.empty());
    EXPECT_TRUE(detection->IsWindowVisible());
    send(ui::WM_LBUTTONDOWN, {200, 200}, ui::kModLButton);
    send(ui::WM_MOUSEMOVE, {200, 200}, ui::kModLButton);  // a jitter report at the same point
    send(ui::WM_LBUTTONUP, {200, 200});
    ASSERT_EQ(log.rects.size(), 1u);
    EXPECT_EQ(str(log.rects[0]), str(client));
    hover({600, 450});  // fixed: the pointer changes nothing until the next detection
    EXPECT_EQ(str(detection->Selection()), str(client));
}

TEST_F(DetectionTest, ARightClickMidDragCancelsAndBringsTheToolbarBack) {
    detection->SendMessage(WM_VIEW_SHOW);
    drag({300, 200}, {500, 400});
    send(ui::WM_RBUTTONUP, {500, 400}, ui::kModLButton);
    EXPECT_FALSE(detection->IsWindowVisible());
    EXPECT_EQ(toolbar.heard, std::vector<uint32_t>{WM_VIEW_SHOW});
    EXPECT_TRUE(log.rects.empty());
    // The left button comes up elsewhere; the next detection does not take it for a choice.
    detection->SendMessage(WM_VIEW_SHOW);
    send(ui::WM_LBUTTONUP, {500, 400});
    EXPECT_TRUE(log.rects.empty());
    EXPECT_TRUE(detection->IsWindowVisible());
}

// The darkened mask over the screenshot: c * (255 - 0x4F) / 255 per channel.
uint32_t darkened(uint32_t p) {
    auto ch = [&](int shift) { return ((p >> shift) & 0xFF) * (255 - 0x4F) / 255; };
    return 0xFF000000u | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

bool near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16, 24}) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d < -1 || d > 1) {
            return false;
        }
    }
    return true;
}

TEST_F(DetectionTest, EverythingButTheSelectionIsDarkenedAndAWholeScreenSelectionNothing) {
    detection->SendMessage(WM_VIEW_SHOW);
    EXPECT_TRUE(near(render().pixel(300, 300), darkened(shotPixel(300, 300, 1)))) << "unmoved";
    hover({200, 200});
    ui::Canvas canvas = render();
    EXPECT_EQ(canvas.pixel(300, 300), 0xFF000000u | shotPixel(300, 300, 1)) << "inside";
    EXPECT_TRUE(near(canvas.pixel(550, 300), darkened(shotPixel(550, 300, 1)))) << "right";
    EXPECT_TRUE(near(canvas.pixel(300, 420), darkened(shotPixel(300, 420, 1)))) << "below";
    EXPECT_EQ(canvas.pixel(103, 200), 0xFFFF5722u) << "the selection's border";
    hover({600, 450});  // the bare desktop: the selection is the whole screen
    EXPECT_EQ(render().pixel(550, 300), 0xFF000000u | shotPixel(550, 300, 1));
}

TEST(MagnifierTest, TheSourceIsTheHundredPixelSquareAroundThePointerClippedToTheScreenshot) {
    struct Case {
        const char* what;
        Point cursor;
        const char* expected;
    };
    const Rect desktop{0, 0, 640, 480};
    const Case cases[] = {
        {"middle", {300, 200}, "source='250,150,350,250' dest='0,0,200,200'"},
        {"top-left corner", {10, 20}, "source='0,0,60,70' dest='80,60,200,200'"},
        {"bottom-right corner", {630, 470}, "source='580,420,640,480' dest='0,0,120,120'"},
        {"left edge only", {0, 200}, "source='0,150,50,250' dest='100,0,200,200'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Magnifier::Descriptor(7, c.cursor, {200, 200}, desktop),
                  std::string("file='desktopImage-7' ") + c.expected)
            << c.what;
    }
    EXPECT_EQ(Magnifier::Descriptor(7, {-60, 200}, {200, 200}, desktop), "") << "off the screen";
    // A desktop that does not start at (0, 0): the screenshot's pixels count from its corner.
    EXPECT_EQ(Magnifier::Descriptor(1, {1300, 200}, {200, 200}, {1280, 0, 1920, 480}),
              "file='desktopImage-1' source='0,150,70,250' dest='60,0,200,200'");
}

// The magnifier's 2x picture of the pointer's surroundings is checked on a real screen by the
// end-to-end test; here, its edges: the part off the screenshot, and the restart on a new one.
TEST_F(DetectionTest, TheMagnifierBlacksOutWhatIsOffTheScreenAndRestartsOnEachNewScreenshot) {
    fake->cursorX = 10;
    fake->cursorY = 10;
    detection->SendMessage(WM_VIEW_SHOW);
    ui::Control* magnifier = control("magnifier");
    const auto shows = [&](const std::string& part) {
        return testsupport::runLoop(5s, [&] {
                   return magnifier->GetBkImage().find(part) != std::string::npos;
               }) == 0;
    };
    ASSERT_TRUE(shows("source='0,0,60,60")) << magnifier->GetBkImage();
    ui::Canvas canvas = render();
    ASSERT_EQ(str(magnifier->GetPos()), str({0, 0, 200, 200}));
    EXPECT_EQ(canvas.pixel(30, 30), 0xFF000000u);
    EXPECT_EQ(canvas.pixel(150, 160), 0xFF000000u | shotPixel(35, 40, 1));
    EXPECT_EQ(canvas.pixel(100, 40), 0xFFFF5722u) << "crosshair";

    // Hidden, the worker ends and the screenshot goes; shown again, both are new.
    ui::ImageStore& images = detection->GetPaintManager().GetImages();
    const std::string first = "desktopImage-" + std::to_string(Magnifier::DesktopImageSerial());
    detection->SendMessage(WM_VIEW_HIDE);
    auto* m = static_cast<Magnifier*>(magnifier->GetInterface("Magnifier"));
    EXPECT_FALSE(m->IsRunning());
    detection->SendMessage(WM_VIEW_SHOW);
    EXPECT_TRUE(m->IsRunning());
    const std::string next = "desktopImage-" + std::to_string(Magnifier::DesktopImageSerial());
    EXPECT_NE(next, first);
    EXPECT_EQ(images.findImage(first), nullptr);
    EXPECT_NE(images.findImage(next), nullptr);
    ASSERT_TRUE(shows(next)) << magnifier->GetBkImage();
    hover({200, 200});
    EXPECT_EQ(render().pixel(300, 300), 0xFF000000u | shotPixel(300, 300, 2));
    // Closing the overlay stops it too.
    detection->DestroyWindow();
    EXPECT_FALSE(m->IsRunning());
}

TEST_F(DetectionTest, TheMagnifierJumpsOutOfThePointersWayAndBack) {
    detection->SendMessage(WM_VIEW_SHOW);
    render();  // shown, the window is laid out
    ui::Control* magnifier = control("magnifier");
    ASSERT_EQ(str(magnifier->GetPos()), str({0, 0, 200, 200}));
    hover({100, 100});
    EXPECT_EQ(str(magnifier->GetPos()), str({kWidth - 200, kHeight - 200, kWidth, kHeight}));
    hover({kWidth - 100, kHeight - 100});
    EXPECT_EQ(str(magnifier->GetPos()), str({0, 0, 200, 200}));
}

}  // namespace
