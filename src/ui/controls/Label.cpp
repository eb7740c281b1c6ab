#include "ui/controls/Label.h"

#include "ui/core/Attributes.h"
#include "ui/core/PaintManager.h"
#include "ui/render/TextAlign.h"
#include "ui/render/TextRenderer.h"

namespace ui {

namespace {

constexpr uint32_t kHorizontalMask = TextAlign::Center | TextAlign::Right;
constexpr uint32_t kVerticalMask = TextAlign::VCenter | TextAlign::Bottom;

// Applies the alignment words in the text ("left", "center", "right", "top", "vcenter",
// "bottom", "endellipsis"; separated by blanks, commas or bars) to the flags.
uint32_t applyAlignWords(uint32_t align, std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(" ,|", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view word = text.substr(start, end - start);
        if (word == "left") {
            align = (align & ~kHorizontalMask) | TextAlign::Left;
        } else if (word == "center") {
            align = (align & ~kHorizontalMask) | TextAlign::Center;
        } else if (word == "right") {
            align = (align & ~kHorizontalMask) | TextAlign::Right;
        } else if (word == "top") {
            align = (align & ~kVerticalMask) | TextAlign::Top;
        } else if (word == "vcenter") {
            align = (align & ~kVerticalMask) | TextAlign::VCenter;
        } else if (word == "bottom") {
            align = (align & ~kVerticalMask) | TextAlign::Bottom;
        } else if (word == "endellipsis") {
            align |= TextAlign::EndEllipsis;
        }
        start = end + 1;
    }
    return align;
}

const FontSpec kNoWindowFont{};

}  // namespace

std::string Label::GetClass() const {
    return "Label";
}

void* Label::GetInterface(std::string_view name) {
    return name == "Label" ? this : Control::GetInterface(name);
}

void Label::SetTextColor(Argb colour) {
    textColor_ = colour;
    Invalidate();
}

void Label::SetDisabledTextColor(Argb colour) {
    disabledTextColor_ = colour;
    Invalidate();
}

void Label::SetFont(int32_t index) {
    font_ = index;
    if (autoCalcWidth_) {
        NeedParentUpdate();
    }
    Invalidate();
}

void Label::SetTextStyle(uint32_t align) {
    align_ = align;
    Invalidate();
}

void Label::SetTextPadding(const Rect& padding) {
    textPadding_ = padding;
    if (autoCalcWidth_) {
        NeedParentUpdate();
    }
    Invalidate();
}

void Label::SetAutoCalcWidth(bool autoCalc) {
    autoCalcWidth_ = autoCalc;
    NeedParentUpdate();
}

void Label::SetText(std::wstring text) {
    Control::SetText(std::move(text));
    if (autoCalcWidth_) {
        NeedParentUpdate();
    }
}

Size Label::EstimateSize(Size available) {
    if (autoCalcWidth_) {
        const Size text = text_.empty() ? Size{} : measureText(text_, CurrentFont());
        fixed_.cx = text.cx > 0 ? text.cx + textPadding_.left + textPadding_.right : 0;
    }
    return Control::EstimateSize(available);
}

void Label::SetAttribute(std::string_view name, std::string_view value) {
    Argb colour = 0;
    int32_t n = 0;
    Rect r;
    bool b = false;
    if (name == "textcolor") {
        if (parseColor(value, colour)) {
            SetTextColor(colour);
        }
    } else if (name == "disabledtextcolor") {
        if (parseColor(value, colour)) {
            SetDisabledTextColor(colour);
        }
    } else if (name == "font") {
        if (parseInt(value, n)) {
            SetFont(n);
        }
    } else if (name == "align" || name == "valign") {
        SetTextStyle(applyAlignWords(align_, value));
    } else if (name == "endellipsis") {
        if (parseBool(value, b)) {
            SetTextStyle(b ? align_ | TextAlign::EndEllipsis : align_ & ~TextAlign::EndEllipsis);
        }
    } else if (name == "textpadding") {
        if (parseRect(value, r)) {
            SetTextPadding(r);
        }
    } else if (name == "autocalcwidth") {
        if (parseBool(value, b)) {
            SetAutoCalcWidth(b);
        }
    } else {
        Control::SetAttribute(name, value);
    }
}

void Label::PaintText(Canvas& canvas) {
    if (text_.empty()) {
        return;
    }
    drawText(canvas, TextRect(), text_, CurrentFont(), CurrentTextColor(), align_);
}

Argb Label::CurrentTextColor() const {
    if (!IsEnabled() && alphaOf(disabledTextColor_) != 0) {
        return disabledTextColor_;
    }
    if (alphaOf(textColor_) != 0) {
        return textColor_;
    }
    return manager_ != nullptr ? manager_->GetWindowAttributes().defaultTextColor : 0xFF000000;
}

const FontSpec& Label::CurrentFont() const {
    return manager_ != nullptr ? manager_->GetFont(font_) : kNoWindowFont;
}

Rect Label::TextRect() const {
    return Rect{rect_.left + textPadding_.left, rect_.top + textPadding_.top,
                rect_.right - textPadding_.right, rect_.bottom - textPadding_.bottom};
}

}  // namespace ui
