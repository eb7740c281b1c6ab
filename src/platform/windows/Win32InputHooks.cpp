// The desktop's keyboard and mouse through the system's low-level hooks. They are installed
// on the UI thread, and the system calls them there whenever that thread retrieves messages
// (SDL's video pump does, inside the UI loop's wait). A hook that keeps the system waiting is
// skipped and at last removed, so the procedures only copy the event and post it to the loop.
#include <windows.h>

#include <SDL2/SDL.h>

#include <bitset>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "base/Log.h"
#include "platform/InputHooks.h"
#include "platform/MessageLoop.h"

namespace platform {
namespace {

constexpr const char* kUnit = "InputHooks";

bool isExtendedKey(uint32_t vk) {
    switch (vk) {
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_INSERT:
        case VK_DELETE:
        case VK_DIVIDE:
        case VK_NUMLOCK:
        case VK_RCONTROL:
        case VK_RMENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
        case VK_SNAPSHOT:
            return true;
        default:
            return false;
    }
}

struct HookDeleter {
    void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};
using Hook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookDeleter>;

class Win32InputHooks final : public InputHooks {
public:
    uint32_t installMouseHook(MouseProc proc) override {
        if (!mouseHook_) {
            if (const uint32_t error =
                    install(WH_MOUSE_LL, &Win32InputHooks::onMouse, mouseHook_)) {
                return error;
            }
        }
        mouseProc_ = std::move(proc);
        mouseGeneration_ = ++generations_;
        return 0;
    }

    uint32_t installKeyboardHook(KeyboardProc proc) override {
        if (!keyboardHook_) {
            if (const uint32_t error =
                    install(WH_KEYBOARD_LL, &Win32InputHooks::onKeyboard, keyboardHook_)) {
                return error;
            }
            // Keys held since before the hook count as down; the hook follows the rest.
            for (uint32_t vk = 1; vk < 256; ++vk) {
                keysDown_[vk] = (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0;
            }
        }
        keyboardProc_ = std::move(proc);
        keyboardGeneration_ = ++generations_;
        return 0;
    }

    void removeMouseHook() override {
        mouseGeneration_ = 0;
        mouseProc_ = nullptr;
        uninstall(mouseHook_);
    }

    void removeKeyboardHook() override {
        keyboardGeneration_ = 0;
        keyboardProc_ = nullptr;
        uninstall(keyboardHook_);
    }

    bool isKeyDown(uint32_t vk) override {
        return vk < 256 && (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0;
    }

    std::wstring keyName(uint32_t vk) override {
        const UINT scanCode = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
        if (scanCode == 0) {
            return std::wstring();
        }
        // The keys of the navigation block and the right-hand modifiers share their scan
        // codes with the number pad and the left ones; the extended bit tells them apart.
        LONG lParam = static_cast<LONG>(scanCode << 16);
        if (isExtendedKey(vk)) {
            lParam |= 1 << 24;
        }
        wchar_t name[64] = {};
        const int length = GetKeyNameTextW(lParam, name, 64);
        return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
    }

    static Win32InputHooks& instance() {
        static Win32InputHooks hooks;
        return hooks;
    }

private:
    uint32_t install(int type, HOOKPROC proc, Hook& hook) {
        // The video subsystem is what makes the UI loop retrieve the thread's messages.
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            SC_LOG(kUnit, "No message pump for the hooks: %s", SDL_GetError());
            return ERROR_INVALID_THREAD_ID;
        }
        hook.reset(SetWindowsHookExW(type, proc, GetModuleHandleW(nullptr), 0));
        if (!hook) {
            const uint32_t error = GetLastError();
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            SC_LOG(kUnit, "SetWindowsHookEx(%d) failed: %u", type, error);
            return error != 0 ? error : ERROR_HOOK_NOT_INSTALLED;
        }
        return 0;
    }

    static void uninstall(Hook& hook) {
        if (hook) {
            hook.reset();
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }

    // UI thread, inside the system's call: the event is posted, so that the procedure runs
    // from the loop itself, in order with everything else posted.
    static LRESULT CALLBACK onKeyboard(int code, WPARAM wParam, LPARAM lParam) {
        Win32InputHooks& self = instance();
        if (code == HC_ACTION && self.keyboardGeneration_ != 0) {
            const auto* data = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
            KeyboardEvent event;
            event.message = static_cast<uint32_t>(wParam);
            event.vkCode = data->vkCode & 0xFF;
            event.scanCode = data->scanCode;
            event.time = data->time;
            event.keysDown = self.keysDown_;
            self.keysDown_[event.vkCode] =
                event.message == msg::KeyDown || event.message == msg::SysKeyDown;
            const uint64_t generation = self.keyboardGeneration_;
            MessageLoop::ui().post([generation, event] {
                Win32InputHooks& hooks = instance();
                if (generation == hooks.keyboardGeneration_ && hooks.keyboardProc_) {
                    const KeyboardProc proc = hooks.keyboardProc_;  // it may remove its hook
                    proc(event);
                }
            });
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static LRESULT CALLBACK onMouse(int code, WPARAM wParam, LPARAM lParam) {
        Win32InputHooks& self = instance();
        if (code == HC_ACTION && self.mouseGeneration_ != 0) {
            const auto* data = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
            MouseEvent event;
            event.message = static_cast<uint32_t>(wParam);
            event.pt = Point{data->pt.x, data->pt.y};
            event.mouseData = static_cast<int16_t>(HIWORD(data->mouseData));
            event.time = data->time;
            const uint64_t generation = self.mouseGeneration_;
            MessageLoop::ui().post([generation, event] {
                Win32InputHooks& hooks = instance();
                if (generation == hooks.mouseGeneration_ && hooks.mouseProc_) {
                    const MouseProc proc = hooks.mouseProc_;
                    proc(event);
                }
            });
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // All members are written and read on the UI thread only: the hooks are installed there
    // and the system calls them there. A posted event carries its hook's generation and is
    // dropped when the hook has been removed or installed again since.
    Hook keyboardHook_;
    Hook mouseHook_;
    KeyboardProc keyboardProc_;
    MouseProc mouseProc_;
    uint64_t generations_ = 0;
    uint64_t keyboardGeneration_ = 0;
    uint64_t mouseGeneration_ = 0;
    std::bitset<256> keysDown_;  // as the keyboard hook has seen them
};

}  // namespace

InputHooks& InputHooks::system() {
    return Win32InputHooks::instance();
}

}  // namespace platform
