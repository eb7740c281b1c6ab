#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "ui/core/Messages.h"
#include "ui/render/Canvas.h"
#include "ui/render/Size.h"

struct SDL_Window;
union SDL_Event;

namespace ui {

// A window as other windows hold it: a number that stays safe after the window is gone (a
// message to a destroyed window does nothing). 0 is none.
using WindowId = uint32_t;

// A top-level window: its system window (SDL), its messages, timers and placement, and the
// image it shows. Subclasses paint into that image (OnPaint) and handle messages
// (HandleMessage, passing what they do not handle to the base). UI thread only, except
// PostMessage by id, which any thread may call.
class WindowBase {
public:
    static constexpr int32_t kDefaultPosition = INT32_MIN;

    WindowBase();
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    WindowId GetHWND() const { return id_; }

    // Creates the window; WM_CREATE is handled before it returns. Hidden unless the style
    // has WS_VISIBLE. A zero size leaves it to WM_CREATE's handler (the layout's size).
    bool Create(WindowId parent, const std::wstring& title, uint32_t style, uint32_t exStyle,
                int32_t x = kDefaultPosition, int32_t y = kDefaultPosition, int32_t cx = 0,
                int32_t cy = 0);
    // The same window with no system window behind it: it lays out and paints into its
    // image, so it can be checked or saved as a picture without a display.
    bool CreateOffscreen(const std::wstring& title, uint32_t style, uint32_t exStyle);
    bool IsOffscreen() const { return offscreen_; }

    void ShowWindow(bool show = true, bool takeFocus = true);
    // Posts WM_CLOSE with the code; the default handling destroys the window.
    void Close(uint32_t code = IDOK);
    void DestroyWindow();
    void CenterWindow();
    void MoveWindow(int32_t x, int32_t y, int32_t cx, int32_t cy);
    void SetWindowPos(const Rect& rect) {
        MoveWindow(rect.left, rect.top, rect.width(), rect.height());
    }
    Rect GetWindowRect() const;  // screen coordinates
    Size GetClientSize() const { return clientSize_; }
    bool IsWindowVisible() const { return visible_; }
    // Whether the window has the keyboard focus.
    bool HasFocus() const { return focused_; }
    bool IsIconic() const;
    void Minimize();
    void Restore();
    bool IsWindowEnabled() const { return enabled_; }
    // A disabled window takes no mouse or key input.
    void EnableWindow(bool enable);
    uint32_t GetStyle() const { return style_; }
    uint32_t GetExStyle() const { return exStyle_; }
    void SetExStyle(uint32_t exStyle);  // applies WS_EX_TOPMOST
    void SetIcon(uint32_t resourceId);
    // The system's id of this window (to look through it when searching windows beneath).
    uint64_t GetNativeWindow() const;

    // Window timers: WM_TIMER with wParam = id every ms. Ids are per window.
    bool SetTimer(uint32_t id, uint32_t ms);
    void KillTimer(uint32_t id);

    // Synchronous: the handler's result, 0 for a window that is gone.
    LRESULT SendMessage(uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void PostMessage(uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
    static WindowBase* FromId(WindowId window);
    static bool IsWindow(WindowId window) { return FromId(window) != nullptr; }

    void SetCursor(Cursor cursor);
    // Keep mouse events while a button is held, even outside the window.
    void CaptureMouse(bool capture);
    // Paints what is invalid and shows it now.
    void UpdateWindow();
    // Marks part of the client area for repainting; the repaint runs from the loop.
    void InvalidateRect(const Rect& rect);
    // The image the window shows.
    const Canvas& GetCanvas() const { return canvas_; }

    // The desktop (primary monitor) in screen coordinates.
    static Rect DesktopRect();
    // The modifier keys held now, as kMod* flags of ui/core/Event.h.
    static uint32_t ModifierKeys();
    const Rect& GetFrameMargins() const { return margins_; }

    // Default handling: WM_CLOSE destroys, WM_SYSCOMMAND minimises and restores, WM_NCHITTEST
    // answers HTCLIENT; everything else returns 0.
    virtual LRESULT HandleMessage(uint32_t msg, WPARAM wParam, LPARAM lParam);

protected:
    // After the window is destroyed; the object may delete itself here.
    virtual void OnFinalMessage(WindowId window) { (void)window; }
    // Paints the invalid part into the canvas; returns the rect painted (empty: nothing).
    virtual Rect OnPaint(Canvas& canvas) {
        (void)canvas;
        return {};
    }
    // See-through (pixels and clicks) wherever the canvas is fully transparent.
    virtual bool IsBackgroundTransparent() const { return false; }
    // What the window shows, as text for readers outside the program; empty: nothing.
    virtual std::string Describe() const { return {}; }
    void SetClientSize(Size size);
    // A band around the client area that belongs to the window but not to its content (a drop
    // shadow): the canvas covers it, while positions, sizes and mouse points stay the
    // client's.
    void SetFrameMargins(const Rect& margins);

private:
    friend class WindowEvents;

    void OnSdlEvent(const SDL_Event& event);
    void Present(const Rect& rect);
    void UpdateShape();
    void ApplySize();

    WindowId id_ = 0;
    SDL_Window* sdl_ = nullptr;
    bool offscreen_ = false;
    uint32_t style_ = 0;
    uint32_t exStyle_ = 0;
    bool visible_ = false;
    bool enabled_ = true;
    bool paintPosted_ = false;
    bool minimized_ = false;  // what IsIconic says of an off-screen window
    bool focused_ = false;
    Size clientSize_;
    Rect margins_;
    Rect offscreenRect_;
    Canvas canvas_{0, 0};
    std::vector<Rect> shape_;
    std::string published_;  // the description last published
    bool shaped_ = false;
    std::vector<uint32_t> timerIds_;  // this window's timer ids
};

// Messages to a window by its id. Synchronous: the handler's result, 0 for a window that is
// gone.
LRESULT SendMessage(WindowId window, uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Any thread. Runs on the UI thread behind everything already posted; a window gone by then
// gets nothing. False only for id 0.
bool PostMessage(WindowId window, uint32_t msg, WPARAM wParam = 0, LPARAM lParam = 0);

}  // namespace ui
