#pragma once

#include <cstdint>
#include <string>

// Where the input manager sends what the hooks saw. Whoever makes the manager wires the sink
// to the rest of the program (flux/InputRouter.h: the dispatcher and the cursor record). Called
// on the UI thread.
class InputSink {
public:
    virtual ~InputSink() = default;

    // A key went down: its hotkey code with the modifiers held before it ("110119").
    virtual void keyDown(std::string keycode) = 0;
    // A mouse event: where the pointer is, and whether the event was a left-button press.
    virtual void mouseEvent(int32_t x, int32_t y, bool leftButtonDown) = 0;
};
