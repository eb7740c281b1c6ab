#pragma once

#include <memory>

#include "base/Guarded.h"
#include "camera/CameraStreamer.h"
#include "platform/CameraDriver.h"
#include "platform/CameraService.h"

namespace platform {

// The camera service over any driver: one open device, its streaming thread, the frame
// callback and the preview window fed from the streaming thread through the UI thread's loop.
class StreamingCameraService final : public CameraService {
  public:
    explicit StreamingCameraService(std::unique_ptr<CameraDriver> driver);
    ~StreamingCameraService() override;

    std::vector<CameraDevice> devices() override;
    int32_t open(int32_t position) override;
    bool isOpen() const override;
    CameraSize frameSize() const override;
    CameraState state() const override;
    void setFrameCallback(CameraFrameCallback callback) override;
    int32_t run() override;
    int32_t pause() override;
    int32_t stop() override;
    void release() override;
    int32_t openPreview(const std::wstring& title, CameraSize size, uint16_t iconId,
                        CameraPreviewEvents events) override;
    bool previewOpen() const override;
    void closePreview() override;

  private:
    class PreviewFeed;

    void deliver(const CameraFrame& frame);
    bool onStreamingThread() const;

    std::unique_ptr<CameraDriver> driver_;       // UI thread
    std::unique_ptr<CameraFrameSource> source_;  // UI thread; streamer_ uses it while it lives
    std::unique_ptr<CameraStreamer> streamer_;   // UI thread

    // Written by the UI thread; called by the streaming thread, holding the lock for the call
    // so that a replaced callback is never running once setFrameCallback returns.
    Guarded<CameraFrameCallback> callback_;

    // Shared with work posted to the UI thread, which may run after this service has gone.
    const std::shared_ptr<PreviewFeed> preview_;
};

}  // namespace platform
