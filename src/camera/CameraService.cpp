#include "platform/CameraService.h"

#include <utility>

#include "camera/CameraFrameConverter.h"
#include "camera/StreamingCameraService.h"

namespace platform {

namespace {
// UI thread only.
std::unique_ptr<CameraService>& sharedSlot() {
    static std::unique_ptr<CameraService> service;
    return service;
}
}  // namespace

std::unique_ptr<CameraService> CameraService::create() {
    return std::make_unique<StreamingCameraService>(
        createSystemCameraDriver(&CameraFrameConverter::create));
}

CameraService& CameraService::shared() {
    auto& slot = sharedSlot();
    if (!slot) {
        slot = create();
    }
    return *slot;
}

std::unique_ptr<CameraService> CameraService::installShared(
    std::unique_ptr<CameraService> service) {
    return std::exchange(sharedSlot(), std::move(service));
}

}  // namespace platform
