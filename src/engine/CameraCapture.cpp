#include "engine/CameraCapture.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "base/HResult.h"
#include "base/Log.h"
#include "camera/CameraDeviceList.h"
#include "engine/Encoder.h"
#include "engine/RecordingClock.h"

namespace {

const char* const kUnit = "CameraCapture";

// The camera's own file has no sound; these only fill the encoder's audio arguments.
constexpr uint32_t kUnusedSampleRate = 44100;
constexpr uint32_t kUnusedAudioBitRate = 192000;

// One per process, like the camera it describes. UI thread only.
int32_t g_previewState = -1;

}  // namespace

CameraCapture::CameraCapture(platform::CameraService& service, const RecordingClock& clock)
    : service_(service), clock_(clock) {}

CameraCapture::~CameraCapture() {
    // The service outlives us; nothing it holds may still point here.
    if (ownsPreview_ && service_.previewOpen()) {
        service_.closePreview();
    }
    ownsPreview_ = false;
    if (callbackSet_ || ownEncoder_ || enabled_) {
        release();
    }
}

const RecordingClock& CameraCapture::defaultClock() {
    return RecordingClock::instance();
}

int32_t CameraCapture::previewState() {
    return g_previewState;
}

void CameraCapture::resetPreviewState() {
    g_previewState = -1;
}

bool CameraCapture::graphExists() const {
    return service_.isOpen();
}

Rect CameraCapture::frameRect() const {
    return Rect{0, 0, frameSize_.width, frameSize_.height};
}

std::string CameraCapture::takeUnfinishedFile() {
    return std::exchange(unfinishedFile_, std::string());
}

bool CameraCapture::hasOwnEncoder() const {
    return ownEncoder_ != nullptr;
}

int32_t CameraCapture::openDevice(int32_t index) {
    if (index < 0) {
        return E_FAIL;
    }
    if (index == deviceIndex_ && graphExists()) {
        return S_FALSE;
    }
    // A freshly opened device has nothing attached: frames go nowhere until it is built for
    // recording.
    if (callbackSet_) {
        service_.setFrameCallback({});
        callbackSet_ = false;
    }
    const int32_t hr = CameraDeviceList::find(service_, index);
    if (hr < 0) {
        release();
        enabled_ = false;
        return hr;
    }
    deviceIndex_ = index;
    enabled_ = true;
    return hr;
}

int32_t CameraCapture::buildRecordingGraph() {
    // A preview window left open (also a minimised one, whose camera is stopped) would tear
    // the recording camera down when the user closes it later.
    if (g_previewState >= 1 || (ownsPreview_ && service_.previewOpen())) {
        closePreview();
    } else if (g_previewState == 0) {
        release();
    }
    if (openDevice(deviceIndex_) < 0) {
        release();
        return E_FAIL;
    }
    const platform::CameraSize size = service_.frameSize();
    if (size.width <= 0 || size.height <= 0) {
        release();
        return E_FAIL;
    }
    frameSize_ = size;
    service_.setFrameCallback(
        [this, size](const platform::CameraFrame& frame) { onFrame(frame, size); });
    callbackSet_ = true;
    return S_OK;
}

int32_t CameraCapture::attachEncoder(const char* cameraPath, Encoder* mainEncoder) {
    if (!enabled_) {
        return -1;
    }
    if (!onlyCamera_) {
        if (cameraPath == nullptr || *cameraPath == '\0') {
            release();
            return -1;
        }
        try {
            auto own = std::make_unique<Encoder>(clock_);
            const int32_t opened =
                own->open(cameraPath, false, kOwnFrameRate, static_cast<uint32_t>(frameSize_.width),
                          static_cast<uint32_t>(frameSize_.height), kOwnBitRate, kUnusedSampleRate,
                          kUnusedAudioBitRate);
            if (opened < 0) {
                release();
                return -1;
            }
            encoder_ = nullptr;
            ownEncoder_ = std::move(own);
            ownPath_ = cameraPath;
            encoder_ = ownEncoder_.get();
            return 1;
        } catch (const std::bad_alloc&) {
            release();
            return -1;
        }
    }
    if (mainEncoder != nullptr) {
        encoder_ = mainEncoder;
        return 1;
    }
    release();
    return -1;
}

