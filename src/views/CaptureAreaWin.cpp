#include "views/CaptureAreaWin.h"

#include <cwchar>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "text/UiText.h"
#include "ui/render/RectMath.h"
#include "views/ViewMessages.h"
#include "views/controls/DragButton.h"
#include "views/controls/TransformTool.h"

CaptureAreaWin::CaptureAreaWin(const Rect& desktop) : desktop_(desktop) {}

CaptureAreaWin::~CaptureAreaWin() = default;

ui::Control* CaptureAreaWin::CreateControl(std::string_view className) {
    return factory_.CreateControl(className);
}

void CaptureAreaWin::InitWindow() {
    ui::Control* area = pm_.FindControl("captureArea");
    ui::Control* button = pm_.FindControl("dragBtn");
    captureArea_ = area == nullptr
                       ? nullptr
                       : static_cast<TransformTool*>(area->GetInterface("TransformTool"));
    dragBtn_ =
        button == nullptr ? nullptr : static_cast<DragButton*>(button->GetInterface("DragButton"));
    toolBar_ = pm_.FindControl("toolBar");
    captureSize_ = pm_.FindControl("captureSize");
    if (captureArea_ != nullptr) {
        captureArea_->SetOwner(this);
    }
    if (dragBtn_ != nullptr) {
        dragBtn_->SetOwner(this);
    }
    SetWindowPos(desktop_);
}

ui::LRESULT CaptureAreaWin::HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    switch (msg) {
        case WM_VIEW_SHOW:
            ShowWindow(true, true);
            return 0;
        case WM_VIEW_HIDE:
            ShowWindow(false);
            return 0;
        default:
            return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
    }
}

void CaptureAreaWin::ShowOnTop() {
    // Only when hidden: showing with the focus again while the user drags the frame would
    // take the focus away and back, and the lost focus ends the drag.
    if (!IsWindowVisible()) {
        ShowWindow(true, true);
    }
}

void CaptureAreaWin::FrameCaptureRect(const Rect& r) {
    ShowOnTop();
    if (r.width() <= kMinFramed || r.height() <= kMinFramed || captureArea_ == nullptr ||
        dragBtn_ == nullptr || toolBar_ == nullptr || captureSize_ == nullptr) {
        return;
    }
    // The window covers the desktop: client coordinates are desktop-relative.
    const Rect c = ui::offsetRect(r, -desktop_.left, -desktop_.top);
    captureArea_->SetPos(TransformTool::FrameRectOf(c, captureArea_->GetBorderSize()));
    wchar_t text[260];
    std::swprintf(text, 260, Text::captureAreaSizeLabel.get(), r.left, r.top, r.width(),
                  r.height());
    captureSize_->SetText(text);
    const int32_t fw = dragBtn_->GetFixedWidth();
    const int32_t fh = dragBtn_->GetFixedHeight();
    const int32_t x = (c.left + c.right) / 2 - fw / 2;
    const int32_t y = (c.top + c.bottom) / 2 - fh / 2;
    dragBtn_->SetPos({x, y, x + fw, y + fh});
    const int32_t barTop =
        c.top - kSizeBarHeight < 1 ? c.bottom - kSizeBarHeight : c.top - kSizeBarHeight;
    toolBar_->SetPos({c.left, barTop, c.right, barTop + kSizeBarHeight});
}

void CaptureAreaWin::LockForRecording() {
    if (captureArea_ == nullptr || dragBtn_ == nullptr || toolBar_ == nullptr) {
        return;
    }
    toolBar_->SetVisible(false);
    dragBtn_->SetVisible(false);
    captureArea_->SetEnabled(false);
    UpdateWindow();
    const Rect f = captureArea_->GetPos();
    const Rect d{0, 0, desktop_.width(), desktop_.height()};
    if (f.left < d.left && f.right > d.right && f.bottom > d.bottom && f.top < d.top) {
        captureArea_->SetVisible(false);
    }
}

Rect CaptureAreaWin::FramedArea() const {
    if (captureArea_ == nullptr) {
        return {};
    }
    return ui::offsetRect(
        TransformTool::CaptureRectOf(captureArea_->GetPos(), captureArea_->GetBorderSize()),
        desktop_.left, desktop_.top);
}

void CaptureAreaWin::MoveCaptureRect(int32_t dx, int32_t dy) {
    Rect r = FramedArea();
    // Each direction stops at its desktop edge on its own.
    if (r.left + dx >= desktop_.left && r.right + dx <= desktop_.right) {
        r.left += dx;
        r.right += dx;
    }
    if (r.top + dy >= desktop_.top && r.bottom + dy <= desktop_.bottom) {
        r.top += dy;
        r.bottom += dy;
    }
    ActionDispatcher::instance().dispatch(Action::SetCaptureRect, &r);
}
