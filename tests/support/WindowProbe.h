#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "base/Geometry.h"

namespace testsupport {

// xdotool run with these arguments; false when it fails.
bool xdo(std::vector<std::string> args);
// The pointer to a point of the screen, once the X server has it there.
bool movePointer(Point to);
// One frame of the screen's pixels in the rect, as RGB triples, grabbed by ffmpeg as any
// screen recorder would.
std::string screenPixels(const Rect& r);

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
    bool viewable() const;  // mapped, as xwininfo has it
    Rect geometry() const;  // on the screen
    bool iconic() const;    // minimised
    // By name; an unnamed control that shows a text as "text:<its text>".
    std::map<std::string, ControlView> controls() const;
    // The control, once it exists with the given text (any text when empty).
    bool awaitControl(const std::string& name, const std::string& text,
                      std::chrono::milliseconds deadline, ControlView* view = nullptr) const;
    // A left click in the middle of the named control; false when there is no such control.
    bool click(const std::string& name) const;
    // A click of the button at a point of the client area (4 and 5 turn the wheel).
    bool clickAt(int x, int y, const char* button = "1") const;
    bool activate() const;  // raised and focused, once the window manager has done it

private:
    unsigned long id_;
};

}  // namespace testsupport
