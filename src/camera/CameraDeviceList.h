#pragma once

#include <cstdint>
#include <list>
#include <string>

namespace platform {
class CameraService;
}

// The friendly names of the cameras in device order, for the camera popup's list. Made fresh
// each time: constructing one asks the camera service. Devices whose name cannot be read are
// left out of the names but keep their position, and positions are what identify a device.
class CameraDeviceList : public std::list<std::wstring> {
  public:
    // Over the process's camera service.
    CameraDeviceList();
    explicit CameraDeviceList(platform::CameraService& service);

    // Opens the device at `index` in the service, so that the camera capture can build on it.
    // S_OK; E_FAIL when there is no device, `index` is past the end or negative (nothing
    // changes then), or the device cannot be opened.
    static int32_t find(int32_t index);
    static int32_t find(platform::CameraService& service, int32_t index);
};
