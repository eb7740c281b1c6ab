#include "input/InputManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "app/Log.h"
#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"

namespace {

using platform::KeyboardEvent;
using platform::MouseEvent;
namespace msg = platform::msg;

// Listeners stay registered for the life of the process, so there is one for the binary.
class HotkeyLog : public IActionListener {
  public:
    static HotkeyLog& instance() {
        static HotkeyLog* log = [] {
            auto* l = new HotkeyLog();
            ActionDispatcher::instance().addListener(Action::HotkeyPressed, l);
            return l;
        }();
        return *log;
    }
    void onAction(int32_t, void* payload) override {
        codes.push_back(*static_cast<const std::string*>(payload));
    }
    std::vector<std::string> codes;
};

KeyboardEvent key(uint32_t message, uint32_t code, std::initializer_list<uint32_t> down = {}) {
    KeyboardEvent event;
    event.message = message;
    event.vkCode = code;
    for (uint32_t d : down) {
        event.keysDown.set(d);
    }
    return event;
}

MouseEvent mouse(uint32_t message, int32_t x, int32_t y) {
    MouseEvent event;
    event.message = message;
    event.pt = Point{x, y};
    return event;
}

class KeyboardProcedure : public ::testing::Test {
  protected:
    void SetUp() override { HotkeyLog::instance().codes.clear(); }
    std::vector<std::string> send(const KeyboardEvent& event) {
        HotkeyLog::instance().codes.clear();
        InputManager::instance().onKeyboardEvent(event);
        return HotkeyLog::instance().codes;
    }
    using Codes = std::vector<std::string>;
};

TEST_F(KeyboardProcedure, KeyDownsAreSentWithTheModifiersHeldBeforeThem) {
    EXPECT_EQ(send(key(msg::KeyDown, vk::F8)), Codes{"000119"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::F8, {vk::LControl, vk::LShift})), Codes{"110119"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::F8, {vk::RControl, vk::LShift})), Codes{"110119"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::F8, {vk::RShift})), Codes{"000119"});
    EXPECT_EQ(send(key(msg::SysKeyDown, 'A', {vk::LMenu})), Codes{"001065"});
    EXPECT_EQ(send(key(msg::SysKeyDown, 'A', {vk::RMenu})), Codes{"001065"});
    // F10 arrives as a system key-down.
    EXPECT_EQ(send(key(msg::SysKeyDown, vk::F10)), Codes{"000121"});
}

TEST_F(KeyboardProcedure, ModifierKeysThemselves) {
    // The generic codes send "000" alone; the sided ones are ordinary keys.
    EXPECT_EQ(send(key(msg::KeyDown, vk::Control, {vk::LControl})), Codes{"000"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::Shift)), Codes{"000"});
    EXPECT_EQ(send(key(msg::SysKeyDown, vk::Menu)), Codes{"000"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::LControl)), Codes{"000162"});
    EXPECT_EQ(send(key(msg::KeyDown, vk::LControl, {vk::LControl})), Codes{"100162"});
}

TEST_F(KeyboardProcedure, OnlyKeyDownsAreSentAndRepeatsCountAgain) {
    EXPECT_TRUE(send(key(msg::KeyUp, vk::F8)).empty());
    EXPECT_TRUE(send(key(msg::SysKeyUp, vk::F8, {vk::LMenu})).empty());
    // An auto-repeated key-down (the key itself already down) is sent like the first.
    HotkeyLog::instance().codes.clear();
    InputManager::instance().onKeyboardEvent(key(msg::KeyDown, vk::F9));
    InputManager::instance().onKeyboardEvent(key(msg::KeyDown, vk::F9, {vk::F9}));
    EXPECT_EQ(HotkeyLog::instance().codes, (Codes{"000120", "000120"}));
}

TEST(MouseProcedure, PositionFollowsEveryEventAndPressedOnlyALeftButtonDown) {
    InputManager& manager = InputManager::instance();
    CursorState& cursor = CursorState::instance();
    manager.onMouseEvent(mouse(msg::MouseMove, 10, -20));
    EXPECT_EQ(cursor.x.load(), 10);
    EXPECT_EQ(cursor.y.load(), -20);
    EXPECT_EQ(cursor.pressed.load(), 0);

    manager.onMouseEvent(mouse(msg::LButtonDown, 11, 21));
    EXPECT_EQ(cursor.pressed.load(), 1);
    EXPECT_EQ(cursor.x.load(), 11);
    manager.onMouseEvent(mouse(msg::MouseMove, 12, 22));
    EXPECT_EQ(cursor.pressed.load(), 0);
    EXPECT_EQ(cursor.y.load(), 22);

    for (uint32_t other : {msg::LButtonUp, msg::RButtonDown, msg::MButtonDown, msg::MouseWheel,
                           msg::XButtonDown, msg::MouseHWheel}) {
        manager.onMouseEvent(mouse(msg::LButtonDown, 0, 0));
        ASSERT_EQ(cursor.pressed.load(), 1);
        manager.onMouseEvent(mouse(other, 5, 6));
        EXPECT_EQ(cursor.pressed.load(), 0) << std::hex << other;
    }
}

TEST(InputManagerInstall, WithoutADisplayTheFailureIsLoggedAndTheProgramGoesOn) {
    testsupport::TempDir dir;
    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous ? previous : "";
    setenv("DISPLAY", ":9876", 1);  // no server there
    EnableLog(dir.file("trace.log"));

    InputManager manager(platform::InputHooks::system(), ActionDispatcher::instance(),
                         CursorState::instance());
    manager.installHooks();
    EXPECT_FALSE(manager.mouseHookInstalled());
    EXPECT_FALSE(manager.keyboardHookInstalled());
    manager.removeHooks();  // nothing installed: nothing to do
    // The key-state query fails quietly too.
    EXPECT_EQ(manager.keycodeOfKey(vk::F8), L"000119");

    DisableLog();
    if (previous) {
        setenv("DISPLAY", saved.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
    const std::string text = testsupport::readFile(dir.file("trace.log"));
    const std::string line = "[InputManager][line: ";
    const size_t first = text.find(line);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find("Error: 2001 \n", first), std::string::npos) << text;
    EXPECT_NE(text.find(line, first + 1), std::string::npos) << "one line per hook: " << text;
}

}  // namespace
