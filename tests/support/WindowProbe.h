#pragma once

#include <chrono>
#include <map>
#include <string>

#include "base/Geometry.h"

namespace testsupport {

// One control as a window of the program describes it to readers outside (see the
// _SC_CONTROL_TREE property its windows carry).
struct ControlView {
    std::string className;
    bool visible = false;
    bool enabled = false;
    Rect rect;  // in the window's client area
    std::string text;
    std::string image;
};

// A window of the program seen from outside, as a user's tools see it: found by its title,
// read through the X server, clicked with xdotool.
class WindowProbe {
public:
    // Waits until a visible window with exactly this title exists; id 0 when none came.
    static WindowProbe find(const std::string& title,
                            std::chrono::milliseconds deadline = std::chrono::seconds(20));
    explicit WindowProbe(unsigned long id = 0) : id_(id) {}

    unsigned long id() const { return id_; }
    bool exists() const;
    Rect geometry() const;  // on the screen
    bool iconic() const;    // minimised
    // By name; an unnamed control that shows a text as "text:<its text>".
    std::map<std::string, ControlView> controls() const;
    // The control, once it exists with the given text (any text when empty).
    bool awaitControl(const std::string& name, const std::string& text,
                      std::chrono::milliseconds deadline, ControlView* view = nullptr) const;
    // A left click in the middle of the named control; false when there is no such control.
    bool click(const std::string& name) const;

private:
    unsigned long id_;
};

}  // namespace testsupport
