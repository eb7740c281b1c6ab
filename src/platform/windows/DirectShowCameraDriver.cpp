// The cameras DirectShow lists in its video input category, by friendly name, and the capture
// graph that streams one: camera → sample grabber (in the camera's own format) → null
// renderer. Pictures are converted to ARGB32 on the streaming thread, as on Linux.
#include <windows.h>
// after windows.h, which they need
#include <control.h>
#include <objbase.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
// after strmif.h, which it needs
#include <qedit.h>

#include <memory>

#include "base/Log.h"
#include "platform/CameraDriver.h"
#include "platform/windows/ComPtr.h"
#include "platform/windows/DirectShowFrameSource.h"
#include "platform/windows/DirectShowPicture.h"
#include "platform/windows/GrabbedSamples.h"

// In the system's DirectShow import library, not declared by its headers.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace platform {
namespace {

constexpr const char* kUnit = "DirectShow";
constexpr REFERENCE_TIME kThirtyPerSecond = 10000000 / 30;

// A media type the system allocated, with its format block.
struct MediaTypeDeleter {
    void operator()(AM_MEDIA_TYPE* type) const {
        CoTaskMemFree(type->pbFormat);
        if (type->pUnk != nullptr) {
            type->pUnk->Release();
        }
        CoTaskMemFree(type);
    }
};
using MediaType = std::unique_ptr<AM_MEDIA_TYPE, MediaTypeDeleter>;

template <typename T>
Com<T> create(REFCLSID kind, REFIID id) {
    void* object = nullptr;
    const HRESULT hr = CoCreateInstance(kind, nullptr, CLSCTX_INPROC_SERVER, id, &object);
    if (FAILED(hr)) {
        SC_LOG(kUnit, "Cannot create a graph part: hr = 0x%08lx", static_cast<unsigned long>(hr));
        return nullptr;
    }
    return Com<T>(static_cast<T*>(object));
}

template <typename T>
Com<T> query(IUnknown* from, REFIID id) {
    void* object = nullptr;
    return from != nullptr && SUCCEEDED(from->QueryInterface(id, &object))
               ? Com<T>(static_cast<T*>(object))
               : nullptr;
}

// The monikers of the video input category, in the system's order; none where it is empty.
std::vector<Com<IMoniker>> cameraMonikers() {
    std::vector<Com<IMoniker>> found;
    const auto devices = create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
    if (!devices) {
        return found;
    }
    IEnumMoniker* category = nullptr;
    // No category enumerator, with S_FALSE, means no camera: an empty list, not a failure.
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &category, 0) != S_OK ||
        category == nullptr) {
        return found;
    }
    const Com<IEnumMoniker> monikers(category);
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        found.emplace_back(moniker);
    }
    return found;
}

// The friendly name from the device moniker's property bag; none where it has none.
CameraDevice describe(IMoniker& moniker) {
    CameraDevice device;
    void* object = nullptr;
    if (FAILED(moniker.BindToStorage(nullptr, nullptr, IID_IPropertyBag, &object))) {
        return device;
    }
    const Com<IPropertyBag> bag(static_cast<IPropertyBag*>(object));
    VARIANT name;
    VariantInit(&name);
    if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) {
        device.hasName = true;
        device.friendlyName.assign(name.bstrVal, SysStringLen(name.bstrVal));
    }
    VariantClear(&name);
    return device;
}

// Keeps the camera's current format when we can read it, otherwise takes the one we prefer
// among those it offers; asks for thirty pictures a second either way. Null when the camera
// offers nothing we can read.
MediaType chooseFormat(IAMStreamConfig& config) {
    AM_MEDIA_TYPE* current = nullptr;
    MediaType chosen;
    if (SUCCEEDED(config.GetFormat(&current)) && current != nullptr) {
        chosen.reset(current);
        if (!pictureOf(*chosen)) {
            chosen.reset();
        }
    }
    int count = 0;
    int bytes = 0;
    if (!chosen && SUCCEEDED(config.GetNumberOfCapabilities(&count, &bytes)) &&
        bytes == sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
        int best = -1;
        for (int i = 0; i < count; ++i) {
            VIDEO_STREAM_CONFIG_CAPS caps;
            AM_MEDIA_TYPE* offered = nullptr;
            if (FAILED(config.GetStreamCaps(i, &offered, reinterpret_cast<BYTE*>(&caps))) ||
                offered == nullptr) {
                continue;
            }
            MediaType type(offered);
            const int rank = preferenceOf(type->subtype);
            if (pictureOf(*type) && (best < 0 || rank < best)) {
                best = rank;
                chosen = std::move(type);
            }
        }
    }
    if (!chosen) {
        return nullptr;
    }
    if (IsEqualGUID(chosen->formattype, FORMAT_VideoInfo)) {
        reinterpret_cast<VIDEOINFOHEADER*>(chosen->pbFormat)->AvgTimePerFrame = kThirtyPerSecond;
    } else {
        reinterpret_cast<VIDEOINFOHEADER2*>(chosen->pbFormat)->AvgTimePerFrame = kThirtyPerSecond;
    }
    if (FAILED(config.SetFormat(chosen.get()))) {
        SC_LOG(kUnit, "The camera keeps its own format");  // then the grabber takes what comes
    }
    return chosen;
}

