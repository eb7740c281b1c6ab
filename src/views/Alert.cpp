#include "views/Alert.h"

#include <algorithm>

namespace {

constexpr int32_t kTickMs = 1000;
constexpr int32_t kMarginX = 32;  // the layout's inset on both sides, around the text
constexpr int32_t kMarginY = 20;

// The open alerts. UI thread only: written on creation and close, read by tests.
std::vector<Alert*>& liveAlerts() {
    static std::vector<Alert*> alerts;
    return alerts;
}

}  // namespace

Alert* Alert::Show(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)(),
                   bool offscreen) {
    auto* alert = new Alert(text, interval, duration, callback);
    alert->Open(offscreen);
    return alert;
}

const std::vector<Alert*>& Alert::Live() {
    return liveAlerts();
}

// An interval of 0 would divide by zero in OnTick; it counts as a second.
Alert::Alert(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)())
    : interval_(interval > 0 ? interval : kTickMs),
      remaining_(duration),
      text_(text != nullptr ? text : L""),
      callback_(callback) {
    liveAlerts().push_back(this);
}

Alert::~Alert() {
    // Also when the alert goes without closing (the process ends).
    auto& alerts = liveAlerts();
    const auto it = std::find(alerts.begin(), alerts.end(), this);
    if (it != alerts.end()) {
        alerts.erase(it);
    }
}

void Alert::Open(bool offscreen) {
    const uint32_t style = ui::WS_POPUP | ui::WS_VISIBLE;
    const uint32_t exStyle = ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST;
    if (offscreen) {
        CreateOffscreen(L"Alert", style, exStyle);
    } else {
        Create(0, L"Alert", style, exStyle);
    }
    CenterWindow();
}

std::string Alert::GetWindowClassName() const {
    return "Alert";
}

uint32_t Alert::GetLayoutId() const {
    return 192;
}

void Alert::InitWindow() {
    SetTimer(kTimer, static_cast<uint32_t>(interval_));
    tipsLabel_ = pm_.FindControl("tipsLabel");
    if (tipsLabel_ != nullptr) {
        tipsLabel_->SetText(text_);
    }
}

ui::LRESULT Alert::HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                       bool& handled) {
    (void)lParam;
    handled = false;
    const ui::WindowId self = GetHWND();
    switch (msg) {
        case ui::WM_TIMER:
            // Only our own timer: the paint manager's (tooltips) arrive as WM_TIMER too.
            if (wParam == kTimer) {
                OnTick();
            }
            break;
        case ui::WM_MOUSEMOVE:
            SetCursor(ui::Cursor::Hand);
            break;
        case ui::WM_SETCURSOR:
            // The whole alert is the link: the paint manager would set the arrow.
            SetCursor(ui::Cursor::Hand);
            handled = true;
            return 1;
        case ui::WM_LBUTTONDOWN:
            if (callback_ != nullptr) {
                callback_();
            }
            if (IsWindow(self)) {
                CloseAlert();
            }
            break;
        default:
            break;
    }
    // A closed alert is deleted: the message must go no further.
    if (!IsWindow(self)) {
        handled = true;
    }
    return 0;
}

void Alert::OnTick() {
    remaining_ -= kTickMs;
    if (remaining_ / interval_ < 1) {
        CloseAlert();
    }
}

void Alert::CloseAlert() {
    KillTimer(kTimer);
    ShowWindow(false, false);
    UpdateWindow();
    // Unlisted before the window goes, as the window takes the object with it.
    auto& alerts = liveAlerts();
    const auto it = std::find(alerts.begin(), alerts.end(), this);
    if (it != alerts.end()) {
        alerts.erase(it);
    }
    DestroyWindow();
}

Rect Alert::OnPaint(ui::Canvas& canvas) {
    const Rect painted = ui::WindowImplBase::OnPaint(canvas);
    // The label is laid out by the paint: only now is its width known.
    FitToText();
    return painted;
}

void Alert::FitToText() {
    if (sized_ || tipsLabel_ == nullptr) {
        return;
    }
    const Rect label = tipsLabel_->GetPos();
    if (label.width() <= 0 || label.height() == 0) {
        return;
    }
    const int32_t w = label.width() + kMarginX;
    const int32_t h = label.height() + kMarginY;
    const Rect desktop = DesktopRect();
    MoveWindow(desktop.left + (desktop.width() - w) / 2, desktop.top + (desktop.height() - h) / 2,
               w, h);
    sized_ = true;
}

void Alert::OnFinalMessage(ui::WindowId window) {
    (void)window;
    delete this;
}

void ShowAlert(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)()) {
    Alert::Show(text, interval, duration, callback);
}
