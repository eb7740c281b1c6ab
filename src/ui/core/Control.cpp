#include "ui/core/Control.h"

#include <algorithm>

#include "base/Utf8.h"
#include "ui/core/Attributes.h"
#include "ui/core/PaintManager.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace ui {

Control::Control() = default;

Control::~Control() {
    // The window must not keep a dangling focus, hot, captured control or timer.
    if (manager_ != nullptr) {
        manager_->ReapObject(this);
    }
}

std::string Control::GetClass() const {
    return "Control";
}

void* Control::GetInterface(std::string_view name) {
    return name == "Control" ? this : nullptr;
}

uint32_t Control::GetControlFlags() const {
    return 0;
}

void Control::SetManager(PaintManager* manager, Control* parent, bool init) {
    if (manager_ != nullptr && manager_ != manager) {
        manager_->ReapObject(this);
    }
    manager_ = manager;
    parent_ = parent;
    if (init && manager_ != nullptr && !inited_) {
        inited_ = true;
        DoInit();
    }
}

Control* Control::FindControlAt(Point point) {
    if (!IsVisible() || !mouseEnabled_ || !Contains(point)) {
        return nullptr;
    }
    return this;
}

Control* Control::FindControlByName(std::string_view name) {
    return name_ == name ? this : nullptr;
}

void Control::SetPos(const Rect& rect, bool needInvalidate) {
    if (float_) {
        // A float control keeps this placement through later layouts of its parent.
        const Point origin =
            parent_ != nullptr ? Point{parent_->rect_.left, parent_->rect_.top} : Point{};
        fixedXY_ = Point{rect.left - origin.x, rect.top - origin.y};
        fixed_ = Size{rect.width(), rect.height()};
    }
    if (rect == rect_) {
        return;
    }
    if (needInvalidate) {
        Invalidate();
    }
    rect_ = rect;
    if (needInvalidate) {
        Invalidate();
    }
}

void Control::Move(int32_t dx, int32_t dy) {
    SetPos(offsetRect(rect_, dx, dy));
}

void Control::SetFixedWidth(int32_t cx) {
    fixed_.cx = cx < 0 ? 0 : cx;
    NeedParentUpdate();
}

void Control::SetFixedHeight(int32_t cy) {
    fixed_.cy = cy < 0 ? 0 : cy;
    NeedParentUpdate();
}

void Control::SetFixedXY(Point xy) {
    fixedXY_ = xy;
    NeedParentUpdate();
}

void Control::SetPadding(const Rect& padding) {
    padding_ = padding;
    NeedParentUpdate();
}

void Control::SetFloat(bool isFloat) {
    float_ = isFloat;
    NeedParentUpdate();
}

Size Control::EstimateSize(Size /*available*/) {
    return fixed_;
}

void Control::SetBkColor(Argb colour) {
    bkColor_ = colour;
    Invalidate();
}

void Control::SetBkImage(std::string descriptor) {
    bkImage_ = std::move(descriptor);
    Invalidate();
}

void Control::SetBorderColor(Argb colour) {
    borderColor_ = colour;
    Invalidate();
}

void Control::SetFocusBorderColor(Argb colour) {
    focusBorderColor_ = colour;
    Invalidate();
}

void Control::SetBorderSize(int32_t size) {
    borderSize_ = size < 0 ? 0 : size;
    Invalidate();
}

void Control::SetBorderRound(Size round) {
    borderRound_ = round;
    Invalidate();
}

void Control::SetText(std::wstring text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    Invalidate();
}

void Control::SetVisible(bool visible) {
    if (visible_ == visible) {
        return;
    }
    const bool wasVisible = IsVisible();
    if (wasVisible) {
        Invalidate();
    }
    visible_ = visible;
    if (wasVisible && !IsVisible() && manager_ != nullptr) {
        manager_->ReapObject(this);
    }
    NeedParentUpdate();
}

void Control::SetInternVisible(bool visible) {
    const bool wasVisible = IsVisible();
    internVisible_ = visible;
    if (wasVisible && !IsVisible() && manager_ != nullptr) {
        manager_->ReapObject(this);
    }
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ == enabled) {
        return;
    }
    enabled_ = enabled;
    if (enabled) {
        state_ &= ~UISTATE_DISABLED;
    } else {
        state_ = (state_ & ~(UISTATE_HOT | UISTATE_PUSHED | UISTATE_CAPTURED)) | UISTATE_DISABLED;
    }
    Invalidate();
}

void Control::SetFocus() {
    if (manager_ != nullptr) {
        manager_->SetFocus(this);
        return;
    }
    // Without a window the control plays the focus change to itself.
    if (!focused_) {
        Event event;
        event.type = EventType::SetFocus;
        event.sender = this;
        DoEvent(event);
    }
}

