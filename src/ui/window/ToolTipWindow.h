#pragma once

#include <string>

#include "base/Geometry.h"
#include "ui/window/WindowBase.h"

namespace ui {

// The small window that shows a control's tooltip beside the pointer. It never takes the
// focus, so showing it leaves the window under it active.
class ToolTipWindow : public WindowBase {
public:
    // Shows the text with its top-left at the screen point.
    void Show(const std::wstring& text, Point screenPoint);
    void Hide();
    const std::wstring& GetText() const { return text_; }

protected:
    Rect OnPaint(Canvas& canvas) override;

private:
    std::wstring text_;
    bool dirty_ = false;
};

}  // namespace ui
