#pragma once

#include <functional>
#include <string>

#include "ui/core/Control.h"

namespace ui {

// A vertical scroll bar: an up button, a rail with a thumb, a down button. The position runs
// from 0 to the range; the thumb's length shows how much of the content the owner's view (the
// bar's own height) holds. Dragging the thumb, clicking the buttons or the rail, and the wheel
// move the position; the owner hears every change through its callback.
class ScrollBar : public Control {
public:
    std::string GetClass() const override;  // "ScrollBar"
    void* GetInterface(std::string_view name) override;

    int32_t GetScrollRange() const { return range_; }
    void SetScrollRange(int32_t range);
    int32_t GetScrollPos() const { return pos_; }
    // Clamped to 0..range.
    void SetScrollPos(int32_t pos);
    int32_t GetLineSize() const { return lineSize_; }
    void SetLineSize(int32_t size) { lineSize_ = size > 0 ? size : 1; }
    void SetOnScroll(std::function<void(int32_t pos)> onScroll) { onScroll_ = std::move(onScroll); }

    // The parts, in client coordinates (empty when not shown).
    Rect Button1Rect() const;
    Rect Button2Rect() const;
    Rect RailRect() const;
    Rect ThumbRect() const;

    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(Event& event) override;
    void PaintStatusImage(Canvas& canvas) override;

    static constexpr int32_t kDefaultWidth = 10;

private:
    int32_t ButtonHeight() const;

    int32_t range_ = 0;
    int32_t pos_ = 0;
    int32_t lineSize_ = 8;
    bool showButton1_ = true;
    bool showButton2_ = true;
    bool dragging_ = false;
    int32_t dragStartY_ = 0;
    int32_t dragStartPos_ = 0;
    std::string thumbNormalImage_;
    std::string thumbHotImage_;
    std::string thumbPushedImage_;
    std::string railNormalImage_;
    std::string button1NormalImage_;
    std::string button2NormalImage_;
    std::function<void(int32_t)> onScroll_;
};

}  // namespace ui
