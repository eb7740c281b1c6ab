// Sound through the Windows audio session API: the interface is shaped after it, so each call
// maps onto one of the device's, its client's or its capture/render service's.
#include <windows.h>
// after windows.h, which they need
#include <audioclient.h>
#include <mmdeviceapi.h>
#include <objbase.h>

#include <memory>
#include <thread>
#include <utility>

#include "base/Log.h"
#include "platform/AudioEndpoint.h"
#include "platform/windows/ComPtr.h"
#include "platform/windows/ThreadComponents.h"

namespace platform {
namespace {

constexpr const char* kUnit = "WASAPI";

struct TaskMemFreer {
    void operator()(void* p) const { CoTaskMemFree(p); }
};

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT: the format tag in the first field, then the
// fixed tail every such subtype shares.
constexpr GUID subtype(uint32_t tag) {
    return GUID{tag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

bool underWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

WaveFormat fromSystem(const WAVEFORMATEX& w) {
    WaveFormat f;
    f.formatTag = w.wFormatTag;
    f.channels = w.nChannels;
    f.samplesPerSec = w.nSamplesPerSec;
    f.avgBytesPerSec = w.nAvgBytesPerSec;
    f.blockAlign = w.nBlockAlign;
    f.bitsPerSample = w.wBitsPerSample;
    if (w.wFormatTag == WAVE_FORMAT_EXTENSIBLE && w.cbSize >= 22) {
        const auto& x = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(w);
        f.validBitsPerSample = x.Samples.wValidBitsPerSample;
        f.channelMask = x.dwChannelMask;
        f.subFormat = IsEqualGUID(x.SubFormat, subtype(WAVE_FORMAT_IEEE_FLOAT))
                          ? WaveFormat::SubFormat::IeeeFloat
                      : IsEqualGUID(x.SubFormat, subtype(WAVE_FORMAT_PCM))
                          ? WaveFormat::SubFormat::Pcm
                          : WaveFormat::SubFormat::None;
    }
    return f;
}

WAVEFORMATEXTENSIBLE toSystem(const WaveFormat& f) {
    WAVEFORMATEXTENSIBLE x{};
    x.Format.wFormatTag = f.formatTag;
    x.Format.nChannels = f.channels;
    x.Format.nSamplesPerSec = f.samplesPerSec;
    x.Format.nAvgBytesPerSec = f.avgBytesPerSec;
    x.Format.nBlockAlign = f.blockAlign;
    x.Format.wBitsPerSample = f.bitsPerSample;
    if (f.formatTag == WaveFormat::kExtensible) {
        x.Format.cbSize = 22;
        x.Samples.wValidBitsPerSample = f.validBitsPerSample;
        x.dwChannelMask = f.channelMask;
        x.SubFormat =
            subtype(f.subFormat == WaveFormat::SubFormat::IeeeFloat ? WAVE_FORMAT_IEEE_FLOAT
                                                                    : WAVE_FORMAT_PCM);
    }
    return x;
}

Com<IMMDevice> defaultDevice(IMMDeviceEnumerator& enumerator, EDataFlow flow, HRESULT* hr) {
    IMMDevice* device = nullptr;
    *hr = enumerator.GetDefaultAudioEndpoint(flow, eConsole, &device);
    return Com<IMMDevice>(SUCCEEDED(*hr) ? device : nullptr);
}

class WasapiEndpoint final : public AudioEndpoint {
public:
    WasapiEndpoint(Com<IMMDeviceEnumerator> enumerator, Com<IMMDevice> device, DataFlow flow)
        : enumerator_(std::move(enumerator)), device_(std::move(device)), flow_(flow) {}

    ~WasapiEndpoint() override { stopSignals(); }

    int32_t activate() override {
        ensureThreadComponents();
        return activateClient(*device_);
    }

    int32_t getMixFormat(WaveFormat* format) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        if (format == nullptr) {
            return audiohr::kPointer;
        }
        WAVEFORMATEX* mix = nullptr;
        const HRESULT hr = client_->GetMixFormat(&mix);
        if (FAILED(hr)) {
            return hr;
        }
        const std::unique_ptr<WAVEFORMATEX, TaskMemFreer> owned(mix);
        *format = fromSystem(*mix);
        return audiohr::kOk;
    }

    int32_t initialize(const WaveFormat& format, uint32_t streamFlags) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        format_ = format;
        flags_ = streamFlags;
        const HRESULT hr = initializeClient();
        if (FAILED(hr) && loopbackRefused(hr)) {
            return useCaptureDeviceForLoopback();
        }
        return hr;
    }

    int32_t getService(Service service) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        HRESULT hr = queryService(service);
        if (FAILED(hr) && service == Service::Capture && loopbackRefused(hr)) {
            hr = useCaptureDeviceForLoopback();
            if (SUCCEEDED(hr)) {
                hr = queryService(service);
            }
        }
        return hr;
    }

