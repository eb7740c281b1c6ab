#pragma once

#include <cstdint>

struct WaveFormat;

// What a recording takes in besides the screen, as the Store switches it: the two sound
// sources, the camera and the cursor pictures drawn into every frame. UI thread; the
// recording engine's audio manager, camera capture and cursor overlay are the real ones.
class RecordingSources {
public:
    enum Sound : int32_t { Microphone = 0, Playback = 1 };

    virtual ~RecordingSources() = default;

    // Opens the system's default device of that kind; negative when it cannot be opened.
    virtual int32_t openSound(Sound kind) = 0;
    virtual void closeSound(Sound kind) = 0;
    virtual bool soundOn(Sound kind) const = 0;
    // The capture format of a source that is on, null otherwise.
    virtual const WaveFormat* soundFormat(Sound kind) const = 0;
    // The microphone's low-pass filter and its coefficient.
    virtual void setMicrophoneFilter(bool on) = 0;
    virtual void setMicrophoneFilterCoefficient(double wc) = 0;

    // Opens the camera at that device index; negative when it cannot be opened.
    virtual int32_t openCamera(int32_t index) = 0;
    // Whether the camera is open for the next recording.
    virtual bool cameraOpen() const = 0;
    // Whether the camera's preview window is up and running.
    virtual bool cameraPreviewRunning() const = 0;
    virtual void closeCameraPreview() = 0;
    // Lets the camera go: no device, nothing recorded from it.
    virtual void releaseCamera() = 0;
    // Whether the camera alone makes the main video.
    virtual void setOnlyCamera(bool on) = 0;

    // The cursor pictures from their PNG resources, -1 for none.
    virtual void composeCursor(int32_t point, int32_t shape, int32_t press) = 0;
};
