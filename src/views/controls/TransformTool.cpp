#include "views/controls/TransformTool.h"

#include <algorithm>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "ui/core/PaintManager.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace {

constexpr ui::Argb kHandleFill = 0xFFFFFFFF;

bool contains(const Rect& r, Point p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool isLeftSide(int32_t handle) {
    return handle == 0 || handle == 3 || handle == 6;
}

bool isTopSide(int32_t handle) {
    return handle == 0 || handle == 1 || handle == 2;
}

}  // namespace

std::string TransformTool::GetClass() const {
    return "TransformTool";
}

void* TransformTool::GetInterface(std::string_view name) {
    return name == "TransformTool" ? this : ui::Container::GetInterface(name);
}

uint32_t TransformTool::GetControlFlags() const {
    return ui::UIFLAG_SETCURSOR;
}

Rect TransformTool::CaptureRectOf(const Rect& frame, int32_t b) {
    return {frame.left + b, frame.top + b, frame.right - (b / 2 + b), frame.bottom - (b / 2 + b)};
}

Rect TransformTool::FrameRectOf(const Rect& capture, int32_t b) {
    return {capture.left - b, capture.top - b, capture.right + b / 2 + b,
            capture.bottom + b / 2 + b};
}

Rect TransformTool::GetHandleRect(int32_t index) const {
    const Rect& f = rect_;
    const int32_t s = kHandleSize;
    const int32_t mx = (f.left + f.right) / 2;
    const int32_t my = (f.top + f.bottom) / 2;
    switch (index) {
        case 0:
            return {f.left, f.top, f.left + s, f.top + s};
        case 1:
            return {mx - s / 2, f.top, mx + s / 2, f.top + s};
        case 2:
            return {f.right - s, f.top, f.right, f.top + s};
        case 3:
            return {f.left, my - s / 2, f.left + s, my + s / 2};
        case 5:
            return {f.right - s, my - s / 2, f.right, my + s / 2};
        case 6:
            return {f.left, f.bottom - s, f.left + s, f.bottom};
        case 7:
            return {mx - s / 2, f.bottom - s, mx + s / 2, f.bottom};
        case 8:
            return {f.right - s, f.bottom - s, f.right, f.bottom};
        default:
            return {};
    }
}

ui::Cursor TransformTool::HitTest(Point p) {
    const Rect& f = rect_;
    // Edges resize only within a band as wide as twice the inset (none by default), and only
    // where the frame is near the window's side.
    const int32_t band = inset_.left * 2;
    const Rect root = manager_ != nullptr && manager_->GetRoot() != nullptr
                          ? manager_->GetRoot()->GetPos()
                          : Rect{};
    int32_t hit = 4;
    for (int32_t i = 8; i >= 0; --i) {
        if (contains(GetHandleRect(i), p)) {
            hit = i;
            break;
        }
    }
    if (hit == 4) {
        if (root.bottom - f.bottom < kEdgeReach &&
            contains({f.left, f.bottom - band, f.right, f.bottom}, p)) {
            hit = 7;
        } else if (root.right - f.right < kEdgeReach &&
                   contains({f.right - band, f.top, f.right, f.bottom}, p)) {
            hit = 5;
        } else if (f.left - root.left < kEdgeReach &&
                   contains({f.left, f.top, f.left + band, f.bottom}, p)) {
            hit = 3;
        } else if (f.top - root.top < kEdgeReach &&
                   contains({f.left, f.top, f.right, f.top + band}, p)) {
            hit = 1;
        }
    }
    hitHandle_ = hit;
    switch (hit) {
        case 0:
        case 8:
            return ui::Cursor::SizeNWSE;
        case 1:
        case 7:
            return ui::Cursor::SizeNS;
        case 2:
        case 6:
            return ui::Cursor::SizeNESW;
        case 3:
        case 5:
            return ui::Cursor::SizeWE;
        default:
            return ui::Cursor::SizeAll;
    }
}

Rect TransformTool::Resize(const Rect& area, int32_t handle, int32_t dx, int32_t dy,
                           const Rect& desktop) {
    Rect r = area;
    switch (handle) {
        case 0:
            r.left += dx;
            r.top += dy;
            break;
        case 1:
            r.top += dy;
            break;
        case 2:
            r.right += dx;
            r.top += dy;
            break;
        case 3:
            r.left += dx;
            break;
        case 5:
            r.right += dx;
            break;
        case 6:
            r.left += dx;
            r.bottom += dy;
            break;
        case 7:
            r.bottom += dy;
            break;
        case 8:
            r.right += dx;
            r.bottom += dy;
            break;
        default:
            break;
    }
    r.left = std::max(r.left, desktop.left);
    r.top = std::max(r.top, desktop.top);
    r.right = std::min(r.right, desktop.right);
    r.bottom = std::min(r.bottom, desktop.bottom);
    if (r.right < r.left + kMinSize) {
        if (isLeftSide(handle)) {
            r.left = r.right - kMinSize;
        } else {
            r.right = r.left + kMinSize;
        }
    }
    if (r.bottom < r.top + kMinSize) {
        if (isTopSide(handle)) {
            r.top = r.bottom - kMinSize;
        } else {
            r.bottom = r.top + kMinSize;
        }
    }
    return r;
}

void TransformTool::DoEvent(ui::Event& event) {
    if (!IsEnabled()) {
        return;
    }
    switch (event.type) {
        case ui::EventType::SetCursor:
            if ((flags_ & kResizing) == 0) {
                const ui::Cursor cursor = HitTest(event.mouse);
                if (manager_ != nullptr && manager_->GetHost() != nullptr) {
                    manager_->GetHost()->HostSetCursor(cursor);
                }
            }
            return;
        case ui::EventType::ButtonDown:
            // The handle under the press, even when no pointer motion came before it.
            HitTest(event.mouse);
            flags_ |= kResizing;
            press_ = event.mouse;
            pressArea_ = CapturedArea();
            return;
        case ui::EventType::ButtonUp:
            flags_ &= ~kResizing;
            ui::Container::DoEvent(event);
            return;
        case ui::EventType::MouseMove: {
            if ((flags_ & kResizing) == 0 || owner_ == nullptr) {
                return;
            }
            // From the area at the press by the whole way the pointer went: the Store's
            // answers are rounded, and steps taken from the rounded frame would fall behind.
            Rect r = Resize(pressArea_, hitHandle_, event.mouse.x - press_.x,
                            event.mouse.y - press_.y, owner_->Desktop());
            ActionDispatcher::instance().dispatch(Action::SetCaptureRect, &r);
            return;
        }
        default:
            ui::Container::DoEvent(event);
            return;
    }
}

Rect TransformTool::CapturedArea() const {
    const Rect desktop = owner_ != nullptr ? owner_->Desktop() : Rect{};
    return ui::offsetRect(CaptureRectOf(rect_, borderSize_), desktop.left, desktop.top);
}

void TransformTool::PaintBorder(ui::Canvas& canvas) {
    if (borderSize_ > 0) {
        canvas.drawRect(rect_, borderSize_, borderColor_);
    }
    if (!IsEnabled()) {
        return;
    }
    for (int32_t i = 0; i <= 8; ++i) {
        const Rect h = GetHandleRect(i);
        if (ui::isEmptyRect(h)) {
            continue;
        }
        canvas.fillRect(h, kHandleFill);
        canvas.drawRect(h, 1, borderColor_);
    }
}
