// Windows of the framework on a real X server with a window manager, driven by xdotool as a
// user's mouse would: which control hears a click or a drag (what each control then reports
// is checked off-screen), focus, dragging by the caption band, minimising, and clicks through
// see-through windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Await.h"
#include "ChildProcess.h"
#include "ui/controls/Slider.h"
#include "ui/core/Messages.h"
#include "ui/window/WindowImplBase.h"

namespace {

using namespace std::chrono_literals;
using testsupport::runAndCapture;

// A window built from layout text that records its controls' notifications.
class TestWindow : public ui::WindowImplBase {
public:
    explicit TestWindow(std::string layout) : layout_(std::move(layout)) {}

    std::string GetWindowClassName() const override { return "TestWindow"; }
    uint32_t GetLayoutId() const override { return 0; }
    std::string GetLayoutText() const override { return layout_; }

    void Notify(ui::Notification& msg) override {
        if (msg.sender != nullptr && msg.type != "setfocus" && msg.type != "killfocus") {
            // A slider's report carries its new value; the others their first parameter.
            auto* slider = static_cast<ui::Slider*>(msg.sender->GetInterface("Slider"));
            const auto value =
                slider != nullptr ? static_cast<ui::WPARAM>(slider->GetValue()) : msg.wParam;
            heard.push_back(msg.type + ":" + msg.sender->GetName() + ":" + std::to_string(value));
        }
        ui::WindowImplBase::Notify(msg);
    }

    ui::LRESULT HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override {
        if (msg == ui::WM_KILLFOCUS) {
            ++killFocus;
        } else if (msg == ui::WM_LBUTTONDOWN) {
            ++presses;
        } else if (msg == ui::WM_LBUTTONUP) {
            ++releases;
        }
        return ui::WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
    }

    // The window system asks where each press lands (in the band, it drags the window).
    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override {
        if (msg == ui::WM_NCHITTEST) {
            ++hitTests;
        }
        return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
    }

    bool heardThat(const std::string& what) const {
        return std::find(heard.begin(), heard.end(), what) != heard.end();
    }

    std::string Xid() const { return std::to_string(GetNativeWindow()); }

    std::vector<std::string> heard;
    int killFocus = 0;
    std::atomic<int> hitTests{0};
    int presses = 0;
    int releases = 0;

private:
    std::string layout_;
};

// Rows: caption band 0-30, a button 30-70, a list 70-134, slider 134-150.
const char* const kControls = R"(
<Window size="300,160" caption="0,0,0,30">
  <Font id="0" name="Arial" size="12" default="true"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout height="30" bkcolor="#FFDDDDDD">
      <Label name="title" text="drag me" mouse="false"/>
    </HorizontalLayout>
    <HorizontalLayout height="40">
      <Button name="ok" width="80" text="OK" bkcolor="#FF80C080"/>
    </HorizontalLayout>
    <List name="list" height="64"/>
    <Slider name="slider" height="16" width="200" min="0" max="100" thumbsize="16,16"/>
  </VerticalLayout>
</Window>)";

// A frame of 20 pixels with nothing drawn inside: see-through there.
const char* const kFrame = R"(
<Window size="200,200" bktrans="true">
  <Container name="frame" bordersize="20" bordercolor="#FFFF5722"/>
</Window>)";

void xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    int status = -1;
    runAndCapture(argv, &status);
    ASSERT_EQ(status, 0) << "xdotool failed";
}

// Runs the UI loop while `drive` plays the user on another thread, until `done` holds.
::testing::AssertionResult playUntil(const std::function<void()>& drive,
                                     const std::function<bool()>& done, const char* what) {
    std::thread user(drive);
    const int code = testsupport::runLoop(10s, done);
    user.join();
    if (code == testsupport::kLoopTimedOut) {
        return ::testing::AssertionFailure() << "10 s passed without " << what;
    }
    return ::testing::AssertionSuccess();
}

// Geometry as the X server has it (the window manager may place and move windows).
::Rect geometryOf(const std::string& xid) {
    const std::string out = runAndCapture({"xdotool", "getwindowgeometry", "--shell", xid});
    auto value = [&](const char* key) {
        const auto at = out.find(key);
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + std::strlen(key)));
    };
    const int x = value("X=");
    const int y = value("Y=");
    return {x, y, x + value("WIDTH="), y + value("HEIGHT=")};
}

class WindowTest : public ::testing::Test {
protected:
    std::unique_ptr<TestWindow> open(const char* layout, int x, int y, uint32_t exStyle = 0) {
        auto w = std::make_unique<TestWindow>(layout);
        EXPECT_TRUE(w->Create(0, L"test window", ui::WS_POPUP, exStyle, x, y));
        w->ShowWindow(true, true);
        const std::string xid = w->Xid();
        EXPECT_EQ(
            testsupport::runLoop(10s, [&] { return geometryOf(xid).left >= 0 && w->HasFocus(); }),
            0)
            << "the window was not mapped and focused within 10 s";
        return w;
    }
};

