#pragma once

#include "ui/controls/Label.h"

namespace ui {

// A horizontal bar: the background image is the track, the fore image is shown over the left
// part in proportion to the value between min and max (0..100 by default).
class Progress : public Label {
public:
    std::string GetClass() const override;  // "Progress"
    void* GetInterface(std::string_view name) override;

    int32_t GetMinValue() const { return min_; }
    int32_t GetMaxValue() const { return max_; }
    void SetMinValue(int32_t value);
    void SetMaxValue(int32_t value);
    int32_t GetValue() const { return value_; }
    // Clamped to min..max.
    virtual void SetValue(int32_t value);
    const std::string& GetForeImage() const { return foreImage_; }
    void SetForeImage(std::string descriptor);

    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintStatusImage(Canvas& canvas) override;

protected:
    // The part of the control the fore image shows in.
    virtual Rect ForeRect() const;

    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t value_ = 0;
    std::string foreImage_;
};

}  // namespace ui
