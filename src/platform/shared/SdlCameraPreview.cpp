#include <SDL2/SDL.h>

#include <utility>

#include "base/Log.h"
#include "platform/CameraPreview.h"
#include "platform/Strings.h"
#include "platform/SdlEvents.h"

namespace platform {
namespace {

constexpr const char* kUnit = "CameraPreview";

struct WindowDeleter {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};
struct RendererDeleter {
    void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct TextureDeleter {
    void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};

// Brings SDL's video subsystem up once and keeps it up for the rest of the process (UI thread).
// Quitting it while another thread pushes events (the loop's timer thread, a camera's frames
// posted to the loop) would free the lock such a push takes, under the pushing thread.
bool videoReady() {
    static bool ready = false;  // UI thread only
    if (!ready) {
        ready = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    }
    return ready;
}

class SdlCameraPreview final : public CameraPreview {
  public:
    explicit SdlCameraPreview(CameraPreviewEvents events) : events_(std::move(events)) {}

    ~SdlCameraPreview() override {
        if (handlerId_ != 0) {
            sdlEventSink().removeHandler(handlerId_);
        }
        texture_.reset();
        renderer_.reset();
        window_.reset();
    }

    bool open(const std::wstring& title, CameraSize size) {
        if (!videoReady()) {
            SC_LOG(kUnit, "No video: %s", SDL_GetError());
            return false;
        }
        window_.reset(SDL_CreateWindow(WideToAnsi(title).c_str(), SDL_WINDOWPOS_UNDEFINED,
                                       SDL_WINDOWPOS_UNDEFINED, size.width, size.height,
                                       SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE));
        if (!window_) {
            SC_LOG(kUnit, "Create window failed: %s", SDL_GetError());
            return false;
        }
        renderer_.reset(SDL_CreateRenderer(window_.get(), -1, 0));
        if (!renderer_) {
            renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
        }
        if (!renderer_) {
            SC_LOG(kUnit, "Create renderer failed: %s", SDL_GetError());
            return false;
        }
        windowId_ = SDL_GetWindowID(window_.get());
        handlerId_ = sdlEventSink().addHandler([this](const SDL_Event& e) { onEvent(e); });
        render();
        return true;
    }

    void show(const CameraFrame& frame) override {
        if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) {
            return;
        }
        if (!texture_ || textureSize_ != CameraSize{frame.width, frame.height}) {
            texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_BGRA32,
                                             SDL_TEXTUREACCESS_STREAMING, frame.width,
                                             frame.height));
            textureSize_ = {frame.width, frame.height};
            if (!texture_) {
                SC_LOG(kUnit, "Create texture failed: %s", SDL_GetError());
                return;
            }
        }
        if (SDL_UpdateTexture(texture_.get(), nullptr, frame.pixels, frame.stride) != 0) {
            return;
        }
        render();
    }

  private:
    void render() {
        SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
        SDL_RenderClear(renderer_.get());
        if (texture_) {
            SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, nullptr);
        }
        SDL_RenderPresent(renderer_.get());
    }

    // A handler may destroy this window (the owner releases the preview when told it closed),
    // so each report is the last thing done here.
    void onEvent(const SDL_Event& e) {
        if (e.type != SDL_WINDOWEVENT || e.window.windowID != windowId_) {
            return;
        }
        std::function<void()> report;
        switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                SDL_HideWindow(window_.get());
                report = events_.closed;
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                report = events_.minimized;
                break;
            case SDL_WINDOWEVENT_RESTORED:
                report = events_.restored;
                break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                render();
                break;
            default:
                break;
        }
        if (report) {
            report();
        }
    }

    const CameraPreviewEvents events_;
    std::unique_ptr<SDL_Window, WindowDeleter> window_;
    std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
    std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
    CameraSize textureSize_;
    Uint32 windowId_ = 0;
    int handlerId_ = 0;
};

}  // namespace

std::unique_ptr<CameraPreview> CameraPreview::create(const std::wstring& title, CameraSize size,
                                                     uint16_t /*iconId*/,
                                                     CameraPreviewEvents events) {
    // The icon is drawn from the resource table, which has no pictures yet; until it has, the
    // window keeps the desktop's default icon.
    if (size.width <= 0 || size.height <= 0) {
        return nullptr;
    }
    auto preview = std::make_unique<SdlCameraPreview>(std::move(events));
    if (!preview->open(title, size)) {
        return nullptr;
    }
    return preview;
}

}  // namespace platform
