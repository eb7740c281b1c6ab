#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/CameraService.h"

namespace platform {

// The camera's preview window: a top-level window on a black background that shows the frame
// it was last given, stretched to its client area. UI thread only; events reach it through
// the UI thread's message loop. Closing it by the window manager hides it and reports
// `closed`; the owner then destroys it.
class CameraPreview {
  public:
    // Opens the window, visible. Null when no window can be made.
    static std::unique_ptr<CameraPreview> create(const std::wstring& title, CameraSize size,
                                                 uint16_t iconId, CameraPreviewEvents events);

    virtual ~CameraPreview() = default;  // closes the window without reporting

    virtual void show(const CameraFrame& frame) = 0;
};

}  // namespace platform
