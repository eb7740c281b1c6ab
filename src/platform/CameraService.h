#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One position in the camera enumeration. A device is identified by its position alone; one
// whose name cannot be read is still a position, so positions and listed names may differ.
struct CameraDevice {
    bool hasName = false;
    std::wstring friendlyName;  // empty unless hasName
};

struct CameraSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const CameraSize& o) const { return width == o.width && height == o.height; }
    bool operator!=(const CameraSize& o) const { return !(*this == o); }
};

// One camera picture in the layout of Windows' ARGB32: bytes B, G, R, A in memory, rows
// top-down, `stride` (= width * 4) bytes apart. Valid only during the callback.
struct CameraFrame {
    const uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint32_t sequence = 0;    // counts the device's frames since open, from 0 (a gap: dropped)
    int64_t timestampUs = 0;  // capture time on std::chrono::steady_clock, microseconds
};

// Runs on the service's streaming thread.
using CameraFrameCallback = std::function<void(const CameraFrame&)>;

// What the preview window tells its owner, on the UI thread. The window has already gone when
// `closed` runs; minimise and restore leave the camera to the owner (stop it, run it again).
struct CameraPreviewEvents {
    std::function<void()> closed;
    std::function<void()> minimized;
    std::function<void()> restored;
};

enum class CameraState { Released, Stopped, Paused, Running };

// A camera: the list of devices, one open device streaming ARGB32 frames of a size fixed at
// open, and a preview window. Every operation runs on the UI thread; only the frame callback
// runs on the streaming thread, and it must not call back into the service (such calls fail).
//
// The three functions that make services are portable and live in camera/CameraService.cpp;
// tests put services over their own drivers in place through installShared or the
// constructors of the users.
class CameraService {
  public:
    // A service over the cameras of this machine.
    static std::unique_ptr<CameraService> create();

    // The process's service, made by create() on first use unless one has been installed.
    // UI thread.
    static CameraService& shared();
    // Puts `service` in place of the process's service and returns the previous one (null if
    // none was made yet). UI thread, while nobody holds on to the previous one.
    static std::unique_ptr<CameraService> installShared(std::unique_ptr<CameraService> service);

    virtual ~CameraService() = default;

    // Every capture device, in a stable order.
    virtual std::vector<CameraDevice> devices() = 0;

    // Opens the device at `position`, releasing whatever was open before. S_OK, or E_FAIL when
    // there is no such device or it cannot be opened; nothing is open after a failure.
    virtual int32_t open(int32_t position) = 0;
    virtual bool isOpen() const = 0;
    // The size of every frame of the open device; {0, 0} when none is open.
    virtual CameraSize frameSize() const = 0;
    virtual CameraState state() const = 0;

    // Replaces the frame callback; a frame being delivered to the old one finishes first, and
    // the old one is never called once this returns. May be set before open.
    virtual void setFrameCallback(CameraFrameCallback callback) = 0;

    // Start or resume delivering frames. E_FAIL when no device is open or it fails to start.
    virtual int32_t run() = 0;
    // Both stop delivering frames: once they return no callback runs until the next run().
    // The device stays open; they differ only in the state they leave.
    virtual int32_t pause() = 0;
    virtual int32_t stop() = 0;
    // Stops, ends the streaming thread and closes the device. Harmless when nothing is open.
    virtual void release() = 0;

    // A window of `size` that shows the newest frame while the camera runs. S_OK, S_FALSE when
    // it is already open, E_FAIL when no window can be made. Independent of open/run/release.
    virtual int32_t openPreview(const std::wstring& title, CameraSize size, uint16_t iconId,
                                CameraPreviewEvents events) = 0;
    virtual bool previewOpen() const = 0;
    // Closes the window; the owner asked for it, so `closed` is not reported.
    virtual void closePreview() = 0;
};

}  // namespace platform
