#include "ui/window/WindowBase.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "base/Utf8.h"
#include "platform/MessageLoop.h"
#include "platform/Screen.h"
#include "platform/SdlEvents.h"
#include "platform/WindowSystem.h"
#include "resources/Resources.h"
#include "ui/core/Event.h"
#include "ui/render/Bitmap.h"
#include "ui/window/SdlKeys.h"

namespace ui {

// The windows alive, by id, and the routing of SDL's events to them. UI thread only.
class WindowEvents {
public:
    static WindowEvents& instance() {
        static WindowEvents events;
        return events;
    }

    WindowId add(WindowBase* window) {
        const WindowId id = ++lastId_;
        windows_[id] = window;
        return id;
    }
    void remove(WindowId id) { windows_.erase(id); }
    WindowBase* find(WindowId id) const {
        const auto it = windows_.find(id);
        return it == windows_.end() ? nullptr : it->second;
    }

    // Global ids of the loop's timers, one per (window, timer id).
    uint32_t timerId(WindowId window, uint32_t id) {
        const auto key = (static_cast<uint64_t>(window) << 32) | id;
        auto it = timers_.find(key);
        if (it == timers_.end()) {
            it = timers_.emplace(key, nextTimer_++).first;
        }
        return it->second;
    }
    void forgetTimer(WindowId window, uint32_t id) {
        timers_.erase((static_cast<uint64_t>(window) << 32) | id);
    }

    void listen() {
        if (listening_) {
            return;
        }
        listening_ = true;
        platform::sdlEventSink().setHandler([this](const SDL_Event& e) { route(e); });
    }

private:
    static uint32_t windowIdOf(const SDL_Event& e) {
        switch (e.type) {
            case SDL_WINDOWEVENT:
                return e.window.windowID;
            case SDL_MOUSEMOTION:
                return e.motion.windowID;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                return e.button.windowID;
            case SDL_MOUSEWHEEL:
                return e.wheel.windowID;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                return e.key.windowID;
            case SDL_TEXTINPUT:
                return e.text.windowID;
            default:
                return 0;
        }
    }

    void route(const SDL_Event& e) {
        const uint32_t sdlId = windowIdOf(e);
        if (sdlId == 0) {
            return;
        }
        for (const auto& [id, window] : windows_) {
            if (window->sdl_ != nullptr && SDL_GetWindowID(window->sdl_) == sdlId) {
                window->OnSdlEvent(e);
                return;
            }
        }
    }

