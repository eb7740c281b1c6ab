#pragma once

#include "ui/core/Control.h"
#include "ui/render/Font.h"
#include "ui/render/TextAlign.h"

namespace ui {

// One line of text in one of the window's fonts, placed by align/valign (left and vertically
// centred by default) inside the text padding. With autocalcwidth the label is as wide as its
// text plus the padding.
class Label : public Control {
public:
    std::string GetClass() const override;  // "Label"
    void* GetInterface(std::string_view name) override;

    Argb GetTextColor() const { return textColor_; }
    void SetTextColor(Argb colour);
    void SetDisabledTextColor(Argb colour);
    int32_t GetFont() const { return font_; }
    void SetFont(int32_t index);
    uint32_t GetTextStyle() const { return align_; }  // TextAlign flags
    void SetTextStyle(uint32_t align);
    const Rect& GetTextPadding() const { return textPadding_; }
    void SetTextPadding(const Rect& padding);
    bool IsAutoCalcWidth() const { return autoCalcWidth_; }
    void SetAutoCalcWidth(bool autoCalc);

    void SetText(std::wstring text) override;
    Size EstimateSize(Size available) override;
    bool HasAutoWidth() const override { return autoCalcWidth_; }
    void SetAttribute(std::string_view name, std::string_view value) override;
    void PaintText(Canvas& canvas) override;

protected:
    // The colour for the current state; subclasses add hot, pushed and selected colours.
    virtual Argb CurrentTextColor() const;
    const FontSpec& CurrentFont() const;
    // The rect the text is placed in: the control less the text padding.
    Rect TextRect() const;

    Argb textColor_ = 0;
    Argb disabledTextColor_ = 0;
    int32_t font_ = -1;
    uint32_t align_ = TextAlign::Left | TextAlign::VCenter;
    Rect textPadding_;
    bool autoCalcWidth_ = false;
};

}  // namespace ui
