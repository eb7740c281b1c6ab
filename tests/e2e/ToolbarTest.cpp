// The real program driven through its windows, as a user clicks them: the toolbar, the
// capture drop-down, the count-down, pause and resume by the start button, the end button, and
// the alert. What the windows show is read from outside through the texts they publish and
// the pixels on the screen.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "RecorderProcess.h"
#include "WindowProbe.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;
using testsupport::ControlView;
using testsupport::waitFor;
using testsupport::WindowProbe;

constexpr int kDesktopW = 1920;
constexpr int kDesktopH = 1080;
constexpr int kToolbarW = 384;
constexpr int kToolbarH = 96;

struct Language {
    const char* lang;  // the -lang option
    const char* title;
    const char* screenItem;
    const char* hint;
};
const Language kEnglish{"0", "Screen Capturer", "Screen", "Press 'F10' end recording"};
const Language kChinese{"1", "屏幕录制", "全屏区域", "按 'F10' 结束录制"};

bool toolbarAt(const WindowProbe& toolbar, int x, int y) {
    return waitFor(
        [&] {
            const Rect g = toolbar.geometry();
            return g.left == x && g.top == y && g.width() == kToolbarW;
        },
        10s, "the toolbar at " + std::to_string(x) + "," + std::to_string(y));
}

void recordThroughTheToolbar(const Language& language) {
    startScene();
    Recorder recorder({"-video", "out/rec.mp4", "-log", "trace.log", "-lang", language.lang});
    recorder.awaitLog("] Start\n");
    const WindowProbe toolbar = WindowProbe::find(language.title);
    ASSERT_NE(toolbar.id(), 0u) << recorder.stderrText();
    // The whole screen leaves no room above or below: top centre.
    EXPECT_TRUE(toolbarAt(toolbar, kDesktopW / 2 - kToolbarW / 2, 0));

    // The drop-down: 1280x720 is centred on the desktop, the toolbar goes above it.
    ASSERT_TRUE(toolbar.click("captureBtn"));
    const WindowProbe dropDown = WindowProbe::find("Popup");
    ASSERT_TRUE(dropDown.awaitControl("all", language.screenItem, 10s));
    ASSERT_TRUE(dropDown.click("text:1280x720"));
    const Rect area{(kDesktopW - 1280) / 2, (kDesktopH - 720) / 2, (kDesktopW + 1280) / 2,
                    (kDesktopH + 720) / 2};
    EXPECT_TRUE(toolbarAt(toolbar, area.right - kToolbarW, area.top - kToolbarH - 15));
    // The user's next click comes once the drop-down has closed.
    ASSERT_TRUE(waitFor([&] { return !dropDown.viewable(); }, 5s, "the drop-down closed"));

    // The count-down: 3, 2, 1 with the end key's hint, white on black.
    ASSERT_TRUE(toolbar.click("startBtn"));
    const WindowProbe countDown = WindowProbe::find("countdown", 5s);
    ASSERT_NE(countDown.id(), 0u) << readFile(recorder.file("trace.log"));
    EXPECT_TRUE(countDown.awaitControl("tipsLabel", language.hint, 2s));
    ControlView digit;
    EXPECT_TRUE(countDown.awaitControl("countDownLabel", "2", 3s, &digit));
    const Rect window = countDown.geometry();
    const std::string pixels =
        testsupport::screenPixels({window.left + digit.rect.left, window.top + digit.rect.top,
                                   window.left + digit.rect.right, window.top + digit.rect.bottom});
    size_t white = 0, black = 0;
    for (size_t i = 0; i + 2 < pixels.size(); i += 3) {
        const auto* p = reinterpret_cast<const uint8_t*>(&pixels[i]);
        white += p[0] > 240 && p[1] > 240 && p[2] > 240;
        black += p[0] < 16 && p[1] < 16 && p[2] < 16;
    }
    EXPECT_GT(white, pixels.size() / 3 / 50) << "the digit's white strokes";
    EXPECT_GT(black, pixels.size() / 3 / 2) << "the black background";

    // Recording: the toolbar is minimised.
    recorder.awaitThread("video");
    EXPECT_TRUE(waitFor([&] { return toolbar.iconic(); }, 10s, "the toolbar minimised"));

    // Restored, the start button pauses (start image, the timer stops) and resumes.
    ASSERT_TRUE(toolbar.activate());
    ASSERT_TRUE(toolbar.click("startBtn"));
    recorder.awaitLog("Call view pause");
    ControlView start;
    EXPECT_TRUE(toolbar.awaitControl("startBtn", "", 5s, &start));
    EXPECT_NE(start.image.find("res='159'"), std::string::npos) << start.image;
    const std::string pausedAt = toolbar.controls()["timer"].text;
    std::this_thread::sleep_for(1500ms);  // time passing is what is checked here
    EXPECT_EQ(toolbar.controls()["timer"].text, pausedAt) << "the timer ran while paused";
    ASSERT_TRUE(toolbar.click("startBtn"));
    recorder.awaitLog("Call view resume");
    EXPECT_TRUE(waitFor([&] { return toolbar.iconic(); }, 10s, "the toolbar minimised again"));
    EXPECT_NE(toolbar.controls()["startBtn"].image.find("res='163'"), std::string::npos);

    // The end button: the process ends with the file finished, recording the chosen area.
    ASSERT_TRUE(toolbar.activate());
    ASSERT_TRUE(toolbar.click("endBtn"));
    recorder.awaitEnd();
    const testsupport::ProbedFile file = expectFinished(recorder.video(), 2);
    EXPECT_EQ(file.streams.at(0).width, 1280);
    EXPECT_EQ(file.streams.at(0).height, 720);
}

