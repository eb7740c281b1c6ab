#pragma once

#include <cstdint>
#include <string>

#include "base/Geometry.h"
#include "ui/window/WindowImplBase.h"
#include "views/controls/CDialogBuilderCallbackEx.h"
#include "views/controls/CaptureFrameOwner.h"

class DragButton;
class TransformTool;

// The orange frame around the capture area, on top of everything: a see-through window over
// the desktop that shows (and takes clicks) only on the frame, its handles, the move button
// and the size bar, so the windows beneath stay usable. Moves and resizes send SetCaptureRect;
// the frame follows the Store's answer (FrameCaptureRect). Locked for recording it keeps only
// the border, which lies outside the area so it is never recorded. UI thread only.
class CaptureAreaWin : public ui::WindowImplBase, public CaptureFrameOwner {
public:
    // desktop: the screen the window covers (screen coordinates).
    explicit CaptureAreaWin(const Rect& desktop);
    ~CaptureAreaWin() override;

    std::string GetWindowClassName() const override { return "CaptureAreaWin"; }
    uint32_t GetLayoutId() const override { return 171; }
    void InitWindow() override;
    ui::Control* CreateControl(std::string_view className) override;
    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // Shows the window; the frame follows only areas larger than 200 x 200.
    void FrameCaptureRect(const Rect& area);
    // Hides the handles, the move button and the size bar; a frame around the whole
    // desktop goes too.
    void LockForRecording();

    // CaptureFrameOwner
    Rect Desktop() const override { return desktop_; }
    void MoveCaptureRect(int32_t dx, int32_t dy) override;

    // The capture area the frame stands around now (screen coordinates).
    Rect FramedArea() const;

    static constexpr int32_t kSizeBarHeight = 24;
    static constexpr int32_t kMinFramed = 200;

private:
    void ShowOnTop();

    CDialogBuilderCallbackEx factory_;
    Rect desktop_;
    TransformTool* captureArea_ = nullptr;
    DragButton* dragBtn_ = nullptr;
    ui::Control* toolBar_ = nullptr;
    ui::Control* captureSize_ = nullptr;
};
