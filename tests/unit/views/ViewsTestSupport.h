#pragma once

// The actions the views send, and an off-screen stand-in for the toolbar.

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "ui/core/Control.h"
#include "ui/core/PaintManager.h"
#include "ui/render/Canvas.h"
#include "ui/window/WindowBase.h"
#include "ui/window/WindowImplBase.h"

namespace viewstest {

// The actions the views send, in order, each with its payload read as its action defines it.
// The dispatcher never lets a listener go, so there is one for the whole test program; each test
// takes it cleared.
class ActionLog : public IActionListener {
public:
    struct Request {
        int32_t action = 0;
        int32_t number = 0;  // int32 payloads, and bool ones as 0/1
        std::wstring text;   // ShowMessage; TestCamera's title
    };

    static ActionLog& fresh() {
        static ActionLog* log = [] {
            auto* l = new ActionLog;
            for (int32_t id :
                 {Action::SetHotkey, Action::ChooseCaptureArea, Action::SetCaptureRect,
                  Action::SetCaptureMethod, Action::SetCaptureMicrophone,
                  Action::SetCapturePlayback, Action::SetPointStyle, Action::SetShapeStyle,
                  Action::SetPressStyle, Action::SetQuality, Action::SetFilterMic,
                  Action::SetFilterCoefficient, Action::SetCaptureCamera,
                  Action::SetOnlyCaptureCamera, Action::SelectCameraDevice, Action::ShowMessage,
                  Action::TestCamera}) {
                ActionDispatcher::instance().addListener(id, l);
            }
            return l;
        }();
        log->clear();
        return *log;
    }

    void onAction(int32_t actionId, void* payload) override {
        Request r;
        r.action = actionId;
        switch (actionId) {
            case Action::SetHotkey:
                hotkeys.push_back(*static_cast<HotkeyPayload*>(payload));
                if (onHotkey) {
                    onHotkey();
                }
                return;
            case Action::ChooseCaptureArea:
                areas.push_back(*static_cast<int32_t*>(payload));
                return;
            case Action::SetCaptureRect:
                rects.push_back(*static_cast<Rect*>(payload));
                return;
            case Action::SetCaptureMicrophone:
            case Action::SetCapturePlayback:
            case Action::SetFilterMic:
            case Action::SetCaptureCamera:
            case Action::SetOnlyCaptureCamera:
                r.number = *static_cast<const bool*>(payload) ? 1 : 0;
                break;
            case Action::SetFilterCoefficient:  // a fraction no test reads
                break;
            case Action::ShowMessage:
                r.text = *static_cast<const wchar_t* const*>(payload);
                break;
            case Action::TestCamera:
                r.text = static_cast<const TestCameraPayload*>(payload)->title;
                break;
            default:
                r.number = *static_cast<const int32_t*>(payload);
                break;
        }
        requests.push_back(r);
    }

    void clear() {
        hotkeys.clear();
        areas.clear();
        rects.clear();
        requests.clear();
        onHotkey = nullptr;
    }

    std::vector<int32_t> actions() const {
        std::vector<int32_t> ids;
        for (const Request& r : requests) {
            ids.push_back(r.action);
        }
        return ids;
    }

    std::vector<HotkeyPayload> hotkeys;  // SetHotkey
    std::vector<int32_t> areas;          // ChooseCaptureArea
    std::vector<Rect> rects;             // SetCaptureRect
    std::vector<Request> requests;       // the popups' settings
    std::function<void()> onHotkey;      // runs as a SetHotkey arrives (the Store's answer)
};

// A left click in the middle of a laid-out control of the window, as the user makes it.
inline void clickControl(ui::WindowBase& window, const ui::Control& control) {
    const Rect& r = control.GetPos();
    const ui::LPARAM at = ui::MakeLParam((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    window.SendMessage(ui::WM_LBUTTONDOWN, 0, at);
    window.SendMessage(ui::WM_LBUTTONUP, 0, at);
}

// A mouse message at a point of the window's client area, with these keys and buttons down.
inline void sendAt(ui::WindowBase& window, uint32_t msg, Point at, ui::WPARAM keys = 0) {
    window.SendMessage(msg, keys, ui::MakeLParam(at.x, at.y));
}

// The named control as the interface `kind`; null when there is none.
template <typename T = ui::Control>
T* control(ui::WindowImplBase& window, const std::string& name, const char* kind = "Control") {
    ui::Control* found = window.GetPaintManager().FindControl(name);
    return found != nullptr ? static_cast<T*>(found->GetInterface(kind)) : nullptr;
}

// The window drawn into a canvas of this size; drawing lays its controls out first.
inline ui::Canvas render(ui::WindowImplBase& window, int32_t width = 0, int32_t height = 0) {
    ui::Canvas canvas(width, height);
    window.RenderTo(canvas);
    return canvas;
}

// Records the private messages (WM_USER and above) it gets.
class MessageLog : public ui::WindowBase {
public:
    MessageLog() { CreateOffscreen(L"toolbar", ui::WS_POPUP, 0); }

    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override {
        if (msg >= ui::WM_USER) {
            heard.push_back(msg);
            return 0;
        }
        return ui::WindowBase::HandleMessage(msg, wParam, lParam);
    }

    std::vector<uint32_t> heard;
};

// A popup of a stand-in toolbar, opened off-screen and laid out.
template <typename P>
struct OpenPopup {
    OpenPopup() {
        popup.CreatePopup(true);
        render(popup);
    }
    MessageLog toolbar;
    P popup{toolbar.GetHWND(), nullptr};
};

}  // namespace viewstest

// Rects in failure messages as left,top,right,bottom.
inline void PrintTo(const Rect& r, std::ostream* out) {
    *out << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom;
}
