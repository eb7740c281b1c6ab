#include "ui/controls/Option.h"

#include "ui/core/Attributes.h"
#include "ui/core/Container.h"

namespace ui {

std::string Option::GetClass() const {
    return "Option";
}

void* Option::GetInterface(std::string_view name) {
    return name == "Option" ? this : Button::GetInterface(name);
}

void Option::Selected(bool selected, bool notify) {
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    if (selected) {
        state_ |= UISTATE_SELECTED;
    } else {
        state_ &= ~UISTATE_SELECTED;
    }
    if (selected && !group_.empty()) {
        // The window's tree is the tree this control hangs in.
        Control* root = this;
        while (root->GetParent() != nullptr) {
            root = root->GetParent();
        }
        UnselectGroup(*root, notify);
    }
    if (notify) {
        NotifyWindow("selectchanged");
    }
    Invalidate();
}

void Option::UnselectGroup(Control& root, bool notify) {
    if (&root != this) {
        if (auto* option = static_cast<Option*>(root.GetInterface("Option"))) {
            if (option->group_ == group_ && option->selected_) {
                option->Selected(false, notify);
            }
        }
    }
    if (auto* container = static_cast<Container*>(root.GetInterface("Container"))) {
        for (int i = 0; i < container->GetCount(); ++i) {
            UnselectGroup(*container->GetItemAt(i), notify);
        }
    }
}

void Option::SetGroup(std::string group) {
    group_ = std::move(group);
}

void Option::SetSelectedImage(std::string descriptor) {
    selectedImage_ = std::move(descriptor);
    Invalidate();
}

void Option::SetSelectedHotImage(std::string descriptor) {
    selectedHotImage_ = std::move(descriptor);
    Invalidate();
}

void Option::SetSelectedBkColor(Argb colour) {
    selectedBkColor_ = colour;
    Invalidate();
}

void Option::SetSelectedTextColor(Argb colour) {
    selectedTextColor_ = colour;
    Invalidate();
}

bool Option::Activate() {
    if (!Button::Activate()) {
        return false;
    }
    Selected(group_.empty() ? !selected_ : true);
    return true;
}

void Option::SetAttribute(std::string_view name, std::string_view value) {
    Argb colour = 0;
    bool b = false;
    if (name == "group") {
        SetGroup(std::string(value));
    } else if (name == "selected") {
        if (parseBool(value, b)) {
            Selected(b, false);
        }
    } else if (name == "selectedimage") {
        SetSelectedImage(std::string(value));
    } else if (name == "selectedhotimage") {
        SetSelectedHotImage(std::string(value));
    } else if (name == "selectedbkcolor") {
        if (parseColor(value, colour)) {
            SetSelectedBkColor(colour);
        }
    } else if (name == "selectedtextcolor") {
        if (parseColor(value, colour)) {
            SetSelectedTextColor(colour);
        }
    } else {
        Button::SetAttribute(name, value);
    }
}

void Option::PaintBkColor(Canvas& canvas) {
    if (selected_ && alphaOf(selectedBkColor_) != 0) {
        Label::PaintBkColor(canvas);
        FillState(canvas, selectedBkColor_);
        return;
    }
    Button::PaintBkColor(canvas);
}

Argb Option::CurrentTextColor() const {
    if (selected_ && IsEnabled() && alphaOf(selectedTextColor_) != 0) {
        return selectedTextColor_;
    }
    return Button::CurrentTextColor();
}

const std::string& Option::CurrentImage() const {
    if (selected_ && IsEnabled()) {
        if ((state_ & UISTATE_HOT) != 0 && !selectedHotImage_.empty()) {
            return selectedHotImage_;
        }
        if (!selectedImage_.empty()) {
            return selectedImage_;
        }
    }
    return Button::CurrentImage();
}

}  // namespace ui
