#include "ui/controls/Progress.h"

#include <algorithm>

#include "ui/core/Attributes.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace ui {

std::string Progress::GetClass() const {
    return "Progress";
}

void* Progress::GetInterface(std::string_view name) {
    return name == "Progress" ? this : Label::GetInterface(name);
}

void Progress::SetMinValue(int32_t value) {
    min_ = value;
    SetValue(value_);
    Invalidate();
}

void Progress::SetMaxValue(int32_t value) {
    max_ = value;
    SetValue(value_);
    Invalidate();
}

void Progress::SetValue(int32_t value) {
    value = max_ >= min_ ? std::clamp(value, min_, max_) : min_;
    if (value == value_) {
        return;
    }
    value_ = value;
    Invalidate();
}

void Progress::SetForeImage(std::string descriptor) {
    foreImage_ = std::move(descriptor);
    Invalidate();
}

void Progress::SetAttribute(std::string_view name, std::string_view value) {
    int32_t n = 0;
    if (name == "min") {
        if (parseInt(value, n)) {
            SetMinValue(n);
        }
    } else if (name == "max") {
        if (parseInt(value, n)) {
            SetMaxValue(n);
        }
    } else if (name == "value") {
        if (parseInt(value, n)) {
            SetValue(n);
        }
    } else if (name == "foreimage") {
        SetForeImage(std::string(value));
    } else {
        Label::SetAttribute(name, value);
    }
}

Rect Progress::ForeRect() const {
    const int64_t span = max_ - min_;
    const int32_t width =
        span > 0
            ? static_cast<int32_t>(static_cast<int64_t>(rect_.width()) * (value_ - min_) / span)
            : 0;
    return Rect{rect_.left, rect_.top, rect_.left + width, rect_.bottom};
}

void Progress::PaintStatusImage(Canvas& canvas) {
    const Rect fore = ForeRect();
    if (foreImage_.empty() || isEmptyRect(fore)) {
        return;
    }
    // The image is laid over the whole bar and shows through the filled part only.
    Canvas::ClipScope scope(canvas, fore);
    DrawImage(canvas, foreImage_);
}

}  // namespace ui
