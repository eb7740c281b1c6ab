#include "engine/ScreenCapturer.h"

#include <climits>
#include <utility>

#include "engine/CursorOverlay.h"

ScreenCapturer::ScreenCapturer(CursorState& cursor, RecordingClock& clock)
    : cursor_(cursor), clock_(clock) {}

ScreenCapturer::~ScreenCapturer() = default;

void ScreenCapturer::useScreen(std::unique_ptr<platform::Screen> screen) {
    screen_ = std::move(screen);
}

void ScreenCapturer::init(const Rect& area) {
    area_ = area;
    imageSize_ = 0;
    target_.reset();
    const int64_t width = area.width();
    const int64_t height = area.height();
    if (width <= 0 || height <= 0 || width * height * 4 > INT32_MAX) {
        return;  // nothing a grab could return; capture reports failure
    }
    if (!screen_) {
        screen_ = platform::Screen::open();
        if (!screen_) {
            return;
        }
    }
    screen_->prepare(area.width(), area.height());
    target_.reset(SDL_CreateRGBSurfaceWithFormatFrom(nullptr, area.width(), area.height(), 32,
                                                     area.width() * 4, SDL_PIXELFORMAT_RGB888));
    if (!target_) {
        return;
    }
    imageSize_ = static_cast<int32_t>(width * height * 4);
}

int32_t ScreenCapturer::capture(uint8_t* buffer, uint32_t& clockTime) {
    if (imageSize_ == 0 || buffer == nullptr || !screen_->grab(area_, buffer)) {
        return 0;
    }
    target_->pixels = buffer;
    CursorOverlay::draw(target_.get(), area_, cursor_);
    target_->pixels = nullptr;  // the buffer is the caller's again
    clockTime = clock_.elapsedMs();
    return imageSize_;
}

uint8_t* ScreenCapturer::frameBuffer() {
    if (imageSize_ == 0) {
        return nullptr;
    }
    return screen_->directBuffer(area_.width(), area_.height());
}

void ScreenCapturer::release() {
    target_.reset();
    screen_.reset();
    imageSize_ = 0;
}

SurfacePtr ScreenCapturer::desktopSnapshot(platform::Screen& screen) {
    const Rect desktop = screen.desktopRect();
    SurfacePtr image(SDL_CreateRGBSurfaceWithFormat(0, desktop.width(), desktop.height(), 32,
                                                    SDL_PIXELFORMAT_RGB888));
    if (!image || image->pitch != desktop.width() * 4 ||
        !screen.grab(desktop, static_cast<uint8_t*>(image->pixels))) {
        return nullptr;
    }
    return image;
}

SurfacePtr ScreenCapturer::desktopMask(platform::Screen& screen) {
    const Rect desktop = screen.desktopRect();
    SurfacePtr mask(SDL_CreateRGBSurfaceWithFormat(0, desktop.width(), desktop.height(), 32,
                                                   SDL_PIXELFORMAT_ARGB8888));
    if (!mask) {
        return nullptr;
    }
    SDL_FillRect(mask.get(), nullptr, kMaskColour);
    SDL_SetSurfaceBlendMode(mask.get(), SDL_BLENDMODE_BLEND);
    return mask;
}

platform::NativeWindow ScreenCapturer::windowUnderCursor(platform::Screen& screen, Rect& rect,
                                                         platform::NativeWindow skip) {
    Point cursor;
    platform::WindowHit hit;
    if (!screen.cursorPosition(cursor) || !screen.windowAt(cursor, skip, hit)) {
        return 0;
    }
    // Take the frame off: half the size difference on each side, truncated.
    const int32_t dx = (hit.windowRect.width() - hit.clientWidth) / 2;
    const int32_t dy = (hit.windowRect.height() - hit.clientHeight) / 2;
    rect = Rect{hit.windowRect.left + dx, hit.windowRect.top + dy, hit.windowRect.right - dx,
                hit.windowRect.bottom - dy};
    return hit.window;
}
