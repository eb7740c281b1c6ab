// Hotkeys and the cursor record driven by xdotool on a private X server, through the real
// hooks, the UI loop and the dispatcher.
#include <gtest/gtest.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"
#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "input/InputManager.h"
#include "platform/MessageLoop.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

using Codes = std::vector<std::string>;
using platform::MessageLoop;

// Stands in for the Store's slot: collects HotkeyPressed codes and ends the UI loop when the
// awaited one has come. Registered once, as listeners are never removed.
class HotkeyListener : public IActionListener {
  public:
    static HotkeyListener& instance() {
        static HotkeyListener* listener = [] {
            auto* l = new HotkeyListener();
            ActionDispatcher::instance().addListener(Action::HotkeyPressed, l);
            return l;
        }();
        return *listener;
    }

    // Collects only while a test waits: a burst of repeats may overrun the awaited code.
    void onAction(int32_t, void* payload) override {
        if (!done) {
            return;
        }
        codes.push_back(*static_cast<const std::string*>(payload));
        if (done(codes)) {
            done = nullptr;
            MessageLoop::ui().quit(0);
        }
    }

    Codes codes;
    std::function<bool(const Codes&)> done;
};

// Does `act` and runs the UI loop until `done` says so; the codes received.
Codes runUntil(const std::function<void()>& act, std::function<bool(const Codes&)> done) {
    HotkeyListener& listener = HotkeyListener::instance();
    listener.codes.clear();
    listener.done = std::move(done);
    act();
    constexpr uint32_t kTimeout = 0x7e57;
    MessageLoop& loop = MessageLoop::ui();
    loop.setTimer(kTimeout, 15000, [&loop] { loop.quit(1); });  // a guard, not a wait
    const int result = loop.run();
    loop.killTimer(kTimeout);
    const bool timedOut = listener.done != nullptr;
    listener.done = nullptr;
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(timedOut) << "the awaited hotkey did not come; got " << listener.codes.size();
    return listener.codes;
}

// Runs xdotool with the arguments, then as runUntil.
Codes drive(const std::vector<std::string>& args, std::function<bool(const Codes&)> done) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ChildProcess xdotool;
    const Codes codes =
        runUntil([&] { xdotool = testsupport::ChildProcess(argv, {}); }, std::move(done));
    EXPECT_EQ(xdotool.wait(std::chrono::seconds(10)), 0);
    return codes;
}

// Until the given code has arrived.
Codes driveUntil(const std::vector<std::string>& args, const std::string& last) {
    return drive(args, [last](const Codes& codes) { return codes.back() == last; });
}

// Presses and releases keys through XTEST, as xdotool does. xdotool cannot type a right-hand
// modifier alone: it presses the modifier's first key (the left one) with it.
class Keyboard {
  public:
    Keyboard() : display_(XOpenDisplay(nullptr)) {}
    // Each step: a keysym, pressed when `down`, released otherwise; handled by the server
    // when this returns, unless only flushed (then nothing is sent back to this client).
    void send(std::initializer_list<std::pair<KeySym, bool>> steps, bool flushOnly = false) {
        for (const auto& [keysym, down] : steps) {
            XTestFakeKeyEvent(display_.get(), XKeysymToKeycode(display_.get(), keysym),
                              down ? True : False, CurrentTime);
        }
        if (flushOnly) {
            XFlush(display_.get());
        } else {
            XSync(display_.get(), False);
        }
    }

  private:
    struct Closer {
        void operator()(Display* d) const { XCloseDisplay(d); }
    };
    std::unique_ptr<Display, Closer> display_;
};

Codes typeUntil(std::initializer_list<std::pair<KeySym, bool>> steps, const std::string& last) {
    Keyboard keyboard;
    return runUntil([&] { keyboard.send(steps); },
                    [last](const Codes& codes) { return codes.back() == last; });
}

constexpr bool kDown = true;
constexpr bool kUp = false;

// Scroll Lock is never a hotkey here: once its code arrives, everything before it has been
// handled. It has a key of its own on the server; a key xdotool must lend a keycode to (F24)
// can be read with the keymap of a moment before, under load. (XTEST below uses F12.)
const std::string kSentinel = "000145";

