#pragma once

#include <cstdint>
#include <memory>

#include "flux/IActionListener.h"

class AppWin;
class CaptureAreaWin;
class Detection;

// The view side: owns the long-lived windows, creates them hidden, and turns the Store's
// notifications into window updates. It never changes application state. UI thread only.
class ViewWrapper : public IActionListener {
public:
    // Registers for its notification ids.
    ViewWrapper();
    ~ViewWrapper();

    void onAction(int32_t actionId, void* payload) override;

    // Creates the long-lived windows, hidden, and hands each the others' ids. Returns true.
    bool InitWindows(void* instance);

    AppWin* Toolbar() const { return toolbar_.get(); }
    Detection* Overlay() const { return detection_.get(); }
    CaptureAreaWin* Frame() const { return captureArea_.get(); }

private:
    std::unique_ptr<AppWin> toolbar_;
    std::unique_ptr<Detection> detection_;
    std::unique_ptr<CaptureAreaWin> captureArea_;
};
