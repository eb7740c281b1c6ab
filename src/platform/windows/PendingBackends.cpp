// The services whose Windows backends (GDI grabs, WASAPI, DirectShow, low-level hooks) are not
// built yet: every one fails and says so, so that the program and the tests run with what
// exists. Callers already handle these failures as they handle a missing device.
#include <windows.h>

#include "base/Log.h"
#include "platform/AudioEndpoint.h"
#include "platform/CameraDriver.h"
#include "platform/InputHooks.h"
#include "platform/Screen.h"

namespace platform {
namespace {

constexpr const char* kUnit = "Platform";

class PendingAudioEndpointFactory final : public AudioEndpointFactory {
public:
    int32_t createEnumerator(std::unique_ptr<AudioEndpointEnumerator>* enumerator) override {
        if (enumerator != nullptr) {
            enumerator->reset();
        }
        SC_LOG(kUnit, "Sound devices: not implemented in the Windows build yet (WASAPI)");
        return audiohr::kNotImplemented;
    }
};

class PendingCameraDriver final : public CameraDriver {
public:
    std::vector<CameraDevice> devices() override { return {}; }
    std::unique_ptr<CameraFrameSource> open(int32_t position) override {
        SC_LOG(kUnit, "Camera %d: not implemented in the Windows build yet (DirectShow)", position);
        return nullptr;
    }
};

// The hooks themselves are pending; ERROR_CALL_NOT_IMPLEMENTED is the system's own word for
// it ("This function is not supported on this system."). Key state and names are the
// system's already.
class PendingInputHooks final : public InputHooks {
public:
    uint32_t installMouseHook(MouseProc) override { return notImplemented("mouse"); }
    uint32_t installKeyboardHook(KeyboardProc) override { return notImplemented("keyboard"); }
    void removeMouseHook() override {}
    void removeKeyboardHook() override {}

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

private:
    static bool isExtendedKey(uint32_t vk) {
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

    static uint32_t notImplemented(const char* which) {
        SC_LOG(kUnit, "The %s hook: not implemented in the Windows build yet", which);
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
};

}  // namespace

std::unique_ptr<Screen> Screen::open(bool) {
    SC_LOG(kUnit, "Screen: not implemented in the Windows build yet (GDI)");
    return nullptr;
}

AudioEndpointFactory& AudioEndpointFactory::system() {
    static PendingAudioEndpointFactory factory;
    return factory;
}

std::unique_ptr<CameraDriver> createSystemCameraDriver(CameraPixelConverterFactory) {
    return std::make_unique<PendingCameraDriver>();
}

InputHooks& InputHooks::system() {
    static PendingInputHooks hooks;
    return hooks;
}

}  // namespace platform