// A window of another client, which has the input focus.
class OtherClient {
  public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        xcb_connection_t* c = connection_.get();
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        window_ = xcb_generate_id(c);
        const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root, 100, 100, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_map_window(c, window_);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        xcb_flush(c);
    }

    xcb_window_t focus() {
        xcb_connection_t* c = connection_.get();
        std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
        return reply ? reply->focus : XCB_NONE;
    }
    xcb_window_t window() const { return window_; }

    uint8_t keycodeOf(xcb_keysym_t keysym) {
        xcb_connection_t* c = connection_.get();
        const xcb_setup_t* setup = xcb_get_setup(c);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
            xcb_get_keyboard_mapping_reply(
                c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr),
            &std::free);
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        for (int i = 0; i < count * map->keysyms_per_keycode; ++i) {
            if (syms[i] == keysym) {
                return static_cast<uint8_t>(setup->min_keycode + i / map->keysyms_per_keycode);
            }
        }
        return 0;
    }

    // Whether the window gets a press of the keycode within the timeout.
    bool receivesKeyPress(uint8_t keycode, std::chrono::milliseconds timeout) {
        xcb_connection_t* c = connection_.get();
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                const bool hit =
                    (event->response_type & 0x7f) == XCB_KEY_PRESS &&
                    reinterpret_cast<xcb_key_press_event_t*>(event)->detail == keycode &&
                    reinterpret_cast<xcb_key_press_event_t*>(event)->event == window_;
                std::free(event);
                if (hit) {
                    return true;
                }
            }
            pollfd pfd{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&pfd, 1, 100);
        }
        return false;
    }

  private:
    struct Deleter {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    std::unique_ptr<xcb_connection_t, Deleter> connection_;
    xcb_window_t window_ = 0;
};

class Hotkeys : public ::testing::Test {
  protected:
    void SetUp() override {
        InputManager::instance().installHooks();
        ASSERT_TRUE(InputManager::instance().keyboardHookInstalled());
        ASSERT_TRUE(InputManager::instance().mouseHookInstalled());
    }
    void TearDown() override { InputManager::instance().removeHooks(); }
};

TEST_F(Hotkeys, F8ReachesTheListenerWhileAnotherClientHasTheFocusAndIsNotSwallowed) {
    OtherClient other;
    ASSERT_EQ(other.focus(), other.window());
    const uint8_t f8 = other.keycodeOf(XK_F8);
    ASSERT_NE(f8, 0);

    EXPECT_EQ(driveUntil({"key", "F8"}, "000119"), Codes{"000119"});
    EXPECT_TRUE(other.receivesKeyPress(f8, std::chrono::seconds(5)));
}

TEST_F(Hotkeys, ModifiersCountFromTheKeyAfterThem) {
    // Each modifier's own key-down sees only the ones pressed before it.
    EXPECT_EQ(driveUntil({"key", "ctrl+shift+F8"}, "110119"),
              (Codes{"000162", "100160", "110119"}));
    EXPECT_EQ(driveUntil({"key", "alt+a"}, "001065"), (Codes{"000164", "001065"}));
}

TEST_F(Hotkeys, RightShiftIsNotSeen) {
    EXPECT_EQ(
        typeUntil({{XK_Shift_R, kDown}, {XK_F8, kDown}, {XK_F8, kUp}, {XK_Shift_R, kUp}}, "000119"),
        (Codes{"000161", "000119"}));
    // Both Shift keys: the left one counts.
    EXPECT_EQ(typeUntil({{XK_Shift_R, kDown},
                         {XK_Shift_L, kDown},
                         {XK_F8, kDown},
                         {XK_F8, kUp},
                         {XK_Shift_L, kUp},
                         {XK_Shift_R, kUp}},
                        "010119"),
              (Codes{"000161", "000160", "010119"}));
}

TEST_F(Hotkeys, BareModifiersAreKeyDownsOfTheirOwn) {
    EXPECT_EQ(driveUntil({"key", "Control_L"}, "000162"), Codes{"000162"});
    EXPECT_EQ(driveUntil({"key", "Alt_L"}, "000164"), Codes{"000164"});
    // Left Ctrl while the right one is held is an ordinary key with Ctrl down.
    EXPECT_EQ(typeUntil({{XK_Control_R, kDown},
                         {XK_Control_L, kDown},
                         {XK_Control_L, kUp},
                         {XK_Control_R, kUp}},
                        "100162"),
              (Codes{"000163", "100162"}));
}

