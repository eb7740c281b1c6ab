#include "ui/core/Container.h"

#include <algorithm>

#include "ui/core/Attributes.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace ui {

Container::Container() = default;

Container::~Container() {
    // Children go first, while this control is still whole for their ReapObject calls.
    items_.clear();
}

std::string Container::GetClass() const {
    return "Container";
}

void* Container::GetInterface(std::string_view name) {
    return name == "Container" ? this : Control::GetInterface(name);
}

bool Container::Add(std::unique_ptr<Control> control) {
    return AddAt(std::move(control), GetCount());
}

bool Container::AddAt(std::unique_ptr<Control> control, int index) {
    if (control == nullptr || index < 0 || index > GetCount()) {
        return false;
    }
    Control* child = control.get();
    items_.insert(items_.begin() + index, std::move(control));
    child->SetManager(manager_, this, manager_ != nullptr);
    child->SetInternVisible(IsVisible());
    NeedUpdate();
    return true;
}

bool Container::Remove(Control* control) {
    return RemoveAt(GetItemIndex(control));
}

bool Container::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    items_[static_cast<size_t>(index)]->Invalidate();
    // Destroying the child makes it (and its children) tell the window to forget them.
    items_.erase(items_.begin() + index);
    NeedUpdate();
    return true;
}

void Container::RemoveAll() {
    Invalidate();
    items_.clear();
    NeedUpdate();
}

Control* Container::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int Container::GetItemIndex(const Control* control) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Container::SetInset(const Rect& inset) {
    inset_ = inset;
    NeedUpdate();
}

void Container::SetChildPadding(int32_t padding) {
    childPadding_ = padding;
    NeedUpdate();
}

void Container::SetManager(PaintManager* manager, Control* parent, bool init) {
    Control::SetManager(manager, parent, init);
    for (auto& item : items_) {
        item->SetManager(manager, this, init);
    }
}

Control* Container::FindControlAt(Point point) {
    if (!IsVisible() || !Contains(point)) {
        return nullptr;
    }
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (Control* found = (*it)->FindControlAt(point)) {
            return found;
        }
    }
    // A container that ignores the mouse lets the point fall through to its parent.
    return mouseEnabled_ ? this : nullptr;
}

Control* Container::FindControlByName(std::string_view name) {
    if (name_ == name) {
        return this;
    }
    for (auto& item : items_) {
        if (Control* found = item->FindControlByName(name)) {
            return found;
        }
    }
    return nullptr;
}

void Container::SetPos(const Rect& rect, bool needInvalidate) {
    Control::SetPos(rect, needInvalidate);
    for (auto& item : items_) {
        if (item->IsVisible() && item->IsFloat()) {
            SetFloatPos(*item);
        }
    }
    LayoutChildren(InsetRect());
}

void Container::SetVisible(bool visible) {
    Control::SetVisible(visible);
    for (auto& item : items_) {
        item->SetInternVisible(IsVisible());
    }
}

void Container::SetInternVisible(bool visible) {
    Control::SetInternVisible(visible);
    for (auto& item : items_) {
        item->SetInternVisible(IsVisible());
    }
}

void Container::SetAttribute(std::string_view name, std::string_view value) {
    Rect r;
    int32_t n = 0;
    if (name == "inset") {
        if (parseRect(value, r)) {
            SetInset(r);
        }
    } else if (name == "childpadding") {
        if (parseInt(value, n)) {
            SetChildPadding(n);
        }
    } else {
        Control::SetAttribute(name, value);
    }
}

void Container::DoPaint(Canvas& canvas, const Rect& dirty) {
    if (isEmptyRect(intersectRect(dirty, rect_))) {
        return;
    }
    Control::DoPaint(canvas, dirty);
    PaintChildren(canvas, dirty, rect_);
}

Rect Container::InsetRect() const {
    return Rect{rect_.left + inset_.left, rect_.top + inset_.top, rect_.right - inset_.right,
                rect_.bottom - inset_.bottom};
}

void Container::LayoutChildren(const Rect& area) {
    for (auto& item : items_) {
        if (!item->IsVisible() || item->IsFloat()) {
            continue;
        }
        item->SetPos(PlaceIn(*item, area, item->EstimateSize(Size{area.width(), area.height()})));
    }
}

void Container::SetFloatPos(Control& child) {
    const Point xy = child.GetFixedXY();
    const int32_t left = rect_.left + xy.x;
    const int32_t top = rect_.top + xy.y;
    child.SetPos(Rect{left, top, left + child.GetFixedWidth(), top + child.GetFixedHeight()});
}

void Container::PaintChildren(Canvas& canvas, const Rect& dirty, const Rect& clip) {
    const Rect area = intersectRect(dirty, clip);
    if (isEmptyRect(area)) {
        return;
    }
    Canvas::ClipScope scope(canvas, area);
    for (auto& item : items_) {
        if (item->IsVisible() && !isEmptyRect(intersectRect(area, item->GetPos()))) {
            item->DoPaint(canvas, area);
        }
    }
}

Rect Container::PlaceIn(const Control& child, const Rect& area, Size size) {
    const Rect& pad = child.GetPadding();
    const int32_t left = area.left + pad.left;
    const int32_t top = area.top + pad.top;
    const int32_t right = size.cx > 0 || child.HasAutoWidth()
                              ? left + size.cx
                              : std::max(left, area.right - pad.right);
    const int32_t bottom = size.cy > 0 ? top + size.cy : std::max(top, area.bottom - pad.bottom);
    return Rect{left, top, right, bottom};
}

}  // namespace ui
