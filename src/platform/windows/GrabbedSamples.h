#pragma once

#include <windows.h>
// after windows.h, which they need
#include <strmif.h>
// after strmif.h, which it needs
#include <qedit.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

// The newest picture a camera's sample grabber handed over, kept until the streaming thread
// takes it. A picture not taken in time is replaced by the next one, so a slow reader sees a
// gap in the sequence numbers rather than a growing delay.
class GrabbedSamples final : public ISampleGrabberCB {
public:
    // One reference, the caller's.
    GrabbedSamples() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // The grabber's streaming thread. Only the buffer variant is asked for.
    HRESULT STDMETHODCALLTYPE SampleCB(double time, IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double time, BYTE* buffer, long length) override;

    struct Taken {
        uint32_t sequence = 0;    // counts the pictures handed over since open, from 0
        int64_t timestampUs = 0;  // when it arrived, on std::chrono::steady_clock
    };

    // Waits up to `wait` for a picture and swaps it into `bytes`. False on a timeout or an
    // interruption. One reader (the camera's streaming thread).
    bool take(std::chrono::milliseconds wait, std::vector<uint8_t>* bytes, Taken* taken);
    // Makes the current or the next take() return false at once; any thread.
    void interrupt();
    // Forgets the interruption and any picture not taken yet; the owner's thread, while
    // nobody is in take().
    void reset();

private:
    ~GrabbedSamples() = default;

    std::atomic<ULONG> references_{1};

    // Written by the grabber's thread (BufferCB) and the reader (take, reset); interrupt()
    // writes `interrupted` from any thread. All under `mutex_`.
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<uint8_t> bytes_;
    bool fresh_ = false;
    bool interrupted_ = false;
    uint32_t handedOver_ = 0;  // pictures that arrived since open
    Taken newest_;
};

}  // namespace platform