TEST_F(Hotkeys, KeysArriveWhenNoClientGetsAnyOutput) {
    // A first key switches the server's keyboard to this injecting device, which it tells
    // every client; after that no window has the focus and the sender waits for nothing, so
    // the server has no reason of its own to send what it recorded.
    typeUntil({{XK_F12, kDown}, {XK_F12, kUp}}, "000123");
    Keyboard keyboard;
    const Codes codes = runUntil(
        [&] {
            keyboard.send({{XK_F11, kDown}, {XK_F11, kUp}}, /*flushOnly=*/true);
        },
        [](const Codes& c) { return c.back() == "000122"; });
    EXPECT_EQ(codes, Codes{"000122"});
}

TEST_F(Hotkeys, AHeldKeyRepeats) {
    const Codes codes = drive({"keydown", "F9"}, [](const Codes& c) {
        return std::count(c.begin(), c.end(), "000120") == 2;
    });
    EXPECT_EQ(codes, (Codes{"000120", "000120"}));
    driveUntil({"keyup", "F9", "key", "Scroll_Lock"}, kSentinel);
}

TEST_F(Hotkeys, KeyEntryCodeReadsTheModifiersHeldNow) {
    InputManager& manager = InputManager::instance();
    driveUntil({"keydown", "ctrl", "key", "Scroll_Lock"}, "100145");
    EXPECT_EQ(manager.keycodeOfKey(vk::F8), L"100119");
    EXPECT_EQ(manager.keycodeOfKey(vk::Control), L"100000");
    driveUntil({"keyup", "ctrl", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(manager.keycodeOfKey(vk::F8), L"000119");

    typeUntil({{XK_Shift_R, kDown}, {XK_F12, kDown}, {XK_F12, kUp}}, "000123");
    EXPECT_EQ(manager.keycodeOfKey(vk::F8), L"000119") << "right Shift does not count";
    typeUntil(
        {{XK_Shift_R, kUp}, {XK_Shift_L, kDown}, {XK_Alt_R, kDown}, {XK_F12, kDown}, {XK_F12, kUp}},
        "011123");
    EXPECT_EQ(manager.keycodeOfKey('A'), L"011065");
    typeUntil({{XK_Alt_R, kUp}, {XK_Shift_L, kUp}, {XK_F12, kDown}, {XK_F12, kUp}}, "000123");
    EXPECT_EQ(manager.keycodeOfKey(vk::F8), L"000119");
}

TEST_F(Hotkeys, MouseMovesAndPressesReachTheCursorRecord) {
    CursorState& cursor = CursorState::instance();
    driveUntil({"mousemove", "321", "654", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(cursor.x.load(), 321);
    EXPECT_EQ(cursor.y.load(), 654);
    EXPECT_EQ(cursor.pressed.load(), 0);

    driveUntil({"mousedown", "1", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(cursor.pressed.load(), 1);
    driveUntil({"mousemove", "400", "500", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(cursor.pressed.load(), 0) << "the next motion ends the press";
    EXPECT_EQ(cursor.x.load(), 400);
    EXPECT_EQ(cursor.y.load(), 500);

    driveUntil({"mouseup", "1", "mousemove", "1919", "0", "mousedown", "1", "key", "Scroll_Lock"},
               kSentinel);
    EXPECT_EQ(cursor.pressed.load(), 1);
    EXPECT_EQ(cursor.x.load(), 1919);
    EXPECT_EQ(cursor.y.load(), 0);
    driveUntil({"mouseup", "1", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(cursor.pressed.load(), 0) << "the button-up ends the press";

    driveUntil({"mousedown", "1", "click", "3", "key", "Scroll_Lock"}, kSentinel);
    EXPECT_EQ(cursor.pressed.load(), 0) << "another button ends the press";
    driveUntil({"mouseup", "1", "key", "Scroll_Lock"}, kSentinel);
}

TEST_F(Hotkeys, RemovedHooksDeliverNothingAndComeBackWhenInstalledAgain) {
    InputManager& manager = InputManager::instance();
    manager.removeHooks();
    EXPECT_FALSE(manager.keyboardHookInstalled());
    // getmouselocation is a round trip: the key has been handled when xdotool ends.
    testsupport::ChildProcess unseen({"xdotool", "key", "F7", "getmouselocation"}, {});
    ASSERT_EQ(unseen.wait(std::chrono::seconds(10)), 0);

    manager.installHooks();
    ASSERT_TRUE(manager.keyboardHookInstalled());
    EXPECT_EQ(driveUntil({"key", "Scroll_Lock"}, kSentinel), Codes{kSentinel});
}

}  // namespace