    int32_t start() override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        if (signal_ && !signalThread_.joinable()) {
            signalThread_ = std::thread([this] { runSignals(); });
        }
        return client_->Start();
    }

    int32_t stop() override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        const HRESULT hr = client_->Stop();
        stopSignals();
        return hr;
    }

    int32_t getNextPacketSize(uint32_t* frames) override {
        if (!capture_) {
            return audiohr::kNotInitialized;
        }
        UINT32 n = 0;
        const HRESULT hr = capture_->GetNextPacketSize(&n);
        *frames = n;
        return hr;
    }

    int32_t getBuffer(const uint8_t** data, uint32_t* frames, uint32_t* flags) override {
        if (!capture_) {
            return audiohr::kNotInitialized;
        }
        BYTE* bytes = nullptr;
        UINT32 n = 0;
        DWORD f = 0;
        const HRESULT hr = capture_->GetBuffer(&bytes, &n, &f, nullptr, nullptr);
        *data = bytes;
        *frames = n;
        *flags = f;
        return hr;
    }

    int32_t releaseBuffer(uint32_t frames) override {
        return capture_ ? capture_->ReleaseBuffer(frames) : audiohr::kNotInitialized;
    }

    int32_t getBufferSize(uint32_t* frames) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        UINT32 n = 0;
        const HRESULT hr = client_->GetBufferSize(&n);
        *frames = n;
        return hr;
    }

    int32_t getCurrentPadding(uint32_t* frames) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        UINT32 n = 0;
        const HRESULT hr = client_->GetCurrentPadding(&n);
        *frames = n;
        return hr;
    }

    int32_t getRenderBuffer(uint32_t frames, uint8_t** data) override {
        if (!render_) {
            return audiohr::kNotInitialized;
        }
        BYTE* bytes = nullptr;
        const HRESULT hr = render_->GetBuffer(frames, &bytes);
        *data = bytes;
        return hr;
    }

    int32_t releaseRenderBuffer(uint32_t frames, uint32_t flags) override {
        return render_ ? render_->ReleaseBuffer(frames, flags) : audiohr::kNotInitialized;
    }

    // The system signals an event of ours; a thread of the endpoint waits on it and calls.
    int32_t setEventHandle(std::function<void()> signal) override {
        if (!client_) {
            return audiohr::kNotInitialized;
        }
        if (!bufferEvent_) {
            bufferEvent_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
            stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (!bufferEvent_ || !stopEvent_) {
                return HRESULT_FROM_WIN32(GetLastError());
            }
        }
        const HRESULT hr = client_->SetEventHandle(bufferEvent_.get());
        if (SUCCEEDED(hr)) {
            signal_ = std::move(signal);
        }
        return hr;
    }

