#include "views/controls/CheckBoxButton.h"

std::string CheckBoxButton::GetClass() const {
    return "CheckBoxButton";
}

void* CheckBoxButton::GetInterface(std::string_view name) {
    return name == "CheckBoxButton" ? this : ui::Button::GetInterface(name);
}

void CheckBoxButton::DoEvent(ui::Event& event) {
    // A disabled button keeps its state, as it raises no click either.
    if (event.type == ui::EventType::ButtonDown && IsEnabled()) {
        checked = !checked;
        UpdateCheckLook();
    }
    ui::Button::DoEvent(event);
}

void CheckBoxButton::UpdateCheckLook() {
    SetBkImage(checked ? checkedImage : normalImage);
    SetBorderColor(checked ? checkedBorderColor : normalBorderColor);
}
