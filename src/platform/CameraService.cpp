#include "platform/CameraService.h"

#include <utility>

#include "platform/StreamingCameraService.h"
#include "platform/SyntheticCameraDriver.h"

namespace platform {

namespace {
// UI thread only.
std::unique_ptr<CameraService>& sharedSlot() {
    static std::unique_ptr<CameraService> service;
    return service;
}
}  // namespace

std::unique_ptr<CameraService> CameraService::create(Backend backend) {
    switch (backend) {
        case Backend::Synthetic:
            return std::make_unique<StreamingCameraService>(
                std::make_unique<SyntheticCameraDriver>());
        case Backend::System:
            break;
    }
    return std::make_unique<StreamingCameraService>(createSystemCameraDriver());
}

CameraService& CameraService::shared() {
    auto& slot = sharedSlot();
    if (!slot) {
        slot = create(Backend::System);
    }
    return *slot;
}

std::unique_ptr<CameraService> CameraService::installShared(
    std::unique_ptr<CameraService> service) {
    return std::exchange(sharedSlot(), std::move(service));
}

}  // namespace platform