private:
    int32_t activateClient(IMMDevice& device) {
        void* client = nullptr;
        const HRESULT hr = device.Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, &client);
        if (SUCCEEDED(hr)) {
            client_.reset(static_cast<IAudioClient*>(client));
        }
        return hr;
    }

    HRESULT initializeClient() {
        const WAVEFORMATEXTENSIBLE format = toSystem(format_);
        // Capture holds a second, so a late reader loses nothing; an event-driven render
        // stream holds a fifth, refilled at each of the system's periods, so that a busy
        // machine does not starve it.
        const REFERENCE_TIME duration = (flags_ & kStreamFlagsEventCallback) != 0
                                            ? REFERENCE_TIME{2000000}
                                            : REFERENCE_TIME{10000000};
        return client_->Initialize(AUDCLNT_SHAREMODE_SHARED, flags_, duration, 0, &format.Format,
                                   nullptr);
    }

    HRESULT queryService(Service service) {
        void* object = nullptr;
        if (service == Service::Capture) {
            const HRESULT hr = client_->GetService(__uuidof(IAudioCaptureClient), &object);
            if (SUCCEEDED(hr)) {
                capture_.reset(static_cast<IAudioCaptureClient*>(object));
            }
            return hr;
        }
        const HRESULT hr = client_->GetService(__uuidof(IAudioRenderClient), &object);
        if (SUCCEEDED(hr)) {
            render_.reset(static_cast<IAudioRenderClient*>(object));
        }
        return hr;
    }

    bool loopbackRefused(HRESULT hr) const {
        if (flow_ != DataFlow::Render || (flags_ & kStreamFlagsLoopback) == 0) {
            return false;
        }
        SC_LOG(kUnit, "Loopback capture refused: hr = 0x%08lx", static_cast<unsigned long>(hr));
        return underWine();
    }

    // Wine records nothing a render device plays. Only there, the default capture device
    // stands in, so that the rest of the recorder can be run and tested.
    HRESULT useCaptureDeviceForLoopback() {
        SC_LOG(kUnit, "Under Wine: the default capture device records in the loopback's place");
        HRESULT hr = S_OK;
        Com<IMMDevice> capture = defaultDevice(*enumerator_, eCapture, &hr);
        if (!capture) {
            return hr;
        }
        client_.reset();
        hr = activateClient(*capture);
        if (FAILED(hr)) {
            return hr;
        }
        device_ = std::move(capture);
        flags_ &= ~kStreamFlagsLoopback;
        return initializeClient();
    }

    void runSignals() {
        const HANDLE events[] = {stopEvent_.get(), bufferEvent_.get()};
        ensureThreadComponents();
        while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            signal_();
        }
    }

    void stopSignals() {
        if (signalThread_.joinable()) {
            SetEvent(stopEvent_.get());
            signalThread_.join();
            ResetEvent(stopEvent_.get());
        }
    }

    // The endpoint is used from one thread at a time; the signal thread reads signal_ and the
    // events only, which are set before it starts and kept until it is joined.
    Com<IMMDeviceEnumerator> enumerator_;
    Com<IMMDevice> device_;
    DataFlow flow_;
    WaveFormat format_;
    uint32_t flags_ = 0;
    // The client signals bufferEvent_ until it goes, so the events are declared before it and
    // closed after it; the client and its services go before the device.
    Handle bufferEvent_;
    Handle stopEvent_;
    Com<IAudioClient> client_;
    Com<IAudioCaptureClient> capture_;
    Com<IAudioRenderClient> render_;
    std::function<void()> signal_;
    std::thread signalThread_;
};

class WasapiEnumerator final : public AudioEndpointEnumerator {
public:
    explicit WasapiEnumerator(Com<IMMDeviceEnumerator> enumerator)
        : enumerator_(std::move(enumerator)) {}

    int32_t getDefaultAudioEndpoint(DataFlow flow,
                                    std::unique_ptr<AudioEndpoint>* endpoint) override {
        if (endpoint == nullptr) {
            return audiohr::kPointer;
        }
        ensureThreadComponents();
        HRESULT hr = S_OK;
        Com<IMMDevice> device =
            defaultDevice(*enumerator_, flow == DataFlow::Render ? eRender : eCapture, &hr);
        if (!device) {
            return hr;
        }
        enumerator_->AddRef();
        endpoint->reset(new WasapiEndpoint(Com<IMMDeviceEnumerator>(enumerator_.get()),
                                           std::move(device), flow));
        return audiohr::kOk;
    }

private:
    Com<IMMDeviceEnumerator> enumerator_;
};

class WasapiFactory final : public AudioEndpointFactory {
public:
    int32_t createEnumerator(std::unique_ptr<AudioEndpointEnumerator>* enumerator) override {
        if (enumerator == nullptr) {
            return audiohr::kPointer;
        }
        ensureThreadComponents();
        void* object = nullptr;
        const HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                            __uuidof(IMMDeviceEnumerator), &object);
        if (FAILED(hr)) {
            SC_LOG(kUnit, "No device enumerator: hr = 0x%08lx", static_cast<unsigned long>(hr));
            return hr;
        }
        enumerator->reset(new WasapiEnumerator(
            Com<IMMDeviceEnumerator>(static_cast<IMMDeviceEnumerator*>(object))));
        return audiohr::kOk;
    }
};

}  // namespace

AudioEndpointFactory& AudioEndpointFactory::system() {
    static WasapiFactory factory;
    return factory;
}

}  // namespace platform