    std::map<WindowId, WindowBase*> windows_;
    WindowId lastId_ = 0;
    std::map<uint64_t, uint32_t> timers_;
    // Apart from the ids other users of the loop pick (small numbers).
    uint32_t nextTimer_ = 0x40000000u;
    bool listening_ = false;
};

namespace {

bool initVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        return true;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A click on a window that is not active still reaches its controls, as users expect.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Our own image is shown as it is: SDL's plain window surface, with no renderer behind it
    // (which would make SDL recreate the system window, under a new id, at the first paint).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    platform::WindowSystem::instance().enableTranslucentWindows();
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

SDL_Cursor* systemCursor(Cursor cursor) {
    static std::map<Cursor, SDL_Cursor*> cursors;  // live as long as the process
    auto it = cursors.find(cursor);
    if (it != cursors.end()) {
        return it->second;
    }
    SDL_SystemCursor id = SDL_SYSTEM_CURSOR_ARROW;
    switch (cursor) {
        case Cursor::Arrow:
            id = SDL_SYSTEM_CURSOR_ARROW;
            break;
        case Cursor::Hand:
            id = SDL_SYSTEM_CURSOR_HAND;
            break;
        case Cursor::SizeNWSE:
            id = SDL_SYSTEM_CURSOR_SIZENWSE;
            break;
        case Cursor::SizeNESW:
            id = SDL_SYSTEM_CURSOR_SIZENESW;
            break;
        case Cursor::SizeWE:
            id = SDL_SYSTEM_CURSOR_SIZEWE;
            break;
        case Cursor::SizeNS:
            id = SDL_SYSTEM_CURSOR_SIZENS;
            break;
        case Cursor::SizeAll:
            id = SDL_SYSTEM_CURSOR_SIZEALL;
            break;
    }
    SDL_Cursor* c = SDL_CreateSystemCursor(id);
    cursors[cursor] = c;
    return c;
}

uint32_t mouseModifiers(uint32_t buttons) {
    uint32_t m = WindowBase::ModifierKeys();
    if ((buttons & SDL_BUTTON_LMASK) != 0) {
        m |= kModLButton;
    }
    return m;
}

SDL_HitTestResult hitTest(SDL_Window* window, const SDL_Point* area, void* data) {
    (void)window;
    auto* self = static_cast<WindowBase*>(data);
    const Rect r = self->GetWindowRect();
    const LRESULT hit =
        self->SendMessage(WM_NCHITTEST, 0,
                          MakeLParam(r.left + area->x - self->GetFrameMargins().left,
                                     r.top + area->y - self->GetFrameMargins().top));
    return hit == 2 ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

}  // namespace

WindowBase::WindowBase() = default;

WindowBase::~WindowBase() {
    // The object goes without messages: a destructor cannot call back into a subclass.
    for (uint32_t t : timerIds_) {
        platform::MessageLoop::ui().killTimer(WindowEvents::instance().timerId(id_, t));
        WindowEvents::instance().forgetTimer(id_, t);
    }
    if (id_ != 0) {
        WindowEvents::instance().remove(id_);
    }
    if (sdl_ != nullptr) {
        SDL_DestroyWindow(sdl_);
    }
}

bool WindowBase::Create(WindowId parent, const std::wstring& title, uint32_t style,
                        uint32_t exStyle, int32_t x, int32_t y, int32_t cx, int32_t cy) {
    if (id_ != 0 || !initVideo()) {
        return false;
    }
    WindowEvents::instance().listen();
    (void)parent;  // popups are placed by their owners; no system link is needed
    style_ = style;
    exStyle_ = exStyle;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((style & WS_POPUP) != 0 || (style & WS_CHILD) != 0) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if ((exStyle & WS_EX_TOPMOST) != 0) {
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    }
    if ((exStyle & WS_EX_TOOLWINDOW) != 0) {
        flags |= SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_UTILITY;
    }
    const int sx = x == kDefaultPosition ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x;
    const int sy = y == kDefaultPosition ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y;
    sdl_ = SDL_CreateWindow(WideToUtf8(title).c_str(), sx, sy, cx > 0 ? cx : 1, cy > 0 ? cy : 1,
                            flags);
    if (sdl_ == nullptr) {
        return false;
    }
    SDL_SetWindowHitTest(sdl_, &hitTest, this);
    id_ = WindowEvents::instance().add(this);
    clientSize_ = {cx, cy};
    SendMessage(WM_CREATE);
    if (id_ != 0 && (style & WS_VISIBLE) != 0) {
        ShowWindow(true, true);
    }
    return id_ != 0;
}

bool WindowBase::CreateOffscreen(const std::wstring& title, uint32_t style, uint32_t exStyle) {
    (void)title;
    if (id_ != 0) {
        return false;
    }
    offscreen_ = true;
    style_ = style;
    exStyle_ = exStyle;
    id_ = WindowEvents::instance().add(this);
    SendMessage(WM_CREATE);
    visible_ = (style & WS_VISIBLE) != 0;
    return id_ != 0;
}

void WindowBase::ShowWindow(bool show, bool takeFocus) {
    visible_ = show;
    if (sdl_ == nullptr) {
        return;
    }
    if (!show) {
        SDL_HideWindow(sdl_);
        return;
    }
    if (IsBackgroundTransparent() && !shaped_) {
        // Shaped before it is first shown: until its first paint a see-through window would
        // take every click over its whole rect (the capture frame covers the screen).
        UpdateWindow();
    }
    if (takeFocus) {
        SDL_ShowWindow(sdl_);
        SDL_RaiseWindow(sdl_);
    } else {
        platform::WindowSystem::instance().showWithoutActivating(sdl_);
    }
    minimized_ = false;
    InvalidateRect({0, 0, clientSize_.cx, clientSize_.cy});
}

void WindowBase::Close(uint32_t code) {
    PostMessage(WM_CLOSE, code, 0);
}

void WindowBase::DestroyWindow() {
    if (id_ == 0) {
        return;
    }
    const WindowId id = id_;
    HandleMessage(WM_DESTROY, 0, 0);
    for (uint32_t t : timerIds_) {
        platform::MessageLoop::ui().killTimer(WindowEvents::instance().timerId(id, t));
        WindowEvents::instance().forgetTimer(id, t);
    }
    timerIds_.clear();
    WindowEvents::instance().remove(id);
    id_ = 0;
    visible_ = false;
    if (sdl_ != nullptr) {
        SDL_DestroyWindow(sdl_);
        sdl_ = nullptr;
    }
    OnFinalMessage(id);
}

Rect WindowBase::DesktopRect() {
    // The session's own answer (the primary monitor), as the recorder's other parts get it.
    static const std::unique_ptr<platform::Screen> screen = platform::Screen::open(false);
    return screen ? screen->desktopRect() : Rect{};
}

void WindowBase::CenterWindow() {
    if (offscreen_) {
        return;  // no screen to be centred on
    }
    const Rect desktop = DesktopRect();
    const Rect r = GetWindowRect();
    MoveWindow(desktop.left + (desktop.width() - r.width()) / 2,
               desktop.top + (desktop.height() - r.height()) / 2, r.width(), r.height());
}

void WindowBase::MoveWindow(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    if (sdl_ == nullptr) {
        offscreenRect_ = {x, y, x + cx, y + cy};
    } else {
        SDL_SetWindowPosition(sdl_, x - margins_.left, y - margins_.top);
    }
    SetClientSize({cx, cy});
}

void WindowBase::SetClientSize(Size size) {
    if (size.cx == clientSize_.cx && size.cy == clientSize_.cy) {
        return;
    }
    clientSize_ = size;
    ApplySize();
}

void WindowBase::SetFrameMargins(const Rect& margins) {
    margins_ = margins;
    ApplySize();
}

uint32_t WindowBase::ModifierKeys() {
    const SDL_Keymod mod = SDL_GetModState();
    uint32_t m = 0;
    if ((mod & KMOD_SHIFT) != 0) {
        m |= kModShift;
    }
    if ((mod & KMOD_LSHIFT) != 0) {
        m |= kModLeftShift;
    }
    if ((mod & KMOD_CTRL) != 0) {
        m |= kModControl;
    }
    if ((mod & KMOD_ALT) != 0) {
        m |= kModAlt;
    }
    return m;
}

void WindowBase::ApplySize() {
    if (sdl_ != nullptr) {
        SDL_SetWindowSize(sdl_, std::max(1, clientSize_.cx + margins_.left + margins_.right),
                          std::max(1, clientSize_.cy + margins_.top + margins_.bottom));
    } else {
        offscreenRect_.right = offscreenRect_.left + clientSize_.cx;
        offscreenRect_.bottom = offscreenRect_.top + clientSize_.cy;
    }
    SendMessage(WM_SIZE, 0, MakeLParam(clientSize_.cx, clientSize_.cy));
    InvalidateRect({0, 0, clientSize_.cx, clientSize_.cy});
}

Rect WindowBase::GetWindowRect() const {
    if (sdl_ == nullptr) {
        return offscreenRect_;
    }
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(sdl_, &x, &y);
    x += margins_.left;
    y += margins_.top;
    return {x, y, x + clientSize_.cx, y + clientSize_.cy};
}

bool WindowBase::IsIconic() const {
    return sdl_ != nullptr ? (SDL_GetWindowFlags(sdl_) & SDL_WINDOW_MINIMIZED) != 0 : minimized_;
}

void WindowBase::Minimize() {
    if (sdl_ != nullptr) {
        SDL_MinimizeWindow(sdl_);
    }
    minimized_ = true;
}

void WindowBase::Restore() {
    if (sdl_ != nullptr) {
        SDL_RestoreWindow(sdl_);
        SDL_RaiseWindow(sdl_);
    }
    minimized_ = false;
    visible_ = true;
}

void WindowBase::EnableWindow(bool enable) {
    enabled_ = enable;
    HandleMessage(WM_ENABLE, enable ? 1 : 0, 0);
}

void WindowBase::SetExStyle(uint32_t exStyle) {
    exStyle_ = exStyle;
    if (sdl_ != nullptr) {
        SDL_SetWindowAlwaysOnTop(sdl_, (exStyle & WS_EX_TOPMOST) != 0 ? SDL_TRUE : SDL_FALSE);
    }
}

void WindowBase::SetIcon(uint32_t resourceId) {
    if (sdl_ == nullptr) {
        return;
    }
    const ResourceBytes bytes = findResource(resourceId, "PNG");
    const auto bitmap = Bitmap::decodePng(bytes.data, bytes.size);
    if (!bitmap) {
        return;
    }
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> surface(
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(bitmap->pixels()), bitmap->width(),
                                           bitmap->height(), 32, bitmap->width() * 4,
                                           SDL_PIXELFORMAT_ARGB8888),
        &SDL_FreeSurface);
    if (surface) {
        SDL_SetWindowIcon(sdl_, surface.get());
    }
}

uint64_t WindowBase::GetNativeWindow() const {
    return sdl_ == nullptr ? 0 : platform::WindowSystem::instance().nativeWindow(sdl_);
}

bool WindowBase::SetTimer(uint32_t id, uint32_t ms) {
    if (id_ == 0) {
        return false;
    }
    const WindowId window = id_;
    const uint32_t global = WindowEvents::instance().timerId(window, id);
    if (std::find(timerIds_.begin(), timerIds_.end(), id) == timerIds_.end()) {
        timerIds_.push_back(id);
    }
    platform::MessageLoop::ui().setTimer(
        global, ms, [window, id] { ui::SendMessage(window, WM_TIMER, id, 0); });
    return true;
}

void WindowBase::KillTimer(uint32_t id) {
    const auto it = std::find(timerIds_.begin(), timerIds_.end(), id);
    if (it == timerIds_.end()) {
        return;
    }
    timerIds_.erase(it);
    platform::MessageLoop::ui().killTimer(WindowEvents::instance().timerId(id_, id));
    WindowEvents::instance().forgetTimer(id_, id);
}

LRESULT WindowBase::SendMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    return id_ == 0 ? 0 : HandleMessage(msg, wParam, lParam);
}

