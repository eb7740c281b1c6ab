#include "ui/controls/ListContainerElement.h"

#include "ui/controls/List.h"
#include "ui/render/Canvas.h"

namespace ui {

std::string ListContainerElement::GetClass() const {
    return "ListContainerElement";
}

void* ListContainerElement::GetInterface(std::string_view name) {
    return name == "ListContainerElement" ? this : Container::GetInterface(name);
}

List* ListContainerElement::GetOwner() const {
    return parent_ != nullptr ? static_cast<List*>(parent_->GetInterface("List")) : nullptr;
}

int ListContainerElement::GetIndex() const {
    const List* owner = GetOwner();
    return owner != nullptr ? owner->GetItemIndex(this) : -1;
}

void ListContainerElement::SetSelectedState(bool selected) {
    if (selected == IsSelected()) {
        return;
    }
    if (selected) {
        state_ |= UISTATE_SELECTED;
    } else {
        state_ &= ~UISTATE_SELECTED;
    }
    Invalidate();
}

void ListContainerElement::DoEvent(Event& event) {
    if ((event.type == EventType::ButtonDown || event.type == EventType::DoubleClick) &&
        IsEnabled()) {
        if (List* owner = GetOwner()) {
            owner->SelectItem(GetIndex(), true);
        }
        return;
    }
    Container::DoEvent(event);
}

void ListContainerElement::PaintBkColor(Canvas& canvas) {
    Container::PaintBkColor(canvas);
    const List* owner = GetOwner();
    if (owner == nullptr) {
        return;
    }
    Argb colour = 0;
    if (IsSelected()) {
        colour = owner->GetItemSelectedBkColor();
    } else if ((state_ & UISTATE_HOT) != 0) {
        colour = owner->GetItemHotBkColor();
    }
    if (alphaOf(colour) != 0) {
        canvas.fillRect(rect_, colour);
    }
}

}  // namespace ui
