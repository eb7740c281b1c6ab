#include "ui/controls/List.h"

#include "ui/controls/ListContainerElement.h"

namespace ui {

std::string List::GetClass() const {
    return "List";
}

void* List::GetInterface(std::string_view name) {
    return name == "List" ? this : VerticalLayout::GetInterface(name);
}

bool List::SelectItem(int index, bool takeFocus) {
    if (index == curSel_) {
        return index >= 0;
    }
    auto rowAt = [this](int i) {
        Control* c = GetItemAt(i);
        return c != nullptr
                   ? static_cast<ListContainerElement*>(c->GetInterface("ListContainerElement"))
                   : nullptr;
    };
    ListContainerElement* row = nullptr;
    if (index >= 0) {
        row = rowAt(index);
        if (row == nullptr || !row->IsVisible() || !row->IsEnabled()) {
            return false;
        }
    }
    const int old = curSel_;
    if (ListContainerElement* previous = rowAt(old)) {
        previous->SetSelectedState(false);
    }
    curSel_ = index;
    if (row == nullptr) {
        return false;
    }
    row->SetSelectedState(true);
    EnsureVisible(index);
    if (takeFocus) {
        SetFocus();
    }
    NotifyWindow("itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
    return true;
}

void List::EnsureVisible(int index) {
    Control* row = GetItemAt(index);
    if (row == nullptr || scrollBar_ == nullptr || !scrollBar_->IsVisible()) {
        return;
    }
    const Rect& r = row->GetPos();
    if (r.top < view_.top) {
        SetScrollPos(GetScrollPos() - (view_.top - r.top));
    } else if (r.bottom > view_.bottom) {
        SetScrollPos(GetScrollPos() + (r.bottom - view_.bottom));
    }
}

void List::SetItemHotBkColor(Argb colour) {
    itemHotBkColor_ = colour;
    Invalidate();
}

void List::SetItemSelectedBkColor(Argb colour) {
    itemSelectedBkColor_ = colour;
    Invalidate();
}

bool List::AddAt(std::unique_ptr<Control> control, int index) {
    if (!VerticalLayout::AddAt(std::move(control), index)) {
        return false;
    }
    if (curSel_ >= index) {
        ++curSel_;
    }
    return true;
}

bool List::RemoveAt(int index) {
    if (!VerticalLayout::RemoveAt(index)) {
        return false;
    }
    if (curSel_ == index) {
        curSel_ = -1;
    } else if (curSel_ > index) {
        --curSel_;
    }
    return true;
}

void List::RemoveAll() {
    VerticalLayout::RemoveAll();
    curSel_ = -1;
}

void List::SetAttribute(std::string_view name, std::string_view value) {
    Argb colour = 0;
    if (name == "header") {
        // No header is ever drawn.
    } else if (name == "itemhotbkcolor") {
        if (parseColor(value, colour)) {
            SetItemHotBkColor(colour);
        }
    } else if (name == "itemselectedbkcolor") {
        if (parseColor(value, colour)) {
            SetItemSelectedBkColor(colour);
        }
    } else {
        VerticalLayout::SetAttribute(name, value);
    }
}

}  // namespace ui
