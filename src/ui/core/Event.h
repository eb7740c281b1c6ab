#pragma once

#include <cstdint>

#include "base/Geometry.h"
#include "ui/core/Messages.h"

namespace ui {

class Control;

// What the paint manager hands a control: mouse, keyboard, focus and timer events, in the
// control's window's client coordinates.
enum class EventType {
    MouseMove,
    MouseLeave,
    MouseEnter,
    MouseHover,  // the pointer rested on the control (tooltips)
    ButtonDown,  // left button
    ButtonUp,
    DoubleClick,
    RightButtonDown,
    RightButtonUp,
    ScrollWheel,
    SetCursor,
    KeyDown,
    KeyUp,
    Char,
    SetFocus,
    KillFocus,
    Timer,
};

// Modifier keys held with an event.
enum : uint32_t {
    kModShift = 1,
    kModControl = 2,
    kModAlt = 4,
    kModLButton = 8,
    kModLeftShift = 16,  // the left Shift key in particular (hotkey codes name it)
};

struct Event {
    EventType type = EventType::MouseMove;
    Control* sender = nullptr;
    uint32_t timestamp = 0;
    Point mouse;             // client coordinates
    uint32_t key = 0;        // virtual-key code (KeyDown/KeyUp), character (Char)
    uint32_t modifiers = 0;  // kMod* flags
    WPARAM wParam = 0;       // timer id (Timer); wheel: 0 up, 1 down
    LPARAM lParam = 0;
};

}  // namespace ui
