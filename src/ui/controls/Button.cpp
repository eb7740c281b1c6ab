#include "ui/controls/Button.h"

#include "ui/core/PaintManager.h"
#include "ui/render/Canvas.h"

namespace ui {

std::string Button::GetClass() const {
    return "Button";
}

void* Button::GetInterface(std::string_view name) {
    return name == "Button" ? this : Label::GetInterface(name);
}

uint32_t Button::GetControlFlags() const {
    return IsEnabled() ? uint32_t{UIFLAG_TABSTOP} : 0u;
}

bool Button::Activate() {
    if (!IsActive()) {
        return false;
    }
    NotifyWindow("click");
    return true;
}

void Button::SetNormalImage(std::string descriptor) {
    normalImage_ = std::move(descriptor);
    Invalidate();
}

void Button::SetHotImage(std::string descriptor) {
    hotImage_ = std::move(descriptor);
    Invalidate();
}

void Button::SetPushedImage(std::string descriptor) {
    pushedImage_ = std::move(descriptor);
    Invalidate();
}

void Button::SetDisabledImage(std::string descriptor) {
    disabledImage_ = std::move(descriptor);
    Invalidate();
}

void Button::SetFocusedImage(std::string descriptor) {
    focusedImage_ = std::move(descriptor);
    Invalidate();
}

void Button::SetHotBkColor(Argb colour) {
    hotBkColor_ = colour;
    Invalidate();
}

void Button::SetPushedBkColor(Argb colour) {
    pushedBkColor_ = colour;
    Invalidate();
}

void Button::SetHotTextColor(Argb colour) {
    hotTextColor_ = colour;
    Invalidate();
}

void Button::SetPushedTextColor(Argb colour) {
    pushedTextColor_ = colour;
    Invalidate();
}

void Button::SetEnabled(bool enabled) {
    if (!enabled && manager_ != nullptr && manager_->GetCapture() == this) {
        manager_->ReleaseCapture();
    }
    Label::SetEnabled(enabled);
}

void Button::SetAttribute(std::string_view name, std::string_view value) {
    Argb colour = 0;
    if (name == "normalimage") {
        SetNormalImage(std::string(value));
    } else if (name == "hotimage") {
        SetHotImage(std::string(value));
    } else if (name == "pushedimage") {
        SetPushedImage(std::string(value));
    } else if (name == "disabledimage") {
        SetDisabledImage(std::string(value));
    } else if (name == "focusedimage") {
        SetFocusedImage(std::string(value));
    } else if (name == "hotbkcolor") {
        if (parseColor(value, colour)) {
            SetHotBkColor(colour);
        }
    } else if (name == "pushedbkcolor") {
        if (parseColor(value, colour)) {
            SetPushedBkColor(colour);
        }
    } else if (name == "hottextcolor") {
        if (parseColor(value, colour)) {
            SetHotTextColor(colour);
        }
    } else if (name == "pushedtextcolor") {
        if (parseColor(value, colour)) {
            SetPushedTextColor(colour);
        }
    } else {
        Label::SetAttribute(name, value);
    }
}

void Button::DoEvent(Event& event) {
    switch (event.type) {
        case EventType::ButtonDown:
        case EventType::DoubleClick:
            if (IsEnabled() && Contains(event.mouse)) {
                state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
                Invalidate();
            }
            return;
        case EventType::MouseMove:
            if ((state_ & UISTATE_CAPTURED) != 0) {
                // Pushed only while the held pointer is over the button.
                const uint32_t before = state_;
                if (Contains(event.mouse)) {
                    state_ |= UISTATE_PUSHED;
                } else {
                    state_ &= ~UISTATE_PUSHED;
                }
                if (state_ != before) {
                    Invalidate();
                }
            }
            return;
        case EventType::ButtonUp:
            if ((state_ & UISTATE_CAPTURED) != 0) {
                state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                Invalidate();
                if (Contains(event.mouse)) {
                    Activate();
                }
            }
            return;
        default:
            Label::DoEvent(event);
            return;
    }
}

void Button::FillState(Canvas& canvas, Argb colour) {
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        canvas.fillRoundRect(rect_, borderRound_.cx, borderRound_.cy, colour);
    } else {
        canvas.fillRect(rect_, colour);
    }
}

void Button::PaintBkColor(Canvas& canvas) {
    Label::PaintBkColor(canvas);
    if ((state_ & UISTATE_DISABLED) != 0) {
        return;
    }
    if ((state_ & UISTATE_PUSHED) != 0 && alphaOf(pushedBkColor_) != 0) {
        FillState(canvas, pushedBkColor_);
    } else if ((state_ & (UISTATE_HOT | UISTATE_PUSHED)) != 0 && alphaOf(hotBkColor_) != 0) {
        FillState(canvas, hotBkColor_);
    }
}

const std::string& Button::CurrentImage() const {
    const std::string* image = &normalImage_;
    if (!IsEnabled()) {
        image = &disabledImage_;
    } else if ((state_ & UISTATE_PUSHED) != 0) {
        image = &pushedImage_;
    } else if ((state_ & UISTATE_HOT) != 0) {
        image = &hotImage_;
    } else if (focused_) {
        image = &focusedImage_;
    }
    return image->empty() ? normalImage_ : *image;
}

void Button::PaintStatusImage(Canvas& canvas) {
    DrawImage(canvas, CurrentImage());
}

Argb Button::CurrentTextColor() const {
    if (IsEnabled()) {
        if ((state_ & UISTATE_PUSHED) != 0 && alphaOf(pushedTextColor_) != 0) {
            return pushedTextColor_;
        }
        if ((state_ & (UISTATE_HOT | UISTATE_PUSHED)) != 0 && alphaOf(hotTextColor_) != 0) {
            return hotTextColor_;
        }
    }
    return Label::CurrentTextColor();
}

}  // namespace ui
