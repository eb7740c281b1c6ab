#include "ui/controls/Edit.h"

#include "ui/core/Attributes.h"

namespace ui {

std::string Edit::GetClass() const {
    return "Edit";
}

void* Edit::GetInterface(std::string_view name) {
    return name == "Edit" ? this : Label::GetInterface(name);
}

uint32_t Edit::GetControlFlags() const {
    return IsEnabled() ? uint32_t{UIFLAG_TABSTOP} : 0u;
}

bool Edit::HandleKeyMessage(uint32_t msg, WPARAM wParam) {
    if (readOnly_ || !IsEnabled()) {
        return false;
    }
    std::wstring text = text_;
    if (msg == WM_KEYDOWN && wParam == kBackspace) {
        if (text.empty()) {
            return false;
        }
        text.pop_back();
        // A UTF-16 surrogate pair is one character.
        if constexpr (sizeof(wchar_t) == 2) {
            if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
                text.pop_back();
            }
        }
    } else if (msg == WM_CHAR && wParam >= 0x20 && wParam != 0x7F) {
        if (static_cast<int32_t>(text.size()) >= maxChar_) {
            return false;
        }
        text.push_back(static_cast<wchar_t>(wParam));
    } else {
        return false;
    }
    SetText(std::move(text));
    NotifyWindow("textchanged");
    return true;
}

void Edit::SetAttribute(std::string_view name, std::string_view value) {
    int32_t n = 0;
    bool b = false;
    if (name == "maxchar") {
        if (parseInt(value, n)) {
            SetMaxChar(n);
        }
    } else if (name == "readonly") {
        if (parseBool(value, b)) {
            SetReadOnly(b);
        }
    } else {
        Label::SetAttribute(name, value);
    }
}

void Edit::DoEvent(Event& event) {
    switch (event.type) {
        case EventType::ButtonDown:
        case EventType::DoubleClick:
            if (IsEnabled() && !focused_) {
                SetFocus();
            }
            return;
        case EventType::KeyDown:
            if (focused_) {
                HandleKeyMessage(WM_KEYDOWN, event.key);
            }
            return;
        case EventType::Char:
            if (focused_) {
                HandleKeyMessage(WM_CHAR, event.key);
            }
            return;
        default:
            Label::DoEvent(event);
            return;
    }
}

}  // namespace ui
