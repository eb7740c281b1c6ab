#pragma once

#include <string>
#include <string_view>

#include "ui/controls/Edit.h"
#include "ui/core/Notify.h"

namespace ui {
class PaintManager;
}

// The field in which the user presses a hotkey. Every key-down while it has the focus, a bare
// modifier included, is sent as SetHotkey with the key's code (the held Ctrl, left Shift and
// Alt, and the key) and the hotkey index from the field's user data ("0" start, "1"
// pause/resume, "2" end). Typing inserts nothing: the field's text is the Store's answer,
// which its window shows.
class HotKeyInput : public ui::Edit, public ui::IMessageFilter {
public:
    ~HotKeyInput() override;

    std::string GetClass() const override;  // "HotKeyInput"
    void* GetInterface(std::string_view name) override;
    // Registers the field as its window's message filter, to see the key-downs first.
    void DoInit() override;
    void DoEvent(ui::Event& event) override;

    ui::LRESULT MessageHandler(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                               bool& handled) override;

private:
    ui::PaintManager* filtered_ = nullptr;  // the manager this field is a filter of
};
