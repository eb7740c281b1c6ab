#pragma once

#include <cstdint>
#include <string>

#include "input/InputSink.h"

class ActionDispatcher;
class InputManager;
struct CursorState;

// Sends what the input hooks saw into the program: every key-down to the dispatcher as
// HotkeyPressed with its keycode, every mouse event into the cursor record read by every
// screen grab. UI thread only, apart from what it writes into the cursor record.
class InputRouter final : public InputSink {
public:
    InputRouter(ActionDispatcher& dispatcher, CursorState& cursor);

    // The process's router, to the process's dispatcher and cursor record.
    static InputRouter& instance();
    // The process's input manager: the desktop's hooks, sending to the process's router.
    static InputManager& manager();

    void keyDown(std::string keycode) override;
    void mouseEvent(int32_t x, int32_t y, bool leftButtonDown) override;

private:
    ActionDispatcher& dispatcher_;
    CursorState& cursor_;
};