TEST(Toolbar, RecordsTheChosenAreaThroughTheWindows) {
    recordThroughTheToolbar(kEnglish);
}

TEST(Toolbar, SpeaksChineseWithLangOne) {
    recordThroughTheToolbar(kChinese);
}

// A video path that cannot be created: the Store's message shows as an alert window, which a
// click closes at once and which otherwise closes by itself after 3 s; nothing starts.
TEST(Toolbar, AFailedStartShowsAnAlertAndStaysIdle) {
    Recorder recorder({"-video", "/proc/no/such/place/rec.mp4", "-log", "trace.log"});
    recorder.awaitLog("] Start\n");
    const WindowProbe toolbar = WindowProbe::find("Screen Capturer");
    ASSERT_NE(toolbar.id(), 0u);
    for (const bool click : {true, false}) {
        SCOPED_TRACE(click ? "closed by a click" : "closed by time");
        ASSERT_TRUE(toolbar.click("startBtn"));
        const WindowProbe alert = WindowProbe::find("Alert", 5s);
        ASSERT_NE(alert.id(), 0u);
        EXPECT_TRUE(alert.awaitControl("tipsLabel", "Exception occurred in initializion", 2s));
        // Fitted to its text and centred (only then is a click aimed where it stays).
        EXPECT_TRUE(waitFor(
            [&] {
                const Rect g = alert.geometry();
                return g.width() > 0 && g.left == (kDesktopW - g.width()) / 2 &&
                       g.top == (kDesktopH - g.height()) / 2;
            },
            2s, "the alert centred"));
        const auto opened = std::chrono::steady_clock::now();
        if (click) {
            ASSERT_TRUE(alert.click("tipsLabel"));
        }
        EXPECT_TRUE(waitFor([&] { return !alert.exists(); }, 6s, "the alert to close"));
        const auto open = std::chrono::steady_clock::now() - opened;
        if (click) {
            EXPECT_LT(open, 2s);
        } else {
            EXPECT_GT(open, 2s);
        }
    }
    EXPECT_EQ(recorder.stdoutText().find("Exception"), std::string::npos);
    EXPECT_EQ(readFile(recorder.file("trace.log")).find("Call view pause"), std::string::npos);
    ASSERT_TRUE(toolbar.click("closeBtn"));
    recorder.awaitEnd();
}

}  // namespace