void WindowBase::PostMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    ui::PostMessage(id_, msg, wParam, lParam);
}

LRESULT SendMessage(WindowId window, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    WindowBase* w = WindowBase::FromId(window);
    return w == nullptr ? 0 : w->HandleMessage(msg, wParam, lParam);
}

bool PostMessage(WindowId window, uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (window == 0) {
        return false;
    }
    platform::MessageLoop::ui().post(
        [window, msg, wParam, lParam] { ui::SendMessage(window, msg, wParam, lParam); });
    return true;
}

WindowBase* WindowBase::FromId(WindowId window) {
    return window == 0 ? nullptr : WindowEvents::instance().find(window);
}

void WindowBase::SetCursor(Cursor cursor) {
    if (sdl_ != nullptr) {
        SDL_SetCursor(systemCursor(cursor));
    }
}

void WindowBase::CaptureMouse(bool capture) {
    if (sdl_ != nullptr) {
        SDL_CaptureMouse(capture ? SDL_TRUE : SDL_FALSE);
    }
}

LRESULT WindowBase::HandleMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_SYSCOMMAND:
            if (wParam == SC_MINIMIZE) {
                Minimize();
            } else if (wParam == SC_RESTORE) {
                Restore();
            } else if (wParam == SC_CLOSE) {
                SendMessage(WM_CLOSE);
            }
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        default:
            return 0;
    }
}

