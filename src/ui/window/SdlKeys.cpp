#include "ui/window/SdlKeys.h"

#include <SDL2/SDL.h>

#include "platform/VirtualKeys.h"

namespace ui {

uint32_t VirtualKeyOf(int32_t sdlKeycode, int32_t sdlScancode) {
    const auto scancode = static_cast<SDL_Scancode>(sdlScancode);
    // Letters and digits by position, so that a layout's own letters still name the key.
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return vk::LetterA + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return vk::Digit0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
    }
    if (scancode == SDL_SCANCODE_0) {
        return vk::Digit0;
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
        return vk::F1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F1);
    }
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) {
        return vk::F1 + 12 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F13);
    }
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) {
        return vk::Numpad0 + 1 + static_cast<uint32_t>(scancode - SDL_SCANCODE_KP_1);
    }
    switch (sdlKeycode) {
        case SDLK_BACKSPACE:
            return vk::Back;
        case SDLK_TAB:
            return vk::Tab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return vk::Return;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return vk::Shift;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return vk::Control;
        case SDLK_LALT:
        case SDLK_RALT:
            return vk::Menu;
        case SDLK_PAUSE:
            return vk::Pause;
        case SDLK_CAPSLOCK:
            return vk::Capital;
        case SDLK_ESCAPE:
            return vk::Escape;
        case SDLK_SPACE:
            return vk::Space;
        case SDLK_PAGEUP:
            return vk::Prior;
        case SDLK_PAGEDOWN:
            return vk::Next;
        case SDLK_END:
            return vk::End;
        case SDLK_HOME:
            return vk::Home;
        case SDLK_LEFT:
            return vk::Left;
        case SDLK_UP:
            return vk::Up;
        case SDLK_RIGHT:
            return vk::Right;
        case SDLK_DOWN:
            return vk::Down;
        case SDLK_PRINTSCREEN:
            return vk::Snapshot;
        case SDLK_INSERT:
            return vk::Insert;
        case SDLK_DELETE:
            return vk::Delete;
        case SDLK_LGUI:
            return vk::LWin;
        case SDLK_RGUI:
            return vk::RWin;
        case SDLK_APPLICATION:
            return vk::Apps;
        case SDLK_KP_0:
            return vk::Numpad0;
        case SDLK_KP_MULTIPLY:
            return vk::Multiply;
        case SDLK_KP_PLUS:
            return vk::Add;
        case SDLK_KP_MINUS:
            return vk::Subtract;
        case SDLK_KP_PERIOD:
            return vk::Decimal;
        case SDLK_KP_DIVIDE:
            return vk::Divide;
        case SDLK_NUMLOCKCLEAR:
            return vk::NumLock;
        case SDLK_SCROLLLOCK:
            return vk::Scroll;
        case SDLK_SEMICOLON:
            return vk::Oem1;
        case SDLK_EQUALS:
            return vk::OemPlus;
        case SDLK_COMMA:
            return vk::OemComma;
        case SDLK_MINUS:
            return vk::OemMinus;
        case SDLK_PERIOD:
            return vk::OemPeriod;
        case SDLK_SLASH:
            return vk::Oem2;
        case SDLK_BACKQUOTE:
            return vk::Oem3;
        case SDLK_LEFTBRACKET:
            return vk::Oem4;
        case SDLK_BACKSLASH:
            return vk::Oem5;
        case SDLK_RIGHTBRACKET:
            return vk::Oem6;
        default:
            return 0;
    }
}

}  // namespace ui