TEST_F(WindowTest, ClicksReachTheControlUnderThePointerWithWhatItReports) {
    auto w = open(kControls, 100, 100);
    const std::string id = w->Xid();
    // What the window shows can be read from outside, control by control.
    std::string tree;
    EXPECT_EQ(testsupport::runLoop(
                  10s,
                  [&] {
                      tree = runAndCapture({"xprop", "-id", id, "-notype", "_SC_CONTROL_TREE"});
                      return tree.find("ok\\tButton\\tvisible\\tenabled\\t0,30,80,70\\tOK") !=
                             std::string::npos;
                  }),
              0)
        << tree;
    EXPECT_TRUE(playUntil(
        [&] {
            xdotool({"mousemove", "--window", id, "40", "50", "click", "1"});
        },
        [&] { return w->heardThat("click:ok:0"); }, "a click on the button"));
    // The slider's value under x = 100: (100 - 16/2) * 100 / (200 - 16), rounded.
    const int sliderValue = static_cast<int>((100 - 8) * 100.0 / (200 - 16) + 0.5);
    EXPECT_TRUE(playUntil(
        [&] {
            xdotool({"mousemove", "--window", id, "10", "142", "mousedown", "1", "mousemove",
                     "--window", id, "100", "142", "mouseup", "1"});
        },
        [&] { return w->heardThat("valuechanged:slider:" + std::to_string(sliderValue)); },
        "a drag of the slider to x = 100"));
}

TEST_F(WindowTest, APopupLosesTheFocusWhenAnotherWindowIsClicked) {
    auto popup = open(kControls, 50, 400, ui::WS_EX_TOOLWINDOW);
    auto other = open(kControls, 500, 400);
    const int before = popup->killFocus;
    popup->ShowWindow(true, true);
    ASSERT_EQ(testsupport::runLoop(10s, [&] { return popup->HasFocus(); }), 0);
    const std::string id = other->Xid();
    EXPECT_TRUE(playUntil(
        [&] {
            xdotool({"mousemove", "--window", id, "250", "100", "click", "1"});
        },
        [&] { return popup->killFocus > before && other->HasFocus(); }, "the popup's kill-focus"));
}

TEST_F(WindowTest, TheCaptionBandDragsTheWindowAndOtherPlacesDoNot) {
    auto w = open(kControls, 200, 200);
    const std::string id = w->Xid();
    const ::Rect start = geometryOf(id);
    // Press in the band, wait until the window has asked where the press was, then move.
    const auto drag = [&](int x, int y) {
        const int asked = w->hitTests;
        xdotool(
            {"mousemove", "--window", id, std::to_string(x), std::to_string(y), "mousedown", "1"});
        EXPECT_TRUE(
            testsupport::waitFor([&] { return w->hitTests > asked; }, 5s, "the press's hit test"));
        xdotool({"mousemove_relative", "--sync", "60", "40"});
        xdotool({"mouseup", "1"});
    };
    EXPECT_TRUE(playUntil([&] { drag(150, 10); },
                          [&] {
                              return geometryOf(id).left == start.left + 60 &&
                                     geometryOf(id).top == start.top + 40;
                          },
                          "the window following the drag"));
    // The same drag starting on the button below the band moves nothing: the window gets the
    // press and the release itself.
    const ::Rect moved = geometryOf(id);
    const int released = w->releases;
    EXPECT_TRUE(playUntil([&] { drag(40, 50); }, [&] { return w->releases > released; },
                          "the release after the drag on the button"));
    EXPECT_EQ(geometryOf(id), moved);
}

TEST_F(WindowTest, MinimiseAndRestore) {
    auto w = open(kControls, 300, 300);
    const std::string id = w->Xid();
    const auto state = [&] { return runAndCapture({"xprop", "-id", id, "WM_STATE"}); };
    w->SendMessage(ui::WM_SYSCOMMAND, ui::SC_MINIMIZE);
    EXPECT_EQ(
        testsupport::runLoop(
            10s, [&] { return state().find("Iconic") != std::string::npos && w->IsIconic(); }),
        0)
        << state();
    w->SendMessage(ui::WM_SYSCOMMAND, ui::SC_RESTORE);
    EXPECT_EQ(
        testsupport::runLoop(
            10s, [&] { return state().find("Normal") != std::string::npos && !w->IsIconic(); }),
        0)
        << state();
}

TEST_F(WindowTest, ASeeThroughWindowLetsClicksThroughWhereItDrawsNothing) {
    auto below = open(kControls, 600, 600);
    auto frame = std::make_unique<TestWindow>(kFrame);
    ASSERT_TRUE(frame->Create(0, L"frame", ui::WS_POPUP, ui::WS_EX_TOPMOST, 560, 600));
    frame->ShowWindow(true, false);
    const std::string frameId = frame->Xid();
    // The button of the window below lies at (40, 50) in it, inside the frame's hole. Clicked
    // at once, before the frame has had a turn of the loop: it is see-through from the start.
    const std::string x = std::to_string(600 + 40 - 560);
    xdotool({"mousemove", "--window", frameId, x, "50", "click", "1"});
    EXPECT_EQ(testsupport::runLoop(10s, [&] { return below->heardThat("click:ok:0"); }), 0)
        << "the click did not reach the window below";
    // On the frame itself the click stays with the frame.
    const std::size_t heardBelow = below->heard.size();
    EXPECT_TRUE(playUntil(
        [&] {
            xdotool({"mousemove", "--window", frameId, "5", "100", "click", "1"});
        },
        [&] { return frame->presses > 0; }, "the click on the frame"));
    EXPECT_EQ(below->heard.size(), heardBelow);
}

}  // namespace