void CameraCapture::onFrame(const platform::CameraFrame& frame, platform::CameraSize size) {
    // The encoder was made for `size`; a picture of any other shape would be read past its end.
    if (frame.pixels == nullptr || frame.width != size.width || frame.height != size.height ||
        frame.stride < frame.width * 4) {
        SC_LOG(kUnit, "Camera frame of %dx%d skipped", frame.width, frame.height);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(frame.width) * 4;
    frameBuffer_.resize(rowBytes * static_cast<size_t>(frame.height));
    // Rows come top-down already: the first row stays at the top of the picture.
    for (int32_t y = 0; y < frame.height; ++y) {
        std::memcpy(frameBuffer_.data() + rowBytes * static_cast<size_t>(y),
                    frame.pixels + static_cast<size_t>(frame.stride) * static_cast<size_t>(y),
                    rowBytes);
    }
    Encoder* encoder = encoder_.load();
    if (encoder != nullptr) {
        encoder->encodeVideoFrame(frameBuffer_.data(), clock_.elapsedMs());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kFrameHoldMs));
}

void CameraCapture::release() {
    // Stopped first: once stop returns no frame is being handed to an encoder, so the encoder
    // can be finished and forgotten below.
    if (service_.isOpen()) {
        service_.stop();
    }
    if (callbackSet_) {
        service_.setFrameCallback({});
        callbackSet_ = false;
    }
    service_.release();
    encoder_ = nullptr;
    if (ownEncoder_) {
        if (ownEncoder_->isOpen() && ownEncoder_->fragmented()) {
            unfinishedFile_ = ownPath_;
        }
        ownEncoder_->close();  // the camera file's trailer
        ownEncoder_.reset();
    }
    enabled_ = false;
}

int32_t CameraCapture::run() {
    return service_.run();
}

int32_t CameraCapture::pause() {
    return service_.pause();
}

void CameraCapture::prepareOwnEncoder() {
    if (!onlyCamera_ && ownEncoder_) {
        ownEncoder_->prepareRecording();
    }
}

int32_t CameraCapture::preview(void* /*instance*/, const std::wstring& title,
                               platform::CameraSize size, uint16_t iconId) {
    if (g_previewState >= 1) {
        return 1;
    }
    if (!graphExists()) {
        const int32_t opened = openDevice(deviceIndex_);
        if (opened < 0) {
            return opened;
        }
    }
    if (service_.previewOpen()) {
        return S_OK;
    }
    platform::CameraPreviewEvents events;
    events.closed = [this] { tearDownPreview(); };
    events.minimized = [this] {
        if (service_.isOpen()) {
            service_.stop();
            g_previewState = 0;
        }
    };
    events.restored = [this] {
        if (service_.isOpen() && g_previewState != 1) {
            service_.run();
            g_previewState = 1;
        }
    };
    if (service_.openPreview(title, size, iconId, std::move(events)) < 0) {
        return E_FAIL;
    }
    ownsPreview_ = true;
    if (service_.run() < 0) {
        SC_LOG(kUnit, "Camera preview could not start the camera");
    }
    g_previewState = 1;
    return S_OK;
}

void CameraCapture::tearDownPreview() {
    ownsPreview_ = false;
    if (service_.isOpen()) {
        service_.stop();
    }
    g_previewState = 0;
    service_.release();
}

int32_t CameraCapture::closePreview() {
    if (ownsPreview_ && service_.previewOpen()) {
        // Closed by us, so the service does not report it: tear down as the window would.
        service_.closePreview();
        tearDownPreview();
    }
    release();
    return S_OK;
}
