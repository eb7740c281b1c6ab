#pragma once

#include <cstdint>
#include <string>

#include "base/Geometry.h"
#include "ui/core/Messages.h"

namespace ui {

class Control;

// A control's report to its window: "click", "selectchanged", "itemselect" (wParam the new
// index, lParam the old), "valuechanged", "setfocus", "killfocus", "windowinit", ...
struct Notification {
    std::string type;
    Control* sender = nullptr;
    uint32_t timestamp = 0;
    Point mouse;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Receives the notifications of a window's controls.
class INotify {
public:
    virtual ~INotify() = default;
    virtual void Notify(Notification& msg) = 0;
};

// Sees a window's messages before its controls do; sets handled to stop them there.
class IMessageFilter {
public:
    virtual ~IMessageFilter() = default;
    virtual LRESULT MessageHandler(uint32_t msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
};

}  // namespace ui
