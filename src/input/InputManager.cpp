#include "input/InputManager.h"

#include "base/Log.h"
#include "input/Keycode.h"
#include "platform/Strings.h"

InputManager::InputManager(platform::InputHooks& hooks, InputSink& sink)
    : hooks_(hooks), sink_(sink) {}

void InputManager::installHooks() {
    if (!mouseInstalled_) {
        const uint32_t error =
            hooks_.installMouseHook([this](const platform::MouseEvent& e) { onMouseEvent(e); });
        mouseInstalled_ = error == 0;
        if (error != 0) {
            SC_LOG("InputManager", "Error: %x \n", error);
        }
    }
    if (!keyboardInstalled_) {
        const uint32_t error = hooks_.installKeyboardHook(
            [this](const platform::KeyboardEvent& e) { onKeyboardEvent(e); });
        keyboardInstalled_ = error == 0;
        if (error != 0) {
            SC_LOG("InputManager", "Error: %x \n", error);
        }
    }
}

void InputManager::removeHooks() {
    if (mouseInstalled_) {
        hooks_.removeMouseHook();
        mouseInstalled_ = false;
    }
    if (keyboardInstalled_) {
        hooks_.removeKeyboardHook();
        keyboardInstalled_ = false;
    }
}

void InputManager::onMouseEvent(const platform::MouseEvent& event) {
    sink_.mouseEvent(event.pt.x, event.pt.y, event.message == platform::msg::LButtonDown);
}

void InputManager::onKeyboardEvent(const platform::KeyboardEvent& event) {
    if (event.message != platform::msg::KeyDown && event.message != platform::msg::SysKeyDown) {
        return;
    }
    sink_.keyDown(Keycode::forKeyDown(event.isKeyDown(vk::Control), event.isKeyDown(vk::LShift),
                                      event.isKeyDown(vk::Menu), event.vkCode));
}

std::wstring InputManager::keycodeText(const std::wstring& keycode) const {
    return Keycode::displayText(keycode, [this](uint32_t vk) { return hooks_.keyName(vk); });
}

std::wstring InputManager::keycodeOfKey(uint32_t vk) const {
    return AnsiToWide(Keycode::forKeyEntry(hooks_.isKeyDown(vk::Control),
                                           hooks_.isKeyDown(vk::LShift), hooks_.isKeyDown(vk::Menu),
                                           vk));
}
