#include "camera/CameraStreamer.h"

#include <utility>

#include "base/HResult.h"
#include "platform/ThreadPriority.h"

namespace platform {

CameraStreamer::CameraStreamer(CameraFrameSource& source, Deliver deliver)
    : source_(source), deliver_(std::move(deliver)) {}

CameraStreamer::~CameraStreamer() {
    shutdown();
}

bool CameraStreamer::onStreamingThread() const {
    return threadId_.load() == std::this_thread::get_id();
}

CameraState CameraStreamer::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

int32_t CameraStreamer::run() {
    if (onStreamingThread()) {
        return E_FAIL;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) {
        return E_FAIL;
    }
    if (state_ == CameraState::Running) {
        return S_OK;
    }
    const int32_t started = source_.start();
    if (started < 0) {
        return started;
    }
    state_ = CameraState::Running;
    wanted_ = true;
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { loop(); });
    }
    changed_.notify_all();
    return S_OK;
}

int32_t CameraStreamer::pause() {
    return halt(CameraState::Paused);
}

int32_t CameraStreamer::stop() {
    return halt(CameraState::Stopped);
}

int32_t CameraStreamer::halt(CameraState to) {
    if (onStreamingThread()) {
        return E_FAIL;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ != CameraState::Running) {
        state_ = to;
        return S_OK;
    }
    state_ = to;
    wanted_ = false;
    source_.interrupt();
    // A frame already handed over finishes before we return; none follows.
    changed_.wait(lock, [this] { return !busy_; });
    source_.stop();
    return S_OK;
}

void CameraStreamer::shutdown() {
    if (onStreamingThread()) {
        return;
    }
    halt(CameraState::Stopped);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CameraStreamer::loop() {
    threadId_ = std::this_thread::get_id();
    setCurrentThreadName("camera");
    const auto deliverWanted = [this](const CameraFrame& frame) {
        if (wanted_) {
            deliver_(frame);
        }
    };
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return quit_ || state_ == CameraState::Running; });
        if (quit_) {
            break;
        }
        busy_ = true;
        lock.unlock();
        const CameraFrameSource::Wait result = source_.waitFrame(deliverWanted);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
        if (result == CameraFrameSource::Wait::Failed && state_ == CameraState::Running) {
            // The device is gone; the owner sees Stopped and may run it again.
            state_ = CameraState::Stopped;
            wanted_ = false;
            source_.stop();
        }
    }
    threadId_ = std::thread::id();  // ids of ended threads may be reused
}

}  // namespace platform
