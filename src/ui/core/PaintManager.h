#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "ui/core/Control.h"
#include "ui/core/Messages.h"
#include "ui/core/Notify.h"
#include "ui/render/Font.h"
#include "ui/render/ImageStore.h"

namespace ui {

class Canvas;

// What a paint manager needs from the window it serves; a paint manager without one works
// off-screen (tests, pictures): timers then fire only when a WM_TIMER is handed in.
class PaintHost {
public:
    virtual ~PaintHost() = default;
    virtual void HostInvalidate(const Rect& rect) = 0;  // something needs repainting
    virtual void HostSetTimer(uint32_t id, uint32_t ms) = 0;
    virtual void HostKillTimer(uint32_t id) = 0;
    virtual void HostSetCursor(Cursor cursor) = 0;
    virtual void HostCaptureMouse(bool capture) = 0;  // keep mouse events while a button is held
    virtual void HostShowToolTip(const std::wstring& text, Point clientPoint) = 0;
    virtual void HostHideToolTip() = 0;
    virtual void HostFocus() = 0;  // give the window the keyboard focus
};

// The window attributes a layout's root element carries.
struct WindowAttributes {
    Size size;                   // "size"
    Rect caption;                // "caption": the band that drags the window (bottom 0: none)
    std::string shadowImage;     // "shadowimage" descriptor
    Rect shadowCorner;           // "shadowcorner": how far the shadow reaches out on each side
    bool bkTransparent = false;  // "bktrans": see-through where nothing is drawn
    Argb defaultTextColor = 0xFF000000;
};

// One per window: the control tree, the window's fonts and images, focus, hot and captured
// controls, notifiers, message filters, control timers, and painting into the window's
// image. It turns the window's mouse and key messages into control events. UI thread only.
class PaintManager {
public:
    PaintManager();
    ~PaintManager();
    PaintManager(const PaintManager&) = delete;
    PaintManager& operator=(const PaintManager&) = delete;

    // The window served; null for off-screen use.
    void Init(PaintHost* host);
    PaintHost* GetHost() const { return host_; }

    // Takes the control tree; the root fills the client area.
    bool AttachDialog(std::unique_ptr<Control> root);
    Control* GetRoot() const { return root_.get(); }
    Control* FindControl(std::string_view name) const;
    Control* FindControl(Point point) const;

    WindowAttributes& GetWindowAttributes() { return attributes_; }
    const WindowAttributes& GetWindowAttributes() const { return attributes_; }
    // Sets one root-element attribute by name ("size", "caption", "shadowimage", ...).
    void SetWindowAttribute(std::string_view name, std::string_view value);

    Size GetClientSize() const { return clientSize_; }
    void SetClientSize(Size size);

    // Fonts by index (the layouts' "font" attribute); -1 and unknown indexes give the default.
    void AddFont(int32_t index, const FontSpec& font, bool isDefault = false);
    const FontSpec& GetFont(int32_t index) const;

    // Images: the descriptors' resource images and this window's named images.
    ImageStore& GetImages() { return images_; }
    void AddImage(const std::string& name, std::shared_ptr<const Bitmap> bitmap);
    void RemoveImage(const std::string& name);

    // Focus, hot and captured controls.
    Control* GetFocus() const { return focus_; }
    void SetFocus(Control* control);
    Control* GetHot() const { return hot_; }
    void SetCapture(Control* control);
    void ReleaseCapture();
    Control* GetCapture() const { return captured_; }
    // A control leaves the tree (hidden, removed, deleted): forget it everywhere.
    void ReapObject(Control* control);

    // Notifications go to every notifier, in the order added.
    void AddNotifier(INotify* notifier);
    void RemoveNotifier(INotify* notifier);
    void SendNotify(Control* sender, const std::string& type, WPARAM wParam = 0, LPARAM lParam = 0);

    void AddMessageFilter(IMessageFilter* filter);
    void RemoveMessageFilter(IMessageFilter* filter);

    // Control timers: EventType::Timer with wParam = id reaches the control every ms.
    bool SetTimer(Control* control, uint32_t id, uint32_t ms);
    void KillTimer(Control* control, uint32_t id);
    void KillTimers(Control* control);

    // Painting: only invalidated rects are repainted.
    void Invalidate(const Rect& rect);
    void Invalidate();  // everything
    void NeedUpdate();  // positions must be recomputed before the next paint
    // Lays out if needed and paints what was invalidated into the canvas (resized to the
    // client size). Returns the repainted rect, empty when nothing was.
    Rect Paint(Canvas& canvas);
    // The whole window, regardless of what was invalidated.
    void PaintAll(Canvas& canvas);

    // A window message for the controls. True when it was consumed, with `result` set.
    bool MessageHandler(uint32_t msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // One line per named control (or unnamed one with a text), depth first: name, class, visible, enabled, rect, text and
    // the image it shows, separated by tabs. What an outside reader (a test, an assistive tool) sees of the window.
    std::string Describe() const;

    // The tooltip text currently shown, empty when none.
    const std::wstring& GetShownToolTip() const { return shownToolTip_; }

    // Control timer ids on the host start here; lower ids are the window's own.
    static constexpr uint32_t kControlTimerBase = 0x10000;
    static constexpr uint32_t kToolTipTimer = 0xFFFF;
    static constexpr uint32_t kToolTipDelayMs = 400;

private:
    struct ControlTimer {
        Control* control;
        uint32_t id;
        uint32_t hostId;
    };

    void Layout();
    void Dispatch(Control* control, Event& event);
    void SetHot(Control* control, Point mouse);
    bool HandleMouse(uint32_t msg, WPARAM wParam, LPARAM lParam);
    void HandleKey(uint32_t msg, WPARAM wParam, LPARAM lParam);

    PaintHost* host_ = nullptr;
    std::unique_ptr<Control> root_;
    WindowAttributes attributes_;
    Size clientSize_;
    std::map<int32_t, FontSpec> fonts_;
    FontSpec defaultFont_;
    ImageStore images_;
    Control* focus_ = nullptr;
    Control* hot_ = nullptr;
    Control* captured_ = nullptr;
    Control* pushed_ = nullptr;
    std::vector<INotify*> notifiers_;
    std::vector<IMessageFilter*> filters_;
    std::vector<ControlTimer> timers_;
    uint32_t nextTimerId_ = kControlTimerBase;
    Rect invalid_;
    bool needUpdate_ = true;
    Point lastMouse_;
    bool mouseInside_ = false;
    std::wstring shownToolTip_;
};

}  // namespace ui
