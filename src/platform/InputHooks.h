#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Geometry.h"
#include "platform/VirtualKeys.h"

namespace platform {

// Message numbers of the hook events, with the Windows values.
namespace msg {
constexpr uint32_t KeyDown = 0x0100;
constexpr uint32_t KeyUp = 0x0101;
constexpr uint32_t SysKeyDown = 0x0104;  // Alt held (without Ctrl), Alt itself, or F10
constexpr uint32_t SysKeyUp = 0x0105;
constexpr uint32_t MouseMove = 0x0200;
constexpr uint32_t LButtonDown = 0x0201;
constexpr uint32_t LButtonUp = 0x0202;
constexpr uint32_t RButtonDown = 0x0204;
constexpr uint32_t RButtonUp = 0x0205;
constexpr uint32_t MButtonDown = 0x0207;
constexpr uint32_t MButtonUp = 0x0208;
constexpr uint32_t MouseWheel = 0x020A;
constexpr uint32_t XButtonDown = 0x020B;
constexpr uint32_t XButtonUp = 0x020C;
constexpr uint32_t MouseHWheel = 0x020E;
}  // namespace msg

// Whether a key is in a set of virtual keys that are down; vk::Shift, vk::Control and vk::Menu
// mean either side.
inline bool isKeyIn(const std::bitset<256>& keys, uint32_t code) {
    switch (code) {
        case vk::Shift:
            return keys[vk::LShift] || keys[vk::RShift];
        case vk::Control:
            return keys[vk::LControl] || keys[vk::RControl];
        case vk::Menu:
            return keys[vk::LMenu] || keys[vk::RMenu];
        default:
            return code < keys.size() && keys[code];
    }
}

// One key going down or up anywhere on the desktop.
struct KeyboardEvent {
    uint32_t message = msg::KeyDown;
    uint32_t vkCode = 0;    // left and right modifiers are told apart (LShift, RControl, ...)
    uint32_t scanCode = 0;  // the platform's own number of the physical key
    uint32_t time = 0;      // ms, the input system's clock
    // Keys that were down when this event happened, not counting the event itself: what a
    // key-state query answers inside a low-level hook. The event reaches its procedure later
    // than it happened, so asking the system at that point could see a newer state.
    std::bitset<256> keysDown;

    bool isKeyDown(uint32_t code) const { return isKeyIn(keysDown, code); }
};

// One mouse event anywhere on the desktop.
struct MouseEvent {
    uint32_t message = msg::MouseMove;
    Point pt;               // absolute screen position of the pointer
    int32_t mouseData = 0;  // wheel: +-120 per notch; X buttons: 1 or 2
    uint32_t time = 0;      // ms, the input system's clock
};

// Global, low-level keyboard and mouse hooks: every key and mouse event of the desktop,
// whatever window has the focus, delivered to a procedure on the UI thread (through
// MessageLoop::ui().post) in the order the events happened. Events are only observed, never
// swallowed.
class InputHooks {
  public:
    using KeyboardProc = std::function<void(const KeyboardEvent&)>;
    using MouseProc = std::function<void(const MouseEvent&)>;

    virtual ~InputHooks() = default;

    // UI thread. Returns 0 once events are flowing (every event from then on is delivered),
    // or the system's error number; a failed hook is not installed. Installing an installed
    // hook again replaces its procedure.
    virtual uint32_t installMouseHook(MouseProc proc) = 0;
    virtual uint32_t installKeyboardHook(KeyboardProc proc) = 0;
    // UI thread. No event is delivered to the procedure after removal, including events
    // already queued. Removing the last hook stops the platform's reader and waits for it.
    virtual void removeMouseHook() = 0;
    virtual void removeKeyboardHook() = 0;

    // Any thread. Whether the key is down now (vk::Shift, vk::Control and vk::Menu mean either
    // side); false when the state cannot be read.
    virtual bool isKeyDown(uint32_t vk) = 0;

    // Any thread. The name the keyboard shows for the key ("F8", "A", "Ctrl", "Page Up"),
    // empty for a code without a name.
    virtual std::wstring keyName(uint32_t vk) = 0;

    // The desktop's hooks; live until the process ends.
    static InputHooks& system();
};

// Error numbers of the hooks where the system has none of its own.
namespace inputerror {
constexpr uint32_t NoDisplay = 0x2001;          // the display cannot be reached
constexpr uint32_t NoRecordExtension = 0x2002;  // the display cannot report others' input
constexpr uint32_t RecordRefused = 0x2003;      // the display refused to report input
constexpr uint32_t NoThread = 0x2004;           // the reader could not be started
}  // namespace inputerror

}  // namespace platform
