#pragma once

#include <cstdint>
#include <string>

#include "input/InputSink.h"
#include "platform/InputHooks.h"

// The global mouse and keyboard hooks: the mouse hook hands every event's pointer position and
// left-button press to the sink, the keyboard hook every key-down with its keycode. UI thread
// only. The process's manager, wired to the dispatcher and the cursor record, is
// InputRouter::manager() (flux).
class InputManager {
  public:
    InputManager(platform::InputHooks& hooks, InputSink& sink);

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
    InputSink& sink_;

    // UI thread only.
    bool mouseInstalled_ = false;
    bool keyboardInstalled_ = false;
};
