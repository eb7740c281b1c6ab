#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/CameraFrameSource.h"
#include "platform/CameraService.h"

namespace platform {

// The streaming thread of one open camera: pulls frames from the source while running and
// hands each to `deliver`. The thread is made on the first run() and lives until shutdown();
// it waits between runs. run/pause/stop/shutdown belong to the owner's thread; from the
// streaming thread itself they fail, since they would wait for that very thread.
class CameraStreamer {
  public:
    using Deliver = std::function<void(const CameraFrame&)>;

    CameraStreamer(CameraFrameSource& source, Deliver deliver);
    ~CameraStreamer();  // shutdown()

    CameraStreamer(const CameraStreamer&) = delete;
    CameraStreamer& operator=(const CameraStreamer&) = delete;

    int32_t run();
    // Once these return, no frame is delivered until the next run().
    int32_t pause();
    int32_t stop();
    // Stops and joins the thread. Harmless twice.
    void shutdown();

    CameraState state() const;
    bool onStreamingThread() const;

  private:
    int32_t halt(CameraState to);
    void loop();

    CameraFrameSource& source_;
    const Deliver deliver_;

    // Written by the owner's thread (and by the streaming thread when the device fails) under
    // mutex_; read by both under mutex_. Source start/stop happen under it too.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    CameraState state_ = CameraState::Stopped;
    bool busy_ = false;  // the streaming thread is inside waitFrame
    bool quit_ = false;

    // Mirrors state_ == Running for the delivery check, which must not take mutex_. Written
    // under mutex_; read by the streaming thread.
    std::atomic<bool> wanted_{false};

    std::thread thread_;                     // owner's thread only
    std::atomic<std::thread::id> threadId_;  // written before the thread starts
};

}  // namespace platform
