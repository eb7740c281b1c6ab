#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/WindowSystem.h"

namespace platform {
namespace {

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct XFreeDeleter {
    void operator()(void* p) const { XFree(p); }
};

// Xlib's default error handler ends the process; a window another client owns may vanish
// between two of our requests. While one of these lives, errors are dropped (the replies say
// what failed). The handler is process-wide, so this is for the UI thread's short calls only.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        previous_ = XSetErrorHandler(&ErrorTrap::ignore);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    static int ignore(Display*, XErrorEvent*) { return 0; }
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

struct SdlX11Window {
    Display* display = nullptr;
    Window window = 0;
};

SdlX11Window x11Of(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
        return {};
    }
    return {info.info.x11.display, info.info.x11.window};
}

class X11WindowSystem final : public WindowSystem {
public:
    NativeWindow nativeWindow(SDL_Window* window) override { return x11Of(window).window; }

    bool setShape(SDL_Window* window, const std::vector<Rect>& rects) override {
        const SdlX11Window x = x11Of(window);
        if (x.display == nullptr || !canShape(x.display)) {
            return false;
        }
        std::vector<XRectangle> boxes;
        boxes.reserve(rects.size());
        for (const Rect& r : rects) {
            if (r.width() > 0 && r.height() > 0) {
                boxes.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                                           static_cast<unsigned short>(r.width()),
                                           static_cast<unsigned short>(r.height())});
            }
        }
        // Bounding: where it is drawn; input: where it takes the pointer. Both, so that what
        // shows through also clicks through.
        for (const int kind : {ShapeBounding, ShapeInput}) {
            XShapeCombineRectangles(x.display, x.window, kind, 0, 0, boxes.data(),
                                    static_cast<int>(boxes.size()), ShapeSet, Unsorted);
        }
        XFlush(x.display);
        return true;
    }

    void clearShape(SDL_Window* window) override {
        const SdlX11Window x = x11Of(window);
        if (x.display == nullptr || !canShape(x.display)) {
            return;
        }
        for (const int kind : {ShapeBounding, ShapeInput}) {
            XShapeCombineMask(x.display, x.window, kind, 0, 0, None, ShapeSet);
        }
        XFlush(x.display);
    }

    bool hasCompositor() override {
        Display* d = ownDisplay();
        if (d == nullptr) {
            return false;
        }
        // A compositing manager owns this selection for as long as it runs.
        const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
        return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
    }

    bool enableTranslucentWindows() override {
        if (!hasCompositor()) {
            return false;  // without one, alpha would only darken what should show through
        }
        Display* d = ownDisplay();
        XVisualInfo visual;
        if (!XMatchVisualInfo(d, DefaultScreen(d), 32, TrueColor, &visual)) {
            return false;
        }
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(visual.visualid));
        return SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, id) == SDL_TRUE;
    }

    // X11 blends through the window's 32-bit visual and the compositor.
    bool presentTranslucent(SDL_Window*, const uint32_t*, int32_t, int32_t) override {
        return false;
    }

    NativeWindow focusedWindow() override {
        Display* d = ownDisplay();
        if (d == nullptr) {
            return 0;
        }
        ErrorTrap trap(d);
        Window focus = None;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        // The focus may sit on a child; the top-level that holds it names its process.
        const Window root = DefaultRootWindow(d);
        for (Window w = focus; w != None && w != PointerRoot && w != root;) {
            long pid = 0;
            if (cardinal(d, w, "_NET_WM_PID", pid)) {
                return pid == static_cast<long>(getpid()) ? w : 0;
            }
            Window rootReturn = None;
            Window parent = None;
            Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(d, w, &rootReturn, &parent, &children, &count)) {
                return 0;
            }
            std::unique_ptr<Window, XFreeDeleter> freeChildren(children);
            w = parent;
        }
        return 0;
    }

    void showWithoutActivating(SDL_Window* window) override {
        const SdlX11Window x = x11Of(window);
        if (x.display != nullptr) {
            // A user time of 0 asks the window manager not to focus the window when it maps.
            long zero = 0;
            XChangeProperty(x.display, x.window, XInternAtom(x.display, "_NET_WM_USER_TIME", False),
                            XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&zero), 1);
        }
        SDL_ShowWindow(window);
    }

    void publishDescription(SDL_Window* window, const std::string& description) override {
        const SdlX11Window x = x11Of(window);
        if (x.display == nullptr) {
            return;
        }
        XChangeProperty(x.display, x.window, XInternAtom(x.display, "_SC_CONTROL_TREE", False),
                        XInternAtom(x.display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(description.data()),
                        static_cast<int>(description.size()));
        XFlush(x.display);
    }

private:
    // Input shapes came with version 1.1 of the extension.
    static bool canShape(Display* d) {
        int event = 0;
        int error = 0;
        int major = 0;
        int minor = 0;
        return XShapeQueryExtension(d, &event, &error) && XShapeQueryVersion(d, &major, &minor) &&
               (major > 1 || (major == 1 && minor >= 1));
    }

    static bool cardinal(Display* d, Window w, const char* property, long& value) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(d, w, XInternAtom(d, property, False), 0, 1, False,
                                              XA_CARDINAL, &type, &format, &count, &after, &data);
        std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
        if (status != Success || type != XA_CARDINAL || format != 32 || count != 1) {
            return false;
        }
        value = *reinterpret_cast<long*>(data);
        return true;
    }

    // For questions about the session that concern no window of ours; opened on first use.
    Display* ownDisplay() {
        if (!display_) {
            display_.reset(XOpenDisplay(nullptr));
        }
        return display_.get();
    }

    std::unique_ptr<Display, DisplayCloser> display_;  // UI thread
};

}  // namespace

WindowSystem& WindowSystem::instance() {
    // Never destroyed: at exit the X server may be gone already, and closing a connection to
    // a dead server ends the process with an I/O error.
    static X11WindowSystem* const system = new X11WindowSystem;
    return *system;
}

}  // namespace platform
