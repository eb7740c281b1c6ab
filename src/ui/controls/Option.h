#pragma once

#include "ui/controls/Button.h"

namespace ui {

// A button with a selected state. A click selects it; within a group (same "group" name in
// the same window) selecting one unselects the others, and without a group a click toggles
// it. Every change of its own state raises "selectchanged". Selected, it shows the selected
// image (the selected hot image under the pointer) and the selected colours.
class Option : public Button {
public:
    std::string GetClass() const override;  // "Option"
    void* GetInterface(std::string_view name) override;

    bool IsSelected() const { return selected_; }
    virtual void Selected(bool selected, bool notify = true);
    const std::string& GetGroup() const { return group_; }
    void SetGroup(std::string group);

    void SetSelectedImage(std::string descriptor);
    void SetSelectedHotImage(std::string descriptor);
    void SetSelectedBkColor(Argb colour);
    void SetSelectedTextColor(Argb colour);

    bool Activate() override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintBkColor(Canvas& canvas) override;

protected:
    Argb CurrentTextColor() const override;
    const std::string& CurrentImage() const override;
    // Unselects the other options of the group in this control's tree.
    void UnselectGroup(Control& root, bool notify);

    bool selected_ = false;
    std::string group_;
    std::string selectedImage_;
    std::string selectedHotImage_;
    Argb selectedBkColor_ = 0;
    Argb selectedTextColor_ = 0;
};

}  // namespace ui
