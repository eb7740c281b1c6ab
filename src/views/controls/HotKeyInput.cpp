#include "views/controls/HotKeyInput.h"

#include <cwchar>

#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "input/Keycode.h"
#include "ui/core/PaintManager.h"
#include "ui/window/WindowBase.h"

HotKeyInput::~HotKeyInput() {
    if (filtered_ != nullptr) {
        filtered_->RemoveMessageFilter(this);
    }
}

std::string HotKeyInput::GetClass() const {
    return "HotKeyInput";
}

void* HotKeyInput::GetInterface(std::string_view name) {
    return name == "HotKeyInput" ? this : ui::Edit::GetInterface(name);
}

void HotKeyInput::DoInit() {
    ui::Edit::DoInit();
    if (manager_ != nullptr && filtered_ == nullptr) {
        filtered_ = manager_;
        filtered_->AddMessageFilter(this);
    }
}

void HotKeyInput::DoEvent(ui::Event& event) {
    // Keys reach the field through MessageHandler only; characters are never inserted.
    if (event.type == ui::EventType::KeyDown || event.type == ui::EventType::Char) {
        return;
    }
    ui::Edit::DoEvent(event);
}

ui::LRESULT HotKeyInput::MessageHandler(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                        bool& handled) {
    (void)lParam;
    if (msg != ui::WM_KEYDOWN || !IsFocused()) {
        return 0;
    }
    const uint32_t held = ui::WindowBase::ModifierKeys();
    const auto vk = static_cast<uint32_t>(wParam);
    HotkeyPayload payload;
    payload.action = static_cast<int32_t>(std::wcstol(GetUserData().c_str(), nullptr, 10));
    payload.keycode =
        Keycode::forKeyEntry((held & ui::kModControl) != 0, (held & ui::kModLeftShift) != 0,
                             (held & ui::kModAlt) != 0, vk);
    // The field's own handling comes first: the Store's answer (HotkeyChanged, shown in this
    // field while the action is sent) must be the text that stays, not lose a character to a
    // Backspace handled after it.
    HandleKeyMessage(ui::WM_KEYDOWN, wParam);
    ActionDispatcher::instance().dispatch(Action::SetHotkey, &payload);
    handled = true;
    return 0;
}
