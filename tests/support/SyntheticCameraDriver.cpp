#include "SyntheticCameraDriver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "base/HResult.h"
#include "camera/StreamingCameraService.h"

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

void putPixel(uint8_t* p, uint32_t argb) {
    p[0] = static_cast<uint8_t>(argb);
    p[1] = static_cast<uint8_t>(argb >> 8);
    p[2] = static_cast<uint8_t>(argb >> 16);
    p[3] = static_cast<uint8_t>(argb >> 24);
}

void fillRow(uint8_t* row, int32_t from, int32_t to, uint32_t argb) {
    for (int32_t x = from; x < to; ++x) {
        putPixel(row + x * 4, argb);
    }
}

class SyntheticCameraSource final : public CameraFrameSource {
public:
    using D = SyntheticCameraDriver;

    SyntheticCameraSource() : pixels_(static_cast<size_t>(D::kWidth) * D::kHeight * 4) {
        // Everything but the square's band stays as drawn here.
        fillRow(row(0), 0, D::kWidth, D::kFirstRow);
        for (int32_t y = 1; y < D::kHeight - 1; ++y) {
            fillRow(row(y), 0, D::kWidth, D::kBackground);
        }
        fillRow(row(D::kHeight - 1), 0, D::kWidth, D::kLastRow);
    }

    CameraSize size() const override { return {D::kWidth, D::kHeight}; }

    int32_t start() override {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = false;
        origin_ = SteadyClock::now();
        slot_ = 0;
        return S_OK;
    }

    void stop() override {}

    Wait waitFrame(const std::function<void(const CameraFrame&)>& deliver) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (changed_.wait_until(lock, slotTime(slot_), [this] { return interrupted_; })) {
            interrupted_ = false;
            return Wait::Nothing;
        }
        // A consumer slower than the camera gets the newest slot, never a burst of old ones.
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - origin_)
                .count();
        const int64_t current = elapsed * D::kFramesPerSecond / 1000000;
        if (current > slot_) {
            slot_ = current;
        }
        const auto stamp = slotTime(slot_);
        ++slot_;
        const uint32_t sequence = sequence_++;
        lock.unlock();

        drawSquareBand(sequence);
        CameraFrame frame;
        frame.pixels = pixels_.data();
        frame.width = D::kWidth;
        frame.height = D::kHeight;
        frame.stride = D::kWidth * 4;
        frame.sequence = sequence;
        frame.timestampUs =
            std::chrono::duration_cast<std::chrono::microseconds>(stamp.time_since_epoch()).count();
        deliver(frame);
        return Wait::Frame;
    }

    void interrupt() override {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }

private:
    uint8_t* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * D::kWidth * 4; }

    SteadyClock::time_point slotTime(int64_t slot) const {
        return origin_ + std::chrono::microseconds(slot * 1000000 / D::kFramesPerSecond);
    }

    void drawSquareBand(uint32_t sequence) {
        const auto left = static_cast<int32_t>((sequence * 8u) % (D::kWidth - D::kSquareSize));
        for (int32_t y = D::kSquareTop; y < D::kSquareTop + D::kSquareSize; ++y) {
            fillRow(row(y), 0, D::kWidth, D::kBackground);
            fillRow(row(y), left, left + D::kSquareSize, D::kSquare);
        }
    }

    // Written by start() (owner's thread, while the streaming thread is outside waitFrame),
    // waitFrame() (streaming thread) and interrupt() (any thread), all under mutex_.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool interrupted_ = false;
    SteadyClock::time_point origin_;
    int64_t slot_ = 0;
    uint32_t sequence_ = 0;

    std::vector<uint8_t> pixels_;  // streaming thread, after construction
};

}  // namespace

std::vector<CameraDevice> SyntheticCameraDriver::devices() {
    CameraDevice device;
    device.hasName = true;
    device.friendlyName = L"Synthetic test camera";
    return {device};
}

std::unique_ptr<CameraFrameSource> SyntheticCameraDriver::open(int32_t position) {
    if (position != 0) {
        return nullptr;
    }
    return std::make_unique<SyntheticCameraSource>();
}

std::unique_ptr<CameraService> createSyntheticCameraService() {
    return std::make_unique<StreamingCameraService>(std::make_unique<SyntheticCameraDriver>());
}

}  // namespace platform
