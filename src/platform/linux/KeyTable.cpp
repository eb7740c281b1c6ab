#include "platform/linux/KeyTable.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include "platform/VirtualKeys.h"

namespace platform {
namespace {

bool isKeypadDigit(uint32_t keysym) {
    return (keysym >= XK_KP_0 && keysym <= XK_KP_9) || keysym == XK_KP_Decimal;
}

uint32_t latinVirtualKey(uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') {
        return vk::LetterA + (keysym - 'a');
    }
    if (keysym >= 'A' && keysym <= 'Z') {
        return vk::LetterA + (keysym - 'A');
    }
    if (keysym >= '0' && keysym <= '9') {
        return vk::Digit0 + (keysym - '0');
    }
    switch (keysym) {
        case XK_space:
            return vk::Space;
        case XK_semicolon:
        case XK_colon:
            return vk::Oem1;
        case XK_equal:
        case XK_plus:
            return vk::OemPlus;
        case XK_comma:
            return vk::OemComma;
        case XK_minus:
        case XK_underscore:
            return vk::OemMinus;
        case XK_period:
            return vk::OemPeriod;
        case XK_slash:
        case XK_question:
            return vk::Oem2;
        case XK_grave:
        case XK_asciitilde:
            return vk::Oem3;
        case XK_bracketleft:
        case XK_braceleft:
            return vk::Oem4;
        case XK_backslash:
        case XK_bar:
            return vk::Oem5;
        case XK_bracketright:
        case XK_braceright:
            return vk::Oem6;
        case XK_apostrophe:
        case XK_quotedbl:
            return vk::Oem7;
        case XK_less:
        case XK_greater:
            return vk::Oem102;
        default:
            return 0;
    }
}

uint32_t functionVirtualKey(uint32_t keysym) {
    if (keysym >= XK_F1 && keysym <= XK_F24) {
        return vk::F1 + (keysym - XK_F1);
    }
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
        return vk::Numpad0 + (keysym - XK_KP_0);
    }
    switch (keysym) {
        case XK_BackSpace:
            return vk::Back;
        case XK_Tab:
        case XK_ISO_Left_Tab:
        case XK_KP_Tab:
            return vk::Tab;
        case XK_Return:
        case XK_KP_Enter:
            return vk::Return;
        case XK_Pause:
            return vk::Pause;
        case XK_Break:
            return vk::Cancel;
        case XK_Scroll_Lock:
            return vk::Scroll;
        case XK_Escape:
            return vk::Escape;
        case XK_Delete:
        case XK_KP_Delete:
            return vk::Delete;
        case XK_Home:
        case XK_KP_Home:
            return vk::Home;
        case XK_Left:
        case XK_KP_Left:
            return vk::Left;
        case XK_Up:
        case XK_KP_Up:
            return vk::Up;
        case XK_Right:
        case XK_KP_Right:
            return vk::Right;
        case XK_Down:
        case XK_KP_Down:
            return vk::Down;
        case XK_Prior:
        case XK_KP_Prior:
            return vk::Prior;
        case XK_Next:
        case XK_KP_Next:
            return vk::Next;
        case XK_End:
        case XK_KP_End:
            return vk::End;
        case XK_Begin:
        case XK_KP_Begin:
            return vk::Clear;
        case XK_Insert:
        case XK_KP_Insert:
            return vk::Insert;
        case XK_Select:
            return vk::Select;
        case XK_Print:
        case XK_Sys_Req:
            return vk::Snapshot;
        case XK_Execute:
            return vk::Execute;
        case XK_Menu:
            return vk::Apps;
        case XK_Help:
            return vk::Help;
        case XK_Num_Lock:
            return vk::NumLock;
        case XK_KP_Space:
            return vk::Space;
        case XK_KP_Multiply:
            return vk::Multiply;
        case XK_KP_Add:
            return vk::Add;
        case XK_KP_Separator:
            return vk::Separator;
        case XK_KP_Subtract:
            return vk::Subtract;
        case XK_KP_Decimal:
            return vk::Decimal;
        case XK_KP_Divide:
            return vk::Divide;
        case XK_Shift_L:
            return vk::LShift;
        case XK_Shift_R:
            return vk::RShift;
        case XK_Control_L:
            return vk::LControl;
        case XK_Control_R:
            return vk::RControl;
        case XK_Caps_Lock:
        case XK_Shift_Lock:
            return vk::Capital;
        case XK_Alt_L:
        case XK_Meta_L:
            return vk::LMenu;
        case XK_Alt_R:
        case XK_Meta_R:
        case XK_ISO_Level3_Shift:  // AltGr: the right Alt key of most layouts
            return vk::RMenu;
        case XK_Super_L:
            return vk::LWin;
        case XK_Super_R:
            return vk::RWin;
        case XF86XK_AudioMute:
            return vk::VolumeMute;
        case XF86XK_AudioLowerVolume:
            return vk::VolumeDown;
        case XF86XK_AudioRaiseVolume:
            return vk::VolumeUp;
        case XF86XK_AudioNext:
            return vk::MediaNextTrack;
        case XF86XK_AudioPrev:
            return vk::MediaPrevTrack;
        case XF86XK_AudioStop:
            return vk::MediaStop;
        case XF86XK_AudioPlay:
            return vk::MediaPlayPause;
        default:
            return 0;
    }
}

}  // namespace

