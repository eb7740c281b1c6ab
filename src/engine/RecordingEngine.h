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
    // Returns when the files are complete; MP4 and MOV files are still in the fragments they
    // were recorded in (they play), until finishFiles.
    virtual void stop() = 0;
    // After stop: makes regular files of those written in fragments, on a thread of its own.
    // `progress` gets the percent done and `done` is called once at the end, both on that
    // thread. False when there is nothing to finish; neither is called then.
    virtual bool finishFiles(std::function<void(int32_t percent)> progress,
                             std::function<void()> done) = 0;
    virtual int32_t testCamera(void* instance, const std::wstring& title, int32_t width,
                               int32_t height, uint16_t iconId) = 0;
    // Called once, on a worker thread, when the output refuses data (a full disk).
    virtual void setOnWriteFailure(std::function<void()> callback) = 0;
};