void WindowBase::InvalidateRect(const Rect& rect) {
    (void)rect;  // the paint manager keeps the union of what is invalid
    if (offscreen_ || paintPosted_ || id_ == 0) {
        return;
    }
    paintPosted_ = true;
    const WindowId id = id_;
    platform::MessageLoop::ui().post([id] {
        if (WindowBase* w = FromId(id)) {
            w->paintPosted_ = false;
            w->UpdateWindow();
        }
    });
}

void WindowBase::UpdateWindow() {
    const Rect painted = OnPaint(canvas_);
    if (painted.width() <= 0 || painted.height() <= 0 || sdl_ == nullptr) {
        return;
    }
    if (IsBackgroundTransparent()) {
        UpdateShape();
    }
    Present(painted);
    std::string description = Describe();
    if (description != published_) {
        published_ = std::move(description);
        platform::WindowSystem::instance().publishDescription(sdl_, published_);
    }
}

void WindowBase::Present(const Rect& rect) {
    if (sdl_ == nullptr || canvas_.width() == 0 || canvas_.height() == 0) {
        return;
    }
    // A window with a drop shadow is blended with what lies beneath by the system where it
    // can; elsewhere through its visual, as every window.
    if ((margins_.left != 0 || margins_.top != 0 || margins_.right != 0 || margins_.bottom != 0) &&
        platform::WindowSystem::instance().presentTranslucent(sdl_, canvas_.pixels(),
                                                              canvas_.width(), canvas_.height())) {
        return;
    }
    SDL_Surface* target = SDL_GetWindowSurface(sdl_);
    if (target == nullptr) {
        return;
    }
    std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> source(
        SDL_CreateRGBSurfaceWithFormatFrom(canvas_.pixels(), canvas_.width(), canvas_.height(), 32,
                                           canvas_.width() * 4, SDL_PIXELFORMAT_ARGB8888),
        &SDL_FreeSurface);
    if (!source) {
        return;
    }
    SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);
    SDL_Rect r{rect.left, rect.top, rect.width(), rect.height()};
    SDL_Rect d = r;
    SDL_BlitSurface(source.get(), &r, target, &d);
    SDL_UpdateWindowSurfaceRects(sdl_, &r, 1);
}

