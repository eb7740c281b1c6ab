// The window system beneath the framework, on a real X server with openbox, clicked from
// outside with xdotool: the compositor's presence, window ids and the keyboard focus. Shapes
// are checked through the framework's windows (WindowTest).
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Await.h"
#include "TestServers.h"
#include "platform/WindowSystem.h"

// Last: Xlib's macros (None, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

const auto* const kX =
    ::testing::AddGlobalTestEnvironment(new testsupport::XvfbWithWindowManagerEnvironment);

using namespace std::chrono_literals;
using platform::NativeWindow;

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct SdlWindowDestroyer {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
using SdlWindow = std::unique_ptr<SDL_Window, SdlWindowDestroyer>;

class WindowSystemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // SDL drops the click that focuses a window unless told otherwise; the framework
        // wants it, as Windows delivers it.
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

    void SetUp() override { ASSERT_TRUE(x_) << "no X connection"; }
    void TearDown() override {
        for (const Window w : plain_) {
            XDestroyWindow(x_.get(), w);
        }
        XSync(x_.get(), False);
    }

    // An SDL window filled with one colour, shown by the window manager, painted.
    SdlWindow sdlWindow(const char* title, Rect r, uint32_t flags = 0) {
        SdlWindow window(SDL_CreateWindow(title, r.left, r.top, r.width(), r.height(), flags));
        EXPECT_TRUE(window) << SDL_GetError();
        if (window && !(flags & SDL_WINDOW_HIDDEN)) {
            EXPECT_TRUE(viewable(system_.nativeWindow(window.get())));
        }
        painted_.push_back(window.get());
        paint();
        return window;
    }

    ::testing::AssertionResult viewable(NativeWindow w, bool shown = true) {
        return testsupport::waitFor(
            [&] {
                SDL_PumpEvents();
                XWindowAttributes a{};
                return XGetWindowAttributes(x_.get(), w, &a) &&
                       (a.map_state == IsViewable) == shown;
            },
            5s, shown ? "the window manager to show the window" : "the window to go");
    }

    // SDL's windows have no backing store: repainted while the tests wait on the screen.
    void paint() {
        for (SDL_Window* window : painted_) {
            SDL_Surface* s = SDL_GetWindowSurface(window);
            if (s != nullptr) {
                SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 255));
                SDL_UpdateWindowSurface(window);
            }
        }
    }

    Point onScreen(NativeWindow w, Point p) {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(x_.get(), w, DefaultRootWindow(x_.get()), p.x, p.y, &x, &y, &child);
        return Point{x, y};
    }

    static void click(Point p) {
        int status = -1;
        testsupport::runAndCapture(
            {"xdotool", "mousemove", std::to_string(p.x), std::to_string(p.y), "click", "1"},
            &status);
        ASSERT_EQ(status, 0) << "xdotool failed";
    }

    NativeWindow awaitFocus(NativeWindow expected) {
        NativeWindow focused = 0;
        EXPECT_TRUE(testsupport::waitFor(
            [&] {
                SDL_PumpEvents();
                return (focused = system_.focusedWindow()) == expected;
            },
            5s, "the focus on window " + std::to_string(expected)));
        return focused;
    }

    platform::WindowSystem& system_ = platform::WindowSystem::instance();
    std::unique_ptr<Display, DisplayCloser> x_{XOpenDisplay(nullptr)};  // the test's own client
    std::vector<Window> plain_;
    std::vector<SDL_Window*> painted_;
};

// A compositing manager announces itself by owning _NET_WM_CM_S0; the test plays one.
TEST_F(WindowSystemTest, CompositorIsSeenWhileItsSelectionIsOwned) {
    EXPECT_FALSE(system_.hasCompositor());
    EXPECT_FALSE(system_.enableTranslucentWindows());

    Display* d = x_.get();
    const Atom selection = XInternAtom(d, "_NET_WM_CM_S0", False);
    const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    plain_.push_back(owner);
    XSetSelectionOwner(d, selection, owner, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(system_.hasCompositor());

    // Windows made from now on can show their pixels' alpha.
    ASSERT_TRUE(system_.enableTranslucentWindows());
    const SdlWindow glass = sdlWindow("glass", Rect{0, 0, 50, 50}, SDL_WINDOW_HIDDEN);
    SDL_ResetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID);
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(d, system_.nativeWindow(glass.get()), &a));
    EXPECT_EQ(a.depth, 32);

    XSetSelectionOwner(d, selection, None, CurrentTime);
    XSync(d, False);
    EXPECT_FALSE(system_.hasCompositor());
}

TEST_F(WindowSystemTest, IdsAndShowingWithoutTheFocus) {
    const SdlWindow one = sdlWindow("WindowSystemTest one", Rect{50, 50, 250, 250});
    int status = -1;
    std::istringstream found(testsupport::runAndCapture(
        {"xdotool", "search", "--name", "WindowSystemTest one"}, &status));
    NativeWindow searched = 0;
    found >> searched;
    EXPECT_EQ(searched, system_.nativeWindow(one.get()));

    // Shown without taking the focus: another window shown after it takes it, and it has had
    // none in between; a click still focuses it.
    const SdlWindow quiet = sdlWindow("quiet", Rect{400, 400, 600, 600}, SDL_WINDOW_HIDDEN);
    const SdlWindow loud = sdlWindow("loud", Rect{650, 400, 850, 600}, SDL_WINDOW_HIDDEN);
    const NativeWindow quietId = system_.nativeWindow(quiet.get());
    XSelectInput(x_.get(), quietId, FocusChangeMask);
    XSync(x_.get(), False);
    system_.showWithoutActivating(quiet.get());
    ASSERT_TRUE(viewable(quietId));
    SDL_ShowWindow(loud.get());
    awaitFocus(system_.nativeWindow(loud.get()));
    XEvent e;
    EXPECT_FALSE(XCheckTypedWindowEvent(x_.get(), quietId, FocusIn, &e));
    paint();
    click(onScreen(quietId, Point{20, 20}));
    awaitFocus(quietId);
}

}  // namespace