void Control::SetAttribute(std::string_view name, std::string_view value) {
    Rect r;
    Size s;
    int32_t n = 0;
    bool b = false;
    Argb colour = 0;
    if (name == "name") {
        name_ = std::string(value);
    } else if (name == "pos") {
        // Placement and size; only float controls use the placement.
        if (parseRect(value, r)) {
            fixedXY_ = Point{r.left, r.top};
            fixed_ = Size{std::max(0, r.width()), std::max(0, r.height())};
            NeedParentUpdate();
        }
    } else if (name == "float") {
        if (parseBool(value, b)) {
            SetFloat(b);
        }
    } else if (name == "width") {
        if (parseInt(value, n)) {
            SetFixedWidth(n);
        }
    } else if (name == "height") {
        if (parseInt(value, n)) {
            SetFixedHeight(n);
        }
    } else if (name == "padding") {
        if (parseRect(value, r)) {
            SetPadding(r);
        }
    } else if (name == "bkcolor") {
        if (parseColor(value, colour)) {
            SetBkColor(colour);
        }
    } else if (name == "bkimage") {
        SetBkImage(std::string(value));
    } else if (name == "bordercolor") {
        if (parseColor(value, colour)) {
            SetBorderColor(colour);
        }
    } else if (name == "focusbordercolor") {
        if (parseColor(value, colour)) {
            SetFocusBorderColor(colour);
        }
    } else if (name == "bordersize") {
        if (parseInt(value, n)) {
            SetBorderSize(n);
        }
    } else if (name == "borderround") {
        if (parseSize(value, s)) {
            SetBorderRound(s);
        }
    } else if (name == "text") {
        SetText(Utf8ToWide(value));
    } else if (name == "tooltip") {
        SetToolTip(Utf8ToWide(value));
    } else if (name == "userdata") {
        SetUserData(Utf8ToWide(value));
    } else if (name == "visible") {
        if (parseBool(value, b)) {
            SetVisible(b);
        }
    } else if (name == "enabled") {
        if (parseBool(value, b)) {
            SetEnabled(b);
        }
    } else if (name == "mouse") {
        if (parseBool(value, b)) {
            SetMouseEnabled(b);
        }
    }
}

void Control::DoPaint(Canvas& canvas, const Rect& dirty) {
    if (isEmptyRect(intersectRect(dirty, rect_))) {
        return;
    }
    PaintBkColor(canvas);
    PaintBkImage(canvas);
    PaintStatusImage(canvas);
    PaintText(canvas);
    PaintBorder(canvas);
}

void Control::PaintBkColor(Canvas& canvas) {
    if (alphaOf(bkColor_) == 0) {
        return;
    }
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        canvas.fillRoundRect(rect_, borderRound_.cx, borderRound_.cy, bkColor_);
    } else {
        canvas.fillRect(rect_, bkColor_);
    }
}

void Control::PaintBkImage(Canvas& canvas) {
    if (!bkImage_.empty()) {
        DrawImage(canvas, bkImage_);
    }
}

void Control::PaintStatusImage(Canvas& /*canvas*/) {}

void Control::PaintText(Canvas& /*canvas*/) {}

void Control::PaintBorder(Canvas& canvas) {
    if (borderSize_ <= 0) {
        return;
    }
    const Argb colour =
        focused_ && alphaOf(focusBorderColor_) != 0 ? focusBorderColor_ : borderColor_;
    if (alphaOf(colour) == 0) {
        return;
    }
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        canvas.drawRoundRect(rect_, borderRound_.cx, borderRound_.cy, borderSize_, colour);
    } else {
        canvas.drawRect(rect_, borderSize_, colour);
    }
}

bool Control::DrawImage(Canvas& canvas, const std::string& descriptor) {
    return DrawImage(canvas, descriptor, rect_);
}

bool Control::DrawImage(Canvas& canvas, const std::string& descriptor, const Rect& where) {
    return manager_ != nullptr && !descriptor.empty() &&
           manager_->GetImages().draw(canvas, where, descriptor);
}

void Control::NotifyWindow(const std::string& type, WPARAM wParam, LPARAM lParam) {
    if (manager_ != nullptr) {
        manager_->SendNotify(this, type, wParam, lParam);
    }
}

void Control::Invalidate() {
    if (manager_ != nullptr && IsVisible() && !isEmptyRect(rect_)) {
        manager_->Invalidate(rect_);
    }
}

void Control::NeedUpdate() {
    if (manager_ != nullptr) {
        manager_->NeedUpdate();
    }
}

void Control::NeedParentUpdate() {
    // Layouts are recomputed for the whole window; cheap at these sizes.
    NeedUpdate();
}

void Control::DoEvent(Event& event) {
    switch (event.type) {
        case EventType::MouseEnter:
            if (IsEnabled()) {
                state_ |= UISTATE_HOT;
                Invalidate();
            }
            break;
        case EventType::MouseLeave:
            state_ &= ~UISTATE_HOT;
            Invalidate();
            break;
        case EventType::SetFocus:
            focused_ = true;
            state_ |= UISTATE_FOCUSED;
            Invalidate();
            break;
        case EventType::KillFocus:
            focused_ = false;
            state_ &= ~UISTATE_FOCUSED;
            Invalidate();
            break;
        case EventType::ScrollWheel:
            // A scrolling parent (a list) scrolls when the wheel turns over its items.
            if (parent_ != nullptr) {
                parent_->DoEvent(event);
            }
            break;
        default:
            break;
    }
}

}  // namespace ui
