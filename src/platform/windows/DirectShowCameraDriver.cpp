// The cameras DirectShow lists in its video input category, by friendly name. The capture
// graph that streams them is not built yet: opening one fails and says so, which callers
// handle as they handle a camera that went away.
#include <windows.h>
// after windows.h, which they need
#include <objbase.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>

#include <memory>

#include "base/Log.h"
#include "platform/CameraDriver.h"
#include "platform/windows/ComPtr.h"

namespace platform {
namespace {

constexpr const char* kUnit = "DirectShow";

// The friendly name from the device moniker's property bag; none where it has none.
CameraDevice describe(IMoniker& moniker) {
    CameraDevice device;
    void* object = nullptr;
    if (FAILED(moniker.BindToStorage(nullptr, nullptr, IID_IPropertyBag, &object))) {
        return device;
    }
    const Com<IPropertyBag> bag(static_cast<IPropertyBag*>(object));
    VARIANT name;
    VariantInit(&name);
    if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
        device.hasName = true;
        device.friendlyName.assign(name.bstrVal, SysStringLen(name.bstrVal));
    }
    VariantClear(&name);
    return device;
}

class DirectShowCameraDriver final : public CameraDriver {
public:
    // COM is the calling thread's (the UI thread initialises it at start-up). No category
    // enumerator, with S_FALSE, means no camera: an empty list, not a failure.
    std::vector<CameraDevice> devices() override {
        std::vector<CameraDevice> found;
        void* object = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ICreateDevEnum, &object);
        if (FAILED(hr)) {
            SC_LOG(kUnit, "No system device enumerator: hr = 0x%08lx",
                   static_cast<unsigned long>(hr));
            return found;
        }
        const Com<ICreateDevEnum> devices(static_cast<ICreateDevEnum*>(object));
        IEnumMoniker* category = nullptr;
        hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &category, 0);
        if (hr != S_OK || category == nullptr) {
            return found;
        }
        const Com<IEnumMoniker> monikers(category);
        IMoniker* moniker = nullptr;
        while (monikers->Next(1, &moniker, nullptr) == S_OK) {
            const Com<IMoniker> owned(moniker);
            found.push_back(describe(*moniker));
        }
        return found;
    }

    std::unique_ptr<CameraFrameSource> open(int32_t position) override {
        SC_LOG(kUnit, "Camera %d: the capture graph is not built in the Windows build yet",
               position);
        return nullptr;
    }
};

}  // namespace

std::unique_ptr<CameraDriver> createSystemCameraDriver(CameraPixelConverterFactory) {
    return std::make_unique<DirectShowCameraDriver>();
}

}  // namespace platform
