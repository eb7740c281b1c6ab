#include "views/Popup.h"

namespace {

constexpr int32_t kGap = 10;  // between the anchor (or the parent) and the popup

}  // namespace

Popup::Popup(uint32_t layoutId, ui::WindowId parent, ui::Control* anchor)
    : parent_(parent), anchor_(anchor), layoutId_(layoutId) {}

std::string Popup::GetWindowClassName() const {
    return "Popup";
}

uint32_t Popup::GetLayoutId() const {
    return layoutId_;
}

ui::Control* Popup::CreateControl(std::string_view className) {
    return controls_.CreateControl(className);
}

ui::LRESULT Popup::HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    switch (msg) {
        case ui::WM_KILLFOCUS:
            // Focus gone anywhere, the toolbar included: the popup goes. The paint manager
            // still hears of it below (a held button is let go).
            HidePopup();
            break;
        case ui::WM_NCHITTEST:
            return ui::HTCLIENT;
        default:
            break;
    }
    return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
}

void Popup::CreatePopup(bool offscreen) {
    const std::string name = GetWindowClassName();
    const std::wstring title(name.begin(), name.end());
    const uint32_t style = ui::WS_POPUP | ui::WS_CHILD | ui::WS_CLIPSIBLINGS;
    if (offscreen) {
        CreateOffscreen(title, style, ui::WS_EX_TOOLWINDOW);
    } else {
        Create(parent_, title, style, ui::WS_EX_TOOLWINDOW);
    }
    ShowWindow(false, false);
    shown_ = false;
}

void Popup::ShowPopup() {
    const ui::WindowBase* parent = ui::WindowBase::FromId(parent_);
    const Rect parentRect = parent != nullptr ? parent->GetWindowRect() : Rect{};
    const Rect own = GetWindowRect();
    const Rect desktop = DesktopRect();
    Rect anchorPos;
    ui::Size anchorFixed;
    if (anchor_ != nullptr) {
        anchorPos = anchor_->GetPos();
        anchorFixed = {anchor_->GetFixedWidth(), anchor_->GetFixedHeight()};
    }
    const Point at = Placement(parentRect, anchorPos, anchorFixed, {own.width(), own.height()},
                               {desktop.width(), desktop.height()}, anchor_ != nullptr);
    MoveWindow(at.x, at.y, own.width(), own.height());
    ShowWindow(true, true);
    shown_ = true;
}

void Popup::TogglePopup() {
    if (shown_) {
        HidePopup();
    } else {
        ShowPopup();
    }
}

void Popup::HidePopup() {
    ShowWindow(false, false);
    shown_ = false;
}

Point Popup::Placement(const Rect& parent, const Rect& anchorPos, ui::Size anchorFixed,
                       ui::Size popup, ui::Size screen, bool hasAnchor) {
    if (!hasAnchor) {
        return {screen.cx / 2 - popup.cx / 2, screen.cy / 2 - popup.cy / 2};
    }
    Point at{parent.left + anchorPos.left, parent.top + anchorPos.top + anchorFixed.cy + kGap};
    if (at.x + popup.cx > screen.cx) {
        at.x = parent.left + anchorPos.left + anchorFixed.cx - popup.cx;
    }
    if (at.y + popup.cy > screen.cy) {
        at.y = parent.top - popup.cy - kGap;
    }
    return at;
}
