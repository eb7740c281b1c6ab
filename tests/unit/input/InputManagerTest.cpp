#include "input/InputManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/InputRouter.h"

namespace {

namespace msg = platform::msg;
using Codes = std::vector<std::string>;

// Each key-down: Ctrl (either side), left Shift and Alt (either side) held before it, then the
// key's number in three digits; a generic modifier code alone gives "000".
TEST(InputManager, EveryKeyDownIsSentWithTheModifiersHeldBeforeIt) {
    struct Sent : IActionListener {
        void onAction(int32_t, void* payload) override {
            codes.push_back(*static_cast<const std::string*>(payload));
        }
        Codes codes;
    } sent;
    ActionDispatcher dispatcher;
    dispatcher.addListener(Action::HotkeyPressed, &sent);
    CursorState cursor;
    InputRouter router(dispatcher, cursor);
    InputManager manager(platform::InputHooks::system(), router);
    struct Case {
        uint32_t message;
        uint32_t key;
        std::initializer_list<uint32_t> down;
        Codes sent;
    };
    // clang-format off
    const Case cases[] = {
        {msg::KeyDown, vk::F8, {}, {"000119"}},
        {msg::KeyDown, vk::F8, {vk::LControl}, {"100119"}},
        {msg::KeyDown, vk::F8, {vk::RControl, vk::LShift}, {"110119"}},
        {msg::KeyDown, vk::F8, {vk::RShift}, {"000119"}},  // the right Shift does not count
        {msg::SysKeyDown, 'A', {vk::RMenu}, {"001065"}},
        {msg::SysKeyDown, vk::F10, {}, {"000121"}},
        {msg::KeyDown, vk::F9, {vk::F9}, {"000120"}},  // auto-repeat: sent like the first
        {msg::KeyDown, 7, {}, {"000007"}},
        {msg::KeyDown, vk::LControl, {vk::LControl}, {"100162"}},  // sided: an ordinary key
        {msg::KeyDown, vk::Control, {vk::LControl}, {"000"}},
        {msg::KeyDown, vk::Shift, {}, {"000"}},
        {msg::SysKeyDown, vk::Menu, {vk::LControl, vk::LShift}, {"000"}},
        {msg::KeyUp, vk::F8, {}, {}},
        {msg::SysKeyUp, vk::F8, {vk::LMenu}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        platform::KeyboardEvent event;
        event.message = c.message;
        event.vkCode = c.key;
        for (uint32_t d : c.down) {
            event.keysDown.set(d);
        }
        sent.codes.clear();
        manager.onKeyboardEvent(event);
        EXPECT_EQ(sent.codes, c.sent) << "key " << c.key << ", message " << std::hex << c.message;
    }
}

#ifndef _WIN32  // the X display of the Linux hooks
TEST(InputManager, WithoutADisplayTheHooksAreLeftOutAndTheProgramGoesOn) {
    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous ? previous : "";
    setenv("DISPLAY", ":9876", 1);  // no server there
    ActionDispatcher dispatcher;
    CursorState cursor;
    InputRouter router(dispatcher, cursor);
    InputManager manager(platform::InputHooks::system(), router);
    manager.installHooks();
    EXPECT_FALSE(manager.mouseHookInstalled());
    EXPECT_FALSE(manager.keyboardHookInstalled());
    manager.removeHooks();  // nothing installed: nothing to do
    previous ? setenv("DISPLAY", saved.c_str(), 1) : unsetenv("DISPLAY");
}
#endif

}  // namespace
