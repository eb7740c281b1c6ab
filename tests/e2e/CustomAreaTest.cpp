// The custom area as a user makes it with the real program: picked in the overlay by hovering an
// xterm, by a drag, cancelled by a right click; the frame then lets clicks through, moves and
// resizes; the recording has the area's size and not the frame's border.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "RecorderProcess.h"
#include "WindowProbe.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;
using testsupport::ControlView;
using testsupport::movePointer;
using testsupport::runAndCapture;
using testsupport::screenPixels;
using testsupport::waitFor;
using testsupport::WindowProbe;
using testsupport::xdo;

// The pointer pressed at `from`, led to `to` in steps, and released there.
bool dragPointer(Point from, Point to, int steps = 8) {
    bool ok = movePointer(from) && xdo({"mousedown", "1"});
    for (int i = 1; ok && i <= steps; ++i) {
        ok = movePointer(
            {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    }
    return ok && xdo({"mouseup", "1"});
}

// Where a window is on the screen, as the X server has it (xdotool adds the frame's offset
// once more for a reparented window).
Rect screenRect(const WindowProbe& window) {
    const std::string info = runAndCapture({"xwininfo", "-id", std::to_string(window.id())});
    auto value = [&](const std::string& key) {
        const auto at = info.find(key);
        return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + key.size());
    };
    const int x = value("Absolute upper-left X:");
    const int y = value("Absolute upper-left Y:");
    return {x, y, x + value("Width:"), y + value("Height:")};
}

std::string sizeText(const Rect& r) {
    return "L: " + std::to_string(r.left) + ", T: " + std::to_string(r.top) +
           ", Width: " + std::to_string(r.width()) + ", Height: " + std::to_string(r.height());
}

class CustomArea : public ::testing::Test {
protected:
    void SetUp() override {
        // Lines of text, for pictures to compare; `cat` keeps it open.
        xterm_ = testsupport::ChildProcess(
            {"xterm", "-T", "target-xterm", "-geometry", "80x24+200+150", "-e", "sh", "-c",
             "for i in $(seq 1 22); do echo \"$i ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklm "
             "0123456789 $i\"; done; exec cat"},
            {});
        target = WindowProbe::find("target-xterm");
        ASSERT_NE(target.id(), 0u) << "no xterm";
        recorder.awaitLog("] Start\n");
        toolbar = WindowProbe::find("Screen Capturer");
        frame = WindowProbe::find("capture");
        ASSERT_NE(toolbar.id(), 0u) << recorder.stderrText();
        ASSERT_NE(frame.id(), 0u) << recorder.stderrText();
    }

    // "Custom" in the capture drop-down; the overlay, once shown.
    WindowProbe chooseCustom() {
        EXPECT_TRUE(toolbar.click("captureBtn"));
        const WindowProbe dropDown = WindowProbe::find("Popup");
        EXPECT_TRUE(dropDown.awaitControl("custom", "Custom", 10s));
        EXPECT_TRUE(dropDown.click("custom"));
        const WindowProbe overlay = WindowProbe::find("detection", 10s);
        EXPECT_NE(overlay.id(), 0u);
        return overlay;
    }

    ::testing::AssertionResult framed(const Rect& area) {
        if (frame.awaitControl("captureSize", sizeText(area), 10s)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "the frame shows \"" << frame.controls()["captureSize"].text << "\"";
    }

    testsupport::ChildProcess xterm_;
    Recorder recorder;
    WindowProbe target;
    WindowProbe toolbar;
    WindowProbe frame;
};

TEST_F(CustomArea, PickedDraggedMovedResizedAndRecordedOutsideTheFrame) {
    ASSERT_TRUE(framed({0, 0, 640, 360}));

    // The xterm's text before the overlay freezes the screen (away from its title bar, whose
    // colour follows the focus, and from the toolbar and the frame, which the overlay hides).
    const Rect xterm = screenRect(target);
    const Point prompt{xterm.left + 60, xterm.top + 60};
    const Rect around{prompt.x - 50, prompt.y - 50, prompt.x + 50, prompt.y + 50};
    const std::string desktop = screenPixels(around);
    ASSERT_EQ(desktop.size(), 100u * 100u * 3u);
    size_t dark = 0;
    for (size_t i = 0; i + 2 < desktop.size(); i += 3) {
        dark += uint8_t(desktop[i]) < 128;
    }
    ASSERT_GT(dark, 100u * 100u / 50) << "no text to magnify";

    WindowProbe overlay = chooseCustom();
    ASSERT_NE(overlay.id(), 0u);
    EXPECT_FALSE(toolbar.viewable());

    // The magnifier in the top-left corner shows that square at twice its size.
    ASSERT_TRUE(movePointer(prompt));
    const std::string source = "source='" + std::to_string(around.left) + "," +
                               std::to_string(around.top) + "," + std::to_string(around.right) +
                               "," + std::to_string(around.bottom) + "'";
    EXPECT_TRUE(waitFor(
        [&] { return overlay.controls()["magnifier"].image.find(source) != std::string::npos; }, 5s,
        "the magnifier following the pointer"));
    const std::string magnified = screenPixels({0, 0, 200, 200});
    ASSERT_EQ(magnified.size(), 200u * 200u * 3u);
    size_t same = 0, compared = 0;
    for (int y = 6; y < 194; ++y) {
        for (int x = 6; x < 194; ++x) {
            if ((x >= 96 && x < 104) || (y >= 96 && y < 104)) {
                continue;  // the crosshair
            }
            const size_t m = (size_t(y) * 200 + size_t(x)) * 3;
            const size_t d = (size_t(y / 2) * 100 + size_t(x / 2)) * 3;
            bool close = true;
            for (int c = 0; c < 3; ++c) {
                close = close && std::abs(int(uint8_t(magnified[m + c])) -
                                          int(uint8_t(desktop[d + c]))) <= 8;
            }
            same += close;
            ++compared;
        }
    }
    EXPECT_GT(same, compared * 97 / 100) << same << " of " << compared;

    // Hovering the xterm highlights exactly its window.
    ASSERT_TRUE(movePointer({xterm.left + 100, xterm.top + 100}));
    EXPECT_TRUE(overlay.awaitControl("captureSize", sizeText(xterm), 10s))
        << overlay.controls()["captureSize"].text;

    // A click there takes it: the frame goes round it (as the Store rounds it, even).
    ASSERT_TRUE(xdo({"click", "1"}));
    EXPECT_TRUE(waitFor([&] { return !overlay.viewable(); }, 10s, "the overlay hidden"));
    const Rect even{xterm.left, xterm.top, xterm.left + (xterm.width() & ~1),
                    xterm.top + (xterm.height() & ~1)};
    EXPECT_TRUE(framed(even));

    // A drag picks (300, 200)-(1000, 700).
    overlay = chooseCustom();
    ASSERT_TRUE(dragPointer({300, 200}, {1000, 700}));
    const Rect dragged{300, 200, 1000, 700};
    ASSERT_TRUE(framed(dragged));
    EXPECT_TRUE(waitFor([&] { return toolbar.viewable(); }, 10s, "the toolbar back"));

    // The move button by (+100, +50).
    ControlView button;
    ASSERT_TRUE(frame.awaitControl("dragBtn", "", 5s, &button));
    const Point centre{(button.rect.left + button.rect.right) / 2,
                       (button.rect.top + button.rect.bottom) / 2};
    ASSERT_TRUE(dragPointer(centre, {centre.x + 100, centre.y + 50}));
    const Rect moved{400, 250, 1100, 750};
    ASSERT_TRUE(framed(moved));

    // The bottom-right handle pulled far in: never below 200 x 200. The frame follows only
    // larger areas, so the smallest is checked in the recording.
    ControlView border;
    ASSERT_TRUE(frame.awaitControl("captureArea", "", 5s, &border));
    const Point corner{border.rect.right - 6, border.rect.bottom - 6};
    ASSERT_TRUE(dragPointer(corner, {corner.x - 300, corner.y - 200}));
    const Rect resized{400, 250, 800, 550};
    ASSERT_TRUE(framed(resized));
    ASSERT_TRUE(dragPointer({resized.right + 3 - 6, resized.bottom + 3 - 6},
                            {resized.left + 20, resized.top + 20}));
    const Rect smallest{400, 250, 600, 450};

    // A right click in the middle of a drag leaves it as it was.
    const std::string before = frame.controls()["captureSize"].text;
    overlay = chooseCustom();
    ASSERT_TRUE(xdo({"mousemove", "--sync", "100", "100", "mousedown", "1", "mousemove", "--sync",
                     "500", "450", "click", "3"}));
    EXPECT_TRUE(waitFor([&] { return !overlay.viewable(); }, 10s, "the overlay hidden"));
    ASSERT_TRUE(xdo({"mouseup", "1"}));
    EXPECT_TRUE(waitFor([&] { return toolbar.viewable() && frame.viewable(); }, 10s,
                        "the toolbar and the frame back"));
    EXPECT_EQ(frame.controls()["captureSize"].text, before);

    // A click inside the frame reaches the xterm beneath it.
    ASSERT_TRUE(toolbar.activate() && xdo({"mousemove", "--sync", "450", "300", "click", "1"}));
    EXPECT_TRUE(waitFor(
        [&] {
            return runAndCapture({"xdotool", "getactivewindow"}) ==
                   std::to_string(target.id()) + "\n";
        },
        10s, "the xterm activated by the click"));

    // Recording (started by its key): after the count-down only the border stays.
    recorder.press("F8");
    recorder.awaitThread("video");
    const auto controls = frame.controls();
    EXPECT_FALSE(controls.at("dragBtn").visible);
    EXPECT_FALSE(controls.at("toolBar").visible);
    EXPECT_TRUE(controls.at("captureArea").visible);
    EXPECT_FALSE(controls.at("captureArea").enabled);
    std::this_thread::sleep_for(2s);  // some seconds of picture to look at
    recorder.press("F10");
    recorder.awaitEnd();

    // The file has the smallest area's size, and no frame colour along its edges.
    const testsupport::ProbedFile file = testsupport::probeMedia(recorder.video());
    ASSERT_EQ(file.openError, 0);
    const testsupport::ProbedStream* video = file.first(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(video->width, smallest.width());
    ASSERT_EQ(video->height, smallest.height());
    size_t orange = 0, checked = 0;
    const int w = smallest.width(), h = smallest.height();
    testsupport::probeMedia(recorder.video(), [&](size_t index, const uint8_t* bgra) {
        if (index % 10 != 5) {
            return;
        }
        auto isOrange = [&](int x, int y) {
            const uint8_t* p = bgra + (size_t(y) * size_t(w) + size_t(x)) * 4;
            return p[2] > 200 && p[1] > 50 && p[1] < 130 && p[0] < 90;
        };
        for (int x = 0; x < w; ++x) {
            orange += isOrange(x, 0) + isOrange(x, h - 1);
        }
        for (int y = 0; y < h; ++y) {
            orange += isOrange(0, y) + isOrange(w - 1, y);
        }
        checked += 2 * size_t(w + h);
    });
    EXPECT_GT(checked, 0u);
    EXPECT_EQ(orange, 0u) << "the frame's colour in the recording";
}

}  // namespace
