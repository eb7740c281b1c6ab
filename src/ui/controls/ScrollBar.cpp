#include "ui/controls/ScrollBar.h"

#include <algorithm>

#include "ui/core/Attributes.h"

namespace ui {

std::string ScrollBar::GetClass() const {
    return "ScrollBar";
}

void* ScrollBar::GetInterface(std::string_view name) {
    return name == "ScrollBar" ? this : Control::GetInterface(name);
}

void ScrollBar::SetScrollRange(int32_t range) {
    range_ = std::max(0, range);
    SetScrollPos(pos_);
    Invalidate();
}

void ScrollBar::SetScrollPos(int32_t pos) {
    pos = std::clamp(pos, 0, range_);
    if (pos == pos_) {
        return;
    }
    pos_ = pos;
    Invalidate();
    if (onScroll_) {
        onScroll_(pos_);
    }
}

int32_t ScrollBar::ButtonHeight() const {
    // Square buttons, but never more than a third of the bar each.
    return std::min(rect_.width(), rect_.height() / 3);
}

Rect ScrollBar::Button1Rect() const {
    if (!showButton1_) {
        return Rect{rect_.left, rect_.top, rect_.right, rect_.top};
    }
    return Rect{rect_.left, rect_.top, rect_.right, rect_.top + ButtonHeight()};
}

Rect ScrollBar::Button2Rect() const {
    if (!showButton2_) {
        return Rect{rect_.left, rect_.bottom, rect_.right, rect_.bottom};
    }
    return Rect{rect_.left, rect_.bottom - ButtonHeight(), rect_.right, rect_.bottom};
}

Rect ScrollBar::RailRect() const {
    return Rect{rect_.left, Button1Rect().bottom, rect_.right, Button2Rect().top};
}

Rect ScrollBar::ThumbRect() const {
    const Rect rail = RailRect();
    const int32_t railHeight = rail.height();
    if (railHeight <= 0) {
        return Rect{rail.left, rail.top, rail.right, rail.top};
    }
    // The thumb is to the rail as the view (the bar's height) is to the whole content.
    const int32_t view = std::max(1, rect_.height());
    int32_t length =
        static_cast<int32_t>(static_cast<int64_t>(railHeight) * view / (view + range_));
    length = std::clamp(length, std::min(railHeight, std::max(8, rect_.width())), railHeight);
    const int32_t travel = railHeight - length;
    const int32_t top =
        rail.top +
        (range_ > 0 ? static_cast<int32_t>(static_cast<int64_t>(travel) * pos_ / range_) : 0);
    return Rect{rail.left, top, rail.right, top + length};
}

void ScrollBar::SetAttribute(std::string_view name, std::string_view value) {
    int32_t n = 0;
    bool b = false;
    if (name == "range") {
        if (parseInt(value, n)) {
            SetScrollRange(n);
        }
    } else if (name == "value" || name == "scrollpos") {
        if (parseInt(value, n)) {
            SetScrollPos(n);
        }
    } else if (name == "linesize") {
        if (parseInt(value, n)) {
            SetLineSize(n);
        }
    } else if (name == "showbutton1") {
        if (parseBool(value, b)) {
            showButton1_ = b;
        }
    } else if (name == "showbutton2") {
        if (parseBool(value, b)) {
            showButton2_ = b;
        }
    } else if (name == "thumbnormalimage") {
        thumbNormalImage_ = std::string(value);
    } else if (name == "thumbhotimage") {
        thumbHotImage_ = std::string(value);
    } else if (name == "thumbpushedimage") {
        thumbPushedImage_ = std::string(value);
    } else if (name == "railnormalimage") {
        railNormalImage_ = std::string(value);
    } else if (name == "button1normalimage") {
        button1NormalImage_ = std::string(value);
    } else if (name == "button2normalimage") {
        button2NormalImage_ = std::string(value);
    } else {
        Control::SetAttribute(name, value);
    }
}

void ScrollBar::DoEvent(Event& event) {
    if (!IsEnabled()) {
        Control::DoEvent(event);
        return;
    }
    auto inside = [&event](const Rect& r) {
        return event.mouse.x >= r.left && event.mouse.x < r.right && event.mouse.y >= r.top &&
               event.mouse.y < r.bottom;
    };
    switch (event.type) {
        case EventType::ButtonDown:
        case EventType::DoubleClick: {
            const Rect thumb = ThumbRect();
            if (inside(Button1Rect())) {
                SetScrollPos(pos_ - lineSize_);
            } else if (inside(Button2Rect())) {
                SetScrollPos(pos_ + lineSize_);
            } else if (inside(thumb)) {
                dragging_ = true;
                dragStartY_ = event.mouse.y;
                dragStartPos_ = pos_;
                state_ |= UISTATE_PUSHED;
                Invalidate();
            } else if (inside(RailRect())) {
                // A page towards the pointer.
                const int32_t page = std::max(1, rect_.height());
                SetScrollPos(event.mouse.y < thumb.top ? pos_ - page : pos_ + page);
            }
            return;
        }
        case EventType::MouseMove:
            if (dragging_) {
                const int32_t travel = RailRect().height() - ThumbRect().height();
                if (travel > 0) {
                    const int64_t moved = static_cast<int64_t>(event.mouse.y - dragStartY_);
                    SetScrollPos(dragStartPos_ + static_cast<int32_t>(moved * range_ / travel));
                }
            }
            return;
        case EventType::ButtonUp:
            if (dragging_) {
                dragging_ = false;
                state_ &= ~UISTATE_PUSHED;
                Invalidate();
            }
            return;
        case EventType::ScrollWheel:
            // A notch of the wheel moves three lines, as desktops do.
            SetScrollPos(event.wParam == 0 ? pos_ - 3 * lineSize_ : pos_ + 3 * lineSize_);
            return;
        default:
            Control::DoEvent(event);
            return;
    }
}

void ScrollBar::PaintStatusImage(Canvas& canvas) {
    DrawImage(canvas, railNormalImage_, RailRect());
    DrawImage(canvas, button1NormalImage_, Button1Rect());
    DrawImage(canvas, button2NormalImage_, Button2Rect());
    const std::string* thumb = &thumbNormalImage_;
    if ((state_ & UISTATE_PUSHED) != 0 && !thumbPushedImage_.empty()) {
        thumb = &thumbPushedImage_;
    } else if ((state_ & UISTATE_HOT) != 0 && !thumbHotImage_.empty()) {
        thumb = &thumbHotImage_;
    }
    DrawImage(canvas, *thumb, ThumbRect());
}

}  // namespace ui
