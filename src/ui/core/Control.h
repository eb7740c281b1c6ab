#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Geometry.h"
#include "ui/core/Event.h"
#include "ui/render/Color.h"
#include "ui/render/Size.h"

namespace ui {

class Canvas;
class PaintManager;

// Control flags (GetControlFlags).
enum : uint32_t {
    UIFLAG_TABSTOP = 1,
    UIFLAG_SETCURSOR = 2,  // the control sets the pointer's shape itself (EventType::SetCursor)
};

// Control states, for the stock controls' looks.
enum : uint32_t {
    UISTATE_FOCUSED = 0x01,
    UISTATE_SELECTED = 0x02,
    UISTATE_DISABLED = 0x04,
    UISTATE_HOT = 0x08,
    UISTATE_PUSHED = 0x10,
    UISTATE_CAPTURED = 0x40,
};

// The base of every control: a rectangle in its window's client area with a background
// colour and image, a border, a text, and a place in the control tree. The window's
// PaintManager positions it (SetPos), paints it (DoPaint) and hands it events (DoEvent).
// UI thread only.
class Control {
public:
    Control();
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Identity.
    virtual std::string GetClass() const;               // "Control"
    virtual void* GetInterface(std::string_view name);  // this for "Control", else null
    virtual uint32_t GetControlFlags() const;           // UIFLAG_*
    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Tree.
    Control* GetParent() const { return parent_; }
    PaintManager* GetManager() const { return manager_; }
    // Attaches the control (and its children) to a window; init runs DoInit once.
    virtual void SetManager(PaintManager* manager, Control* parent, bool init = true);
    virtual void DoInit() {}
    // The topmost visible, mouse-enabled control at the point (client coordinates), or null.
    virtual Control* FindControlAt(Point point);
    virtual Control* FindControlByName(std::string_view name);

    // Position and size. GetPos is the rect in client coordinates. For a float control
    // SetPos also records the placement relative to the parent, so later layouts keep it.
    const Rect& GetPos() const { return rect_; }
    virtual void SetPos(const Rect& rect, bool needInvalidate = true);
    void Move(int32_t dx, int32_t dy);
    int32_t GetFixedWidth() const { return fixed_.cx; }
    int32_t GetFixedHeight() const { return fixed_.cy; }
    void SetFixedWidth(int32_t cx);
    void SetFixedHeight(int32_t cy);
    Point GetFixedXY() const { return fixedXY_; }
    void SetFixedXY(Point xy);
    const Rect& GetPadding() const { return padding_; }  // outer margin in a layout
    void SetPadding(const Rect& padding);
    bool IsFloat() const { return float_; }
    void SetFloat(bool isFloat);
    // The size the control wants inside `available` (the layouts ask); fixed sizes by default.
    virtual Size EstimateSize(Size available);
    // True when the estimated width is the control's own even when it is 0 (a label sized
    // by its text); otherwise a width of 0 means "fill" or "share the rest".
    virtual bool HasAutoWidth() const { return false; }

    // Look.
    Argb GetBkColor() const { return bkColor_; }
    void SetBkColor(Argb colour);
    const std::string& GetBkImage() const { return bkImage_; }
    void SetBkImage(std::string descriptor);
    Argb GetBorderColor() const { return borderColor_; }
    void SetBorderColor(Argb colour);
    Argb GetFocusBorderColor() const { return focusBorderColor_; }
    void SetFocusBorderColor(Argb colour);
    int32_t GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int32_t size);
    Size GetBorderRound() const { return borderRound_; }
    void SetBorderRound(Size round);

    // Text and data.
    virtual const std::wstring& GetText() const { return text_; }
    virtual void SetText(std::wstring text);
    const std::wstring& GetToolTip() const { return toolTip_; }
    void SetToolTip(std::wstring text) { toolTip_ = std::move(text); }
    const std::wstring& GetUserData() const { return userData_; }
    void SetUserData(std::wstring data) { userData_ = std::move(data); }

    // State.
    bool IsVisible() const { return visible_ && internVisible_; }
    virtual void SetVisible(bool visible = true);
    // Set by a parent that is hidden or shown; the control's own flag stays.
    virtual void SetInternVisible(bool visible = true);
    bool IsEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return mouseEnabled_; }
    void SetMouseEnabled(bool enabled = true) { mouseEnabled_ = enabled; }
    bool IsFocused() const { return focused_; }
    virtual void SetFocus();
    // Visible and enabled: the control can take the mouse and the focus.
    bool IsActive() const { return IsVisible() && IsEnabled(); }

    // Layout attribute by name (the XML layouts' attributes); unknown names are ignored.
    virtual void SetAttribute(std::string_view name, std::string_view value);

    // Painting: DoPaint paints the control within `dirty`, in this order.
    virtual void DoPaint(Canvas& canvas, const Rect& dirty);
    virtual void PaintBkColor(Canvas& canvas);
    virtual void PaintBkImage(Canvas& canvas);
    virtual void PaintStatusImage(Canvas& canvas);
    virtual void PaintText(Canvas& canvas);
    virtual void PaintBorder(Canvas& canvas);
    // The descriptor of the image the control shows (for readers outside the program).
    virtual std::string DescribeImage() const { return bkImage_; }
    // Draws an image descriptor over this control's rect; false when it cannot be drawn.
    bool DrawImage(Canvas& canvas, const std::string& descriptor);
    // The same over another rect (a part of the control: a thumb, a button).
    bool DrawImage(Canvas& canvas, const std::string& descriptor, const Rect& where);

    // Marks the control's rect for repainting.
    void Invalidate();
    // Marks the window's layout for recomputation (size or visibility changed).
    void NeedUpdate();
    void NeedParentUpdate();

    // Events from the paint manager. The base handling gives a set-cursor event the arrow,
    // tracks the hot state (repainting when it changes) and ignores the rest.
    virtual void DoEvent(Event& event);

    // UISTATE_* bits of the stock controls.
    uint32_t GetState() const { return state_; }

protected:
    // The state bits of the stock controls (hot, pushed, focused, selected, disabled).
    uint32_t state_ = 0;
    // Sends a notification to the window's notifiers; nothing without a window.
    void NotifyWindow(const std::string& type, WPARAM wParam = 0, LPARAM lParam = 0);
    // For subclasses: whether the mouse point lies in the control.
    bool Contains(Point p) const {
        return p.x >= rect_.left && p.x < rect_.right && p.y >= rect_.top && p.y < rect_.bottom;
    }

    PaintManager* manager_ = nullptr;
    Control* parent_ = nullptr;
    std::string name_;
    Rect rect_;
    Size fixed_;
    Point fixedXY_;
    Rect padding_;
    bool float_ = false;
    bool visible_ = true;
    bool internVisible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool focused_ = false;
    Argb bkColor_ = 0;
    Argb borderColor_ = 0;
    Argb focusBorderColor_ = 0;
    int32_t borderSize_ = 0;
    Size borderRound_;
    std::string bkImage_;
    std::wstring text_;
    std::wstring toolTip_;
    std::wstring userData_;
    bool inited_ = false;  // DoInit has run
};

}  // namespace ui
