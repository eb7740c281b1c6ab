#pragma once

#include "ui/controls/Option.h"

namespace ui {

// An option that belongs to no group: each click toggles it ("selectchanged" each time).
class CheckBox : public Option {
public:
    std::string GetClass() const override;  // "CheckBox"
    void* GetInterface(std::string_view name) override;

    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool check, bool notify = true) { Selected(check, notify); }

    void SetAttribute(std::string_view name, std::string_view value) override;
};

}  // namespace ui
