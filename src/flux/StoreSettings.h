#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/Geometry.h"
#include "flux/ActionPayloads.h"

// Every value the settings file can carry. Read from a file, a member is set only when the file
// held it with an acceptable type and range; written to a file, every member that is set is
// written (the Store sets them all).
struct StoreSettings {
    std::optional<int32_t> quality;  // 0..3

    // mouse: cursor decoration styles, -1 for none, otherwise 0..11
    std::optional<int32_t> pointStyle;
    std::optional<int32_t> pressStyle;
    std::optional<int32_t> shapeStyle;

    // video
    std::optional<bool> isCapture;    // read only, never written
    std::optional<Rect> captureRect;  // written from captureRect, read into loadedRect
    std::optional<int32_t> videoBitrate;
    std::optional<int32_t> fps;  // frame-rate index: 0 -> 30, 1 -> 24
    std::optional<int32_t> captureMethod;

    // audio
    std::optional<int32_t> sampleRate;
    std::optional<int32_t> audioBitrate;
    std::optional<int32_t> channels;
    std::optional<int32_t> bits;
    std::optional<bool> captureMicrophone;
    std::optional<bool> capturePlayback;
    std::optional<bool> filterMic;
    std::optional<double> filterWC;

    // camera
    std::optional<bool> isCaptureCamera;
    std::optional<bool> isOnlyCaptureCamera;
    std::optional<int32_t> device;

    // Read: the acceptable elements in file order. Written: ascending action order.
    std::vector<HotkeyPayload> hotkeys;
};
