#include "ui/controls/Slider.h"

#include <algorithm>
#include <cmath>

#include "ui/core/Attributes.h"

namespace ui {

std::string Slider::GetClass() const {
    return "Slider";
}

void* Slider::GetInterface(std::string_view name) {
    return name == "Slider" ? this : Progress::GetInterface(name);
}

uint32_t Slider::GetControlFlags() const {
    return IsEnabled() ? uint32_t{UIFLAG_TABSTOP} : 0u;
}

void Slider::SetThumbSize(Size size) {
    thumbSize_ = size;
    Invalidate();
}

void Slider::SetThumbImage(std::string descriptor) {
    thumbImage_ = std::move(descriptor);
    Invalidate();
}

void Slider::SetThumbHotImage(std::string descriptor) {
    thumbHotImage_ = std::move(descriptor);
    Invalidate();
}

void Slider::SetThumbPushedImage(std::string descriptor) {
    thumbPushedImage_ = std::move(descriptor);
    Invalidate();
}

Rect Slider::GetThumbRect() const {
    const int32_t travel = rect_.width() - thumbSize_.cx;
    const int64_t span = max_ - min_;
    const int32_t x =
        rect_.left + (span > 0 && travel > 0 ? static_cast<int32_t>(static_cast<int64_t>(travel) *
                                                                    (value_ - min_) / span)
                                             : 0);
    const int32_t y = rect_.top + (rect_.height() - thumbSize_.cy) / 2;
    return Rect{x, y, x + thumbSize_.cx, y + thumbSize_.cy};
}

int32_t Slider::ValueAt(int32_t x) const {
    const int32_t travel = rect_.width() - thumbSize_.cx;
    if (travel <= 0 || max_ <= min_) {
        return min_;
    }
    const double v =
        min_ + static_cast<double>(x - rect_.left - thumbSize_.cx / 2) * (max_ - min_) / travel;
    return static_cast<int32_t>(std::lround(std::clamp(v, double(min_), double(max_))));
}

void Slider::SetAttribute(std::string_view name, std::string_view value) {
    Size s;
    if (name == "thumbsize") {
        if (parseSize(value, s)) {
            SetThumbSize(s);
        }
    } else if (name == "thumbimage") {
        SetThumbImage(std::string(value));
    } else if (name == "thumbhotimage") {
        SetThumbHotImage(std::string(value));
    } else if (name == "thumbpushedimage") {
        SetThumbPushedImage(std::string(value));
    } else {
        Progress::SetAttribute(name, value);
    }
}

void Slider::DoEvent(Event& event) {
    switch (event.type) {
        case EventType::ButtonDown:
        case EventType::DoubleClick:
            if (IsEnabled()) {
                dragging_ = true;
                valueAtPress_ = value_;
                state_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
                SetValue(ValueAt(event.mouse.x));
                Invalidate();
            }
            return;
        case EventType::MouseMove:
            if (dragging_) {
                SetValue(ValueAt(event.mouse.x));
            }
            return;
        case EventType::ButtonUp:
            if (dragging_) {
                dragging_ = false;
                state_ &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                SetValue(ValueAt(event.mouse.x));
                Invalidate();
                if (value_ != valueAtPress_) {
                    NotifyWindow("valuechanged");
                }
            }
            return;
        default:
            Progress::DoEvent(event);
            return;
    }
}

Rect Slider::ForeRect() const {
    const Rect thumb = GetThumbRect();
    return Rect{rect_.left, rect_.top, thumb.left + thumb.width() / 2, rect_.bottom};
}

void Slider::PaintStatusImage(Canvas& canvas) {
    Progress::PaintStatusImage(canvas);
    const std::string* image = &thumbImage_;
    if ((state_ & UISTATE_PUSHED) != 0 && !thumbPushedImage_.empty()) {
        image = &thumbPushedImage_;
    } else if ((state_ & UISTATE_HOT) != 0 && !thumbHotImage_.empty()) {
        image = &thumbHotImage_;
    }
    DrawImage(canvas, *image, GetThumbRect());
}

}  // namespace ui
