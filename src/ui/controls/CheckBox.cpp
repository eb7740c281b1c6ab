#include "ui/controls/CheckBox.h"

namespace ui {

std::string CheckBox::GetClass() const {
    return "CheckBox";
}

void* CheckBox::GetInterface(std::string_view name) {
    return name == "CheckBox" ? this : Option::GetInterface(name);
}

void CheckBox::SetAttribute(std::string_view name, std::string_view value) {
    // A check box toggles on its own; a group would make it a radio button.
    if (name != "group") {
        Option::SetAttribute(name, value);
    }
}

}  // namespace ui
