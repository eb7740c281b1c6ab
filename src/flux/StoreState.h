#pragma once

#include <cstdint>

#include "base/Geometry.h"

// The recording state the Store runs through.
enum class StoreState : int32_t { CountingDown = 0, Recording = 1, Paused = 2, Ended = 3, Idle = 4 };

// The settings the Store holds, as plain records.
struct VideoSettings {
    int32_t isCapture = 0;
    Rect captureRect;  // logical screen coordinates: the area to record
    Rect loadedRect;   // read from the settings file; zero when none was read
    int32_t bitrate = 0;
    int32_t fps = 0;  // index: 0 -> 30, 1 -> 24 frames per second
    int32_t captureMethod = 0;
};

struct AudioSettings {
    int32_t sampleRate = 0;
    int32_t bitrate = 0;
    int32_t channels = 0;
    int32_t bits = 0;
    bool captureMicrophone = false;
    bool capturePlayback = false;
    bool filterMic = false;
    double filterWC = 0.0;
};

struct MouseSettings {
    int32_t pointStyle = 0;  // -1 none, else 0..11
    int32_t pressStyle = 0;
    int32_t shapeStyle = 0;
};

struct CameraSettings {
    bool isCaptureCamera = false;
    bool isOnlyCaptureCamera = false;
    int32_t device = -1;
};
