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
//   rows 1 .. 319         eight vertical bars, 80 wide, in kBarColours order
//   rows 320 .. 478       dark grey (kBackground) with a white 64 x 64 square whose top is at
//                         row 368 and whose left edge is at squareLeft(sequence)
//   row 479               blue
class SyntheticCameraDriver final : public CameraDriver {
  public:
    static constexpr int32_t kWidth = 640;
    static constexpr int32_t kHeight = 480;
    static constexpr int32_t kFramesPerSecond = 30;
    static constexpr const wchar_t* kFriendlyName = L"Synthetic test camera";

    // 0xAARRGGBB: white, yellow, cyan, green, magenta, red, blue, black.
    static constexpr uint32_t kBarColours[8] = {0xFFFFFFFF, 0xFFFFFF00, 0xFF00FFFF, 0xFF00FF00,
                                                0xFFFF00FF, 0xFFFF0000, 0xFF0000FF, 0xFF000000};
    static constexpr uint32_t kFirstRow = 0xFFFF0000;
    static constexpr uint32_t kLastRow = 0xFF0000FF;
    static constexpr uint32_t kBackground = 0xFF404040;
    static constexpr uint32_t kSquare = 0xFFFFFFFF;
    static constexpr int32_t kBarsEnd = 320;
    static constexpr int32_t kSquareTop = 368;
    static constexpr int32_t kSquareSize = 64;
    static int32_t squareLeft(uint32_t sequence) {
        return static_cast<int32_t>((sequence * 8u) % static_cast<uint32_t>(kWidth - kSquareSize));
    }

    std::vector<CameraDevice> devices() override;
    std::unique_ptr<CameraFrameSource> open(int32_t position) override;
};

// A camera service over the synthetic camera, as the process's service is over the system's.
std::unique_ptr<CameraService> createSyntheticCameraService();

}  // namespace platform
