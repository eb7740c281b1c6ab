#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Geometry.h"
#include "ui/core/Container.h"
#include "views/controls/CaptureFrameOwner.h"

// The resizable frame around the capture area: a border just outside the area and eight
// handles (3 x 3 grid, row by row, 4 the centre without one). Dragging a handle sends the
// resized area (kept on the desktop, at least 200 x 200) as SetCaptureRect; the frame follows
// only when the Store answers. Disabled, it draws only the border and ignores the mouse.
class TransformTool : public ui::Container {
public:
    std::string GetClass() const override;  // "TransformTool"
    void* GetInterface(std::string_view name) override;
    uint32_t GetControlFlags() const override;  // UIFLAG_SETCURSOR
    void DoEvent(ui::Event& event) override;
    void PaintBorder(ui::Canvas& canvas) override;

    void SetOwner(CaptureFrameOwner* owner) { owner_ = owner; }
    // Handle i's 12 x 12 rect on the frame; empty for 4 and any other value.
    Rect GetHandleRect(int32_t index) const;
    // The cursor for the point; remembers the handle found.
    ui::Cursor HitTest(Point point);
    int32_t HitHandle() const { return hitHandle_; }

    // The capture area a frame of this rect and border size stands around, and back.
    static Rect CaptureRectOf(const Rect& frame, int32_t border);
    static Rect FrameRectOf(const Rect& capture, int32_t border);
    // The area after dragging handle `handle` by (dx, dy): kept on the desktop and at least
    // kMinSize on each side (growing away from the dragged side).
    static Rect Resize(const Rect& area, int32_t handle, int32_t dx, int32_t dy,
                       const Rect& desktop);

    static constexpr int32_t kHandleSize = 12;
    static constexpr int32_t kMinSize = 200;
    static constexpr int32_t kEdgeReach = 20;

private:
    static constexpr uint32_t kResizing = 0x40;

    // The capture area the frame stands around now, in screen coordinates.
    Rect CapturedArea() const;

    CaptureFrameOwner* owner_ = nullptr;
    int32_t hitHandle_ = 0;
    uint32_t flags_ = 0;
    Point press_;     // where the resize drag began
    Rect pressArea_;  // the capture area then
};
