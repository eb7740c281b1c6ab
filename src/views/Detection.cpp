#include "views/Detection.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "text/UiText.h"
#include "ui/render/Bitmap.h"
#include "ui/render/RectMath.h"
#include "views/ViewMessages.h"

namespace {

std::string imageName(int32_t serial) {
    return "desktopImage-" + std::to_string(serial);
}

}  // namespace

Detection::Detection(std::unique_ptr<platform::Screen> screen, Magnifier::CursorSource cursor)
    : screen_(std::move(screen)), cursor_(std::move(cursor)) {}

Detection::~Detection() {
    // The worker reads the pointer through what this object was given.
    if (magnifier_ != nullptr) {
        magnifier_->Shutdown();
    }
}

ui::Control* Detection::CreateControl(std::string_view className) {
    return factory_.CreateControl(className);
}

void Detection::InitWindow() {
    desktopImage_ = pm_.FindControl("desktopImage");
    desktopMask_ = pm_.FindControl("desktopMask");
    desktopMaskBorder_ = pm_.FindControl("desktopMaskBorder");
    tips_ = pm_.FindControl("tips");
    captureSize_ = pm_.FindControl("captureSize");
    toolBar_ = pm_.FindControl("toolBar");
    ui::Control* magnifier = pm_.FindControl("magnifier");
    magnifier_ = magnifier == nullptr
                     ? nullptr
                     : static_cast<Magnifier*>(magnifier->GetInterface("Magnifier"));
    if (!desktopImage_ || !desktopMask_ || !desktopMaskBorder_ || !tips_ || !captureSize_ ||
        !toolBar_ || !magnifier_) {
        return;
    }
    tips_->SetText(Text::overlayHint.get());

    desktop_ = screen_ ? screen_->desktopRect() : Rect{};
    const Rect client{0, 0, desktop_.width(), desktop_.height()};
    auto mask = std::make_shared<ui::Bitmap>(client.right, client.bottom, true);
    std::fill(mask->pixels(), mask->pixels() + size_t(client.right) * size_t(client.bottom),
              kMaskColour);
    pm_.AddImage("desktopMask", std::move(mask));
    // The mask's nine-patch insets are measured from the desktop's edges: it spans it all.
    desktopMask_->SetPos(client);
    desktopMask_->SetBkImage("file='desktopMask'");
    SetWindowPos(desktop_);
    desktopImage_->SetPos(client);
    magnifier_->Connect(GetHWND(), WM_MAGNIFIER_FRAME, cursor_, desktop_);
}

void Detection::BeginDetection() {
    if (desktopImage_ == nullptr) {
        return;
    }
    std::atomic<int32_t>& serial = Magnifier::DesktopImageSerial();
    pm_.RemoveImage(imageName(serial));
    const int32_t next = ++serial;
    auto shot = std::make_shared<ui::Bitmap>(desktop_.width(), desktop_.height(), false);
    // BGRX rows are the bitmap's 0xXXRRGGBB pixels; without alpha they are copied opaque.
    if (screen_ == nullptr ||
        !screen_->grab(desktop_, reinterpret_cast<uint8_t*>(shot->pixels()))) {
        std::fill(shot->pixels(),
                  shot->pixels() + size_t(desktop_.width()) * size_t(desktop_.height()),
                  0xFF000000u);
    }
    pm_.AddImage(imageName(next), std::move(shot));
    desktopImage_->SetBkImage("file='" + imageName(next) + "'");
    fixed_ = false;
    // A press before this detection (or one cut short by a cancel) is not ours.
    pressed_ = false;
    ShowWindow(true, true);
    magnifier_->Start();
}

Rect Detection::Selection() const {
    return {desktop_.left + insets_.left, desktop_.top + insets_.top,
            desktop_.right - insets_.right, desktop_.bottom - insets_.bottom};
}

Rect Detection::ToClient(const Rect& r) const {
    return ui::offsetRect(r, -desktop_.left, -desktop_.top);
}

Rect Detection::SizeBarRect(const Rect& s) {
    const int32_t y =
        s.top - kSizeBarHeight > 0 ? s.top - kSizeBarHeight : s.bottom - kSizeBarHeight;
    return {s.left, y, s.right, y + kSizeBarHeight};
}