bool failed(HRESULT hr, const char* what) {
    if (FAILED(hr)) {
        SC_LOG(kUnit, "%s failed: hr = 0x%08lx", what, static_cast<unsigned long>(hr));
        return true;
    }
    return false;
}

class DirectShowCameraDriver final : public CameraDriver {
public:
    explicit DirectShowCameraDriver(CameraPixelConverterFactory converters)
        : converters_(std::move(converters)) {}

    // COM is the calling thread's (the UI thread initialises it at start-up).
    std::vector<CameraDevice> devices() override {
        std::vector<CameraDevice> found;
        for (const auto& moniker : cameraMonikers()) {
            found.push_back(describe(*moniker));
        }
        return found;
    }

    std::unique_ptr<CameraFrameSource> open(int32_t position) override {
        auto monikers = cameraMonikers();
        if (position < 0 || static_cast<size_t>(position) >= monikers.size()) {
            SC_LOG(kUnit, "No camera at position %d (%u found)", position,
                   static_cast<unsigned>(monikers.size()));
            return nullptr;
        }
        void* object = nullptr;
        if (failed(monikers[static_cast<size_t>(position)]->BindToObject(nullptr, nullptr,
                                                                         IID_IBaseFilter, &object),
                   "Opening the camera")) {
            return nullptr;
        }
        const Com<IBaseFilter> camera(static_cast<IBaseFilter*>(object));
        return build(*camera);
    }

private:
    std::unique_ptr<CameraFrameSource> build(IBaseFilter& camera) {
        DirectShowGraph parts;
        parts.graph = create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        const auto builder =
            create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
        const auto grabberFilter = create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
        const auto sink = create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
        parts.grabber = query<ISampleGrabber>(grabberFilter.get(), IID_ISampleGrabber);
        parts.control = query<IMediaControl>(parts.graph.get(), IID_IMediaControl);
        parts.events = query<IMediaEvent>(parts.graph.get(), IID_IMediaEvent);
        const auto clock = query<IMediaFilter>(parts.graph.get(), IID_IMediaFilter);
        if (!parts.graph || !builder || !parts.grabber || !sink || !parts.control ||
            !parts.events || !clock ||
            failed(builder->SetFiltergraph(parts.graph.get()), "Setting up the graph") ||
            failed(parts.graph->AddFilter(&camera, L"Camera"), "Adding the camera")) {
            return nullptr;
        }
        void* object = nullptr;
        if (failed(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, &camera,
                                          IID_IAMStreamConfig, &object),
                   "Finding the capture pin")) {
            return nullptr;
        }
        const Com<IAMStreamConfig> config(static_cast<IAMStreamConfig*>(object));
        const MediaType wanted = chooseFormat(*config);
        if (!wanted) {
            SC_LOG(kUnit, "The camera offers no picture format we can read");
            return nullptr;
        }
        // Live pictures are taken as they come, not held back to the graph's clock.
        auto samples = Com<GrabbedSamples>(new GrabbedSamples);
        MediaType connected(static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE))));
        if (!connected) {
            return nullptr;
        }
        *connected = AM_MEDIA_TYPE{};
        if (failed(parts.grabber->SetMediaType(wanted.get()), "Setting the grabber's type") ||
            failed(parts.grabber->SetBufferSamples(FALSE), "Setting the grabber's buffering") ||
            failed(parts.grabber->SetOneShot(FALSE), "Setting the grabber's mode") ||
            failed(parts.graph->AddFilter(grabberFilter.get(), L"Grabber"), "Adding the grabber") ||
            failed(parts.graph->AddFilter(sink.get(), L"Sink"), "Adding the sink") ||
            failed(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, &camera,
                                         grabberFilter.get(), sink.get()),
                   "Connecting the camera") ||
            failed(clock->SetSyncSource(nullptr), "Freeing the graph from its clock") ||
            failed(parts.grabber->GetConnectedMediaType(connected.get()), "Reading the format")) {
            return nullptr;
        }
        const auto picture = pictureOf(*connected);
        auto converter = picture && converters_
                             ? converters_(picture->format, picture->size.width,
                                           picture->size.height, picture->bytesPerLine)
                             : nullptr;
        if (!converter || failed(parts.grabber->SetCallback(samples.get(), 1),
                                 "Setting the grabber's callback")) {
            SC_LOG(kUnit, "Cannot convert the camera's pictures");
            return nullptr;
        }
        SC_LOG(kUnit, "Opened the camera: %dx%d, format %d", picture->size.width,
               picture->size.height, static_cast<int>(picture->format));
        return std::make_unique<DirectShowFrameSource>(std::move(parts), std::move(samples),
                                                       std::move(converter), *picture);
    }

    CameraPixelConverterFactory converters_;
};

}  // namespace

std::unique_ptr<CameraDriver> createSystemCameraDriver(CameraPixelConverterFactory converters) {
    return std::make_unique<DirectShowCameraDriver>(std::move(converters));
}

}  // namespace platform
