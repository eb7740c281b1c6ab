// The custom area as a user makes it with the real program: picked in the overlay over an xterm
// (magnified, hovered, clicked, dragged, cancelled by a right click); the frame then lets clicks
// through, moves and resizes; the recording has the area's size and not the frame's border.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "RecorderProcess.h"
#include "WindowProbe.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;
using testsupport::movePointer;
using testsupport::screenPixels;
using testsupport::waitFor;
using testsupport::WindowProbe;
using testsupport::xdo;

// The pointer pressed at `from`, led to `to` by way of the middle, and released there.
bool dragPointer(Point from, Point to) {
    return movePointer(from) && xdo({"mousedown", "1"}) &&
           movePointer({(from.x + to.x) / 2, (from.y + to.y) / 2}) && movePointer(to) &&
           xdo({"mouseup", "1"});
}

std::string sizeText(const Rect& r) {
    return "L: " + std::to_string(r.left) + ", T: " + std::to_string(r.top) +
           ", Width: " + std::to_string(r.width()) + ", Height: " + std::to_string(r.height());
}

TEST(CustomArea, PickedDraggedMovedResizedAndRecordedOutsideTheFrame) {
    // Lines of text to magnify; `cat` keeps it open.
    testsupport::ChildProcess terminal({"xterm", "-T", "target-xterm", "-geometry", "80x24+200+150",
                                        "-e", "sh", "-c", "ls -l /usr/bin; exec cat"},
                                       {});
    const WindowProbe target = WindowProbe::find("target-xterm");
    ASSERT_NE(target.id(), 0u) << "no xterm";
    Recorder recorder;
    recorder.awaitLog("] Start\n");
    const WindowProbe toolbar = WindowProbe::find("Screen Capturer");
    const WindowProbe frame = WindowProbe::find("capture");
    ASSERT_TRUE(toolbar.id() != 0 && frame.id() != 0) << recorder.stderrText();
    const auto framed = [&](const Rect& area) {
        return frame.awaitControl("captureSize", sizeText(area), 10s);
    };
    const auto chooseCustom = [&] {  // "Custom" in the capture drop-down; the overlay once shown
        EXPECT_TRUE(toolbar.click("captureBtn") && popupWith("custom").click("custom"));
        return WindowProbe::find("detection", 10s);
    };
    ASSERT_TRUE(framed({0, 0, 640, 360}));

    // The xterm's text before the overlay freezes the screen, away from its title bar (whose
    // colour follows the focus) and from the toolbar and the frame (which the overlay hides).
    const Rect xterm = target.geometry();
    const Point prompt{xterm.left + 60, xterm.top + 60};
    const Rect around{prompt.x - 50, prompt.y - 50, prompt.x + 50, prompt.y + 50};
    const std::string desktop = screenPixels(around);
    ASSERT_EQ(desktop.size(), 100u * 100u * 3u);
    ASSERT_GT(
        std::count_if(desktop.begin(), desktop.end(), [](char c) { return uint8_t(c) < 128; }), 600)
        << "no text to magnify";

    WindowProbe overlay = chooseCustom();
    ASSERT_NE(overlay.id(), 0u);
    EXPECT_FALSE(toolbar.viewable());
    // The magnifier in the top-left corner shows that square at twice its size.
    ASSERT_TRUE(movePointer(prompt));
    const std::string source =
        "source='" + std::to_string(around.left) + "," + std::to_string(around.top) + ",";
    EXPECT_TRUE(waitFor(
        [&] { return overlay.controls()["magnifier"].image.find(source) != std::string::npos; }, 5s,
        "the magnifier following the pointer"));
    const std::string magnified = screenPixels({0, 0, 200, 200});
    ASSERT_EQ(magnified.size(), 200u * 200u * 3u);
    const auto close = [](char a, char b) { return std::abs(uint8_t(a) - uint8_t(b)) <= 8; };
    int same = 0, compared = 0;
    for (int y = 3; y < 97; ++y) {
        for (int x = 3; x < 97; ++x) {
            if (std::abs(x - 50) > 2 && std::abs(y - 50) > 2) {  // off the crosshair
                const char* m = &magnified[(size_t(2 * y) * 200 + size_t(2 * x)) * 3];
                same += std::equal(m, m + 3, &desktop[size_t(y * 100 + x) * 3], close);
                ++compared;
            }
        }
    }
    EXPECT_GT(same, compared * 97 / 100) << same << " of " << compared;

    // Hovering the xterm highlights exactly its window; a click takes it, rounded even.
    ASSERT_TRUE(movePointer({xterm.left + 100, xterm.top + 100}));
    EXPECT_TRUE(overlay.awaitControl("captureSize", sizeText(xterm), 10s));
    ASSERT_TRUE(xdo({"click", "1"}));
    EXPECT_TRUE(waitFor([&] { return !overlay.viewable(); }, 10s, "the overlay hidden"));
    EXPECT_TRUE(framed({xterm.left, xterm.top, xterm.left + (xterm.width() & ~1),
                        xterm.top + (xterm.height() & ~1)}));

    // A drag picks (300, 200)-(1000, 700); the move button (in the middle) moves it by
    // (+100, +50).
    overlay = chooseCustom();
    ASSERT_TRUE(dragPointer({300, 200}, {1000, 700}));
    ASSERT_TRUE(framed({300, 200, 1000, 700}));
    EXPECT_TRUE(waitFor([&] { return toolbar.viewable(); }, 10s, "the toolbar back"));
    ASSERT_TRUE(dragPointer({650, 450}, {750, 500}));  // from its centre
    ASSERT_TRUE(framed({400, 250, 1100, 750}));

    // The bottom-right handle (its middle 3 px in from the area's corner) pulled far in: never
    // below 200 x 200. The frame follows only larger areas, so this is checked in the recording.
    ASSERT_TRUE(dragPointer({1097, 747}, {420, 270}));

    // A right click in the middle of a drag leaves the area as it was.
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
            return testsupport::runAndCapture({"xdotool", "getactivewindow"}) ==
                   std::to_string(target.id()) + "\n";
        },
        10s, "the xterm activated by the click"));

    // Recording (started by its key): after the count-down only the border stays.
    recorder.press("F8");
    recorder.awaitThread("video");
    const auto controls = frame.controls();
    EXPECT_FALSE(controls.at("dragBtn").visible || controls.at("toolBar").visible);
    EXPECT_TRUE(controls.at("captureArea").visible && !controls.at("captureArea").enabled);
    std::this_thread::sleep_for(2s);  // some seconds of picture to look at
    recorder.press("F10");
    recorder.awaitEnd();

    // The file has the smallest area's size, 200 x 200, and no frame colour along its edges.
    const testsupport::ProbedFile file = testsupport::probeMedia(recorder.video());
    ASSERT_NE(file.first(AVMEDIA_TYPE_VIDEO), nullptr);
    ASSERT_EQ(file.first(AVMEDIA_TYPE_VIDEO)->width, 200);
    ASSERT_EQ(file.first(AVMEDIA_TYPE_VIDEO)->height, 200);
    size_t orange = 0, frames = 0;
    testsupport::probeMedia(recorder.video(), [&](size_t, const uint8_t* bgra) {
        for (size_t i = 0; i < 200; ++i) {  // the top, bottom, left and right edges
            for (size_t at : {i, 199 * 200 + i, i * 200, i * 200 + 199}) {
                const uint8_t* p = bgra + at * 4;
                orange += p[2] > 200 && p[1] > 50 && p[1] < 130 && p[0] < 90;
            }
        }
        ++frames;
    });
    EXPECT_GT(frames, 0u);
    EXPECT_EQ(orange, 0u) << "the frame's colour in the recording";
}

}  // namespace
