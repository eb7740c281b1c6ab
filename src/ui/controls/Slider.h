#pragma once

#include "ui/controls/Progress.h"

namespace ui {

// A progress bar with a thumb the user drags: a press or a drag sets the value under the
// pointer (value = min + (x - left - thumb width / 2) * (max - min) / (width - thumb width),
// clamped and rounded). "valuechanged" is raised once, on release, when the value differs
// from the one at the press; SetValue raises nothing.
class Slider : public Progress {
public:
    std::string GetClass() const override;  // "Slider"
    void* GetInterface(std::string_view name) override;
    uint32_t GetControlFlags() const override;

    Size GetThumbSize() const { return thumbSize_; }
    void SetThumbSize(Size size);
    void SetThumbImage(std::string descriptor);
    void SetThumbHotImage(std::string descriptor);
    void SetThumbPushedImage(std::string descriptor);
    // The thumb's rect for the current value.
    Rect GetThumbRect() const;
    // The value the pointer's x stands for.
    int32_t ValueAt(int32_t x) const;

    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(Event& event) override;
    void PaintStatusImage(Canvas& canvas) override;

protected:
    Rect ForeRect() const override;

private:
    Size thumbSize_{10, 10};
    std::string thumbImage_;
    std::string thumbHotImage_;
    std::string thumbPushedImage_;
    bool dragging_ = false;
    int32_t valueAtPress_ = 0;
};

}  // namespace ui