uint32_t virtualKeyFromKeysym(uint32_t keysym) {
    if (keysym < 0x100) {
        return latinVirtualKey(keysym);
    }
    return functionVirtualKey(keysym);
}

uint32_t virtualKeyFromKeysyms(const uint32_t* keysyms, size_t count) {
    const size_t columns = count < 2 ? count : 2;
    for (size_t i = 0; i < columns; ++i) {
        if (isKeypadDigit(keysyms[i])) {
            return virtualKeyFromKeysym(keysyms[i]);
        }
    }
    for (size_t i = 0; i < columns; ++i) {
        if (const uint32_t code = virtualKeyFromKeysym(keysyms[i])) {
            return code;
        }
    }
    return 0;
}

std::wstring virtualKeyName(uint32_t code) {
    if ((code >= vk::LetterA && code < vk::LetterA + 26) ||
        (code >= vk::Digit0 && code < vk::Digit0 + 10)) {
        return std::wstring(1, static_cast<wchar_t>(code));
    }
    if (code >= vk::F1 && code <= vk::F24) {
        return L"F" + std::to_wstring(code - vk::F1 + 1);
    }
    if (code >= vk::Numpad0 && code < vk::Numpad0 + 10) {
        return L"Num " + std::to_wstring(code - vk::Numpad0);
    }
    switch (code) {
        case vk::Cancel:
            return L"Break";
        case vk::Back:
            return L"Backspace";
        case vk::Tab:
            return L"Tab";
        case vk::Clear:
            return L"Clear";
        case vk::Return:
            return L"Enter";
        case vk::Shift:
        case vk::LShift:
            return L"Shift";
        case vk::RShift:
            return L"Right Shift";
        case vk::Control:
        case vk::LControl:
            return L"Ctrl";
        case vk::RControl:
            return L"Right Ctrl";
        case vk::Menu:
        case vk::LMenu:
            return L"Alt";
        case vk::RMenu:
            return L"Right Alt";
        case vk::Pause:
            return L"Pause";
        case vk::Capital:
            return L"Caps Lock";
        case vk::Escape:
            return L"Esc";
        case vk::Space:
            return L"Space";
        case vk::Prior:
            return L"Page Up";
        case vk::Next:
            return L"Page Down";
        case vk::End:
            return L"End";
        case vk::Home:
            return L"Home";
        case vk::Left:
            return L"Left";
        case vk::Up:
            return L"Up";
        case vk::Right:
            return L"Right";
        case vk::Down:
            return L"Down";
        case vk::Select:
            return L"Select";
        case vk::Execute:
            return L"Execute";
        case vk::Snapshot:
            return L"Prnt Scrn";
        case vk::Insert:
            return L"Insert";
        case vk::Delete:
            return L"Delete";
        case vk::Help:
            return L"Help";
        case vk::LWin:
            return L"Left Windows";
        case vk::RWin:
            return L"Right Windows";
        case vk::Apps:
            return L"Application";
        case vk::Multiply:
            return L"Num *";
        case vk::Add:
            return L"Num +";
        case vk::Separator:
            return L"Num ,";
        case vk::Subtract:
            return L"Num -";
        case vk::Decimal:
            return L"Num Del";
        case vk::Divide:
            return L"Num /";
        case vk::NumLock:
            return L"Num Lock";
        case vk::Scroll:
            return L"Scroll Lock";
        case vk::VolumeMute:
            return L"Mute";
        case vk::VolumeDown:
            return L"Volume Down";
        case vk::VolumeUp:
            return L"Volume Up";
        case vk::MediaNextTrack:
            return L"Next Track";
        case vk::MediaPrevTrack:
            return L"Previous Track";
        case vk::MediaStop:
            return L"Stop";
        case vk::MediaPlayPause:
            return L"Play/Pause";
        case vk::Oem1:
            return L";";
        case vk::OemPlus:
            return L"=";
        case vk::OemComma:
            return L",";
        case vk::OemMinus:
            return L"-";
        case vk::OemPeriod:
            return L".";
        case vk::Oem2:
            return L"/";
        case vk::Oem3:
            return L"`";
        case vk::Oem4:
            return L"[";
        case vk::Oem5:
        case vk::Oem102:
            return L"\\";
        case vk::Oem6:
            return L"]";
        case vk::Oem7:
            return L"'";
        default:
            return std::wstring();
    }
}

}  // namespace platform
