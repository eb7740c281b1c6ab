#include "platform/Session.h"

#include <windows.h>
// after windows.h, which they need
#include <imm.h>
#include <objbase.h>

namespace platform {

// COM for the sound and camera services on the UI thread, as the design initialises it.
bool initializeComponents() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;  // already initialised another way
}

void uninitializeComponents() {
    CoUninitialize();
}

// The hotkey fields read raw keys; an input method would swallow them.
void disableInputMethod() {
    ImmDisableIME(static_cast<DWORD>(-1));
}

}  // namespace platform
