#pragma once

#include <cstdint>
#include <functional>

#include "platform/CameraService.h"

namespace platform {

// One open camera device as the streaming thread sees it. start() and stop() run on the
// owner's thread while the streaming thread is outside waitFrame(); waitFrame() runs on the
// streaming thread; interrupt() on any thread.
class CameraFrameSource {
  public:
    enum class Wait {
        Frame,    // a frame was handed to deliver
        Nothing,  // nothing yet, or interrupted
        Failed,   // the device has failed; no frame will come
    };

    virtual ~CameraFrameSource() = default;

    virtual CameraSize size() const = 0;
    virtual int32_t start() = 0;
    virtual void stop() = 0;

    // Waits a short while for the next frame and hands it to `deliver` before returning.
    virtual Wait waitFrame(const std::function<void(const CameraFrame&)>& deliver) = 0;

    // Makes the current or the next waitFrame() return soon; start() forgets it.
    virtual void interrupt() = 0;
};

}  // namespace platform
