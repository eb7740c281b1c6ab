#pragma once

#include "ui/controls/Label.h"
#include "ui/core/Messages.h"

namespace ui {

// A single-line text field. A click gives it the keyboard focus (the window raises
// "setfocus" and, when the focus goes, "killfocus"; the focus border shows meanwhile). While
// focused, typed characters are appended and Backspace removes the last one.
//
// Key input arrives as KeyDown/Char events from the window; a field that wants the raw key
// messages instead (the hotkey field) registers as the window's message filter, which sees
// them first, ignores those events, and applies what it keeps through HandleKeyMessage.
class Edit : public Label {
public:
    std::string GetClass() const override;  // "Edit"
    void* GetInterface(std::string_view name) override;
    uint32_t GetControlFlags() const override;

    int32_t GetMaxChar() const { return maxChar_; }
    void SetMaxChar(int32_t count) { maxChar_ = count; }
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // The field's own handling of WM_KEYDOWN (Backspace) and WM_CHAR (printable characters),
    // whatever the focus. True when the text changed ("textchanged" is raised).
    bool HandleKeyMessage(uint32_t msg, WPARAM wParam);

    void SetAttribute(std::string_view name, std::string_view value) override;
    void DoEvent(Event& event) override;

    static constexpr uint32_t kBackspace = 0x08;

private:
    int32_t maxChar_ = 255;
    bool readOnly_ = false;
};

}  // namespace ui
