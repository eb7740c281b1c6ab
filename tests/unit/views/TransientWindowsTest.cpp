// The count-down, the alerts and the progress window, off-screen with their real layouts.
// Their timers are driven by handing them WM_TIMER, so a test takes no seconds.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ViewsTestSupport.h"
#include "ui/controls/Progress.h"
#include "views/Alert.h"
#include "views/CountDown.h"
#include "views/GeneratingWin.h"
#include "views/ViewMessages.h"

namespace {

constexpr uint32_t kTooltipTimer = ui::PaintManager::kToolTipTimer;

TEST(CountDownTest, Shows3Then2Then1AndNotifiesOnTheThirdTick) {
    viewstest::MessageLog toolbar;
    CountDown countDown(toolbar.GetHWND(), L"Press 'F8' end recording", true);
    const ui::WindowId window = countDown.GetHWND();
    EXPECT_EQ(viewstest::control(countDown, "tipsLabel")->GetText(), L"Press 'F8' end recording");
    for (const wchar_t* shown : {L"3", L"2", L"1"}) {
        EXPECT_EQ(viewstest::control(countDown, "countDownLabel")->GetText(), shown);
        EXPECT_TRUE(toolbar.heard.empty());
        ui::SendMessage(window, ui::WM_TIMER, kTooltipTimer);  // not a second
        ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    }
    EXPECT_EQ(toolbar.heard, std::vector<uint32_t>{WM_COUNTDOWN_FINISHED});
    EXPECT_FALSE(ui::WindowBase::IsWindow(window));
    ui::SendMessage(window, ui::WM_TIMER, CountDown::kTimer);
    EXPECT_EQ(toolbar.heard.size(), 1u) << "a closed count-down heard a tick";
}

bool isLive(const Alert* alert) {
    const auto& live = Alert::Live();
    return std::find(live.begin(), live.end(), alert) != live.end();
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
        Alert* alert = Alert::Show(c.text, 1000, c.duration, nullptr, true);
        const ui::WindowId window = alert->GetHWND();
        ASSERT_TRUE(isLive(alert));
        const Rect before = alert->GetWindowRect();
        alert->UpdateWindow();  // the first paint
        const Rect label = alert->GetPaintManager().FindControl("tipsLabel")->GetPos();
        const Rect after = alert->GetWindowRect();
        if (*c.text == L'\0') {
            EXPECT_EQ(after, before) << "an alert without text was resized";
        } else {
            // The layout's inset is 16,10,16,10.
            EXPECT_EQ(after.width(), label.width() + 32);
            EXPECT_EQ(after.height(), label.height() + 20);
        }
        ui::SendMessage(window, ui::WM_TIMER, kTooltipTimer);  // not a tick
        for (int tick = 1; tick < c.ticks; ++tick) {
            ui::SendMessage(window, ui::WM_TIMER, Alert::kTimer);
            ASSERT_TRUE(ui::WindowBase::IsWindow(window)) << "closed on tick " << tick;
        }
        ui::SendMessage(window, ui::WM_TIMER, Alert::kTimer);
        EXPECT_FALSE(ui::WindowBase::IsWindow(window)) << "still open after its last tick";
        EXPECT_FALSE(isLive(alert));  // compares the address only: the alert is gone
    }
}

int callbackRuns = 0;
bool liveDuringCallback = false;
void onAlertClicked() {
    ++callbackRuns;
    liveDuringCallback = !Alert::Live().empty();
}

TEST(AlertTest, AClickRunsTheCallbackThenClosesAtOnce) {
    for (void (*callback)() : {onAlertClicked, static_cast<void (*)()>(nullptr)}) {
        callbackRuns = 0;
        liveDuringCallback = false;
        const ui::WindowId window =
            Alert::Show(L"Click for help", 1000, 10000, callback, true)->GetHWND();
        ui::SendMessage(window, ui::WM_MOUSEMOVE, 0, ui::MakeLParam(5, 5));
        ui::SendMessage(window, ui::WM_LBUTTONDOWN, 0, ui::MakeLParam(5, 5));
        EXPECT_EQ(callbackRuns, callback != nullptr ? 1 : 0);
        EXPECT_EQ(liveDuringCallback, callback != nullptr) << "the callback ran after the close";
        EXPECT_FALSE(ui::WindowBase::IsWindow(window));
        EXPECT_TRUE(Alert::Live().empty());
    }
}

TEST(GeneratingWinTest, ShowsThePercentInTheBarAndTheCaption) {
    GeneratingWin win(true);
    auto* bar = static_cast<ui::Progress*>(win.GetPaintManager().FindControl("progress"));
    for (int32_t percent : {0, 37, 100}) {
        win.SetProgress(percent);
        EXPECT_EQ(bar->GetValue(), percent);
        EXPECT_EQ(viewstest::control(win, "progressCaption")->GetText(),
                  std::to_wstring(percent) + L"%");
    }
}

}  // namespace
