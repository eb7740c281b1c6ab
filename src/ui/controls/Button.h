#pragma once

#include "ui/controls/Label.h"

namespace ui {

// A label that can be pressed: a press captures it, a release over it raises "click". Its
// look follows the state: the normal, hot, pushed, focused or disabled image over the
// background, and hot or pushed background and text colours.
class Button : public Label {
public:
    std::string GetClass() const override;  // "Button"
    void* GetInterface(std::string_view name) override;
    uint32_t GetControlFlags() const override;

    // Raises "click" when the button is visible and enabled; false otherwise.
    virtual bool Activate();

    const std::string& GetNormalImage() const { return normalImage_; }
    std::string DescribeImage() const override {
        return normalImage_.empty() ? Label::DescribeImage() : normalImage_;
    }
    void SetNormalImage(std::string descriptor);
    void SetHotImage(std::string descriptor);
    void SetPushedImage(std::string descriptor);
    void SetDisabledImage(std::string descriptor);
    void SetFocusedImage(std::string descriptor);
    Argb GetHotBkColor() const { return hotBkColor_; }
    void SetHotBkColor(Argb colour);
    void SetPushedBkColor(Argb colour);
    void SetHotTextColor(Argb colour);
    void SetPushedTextColor(Argb colour);

    void SetEnabled(bool enabled = true) override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(Event& event) override;
    void PaintBkColor(Canvas& canvas) override;
    void PaintStatusImage(Canvas& canvas) override;

protected:
    Argb CurrentTextColor() const override;
    // The image for the current state, falling back to the normal one.
    virtual const std::string& CurrentImage() const;
    // Fills the control with a state colour (round when the control is).
    void FillState(Canvas& canvas, Argb colour);

    std::string normalImage_;
    std::string hotImage_;
    std::string pushedImage_;
    std::string disabledImage_;
    std::string focusedImage_;
    Argb hotBkColor_ = 0;
    Argb pushedBkColor_ = 0;
    Argb hotTextColor_ = 0;
    Argb pushedTextColor_ = 0;
};

}  // namespace ui
