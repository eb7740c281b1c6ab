#pragma once

#include <string>
#include <string_view>

#include "ui/controls/Button.h"

// A button that keeps an on/off state and shows it by its background image and border colour.
// The state flips on the press, so the "click" raised on the release already carries the new
// state; a press released elsewhere still flips it. Owners that set `checked` themselves call
// UpdateCheckLook afterwards.
class CheckBoxButton : public ui::Button {
public:
    std::string GetClass() const override;  // "CheckBoxButton"
    void* GetInterface(std::string_view name) override;
    void DoEvent(ui::Event& event) override;

    // Background image and border colour for the current state.
    void UpdateCheckLook();

    bool checked = false;
    std::string normalImage;   // descriptor shown when not checked
    std::string checkedImage;  // descriptor shown when checked
    ui::Argb normalBorderColor = 0;
    ui::Argb checkedBorderColor = 0;
};
