#include "views/controls/Magnifier.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "ui/core/PaintManager.h"
#include "ui/render/Canvas.h"
#include "ui/render/RectMath.h"

namespace {

constexpr ui::Argb kCrosshair = 0xFFFF5722;

}  // namespace

Magnifier::Magnifier() = default;

Magnifier::~Magnifier() {
    Shutdown();
}

void Magnifier::Shutdown() {
    Stop();
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::string Magnifier::GetClass() const {
    return "Magnifier";
}

void* Magnifier::GetInterface(std::string_view name) {
    return name == "Magnifier" ? this : ui::Control::GetInterface(name);
}

std::atomic<int32_t>& Magnifier::DesktopImageSerial() {
    static std::atomic<int32_t> serial{0};
    return serial;
}

void Magnifier::Connect(ui::WindowId window, uint32_t frameMessage, CursorSource cursor,
                        Rect desktop) {
    window_ = window;
    frameMessage_ = frameMessage;
    cursor_ = std::move(cursor);
    desktop_ = desktop;
}

bool Magnifier::IsRunning() const {
    return shared_ != nullptr && !shared_->stop;
}

void Magnifier::Start() {
    if (!IsRunning() && cursor_) {
        // A stopped worker ends at once (its sleep is a wait on the stop), so this join is
        // short; it keeps one worker per magnifier.
        if (worker_.joinable()) {
            worker_.join();
        }
        shared_ = std::make_shared<Shared>();
        worker_ = std::thread(Run, shared_, window_, frameMessage_, cursor_, desktop_,
                              ui::Size{GetFixedWidth(), GetFixedHeight()});
    }
    SetAwake(true);
}

void Magnifier::Stop() {
    if (shared_ == nullptr) {
        return;
    }
    shared_->stop = true;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->wake.notify_all();
}

void Magnifier::SetAwake(bool awake) {
    if (shared_ == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->awake = awake;
    shared_->wake.notify_all();
}

void Magnifier::SetVisible(bool visible) {
    ui::Control::SetVisible(visible);
    if (visible) {
        Start();
    } else {
        SetAwake(false);  // the worker pauses before its next frame
    }
}

void Magnifier::TakeFrame() {
    if (shared_ == nullptr) {
        return;
    }
    std::string descriptor = std::move(*shared_->latest.lock());
    if (!descriptor.empty() || !GetBkImage().empty()) {
        SetBkImage(std::move(descriptor));
    }
}

void Magnifier::Run(std::shared_ptr<Shared> shared, ui::WindowId window, uint32_t frameMessage,
                    CursorSource cursor, Rect desktop, ui::Size size) {
    std::string last;
    while (!shared->stop) {
        {
            std::unique_lock<std::mutex> lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->awake || shared->stop.load(); });
        }
        if (shared->stop) {
            break;
        }
        Point at;
        if (cursor(at)) {
            std::string descriptor = Descriptor(DesktopImageSerial().load(), at, size, desktop);
            // Only a changed picture is handed over: a still pointer costs the UI nothing.
            if (descriptor != last) {
                last = descriptor;
                *shared->latest.lock() = std::move(descriptor);
                ui::PostMessage(window, frameMessage);
            }
        }
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->wake.wait_for(lock, std::chrono::milliseconds(kFrameMs),
                              [&] { return shared->stop.load(); });
    }
}

std::string Magnifier::Descriptor(int32_t serial, Point cursor, ui::Size size,
                                  const Rect& desktop) {
    const float hw = static_cast<float>(size.cx) / kZoomDivisor;
    const float hh = static_cast<float>(size.cy) / kZoomDivisor;
    // In screenshot pixels: the screenshot's (0, 0) is the desktop's top-left.
    const float x = static_cast<float>(cursor.x - desktop.left);
    const float y = static_cast<float>(cursor.y - desktop.top);
    const Rect square{static_cast<int32_t>(x - hw), static_cast<int32_t>(y - hh),
                      static_cast<int32_t>(x + hw), static_cast<int32_t>(y + hh)};
    if (square.width() <= 0 || square.height() <= 0) {
        return {};
    }
    const Rect inside = ui::intersectRect(square, {0, 0, desktop.width(), desktop.height()});
    if (ui::isEmptyRect(inside)) {
        return {};
    }
    // The part inside keeps its place in the control; the rest stays black.
    const auto scaleX = [&](int32_t v) { return (v - square.left) * size.cx / square.width(); };
    const auto scaleY = [&](int32_t v) { return (v - square.top) * size.cy / square.height(); };
    char text[160];
    std::snprintf(text, sizeof text,
                  "file='desktopImage-%d' source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", serial,
                  inside.left, inside.top, inside.right, inside.bottom, scaleX(inside.left),
                  scaleY(inside.top), scaleX(inside.right), scaleY(inside.bottom));
    return text;
}

void Magnifier::DoEvent(ui::Event& event) {
    // Only while the pointer is over it: the enter and the move of one pointer motion must
    // not send it there and straight back.
    if ((event.type != ui::EventType::MouseMove && event.type != ui::EventType::MouseEnter) ||
        !Contains(event.mouse)) {
        return;
    }
    const int32_t w = GetFixedWidth();
    const int32_t h = GetFixedHeight();
    if (rect_.left > 0 && rect_.top > 0) {
        SetPos({0, 0, w, h});
    } else {
        const int32_t sw = desktop_.width();
        const int32_t sh = desktop_.height();
        SetPos({sw - w, sh - h, sw, sh});
    }
}

void Magnifier::PaintBorder(ui::Canvas& canvas) {
    const int32_t b = GetBorderSize();
    const int32_t w = GetFixedWidth();
    const int32_t h = GetFixedHeight();
    const int32_t t = b / 2 / 2;
    canvas.fillRect({rect_.left + w / 2 - t, rect_.top, rect_.left + w / 2 + t, rect_.bottom},
                    kCrosshair);
    canvas.fillRect({rect_.left, rect_.top + h / 2 - t, rect_.right, rect_.top + h / 2 + t},
                    kCrosshair);
    ui::Control::PaintBorder(canvas);
}
