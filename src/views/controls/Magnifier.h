#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/Geometry.h"
#include "base/Guarded.h"
#include "ui/core/Control.h"
#include "ui/window/WindowBase.h"

// A 2x view of the square around the pointer, cut from the overlay's frozen screenshot (the
// window's image "desktopImage-<serial>"), with a crosshair through its centre. A worker
// thread follows the pointer about 30 times a second; it never touches the control: it leaves
// each new descriptor whole in a guarded slot and posts a message to the window, whose handler
// calls TakeFrame on the UI thread. It moves out of the pointer's way between the top-left
// and bottom-right corners of the screen.
class Magnifier : public ui::Control {
public:
    using CursorSource = std::function<bool(Point&)>;

    Magnifier();
    ~Magnifier() override;  // stops the worker and waits for its last frame

    std::string GetClass() const override;  // "Magnifier"
    void* GetInterface(std::string_view name) override;
    void SetVisible(bool visible = true) override;
    void DoEvent(ui::Event& event) override;
    void PaintBorder(ui::Canvas& canvas) override;

    // Where frames go and where the pointer is read (on the worker thread, screen
    // coordinates); desktop is the screenshot's place on the screen.
    void Connect(ui::WindowId window, uint32_t frameMessage, CursorSource cursor, Rect desktop);
    // Runs the worker (starting one when none runs) and wakes it.
    void Start();
    // Ends the worker after its current frame without waiting for it.
    void Stop();
    // Ends the worker and waits for it: before what its pointer source uses goes away.
    void Shutdown();
    bool IsRunning() const;
    // UI thread, on the frame message: shows the latest descriptor.
    void TakeFrame();

    // The serial of the screenshot the overlay shows now; the worker names the image by it.
    // Written by the overlay (UI thread), read by the worker.
    static std::atomic<int32_t>& DesktopImageSerial();

    // The descriptor for the pointer at `cursor` (screen coordinates) on a screenshot of
    // `desktop`, drawn into a control of `size`: the square of size / kZoomDivisor * 2 around
    // the pointer, stretched over the control. Where the square leaves the screenshot only its
    // part inside is drawn, at its place, so the control's black background shows there;
    // empty when nothing of it is inside.
    static std::string Descriptor(int32_t serial, Point cursor, ui::Size size, const Rect& desktop);

    static constexpr float kZoomDivisor = 4.0f;
    static constexpr int32_t kFrameMs = 33;

private:
    // What the UI thread and one worker share; the worker keeps it alive while it runs.
    struct Shared {
        std::atomic<bool> stop{false};  // UI thread writes, the worker reads
        // The wake event: the UI thread sets and resets it, the worker waits on it.
        std::mutex mutex;
        std::condition_variable wake;
        bool awake = false;  // under mutex
        // The newest descriptor: the worker writes it, the UI thread takes it.
        Guarded<std::string> latest;
    };

    static void Run(std::shared_ptr<Shared> shared, ui::WindowId window, uint32_t frameMessage,
                    CursorSource cursor, Rect desktop, ui::Size size);
    void SetAwake(bool awake);

    ui::WindowId window_ = 0;
    uint32_t frameMessage_ = 0;
    CursorSource cursor_;
    Rect desktop_;
    std::shared_ptr<Shared> shared_;  // of the current worker; UI thread only
    std::thread worker_;              // UI thread only; joined at the next start or the end
};
