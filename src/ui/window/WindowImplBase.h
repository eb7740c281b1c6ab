#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ui/core/Notify.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/IDialogBuilderCallback.h"
#include "ui/window/WindowBase.h"

namespace ui {

class ToolTipWindow;

// A window whose content is a numbered XML layout: on WM_CREATE it builds the layout (asking
// CreateControl for names the builder does not know), sizes itself by the layout, registers
// itself for its controls' notifications and calls InitWindow. Its paint manager gets the
// mouse and key messages the window does not handle itself.
class WindowImplBase : public WindowBase,
                       public INotify,
                       public IDialogBuilderCallback,
                       protected PaintHost {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    virtual std::string GetWindowClassName() const = 0;
    virtual uint32_t GetLayoutId() const = 0;
    virtual const char* GetResourceType() const { return "XML"; }
    // The layout as text instead of a numbered resource (tests); empty uses GetLayoutId.
    virtual std::string GetLayoutText() const { return {}; }

    // Called once the layout is built and attached.
    virtual void InitWindow() {}
    // Messages before the paint manager sees them; set handled to keep them.
    virtual LRESULT HandleCustomMessage(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // WM_CLOSE: set handled to keep the window.
    virtual LRESULT OnClose(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // Default: a click on "minbtn" minimises, on "closebtn" closes.
    void Notify(Notification& msg) override;
    Control* CreateControl(std::string_view className) override;

    PaintManager& GetPaintManager() { return pm_; }
    LRESULT HandleMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // The whole window painted into an image, shown or not.
    void RenderTo(Canvas& canvas);

protected:
    Rect OnPaint(Canvas& canvas) override;
    bool IsBackgroundTransparent() const override;
    std::string Describe() const override { return pm_.Describe(); }
    virtual LRESULT OnCreate(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled);

    // PaintHost
    void HostInvalidate(const Rect& rect) override;
    void HostSetTimer(uint32_t id, uint32_t ms) override;
    void HostKillTimer(uint32_t id) override;
    void HostSetCursor(Cursor cursor) override;
    void HostCaptureMouse(bool capture) override;
    void HostShowToolTip(const std::wstring& text, Point clientPoint) override;
    void HostHideToolTip() override;
    void HostFocus() override;

    PaintManager pm_;

private:
    LRESULT CaptionHitTest(LPARAM lParam);

    std::unique_ptr<ToolTipWindow> toolTip_;
    Canvas content_{0, 0};  // the client area, when a shadow surrounds it
};

}  // namespace ui
