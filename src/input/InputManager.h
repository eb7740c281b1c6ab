#pragma once

#include <cstdint>
#include <string>

#include "platform/InputHooks.h"

class ActionDispatcher;
struct CursorState;

// The global mouse and keyboard hooks: the mouse hook keeps the pointer position and the
// left-button press in the CursorState read by every screen grab; the keyboard hook sends
// every key-down to the Store as HotkeyPressed with its keycode. UI thread only, apart from
// what the hooks write into the CursorState.
class InputManager {
  public:
    // The process-wide manager on the desktop's hooks, the dispatcher and the cursor record.
    static InputManager& instance();

    InputManager(platform::InputHooks& hooks, ActionDispatcher& dispatcher, CursorState& cursor);

    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    // Mouse hook first, then keyboard hook. A hook that cannot be installed is logged and left
    // out; the program goes on without it. Hooks already installed stay as they are.
    void installHooks();
    // Mouse hook first, then keyboard hook; waits for the hooks' reader to end.
    void removeHooks();

    bool mouseHookInstalled() const { return mouseInstalled_; }
    bool keyboardHookInstalled() const { return keyboardInstalled_; }

    // The text shown for a keycode ("Ctrl Shift F8").
    std::wstring keycodeText(const std::wstring& keycode) const;
    // The keycode for a key pressed in the key-entry control, with the modifiers held now.
    std::wstring keycodeOfKey(uint32_t vk) const;

    // The hook procedures, called on the UI thread for every event.
    void onMouseEvent(const platform::MouseEvent& event);
    void onKeyboardEvent(const platform::KeyboardEvent& event);

  private:
    platform::InputHooks& hooks_;
    ActionDispatcher& dispatcher_;
    CursorState& cursor_;

    // UI thread only.
    bool mouseInstalled_ = false;
    bool keyboardInstalled_ = false;
};
