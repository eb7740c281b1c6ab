#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Rect;

// What the application state asks of the recording engine: one recording's preparation,
// start, pause, resume and end, and the camera's preview window. UI thread; the Controller is
// the real one.
class RecordingEngine {
public:
    virtual ~RecordingEngine() = default;

    // Prepares one recording; captureRect is in physical pixels with even sides. Negative on
    // failure, after tearing down whatever was built (the sound sources and the camera too).
    virtual int32_t init(const std::string& outputPath, const Rect& captureRect, uint32_t frameRate,
                         int32_t videoBitRate, const std::string& cameraPath) = 0;
    // Negative on failure, after tearing down as init does.
    virtual int32_t start() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Returns when the files are finished.
    virtual void stop() = 0;
    virtual int32_t testCamera(void* instance, const std::wstring& title, int32_t width,
                               int32_t height, uint16_t iconId) = 0;
    // Called once, on a worker thread, when the output refuses data (a full disk).
    virtual void setOnWriteFailure(std::function<void()> callback) = 0;
};
