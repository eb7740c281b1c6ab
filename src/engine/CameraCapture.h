#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "platform/CameraService.h"

class Encoder;
class RecordingClock;

// Records the chosen camera: a preview window of its own, its own file beside the screen
// recording, or (only-camera mode) the main file in place of the screen. Frames arrive on the
// camera service's streaming thread and go to an Encoder with a RecordingClock time.
// Everything but the frame callback runs on the UI thread.
class CameraCapture {
public:
    explicit CameraCapture(platform::CameraService& service = platform::CameraService::shared(),
                           const RecordingClock& clock = defaultClock());
    ~CameraCapture();
    CameraCapture(const CameraCapture&) = delete;
    CameraCapture& operator=(const CameraCapture&) = delete;

    // Opens device `index`: S_FALSE (1) when it is the one already open, E_FAIL for a negative
    // index, the failing result (and everything released) otherwise.
    int32_t openDevice(int32_t index);
    // Rebuilds the device for recording (closing a running preview first). E_FAIL releases
    // the camera, which then is no longer enabled.
    int32_t buildRecordingGraph();
    // 1 attached, -1 not (the camera is released then). With only-camera clear, opens the
    // camera's own file at cameraPath; with it set, frames go to mainEncoder.
    int32_t attachEncoder(const char* cameraPath, Encoder* mainEncoder);
    // {0, 0, camera width, camera height}.
    Rect frameRect() const;

    // The preview window; 1 when it already runs.
    int32_t preview(void* instance, const std::wstring& title, platform::CameraSize size,
                    uint16_t iconId);
    // 0, or E_FAIL.
    int32_t closePreview();
    // Stops the camera, closes its own file, drops the graph: not enabled afterwards.
    void release();
    // The camera's own file when release closed it written in fragments, to be made a regular
    // file (FileFinisher); empty otherwise, and after it was taken once.
    std::string takeUnfinishedFile();

    // Start, pause and resume of the recording camera (the Controller's calls).
    int32_t run();
    int32_t pause();

    // Resets the counters of the camera's own encoder before it records (not in only-camera
    // mode, where the main encoder is the Controller's).
    void prepareOwnEncoder();
    bool hasOwnEncoder() const;
    // The camera's own file's encoder, or null (for inspection while the camera is stopped).
    const Encoder* ownEncoder() const { return ownEncoder_.get(); }
    // Whether frames have somewhere to go: an encoder is attached.
    bool attached() const { return encoder_.load() != nullptr; }

    int32_t deviceIndex() const { return deviceIndex_; }
    void setDeviceIndex(int32_t index) { deviceIndex_ = index; }
    bool onlyCamera() const { return onlyCamera_; }
    void setOnlyCamera(bool on) { onlyCamera_ = on; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    // A device is open for recording (the graph exists).
    bool graphExists() const;

    // -1 no graph built since start, 0 idle or torn down, 1 preview running. Process-wide.
    static int32_t previewState();
    // Back to "no graph built since start" (the Controller's construction).
    static void resetPreviewState();

    static const RecordingClock& defaultClock();

    // The grabbed frame goes to the encoder, then the streaming thread is held this long, so
    // that no more than about 30 frames a second are taken whatever the camera delivers.
    static constexpr int32_t kFrameHoldMs = 33;
    static constexpr uint32_t kOwnFrameRate = 30;
    static constexpr int32_t kOwnBitRate = 800000;

private:
    void onFrame(const platform::CameraFrame& frame, platform::CameraSize size);
    // The preview window has gone: the camera stops and the device is let go.
    void tearDownPreview();

    platform::CameraService& service_;
    const RecordingClock& clock_;

    // UI thread only.
    int32_t deviceIndex_ = -1;
    bool onlyCamera_ = false;
    bool enabled_ = false;
    std::unique_ptr<Encoder> ownEncoder_;
    std::string ownPath_;             // the file ownEncoder_ writes
    std::string unfinishedFile_;      // see takeUnfinishedFile
    platform::CameraSize frameSize_;  // of the recording device, set when it is built
    bool callbackSet_ = false;        // the service calls back into this object
    bool ownsPreview_ = false;        // the preview window reports to this object

    // Written on the UI thread while the camera is stopped; read by the streaming thread.
    std::atomic<Encoder*> encoder_{nullptr};
    // Streaming thread only: the frame as handed to the encoder.
    std::vector<uint8_t> frameBuffer_;
};
