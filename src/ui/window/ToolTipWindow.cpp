#include "ui/window/ToolTipWindow.h"

#include "ui/render/Font.h"
#include "ui/render/TextAlign.h"
#include "ui/render/TextRenderer.h"

namespace ui {
namespace {

constexpr int32_t kPaddingX = 6;
constexpr int32_t kPaddingY = 3;
constexpr Argb kBackground = 0xFFFFFFE1;
constexpr Argb kBorder = 0xFF767676;
constexpr Argb kText = 0xFF000000;

FontSpec toolTipFont() {
    FontSpec font;
    font.face = "Arial";
    font.size = 12;
    return font;
}

}  // namespace

void ToolTipWindow::Show(const std::wstring& text, Point screenPoint) {
    if (GetHWND() == 0 && !Create(0, L"tooltip", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) {
        return;
    }
    text_ = text;
    dirty_ = true;
    const Size size = measureText(text_, toolTipFont());
    MoveWindow(screenPoint.x, screenPoint.y, size.cx + 2 * kPaddingX, size.cy + 2 * kPaddingY);
    ShowWindow(true, false);
    InvalidateRect({0, 0, GetClientSize().cx, GetClientSize().cy});
}

void ToolTipWindow::Hide() {
    text_.clear();
    if (GetHWND() != 0) {
        ShowWindow(false);
    }
}

Rect ToolTipWindow::OnPaint(Canvas& canvas) {
    const Size size = GetClientSize();
    if (!dirty_ && canvas.width() == size.cx && canvas.height() == size.cy) {
        return {};
    }
    dirty_ = false;
    canvas.resize(size.cx, size.cy);
    const Rect all{0, 0, size.cx, size.cy};
    canvas.fillRect(all, kBackground);
    canvas.drawRect(all, 1, kBorder);
    drawText(canvas, {kPaddingX, kPaddingY, size.cx - kPaddingX, size.cy - kPaddingY}, text_,
             toolTipFont(), kText, TextAlign::Left | TextAlign::VCenter);
    return all;
}

}  // namespace ui
