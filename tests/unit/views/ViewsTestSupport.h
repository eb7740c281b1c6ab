#pragma once

// What the views' tests listen with: the actions the views send, and an off-screen window
// standing for the toolbar that records the messages it gets.

#include <cstdint>
#include <functional>
#include <vector>

#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "ui/window/WindowBase.h"

namespace viewstest {

// The SetHotkey, ChooseCaptureArea and SetCaptureRect actions sent, in order. The dispatcher never
// lets a listener go, so there is one for the whole test program; each test clears it.
class ActionLog : public IActionListener {
public:
    static ActionLog& instance() {
        static ActionLog* log = [] {
            auto* l = new ActionLog;
            ActionDispatcher::instance().addListener(Action::SetHotkey, l);
            ActionDispatcher::instance().addListener(Action::ChooseCaptureArea, l);
            ActionDispatcher::instance().addListener(Action::SetCaptureRect, l);
            return l;
        }();
        return *log;
    }

    void onAction(int32_t actionId, void* payload) override {
        if (actionId == Action::SetHotkey) {
            hotkeys.push_back(*static_cast<HotkeyPayload*>(payload));
            if (onHotkey) {
                onHotkey();
            }
        } else if (actionId == Action::ChooseCaptureArea) {
            areas.push_back(*static_cast<int32_t*>(payload));
        } else if (actionId == Action::SetCaptureRect) {
            rects.push_back(*static_cast<Rect*>(payload));
        }
    }

    void clear() {
        hotkeys.clear();
        areas.clear();
        rects.clear();
        onHotkey = nullptr;
    }

    std::vector<HotkeyPayload> hotkeys;
    std::vector<int32_t> areas;
    std::vector<Rect> rects;
    std::function<void()> onHotkey;  // runs as a SetHotkey arrives (the Store's answer)
};

// An off-screen window that records the private messages (WM_USER and above) it gets.
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

    bool has(uint32_t msg) const {
        for (uint32_t m : heard) {
            if (m == msg) {
                return true;
            }
        }
        return false;
    }

    std::vector<uint32_t> heard;
};

}  // namespace viewstest
