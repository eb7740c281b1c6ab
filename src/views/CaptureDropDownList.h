#pragma once

#include "views/Popup.h"

namespace ui {
class List;
}

// The toolbar's list of capture areas: "Screen" (0), "Custom" (1: the user marks the area on
// the screen), the five preset sizes (2..6) and the previous area, "History" (7). Picking a
// row sends ChooseCaptureArea with its index; "Custom" instead asks the toolbar to start the
// area detection and leaves no row selected, so it can be picked again.
class CaptureDropDownList : public Popup {
public:
    CaptureDropDownList(ui::WindowId parent, ui::Control* anchor);

    void InitWindow() override;
    void Notify(ui::Notification& msg) override;

    static constexpr uint32_t kLayout = 172;
    static constexpr int kCustomItem = 1;
    static constexpr int kFirstPresetItem = 2;
    static constexpr int kPresetCount = 5;

private:
    ui::List* list_ = nullptr;  // captureDropDownList
};
