#include "platform/windows/DirectShowFrameSource.h"

#include <evcode.h>

#include <algorithm>
#include <chrono>

#include "base/Log.h"
#include "platform/windows/ThreadComponents.h"

namespace platform {
namespace {

constexpr const char* kUnit = "DirectShow";
constexpr std::chrono::milliseconds kWait{200};

// Swaps rows end for end: RGB pictures stored bottom-up become top-down.
void flipRows(std::vector<uint8_t>& pixels, size_t rowBytes, size_t rows) {
    for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(top * rowBytes),
                         pixels.begin() + static_cast<ptrdiff_t>((top + 1) * rowBytes),
                         pixels.begin() + static_cast<ptrdiff_t>(bottom * rowBytes));
    }
}

}  // namespace

DirectShowFrameSource::DirectShowFrameSource(DirectShowGraph graph, Com<GrabbedSamples> samples,
                                             std::unique_ptr<CameraPixelConverter> converter,
                                             const DirectShowPicture& picture)
    : graph_(std::move(graph)),
      samples_(std::move(samples)),
      converter_(std::move(converter)),
      picture_(picture),
      pixels_(static_cast<size_t>(picture.size.width) * static_cast<size_t>(picture.size.height) *
              4) {}

DirectShowFrameSource::~DirectShowFrameSource() {
    stop();
    // The grabber lets go of our samples before the graph goes.
    if (graph_.grabber) {
        graph_.grabber->SetCallback(nullptr, 1);
    }
}

CameraSize DirectShowFrameSource::size() const {
    return picture_.size;
}

int32_t DirectShowFrameSource::start() {
    samples_->reset();
    if (!graph_.control) {
        return S_OK;
    }
    // Run may finish later (S_FALSE): pictures simply start arriving then.
    const HRESULT hr = graph_.control->Run();
    if (FAILED(hr)) {
        SC_LOG(kUnit, "The capture graph does not run: hr = 0x%08lx",
               static_cast<unsigned long>(hr));
        graph_.control->Stop();
        return E_FAIL;
    }
    return S_OK;
}

void DirectShowFrameSource::stop() {
    if (graph_.control) {
        graph_.control->Stop();
    }
}

CameraFrameSource::Wait DirectShowFrameSource::waitFrame(
    const std::function<void(const CameraFrame&)>& deliver) {
    GrabbedSamples::Taken taken;
    if (!samples_->take(kWait, &bytes_, &taken)) {
        return deviceFailed() ? Wait::Failed : Wait::Nothing;
    }
    if (converter_->convert(bytes_.data(), bytes_.size(), pixels_.data()) != 0) {
        return Wait::Nothing;  // a damaged picture; the next one may be whole
    }
    const auto rowBytes = static_cast<size_t>(picture_.size.width) * 4;
    if (picture_.bottomUp) {
        flipRows(pixels_, rowBytes, static_cast<size_t>(picture_.size.height));
    }
    CameraFrame frame;
    frame.pixels = pixels_.data();
    frame.width = picture_.size.width;
    frame.height = picture_.size.height;
    frame.stride = static_cast<int32_t>(rowBytes);
    frame.sequence = taken.sequence;
    frame.timestampUs = taken.timestampUs;
    deliver(frame);
    return Wait::Frame;
}

void DirectShowFrameSource::interrupt() {
    samples_->interrupt();
}

// A camera pulled out or failing is told through the graph's events.
bool DirectShowFrameSource::deviceFailed() {
    if (!graph_.events) {
        return false;
    }
    ensureThreadComponents();
    bool failed = false;
    long code = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    while (graph_.events->GetEvent(&code, &first, &second, 0) == S_OK) {
        if (code == EC_ERRORABORT || code == EC_ERRORABORTEX || code == EC_STREAM_ERROR_STOPPED ||
            (code == EC_DEVICE_LOST && second == 0)) {
            SC_LOG(kUnit, "The camera failed: event 0x%lx", code);
            failed = true;
        }
        graph_.events->FreeEventParams(code, first, second);
    }
    return failed;
}

}  // namespace platform