Detection::Insets Detection::InsetsOf(const Rect& r, const Rect& desktop) {
    return {std::max(0, r.left - desktop.left), std::max(0, r.top - desktop.top),
            std::max(0, desktop.right - r.right), std::max(0, desktop.bottom - r.bottom)};
}

void Detection::UpdateSelection(const Insets& insets) {
    insets_ = insets;
    const Rect s = Selection();
    char mask[128];
    std::snprintf(mask, sizeof mask, "file='desktopMask' scale9='%d,%d,%d,%d' hole='true'",
                  insets.left, insets.top, insets.right, insets.bottom);
    desktopMask_->SetBkImage(mask);
    const Rect client = ToClient(s);
    desktopMaskBorder_->SetPos(client);
    wchar_t text[260];
    std::swprintf(text, 260, Text::overlaySizeLabel.get(), s.left, s.top, s.width(), s.height());
    captureSize_->SetText(text);
    toolBar_->SetPos(SizeBarRect(client));
}

void Detection::OnMouseMove(Point at, bool leftDown) {
    if (fixed_) {
        return;
    }
    const int32_t tw = tips_->GetFixedWidth();
    const int32_t th = tips_->GetFixedHeight();
    tips_->SetPos({at.x + 20, at.y + 20, at.x + 20 + tw, at.y + 20 + th});
    if (leftDown) {
        if (pressed_ && (at.x != press_.x || at.y != press_.y)) {
            // Client points are desktop-relative: the insets come straight from them.
            const int32_t w = desktop_.width();
            const int32_t h = desktop_.height();
            UpdateSelection({std::max(0, std::min(at.x, press_.x)),
                             std::max(0, std::min(at.y, press_.y)),
                             std::max(0, w - std::max(at.x, press_.x)),
                             std::max(0, h - std::max(at.y, press_.y))});
        }
        return;
    }
    platform::WindowHit hit;
    const Point screenPoint{at.x + desktop_.left, at.y + desktop_.top};
    if (screen_ == nullptr || !screen_->windowAt(screenPoint, GetNativeWindow(), hit)) {
        return;
    }
    // The client part: the frame's width taken off evenly on each side.
    const int32_t dw = (hit.windowRect.width() - hit.clientWidth) / 2;
    const int32_t dh = (hit.windowRect.height() - hit.clientHeight) / 2;
    const Rect r{hit.windowRect.left + dw, hit.windowRect.top + dh, hit.windowRect.right - dw,
                 hit.windowRect.bottom - dh};
    const Insets candidate = InsetsOf(r, desktop_);
    if (!(candidate == insets_)) {
        UpdateSelection(candidate);
        desktopMaskBorder_->SetVisible(true);
    }
}

void Detection::OnLeftButtonUp() {
    if (fixed_ || !pressed_) {
        return;
    }
    fixed_ = true;
    UpdateSelection(insets_);
    Rect s = Selection();
    SendMessage(WM_VIEW_HIDE);
    ActionDispatcher::instance().dispatch(Action::SetCaptureRect, &s);
}

ui::LRESULT Detection::HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    if (magnifier_ == nullptr) {
        return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
    }
    const Point at{ui::XFromLParam(lParam), ui::YFromLParam(lParam)};
    switch (msg) {
        case WM_VIEW_SHOW:
            BeginDetection();
            break;
        case WM_VIEW_HIDE:
            magnifier_->Stop();
            ShowWindow(false);
            break;
        case ui::WM_DESTROY:
            magnifier_->Stop();  // closed for good at the count-down: nothing left to follow
            break;
        case WM_MAGNIFIER_FRAME:
            magnifier_->TakeFrame();
            return 0;
        case ui::WM_LBUTTONDOWN:
            pressed_ = true;
            press_ = at;
            return 0;
        case ui::WM_MOUSEMOVE:
            OnMouseMove(at, (wParam & ui::kModLButton) != 0);
            break;
        case ui::WM_LBUTTONUP:
            OnLeftButtonUp();
            pressed_ = false;
            break;
        case ui::WM_RBUTTONUP:
            SendMessage(WM_VIEW_HIDE);
            ui::SendMessage(toolbar_, WM_VIEW_SHOW);
            return 0;
        default:
            break;
    }
    return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
}
