// The count-down, the alerts and the progress window, off-screen. Their timers are driven by
// handing them WM_TIMER, so a test takes no seconds.

#include <gtest/gtest.h>

#include <string>

#include "ViewsTestSupport.h"
#include "ui/controls/Progress.h"
#include "views/Alert.h"
#include "views/CountDown.h"
#include "views/GeneratingWin.h"
#include "views/ViewMessages.h"

namespace {

constexpr uint32_t kTooltipTimer = ui::PaintManager::kToolTipTimer;

class TestCountDown : public CountDown {
public:
    TestCountDown(ui::WindowId notify, std::wstring hint)
        : CountDown(notify, std::move(hint), Unopened{}) {
        Open(true);
    }
    std::string GetLayoutText() const override {
        return R"(<Window size="218,256">
  <VerticalLayout bkcolor="#ff000000" inset="24,24,24,24">
    <Label name="tipsLabel" textcolor="#ffffffff" align="center" text="3"/>
    <Label name="countDownLabel" textcolor="#ffffffff" align="center" text="3"/>
  </VerticalLayout>
</Window>)";
    }
    std::wstring shown() { return GetPaintManager().FindControl("countDownLabel")->GetText(); }
    std::wstring hint() { return GetPaintManager().FindControl("tipsLabel")->GetText(); }
};

TEST(CountDownTest, Shows3Then2Then1AndNotifiesOnTheThirdTick) {
    viewstest::MessageLog toolbar;
    TestCountDown countDown(toolbar.GetHWND(), L"Press 'F8' end recording");
    const ui::WindowId window = countDown.GetHWND();
    EXPECT_EQ(countDown.hint(), L"Press 'F8' end recording");
    EXPECT_EQ(countDown.shown(), L"3");
    EXPECT_TRUE(countDown.IsWindowVisible());

    ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    EXPECT_EQ(countDown.shown(), L"2");
    // Another timer of the window (a tooltip's) is not a second.
    ui::SendMessage(window, ui::WM_TIMER, kTooltipTimer);
    EXPECT_EQ(countDown.shown(), L"2");
    ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    EXPECT_EQ(countDown.shown(), L"1");
    EXPECT_TRUE(toolbar.heard.empty());

    ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    EXPECT_EQ(toolbar.heard, std::vector<uint32_t>{WM_COUNTDOWN_FINISHED});
    EXPECT_FALSE(ui::WindowBase::IsWindow(window));
    // Gone, it hears no more ticks.
    ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    EXPECT_EQ(toolbar.heard.size(), 1u);
}

class TestAlert : public Alert {
public:
    TestAlert(const wchar_t* text, int32_t duration, void (*callback)())
        : Alert(text, 1000, duration, callback) {
        Open(true);
    }
    std::string GetLayoutText() const override {
        return R"(<Window size="250,64" bktrans="true">
  <Font id="0" name="Arial" size="14" bold="true"/>
  <HorizontalLayout name="container" inset="16,10,16,10" childpadding="12">
    <Label name="tipsLabel" font="0" textcolor="#ffd0d0d0" autocalcwidth="true" align="center"/>
  </HorizontalLayout>
</Window>)";
    }
    Rect label() { return GetPaintManager().FindControl("tipsLabel")->GetPos(); }
};

bool isLive(const Alert* alert) {
    for (const Alert* a : Alert::Live()) {
        if (a == alert) {
            return true;
        }
    }
    return false;
}

