#include "views/CountDown.h"

#include <utility>

#include "views/ViewMessages.h"

namespace {

constexpr int32_t kDurationMs = 3000;
constexpr int32_t kTickMs = 1000;

}  // namespace

CountDown::CountDown(ui::WindowId notify, std::wstring hint, bool offscreen)
    : notify_(notify), hint_(std::move(hint)) {
    const uint32_t style = ui::WS_POPUP | ui::WS_VISIBLE;
    const uint32_t exStyle = ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST;
    if (offscreen) {
        CreateOffscreen(L"countdown", style, exStyle);
    } else {
        Create(0, L"countdown", style, exStyle);
    }
    CenterWindow();
}

std::string CountDown::GetWindowClassName() const {
    return "CoundDown";
}

uint32_t CountDown::GetLayoutId() const {
    return 173;
}

void CountDown::InitWindow() {
    SetTimer(kTimer, static_cast<uint32_t>(interval_));
    remaining_ = kDurationMs;
    countDownLabel_ = pm_.FindControl("countDownLabel");
    tipsLabel_ = pm_.FindControl("tipsLabel");
    if (countDownLabel_ != nullptr) {
        countDownLabel_->SetText(std::to_wstring(remaining_ / interval_));
    }
    if (tipsLabel_ != nullptr) {
        tipsLabel_->SetText(hint_);
    }
}

ui::LRESULT CountDown::HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                           bool& handled) {
    (void)lParam;
    handled = false;
    // Only our own timer counts: the paint manager's timers (tooltips, controls) arrive as
    // WM_TIMER too.
    if (msg == ui::WM_TIMER && wParam == kTimer) {
        const ui::WindowId self = GetHWND();
        OnTick();
        // The window is gone once the count is over; nothing of it may be touched then.
        if (!IsWindow(self)) {
            handled = true;
        }
    }
    return 0;
}

void CountDown::OnTick() {
    remaining_ -= kTickMs;
    const int32_t n = remaining_ / interval_;
    if (countDownLabel_ != nullptr) {
        countDownLabel_->SetText(std::to_wstring(n));
    }
    if (n > 0) {
        return;
    }
    ShowWindow(false, false);
    UpdateWindow();
    KillTimer(kTimer);
    const ui::WindowId self = GetHWND();
    ui::SendMessage(notify_, WM_COUNTDOWN_FINISHED);
    // The one notified may have ended this window (or its owner this object) meanwhile.
    if (IsWindow(self)) {
        DestroyWindow();
    }
}
