#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CameraDriver.h"
#include "platform/CameraService.h"

namespace platform {

// The tests' camera, one that needs no hardware: a 640 x 480 test pattern at 30 frames per
// second, each frame stamped with its place in that schedule (frame n at start + n / 30 s).
//
// The picture, so that tests can check what arrives where:
//   row 0                 red
//   rows 1 .. 478         dark grey (kBackground) with a white 64 x 64 square whose top is at
//                         row 368 and whose left edge moves 8 pixels a frame
//   row 479               blue
class SyntheticCameraDriver final : public CameraDriver {
public:
    static constexpr int32_t kWidth = 640;
    static constexpr int32_t kHeight = 480;
    static constexpr int32_t kFramesPerSecond = 30;
    // 0xAARRGGBB
    static constexpr uint32_t kFirstRow = 0xFFFF0000;
    static constexpr uint32_t kLastRow = 0xFF0000FF;
    static constexpr uint32_t kBackground = 0xFF404040;
    static constexpr uint32_t kSquare = 0xFFFFFFFF;
    static constexpr int32_t kSquareTop = 368;
    static constexpr int32_t kSquareSize = 64;

    std::vector<CameraDevice> devices() override;
    std::unique_ptr<CameraFrameSource> open(int32_t position) override;
};

// A camera service over the synthetic camera, as the process's service is over the system's.
std::unique_ptr<CameraService> createSyntheticCameraService();

}  // namespace platform
