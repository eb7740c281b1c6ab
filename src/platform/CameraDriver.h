#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CameraFrameSource.h"
#include "platform/CameraPixelConverter.h"
#include "platform/CameraService.h"

namespace platform {

// What a camera backend provides: its devices, in a stable order, and opening one of them.
class CameraDriver {
  public:
    virtual ~CameraDriver() = default;
    virtual std::vector<CameraDevice> devices() = 0;
    // Null when there is no device at `position` or it cannot be opened.
    virtual std::unique_ptr<CameraFrameSource> open(int32_t position) = 0;
};

// The cameras of this machine (implemented per platform). Pictures the devices deliver in
// other formats than ARGB32 are converted by converters made by `converters`.
std::unique_ptr<CameraDriver> createSystemCameraDriver(CameraPixelConverterFactory converters);

}  // namespace platform
