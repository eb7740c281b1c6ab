#include "camera/StreamingCameraService.h"

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "base/HResult.h"
#include "base/Log.h"
#include "platform/CameraPreview.h"
#include "platform/MessageLoop.h"

namespace platform {

namespace {
constexpr const char* kUnit = "CameraService";
}

// The newest frame for the preview window. The streaming thread copies each frame in and
// asks the UI thread to draw it; a request not yet served stands for all frames after it.
class StreamingCameraService::PreviewFeed : public std::enable_shared_from_this<PreviewFeed> {
  public:
    // Streaming thread.
    void offer(const CameraFrame& frame) {
        if (!active_) {
            return;
        }
        {
            auto latest = latest_.lock();
            const size_t rowBytes = static_cast<size_t>(frame.width) * 4;
            latest->pixels.resize(rowBytes * static_cast<size_t>(frame.height));
            for (int32_t y = 0; y < frame.height; ++y) {
                std::memcpy(latest->pixels.data() + rowBytes * static_cast<size_t>(y),
                            frame.pixels + static_cast<size_t>(frame.stride) * y, rowBytes);
            }
            latest->width = frame.width;
            latest->height = frame.height;
            latest->sequence = frame.sequence;
            latest->timestampUs = frame.timestampUs;
            latest->fresh = true;
        }
        if (!drawPending_.exchange(true)) {
            std::weak_ptr<PreviewFeed> weak = weak_from_this();
            MessageLoop::ui().post([weak] {
                if (auto feed = weak.lock()) {
                    feed->draw();
                }
            });
        }
    }

    // UI thread.
    bool open() const { return window_ != nullptr; }

    void attach(std::unique_ptr<CameraPreview> window) {
        window_ = std::move(window);
        active_ = true;
    }

    // Takes the window away and returns it, so that the caller decides when it goes.
    std::unique_ptr<CameraPreview> detach() {
        active_ = false;
        return std::move(window_);
    }

  private:
    struct Picture {
        std::vector<uint8_t> pixels;
        int32_t width = 0;
        int32_t height = 0;
        uint32_t sequence = 0;
        int64_t timestampUs = 0;
        bool fresh = false;  // not drawn yet
    };

    void draw() {
        drawPending_ = false;
        if (!window_) {
            return;
        }
        {
            // Only a swap under the lock: drawing takes the window system's own locks, which
            // must never be taken while the streaming thread can wait for ours.
            auto latest = latest_.lock();
            if (!latest->fresh) {
                return;
            }
            std::swap(*latest, drawing_);
            latest->fresh = false;
        }
        CameraFrame frame;
        frame.pixels = drawing_.pixels.data();
        frame.width = drawing_.width;
        frame.height = drawing_.height;
        frame.stride = drawing_.width * 4;
        frame.sequence = drawing_.sequence;
        frame.timestampUs = drawing_.timestampUs;
        window_->show(frame);
    }

    // Written by the UI thread; read by the streaming thread.
    std::atomic<bool> active_{false};
    // Set by the streaming thread when it posts a draw; cleared by the UI thread drawing.
    std::atomic<bool> drawPending_{false};
    // Written by the streaming thread, read by the UI thread, under its lock.
    Guarded<Picture> latest_;
    // UI thread only.
    Picture drawing_;
    std::unique_ptr<CameraPreview> window_;
};

StreamingCameraService::StreamingCameraService(std::unique_ptr<CameraDriver> driver)
    : driver_(std::move(driver)), preview_(std::make_shared<PreviewFeed>()) {}

StreamingCameraService::~StreamingCameraService() {
    release();
    preview_->detach();
}

bool StreamingCameraService::onStreamingThread() const {
    return streamer_ && streamer_->onStreamingThread();
}

std::vector<CameraDevice> StreamingCameraService::devices() {
    return driver_->devices();
}

int32_t StreamingCameraService::open(int32_t position) {
    if (onStreamingThread()) {
        return E_FAIL;
    }
    release();
    std::unique_ptr<CameraFrameSource> source = driver_->open(position);
    if (!source) {
        SC_LOG(kUnit, "Open camera %d failed", position);
        return E_FAIL;
    }
    source_ = std::move(source);
    streamer_ = std::make_unique<CameraStreamer>(
        *source_, [this](const CameraFrame& frame) { deliver(frame); });
    return S_OK;
}

bool StreamingCameraService::isOpen() const {
    return source_ != nullptr;
}

CameraSize StreamingCameraService::frameSize() const {
    return source_ ? source_->size() : CameraSize{};
}

CameraState StreamingCameraService::state() const {
    return streamer_ ? streamer_->state() : CameraState::Released;
}

void StreamingCameraService::setFrameCallback(CameraFrameCallback callback) {
    if (onStreamingThread()) {
        // The running callback holds the lock; replacing it from inside would deadlock.
        SC_LOG(kUnit, "Frame callback cannot be replaced from the frame callback");
        return;
    }
    CameraFrameCallback old;
    {
        auto current = callback_.lock();
        old = std::exchange(*current, std::move(callback));
    }
    // `old` goes here, outside the lock: what it holds may itself wait for the camera.
}

void StreamingCameraService::deliver(const CameraFrame& frame) {
    preview_->offer(frame);
    auto callback = callback_.lock();
    if (*callback) {
        (*callback)(frame);
    }
}

int32_t StreamingCameraService::run() {
    if (!streamer_) {
        return E_FAIL;
    }
    return streamer_->run();
}

int32_t StreamingCameraService::pause() {
    if (!streamer_) {
        return E_FAIL;
    }
    return streamer_->pause();
}

int32_t StreamingCameraService::stop() {
    if (!streamer_) {
        return E_FAIL;
    }
    return streamer_->stop();
}

void StreamingCameraService::release() {
    if (onStreamingThread()) {
        SC_LOG(kUnit, "Camera cannot be released from the frame callback");
        return;
    }
    // The thread ends before the device it reads goes.
    streamer_.reset();
    source_.reset();
}

int32_t StreamingCameraService::openPreview(const std::wstring& title, CameraSize size,
                                            uint16_t iconId, CameraPreviewEvents events) {
    if (preview_->open()) {
        return S_FALSE;
    }
    // The window reports through us: it is detached (and goes) before the owner hears of
    // the close, so previewOpen() is already false then.
    CameraPreviewEvents forwarded;
    forwarded.minimized = std::move(events.minimized);
    forwarded.restored = std::move(events.restored);
    std::weak_ptr<PreviewFeed> weak = preview_;
    forwarded.closed = [weak, closed = std::move(events.closed)] {
        if (auto feed = weak.lock()) {
            // The window reports from its own event handler, which touches nothing after.
            feed->detach().reset();
        }
        if (closed) {
            closed();
        }
    };
    std::unique_ptr<CameraPreview> window =
        CameraPreview::create(title, size, iconId, std::move(forwarded));
    if (!window) {
        return E_FAIL;
    }
    preview_->attach(std::move(window));
    return S_OK;
}

bool StreamingCameraService::previewOpen() const {
    return preview_->open();
}

void StreamingCameraService::closePreview() {
    preview_->detach();
}

}  // namespace platform
