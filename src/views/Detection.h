#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Geometry.h"
#include "platform/Screen.h"
#include "ui/window/WindowImplBase.h"
#include "views/controls/CDialogBuilderCallbackEx.h"
#include "views/controls/Magnifier.h"

// The full-screen overlay in which the user picks a custom area: a frozen screenshot, darkened
// except for the selection, with the window under the pointer highlighted (a click takes it)
// or a dragged rectangle, the selection's size bar, a hint and a magnifier. Releasing the left
// button hides it and sends SetCaptureRect in screen coordinates; a right click cancels and
// shows the toolbar again. UI thread only, except the magnifier's worker.
class Detection : public ui::WindowImplBase {
public:
    // Distances of the selection from the desktop's left, top, right and bottom edges.
    struct Insets {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 0;
        int32_t bottom = 0;
        bool operator==(const Insets& o) const {
            return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
        }
    };

    // screen: the screenshot and the windows under the pointer (UI thread). cursor: the
    // pointer for the magnifier's worker, called on that thread only.
    Detection(std::unique_ptr<platform::Screen> screen, Magnifier::CursorSource cursor);
    ~Detection() override;

    std::string GetWindowClassName() const override { return "Detection"; }
    uint32_t GetLayoutId() const override { return 174; }
    void InitWindow() override;
    ui::Control* CreateControl(std::string_view className) override;
    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    void SetToolbarWindow(ui::WindowId window) { toolbar_ = window; }
    // A new screenshot under a new serial, the overlay shown and the magnifier running.
    void BeginDetection();
    // The selection in screen coordinates.
    Rect Selection() const;
    const Insets& GetInsets() const { return insets_; }
    bool IsSelectionFixed() const { return fixed_; }

    // Where the size bar (height 28) goes for a selection: above it, or inside at its bottom
    // when there is no room above. Client coordinates.
    static Rect SizeBarRect(const Rect& selection);
    // The insets of rect r on the desktop, each at least 0.
    static Insets InsetsOf(const Rect& r, const Rect& desktop);

    static constexpr ui::Argb kMaskColour = 0x4F000000;
    static constexpr int32_t kSizeBarHeight = 28;

private:
    void UpdateSelection(const Insets& insets);
    void OnMouseMove(Point at, bool leftDown);
    void OnLeftButtonUp();
    Rect ToClient(const Rect& screenRect) const;

    CDialogBuilderCallbackEx factory_;
    std::unique_ptr<platform::Screen> screen_;
    Magnifier::CursorSource cursor_;
    ui::WindowId toolbar_ = 0;
    Rect desktop_;
    Insets insets_;
    Point press_;
    bool pressed_ = false;  // a left press inside the overlay, until any left release
    bool fixed_ = false;
    ui::Control* desktopImage_ = nullptr;
    ui::Control* desktopMask_ = nullptr;
    ui::Control* desktopMaskBorder_ = nullptr;
    Magnifier* magnifier_ = nullptr;
    ui::Control* tips_ = nullptr;
    ui::Control* captureSize_ = nullptr;
    ui::Control* toolBar_ = nullptr;
};
