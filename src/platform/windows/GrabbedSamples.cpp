#include "platform/windows/GrabbedSamples.h"

namespace platform {

HRESULT STDMETHODCALLTYPE GrabbedSamples::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ISampleGrabberCB)) {
        *object = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE GrabbedSamples::AddRef() {
    return ++references_;
}

ULONG STDMETHODCALLTYPE GrabbedSamples::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE GrabbedSamples::SampleCB(double, IMediaSample*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GrabbedSamples::BufferCB(double, BYTE* buffer, long length) {
    const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (buffer != nullptr && length > 0) {
            bytes_.assign(buffer, buffer + length);
            fresh_ = true;
            newest_ = {handedOver_, now};
        }
        ++handedOver_;
    }
    arrived_.notify_one();
    return S_OK;
}

bool GrabbedSamples::take(std::chrono::milliseconds wait, std::vector<uint8_t>* bytes,
                          Taken* taken) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, wait, [this] { return fresh_ || interrupted_; });
    if (interrupted_ || !fresh_) {
        return false;
    }
    bytes->swap(bytes_);
    fresh_ = false;
    *taken = newest_;
    return true;
}

void GrabbedSamples::interrupt() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    arrived_.notify_all();
}

void GrabbedSamples::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = false;
    fresh_ = false;
}

}  // namespace platform