void WindowBase::UpdateShape() {
    // Rows of drawn pixels, merged with the row above when they span the same columns.
    std::vector<Rect> rects;
    const int32_t w = canvas_.width();
    const int32_t h = canvas_.height();
    std::vector<Rect> open;
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* row = canvas_.pixels() + static_cast<size_t>(y) * w;
        std::vector<Rect> runs;
        for (int32_t x = 0; x < w;) {
            if ((row[x] >> 24) == 0) {
                ++x;
                continue;
            }
            const int32_t start = x;
            while (x < w && (row[x] >> 24) != 0) {
                ++x;
            }
            runs.push_back({start, y, x, y + 1});
        }
        std::vector<Rect> next;
        for (Rect run : runs) {
            auto it = std::find_if(open.begin(), open.end(), [&](const Rect& o) {
                return o.left == run.left && o.right == run.right && o.bottom == y;
            });
            if (it != open.end()) {
                run.top = it->top;
                open.erase(it);
            }
            next.push_back(run);
        }
        rects.insert(rects.end(), open.begin(), open.end());
        open = std::move(next);
    }
    rects.insert(rects.end(), open.begin(), open.end());
    if (shaped_ && rects == shape_) {
        return;
    }
    shape_ = std::move(rects);
    shaped_ = platform::WindowSystem::instance().setShape(sdl_, shape_);
}

void WindowBase::OnSdlEvent(const SDL_Event& e) {
    const WindowId self = id_;
    switch (e.type) {
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                    Present({0, 0, canvas_.width(), canvas_.height()});
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    focused_ = true;
                    SendMessage(WM_SETFOCUS);
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    focused_ = false;
                    SendMessage(WM_KILLFOCUS);
                    break;
                case SDL_WINDOWEVENT_LEAVE:
                    SendMessage(WM_MOUSELEAVE);
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    SendMessage(WM_SYSCOMMAND, SC_CLOSE);
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    minimized_ = true;
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_SHOWN:
                    minimized_ = false;
                    InvalidateRect({0, 0, clientSize_.cx, clientSize_.cy});
                    break;
                default:
                    break;
            }
            return;
        case SDL_MOUSEMOTION:
            if (!enabled_) {
                return;
            }
            SendMessage(WM_MOUSEMOVE, mouseModifiers(e.motion.state),
                        MakeLParam(e.motion.x - margins_.left, e.motion.y - margins_.top));
            if (FromId(self) == this) {
                SendMessage(WM_SETCURSOR);
            }
            return;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (!enabled_) {
                return;
            }
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            uint32_t msg = 0;
            if (e.button.button == SDL_BUTTON_LEFT) {
                // Every press is a press: SDL counts a quick second click as a double click
                // even in another window, and no control here wants double clicks.
                msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            } else if (e.button.button == SDL_BUTTON_RIGHT) {
                msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            } else {
                return;
            }
            SendMessage(msg, mouseModifiers(SDL_GetMouseState(nullptr, nullptr)),
                        MakeLParam(e.button.x - margins_.left, e.button.y - margins_.top));
            return;
        }
        case SDL_MOUSEWHEEL: {
            if (!enabled_) {
                return;
            }
            const auto delta = static_cast<uint16_t>(static_cast<int16_t>(e.wheel.y * 120));
            SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(delta) << 16,
                        MakeLParam(e.wheel.mouseX - margins_.left, e.wheel.mouseY - margins_.top));
            return;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (!enabled_) {
                return;
            }
            const uint32_t vk = VirtualKeyOf(e.key.keysym.sym, e.key.keysym.scancode);
            if (vk != 0) {
                SendMessage(e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk,
                            e.key.repeat ? 1 : 0);
            }
            return;
        }
        case SDL_TEXTINPUT: {
            if (!enabled_) {
                return;
            }
            for (wchar_t c : Utf8ToWide(e.text.text)) {
                SendMessage(WM_CHAR, static_cast<WPARAM>(c), 0);
                if (FromId(self) != this) {
                    return;
                }
            }
            return;
        }
        default:
            return;
    }
}

}  // namespace ui
