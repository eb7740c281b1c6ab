#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/Geometry.h"
#include "ui/render/Size.h"
#include "ui/window/WindowImplBase.h"
#include "views/controls/CDialogBuilderCallbackEx.h"

// A window that drops down from one of the toolbar's buttons: created hidden once, shown just
// below its button (or above the toolbar, or right-aligned with the button, where the screen
// ends), toggled by that button and hidden as soon as it loses the keyboard focus. It cannot
// be dragged. Subclasses find their controls in its paint manager from InitWindow on.
class Popup : public ui::WindowImplBase {
public:
    // layoutId: the popup's layout; parent: the toolbar; anchor: the button it drops from
    // (null: the popup opens centred on the screen).
    Popup(uint32_t layoutId, ui::WindowId parent, ui::Control* anchor);

    std::string GetWindowClassName() const override;  // "Popup"
    uint32_t GetLayoutId() const override;
    ui::Control* CreateControl(std::string_view className) override;
    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;

    // Creates the window hidden. Off-screen: without a display (tests, pictures).
    void CreatePopup(bool offscreen = false);
    // Places the popup by its anchor and shows it with the focus.
    void ShowPopup();
    void TogglePopup();
    void HidePopup();
    bool IsShown() const { return shown_; }

    // Where a popup of size `popup` opens: 10 pixels below the anchor, whose position
    // `anchorPos` is in the client coordinates of the parent at `parent` (screen); right-aligned
    // with the anchor when it would pass the screen's right edge, above the parent when it
    // would pass the bottom. Without an anchor, centred on the screen.
    static Point Placement(const Rect& parent, const Rect& anchorPos, ui::Size anchorFixed,
                           ui::Size popup, ui::Size screen, bool hasAnchor);

protected:
    ui::WindowId parent_;  // the toolbar
    ui::Control* anchor_;  // a control of the toolbar's, may be null

private:
    uint32_t layoutId_;
    bool shown_ = false;
    CDialogBuilderCallbackEx controls_;
};
