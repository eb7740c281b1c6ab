#include "camera/CameraDeviceList.h"

#include "base/HResult.h"
#include "platform/CameraService.h"
#include "platform/Strings.h"

CameraDeviceList::CameraDeviceList() : CameraDeviceList(platform::CameraService::shared()) {}

CameraDeviceList::CameraDeviceList(platform::CameraService& service) {
    for (const platform::CameraDevice& device : service.devices()) {
        if (device.hasName) {
            // Names reach the list through the ANSI code page, as every file name does, so
            // what the popup shows is what a setting or a path could hold.
            push_back(AnsiToWide(WideToAnsi(device.friendlyName)));
        }
    }
}

int32_t CameraDeviceList::find(int32_t index) {
    return find(platform::CameraService::shared(), index);
}

int32_t CameraDeviceList::find(platform::CameraService& service, int32_t index) {
    const auto devices = service.devices();
    if (devices.empty()) {
        return E_FAIL;
    }
    // A negative index names no device; success would claim a device that is not there.
    if (index < 0 || static_cast<size_t>(index) >= devices.size()) {
        return E_FAIL;
    }
    return service.open(index);
}