TEST(AlertTest, FitsItsTextOnTheFirstPaintAndClosesOnItsLastTick) {
    struct Case {
        const wchar_t* text;
        int32_t duration;
        int ticks;  // until closed
    };
    const Case cases[] = {
        {L"The recording is saved", 3000, 3},
        {L"", 3000, 3},  // nothing to fit: the window keeps its size
        {L"See the help page", 10000, 10},
    };
    for (const Case& c : cases) {
        auto* alert = new TestAlert(c.text, c.duration, nullptr);
        const ui::WindowId window = alert->GetHWND();
        ASSERT_TRUE(isLive(alert));
        const Rect before = alert->GetWindowRect();
        alert->UpdateWindow();  // the first paint
        const Rect label = alert->label();
        const Rect after = alert->GetWindowRect();
        if (*c.text == L'\0') {
            EXPECT_EQ(label.width(), 0);
            EXPECT_EQ(after, before) << "an alert without text was resized";
        } else {
            EXPECT_GT(label.width(), 0);
            EXPECT_EQ(after.width(), label.width() + 32);
            EXPECT_EQ(after.height(), label.height() + 20);
            const Rect desktop = ui::WindowBase::DesktopRect();
            EXPECT_EQ(after.left, desktop.left + (desktop.width() - after.width()) / 2);
            EXPECT_EQ(after.top, desktop.top + (desktop.height() - after.height()) / 2);
        }
        // The paint manager's own timers do not count.
        ui::SendMessage(window, ui::WM_TIMER, kTooltipTimer);
        for (int tick = 1; tick < c.ticks; ++tick) {
            ui::SendMessage(window, ui::WM_TIMER, Alert::kTimer);
            ASSERT_TRUE(ui::WindowBase::IsWindow(window)) << "closed on tick " << tick;
        }
        ui::SendMessage(window, ui::WM_TIMER, Alert::kTimer);
        EXPECT_FALSE(ui::WindowBase::IsWindow(window)) << "still open after its last tick";
        EXPECT_FALSE(isLive(alert));  // compares the address only: the alert is gone
    }
}

// What the click callback saw.
int callbackRuns = 0;
bool liveDuringCallback = false;
void onAlertClicked() {
    ++callbackRuns;
    liveDuringCallback = !Alert::Live().empty();
}

TEST(AlertTest, AClickRunsTheCallbackThenClosesAtOnce) {
    struct Case {
        void (*callback)();
        int runs;
    };
    for (const Case& c : {Case{onAlertClicked, 1}, Case{nullptr, 0}}) {
        callbackRuns = 0;
        liveDuringCallback = false;
        auto* alert = new TestAlert(L"Click for help", 10000, c.callback);
        const ui::WindowId window = alert->GetHWND();
        ui::SendMessage(window, ui::WM_MOUSEMOVE, 0, ui::MakeLParam(5, 5));
        ui::SendMessage(window, ui::WM_LBUTTONDOWN, 0, ui::MakeLParam(5, 5));
        EXPECT_EQ(callbackRuns, c.runs);
        EXPECT_EQ(liveDuringCallback, c.runs > 0) << "the callback ran after the close";
        EXPECT_FALSE(ui::WindowBase::IsWindow(window));
        EXPECT_TRUE(Alert::Live().empty());
    }
}

class TestGeneratingWin : public GeneratingWin {
public:
    TestGeneratingWin() : GeneratingWin(Unopened{}) { Open(true); }
    std::string GetLayoutText() const override {
        return R"(<Window size="250,64">
  <VerticalLayout bkcolor="#ffffffff" inset="25,12,25,12" childpadding="8">
    <HorizontalLayout width="200" height="18">
      <Label name="taskName" width="170" height="18"/>
      <Label name="progressCaption" width="30" height="18" align="right" text="0%"/>
    </HorizontalLayout>
    <Progress name="progress" width="200" height="4" value="0"/>
  </VerticalLayout>
</Window>)";
    }
};

TEST(GeneratingWinTest, ShowsThePercentInTheBarAndTheCaption) {
    TestGeneratingWin win;
    ui::PaintManager& pm = win.GetPaintManager();
    auto* bar = static_cast<ui::Progress*>(pm.FindControl("progress"));
    for (int32_t percent : {0, 37, 100}) {
        win.SetProgress(percent);
        EXPECT_EQ(bar->GetValue(), percent);
        EXPECT_EQ(pm.FindControl("progressCaption")->GetText(), std::to_wstring(percent) + L"%");
    }
    win.SetTaskName(L"Flushing audio buffers");
    EXPECT_EQ(pm.FindControl("taskName")->GetText(), L"Flushing audio buffers");
}

}  // namespace
