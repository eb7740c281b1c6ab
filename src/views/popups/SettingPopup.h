#pragma once

#include <cstdint>
#include <string>

#include "views/Popup.h"

namespace ui {
class Container;
}

// The settings window of the toolbar, in three tabs: the mouse styles the recording draws
// (pointer, pressed aperture, aperture; twelve tiles each and "none"), the capture method and
// quality, and the three hotkeys. A click only asks the Store; a choice is highlighted when the
// Store confirms it, so a refused one (GPU capture) leaves the highlight where it was.
class SettingPopup : public Popup {
public:
    SettingPopup(ui::WindowId parent, ui::Control* anchor);

    void InitWindow() override;
    void Notify(ui::Notification& msg) override;

    // The Store's confirmations: the index now in force (-1 is a style group's "none").
    void SetPointStyle(int32_t style) { Select(point_, style); }
    void SetPressStyle(int32_t style) { Select(press_, style); }
    void SetShapeStyle(int32_t style) { Select(shape_, style); }
    void SetCaptureMethod(int32_t method) { Select(captureMethod_, method); }
    void SetQuality(int32_t quality) { Select(quality_, quality); }
    // The hotkey's field (0 start, 1 pause/resume, 2 end) shows the keycode's display text.
    void SetHotkeyText(int32_t index, const std::wstring& keycode);

    // Shows tab `index` (0 mouse, 1 capture, 2 hotkey) and moves the underline below it.
    void SelectTab(int32_t index);
    int32_t CurrentTab() const { return currentTab_; }

    static constexpr uint32_t kLayout = 175;
    static constexpr ui::Argb kSelectedBorder = 0xFF0093F3;
    static constexpr ui::Argb kUnselectedBorder = 0x00FFFFFF;

private:
    // A row of choices of which one is highlighted. Below -1 nothing was ever confirmed.
    struct Group {
        ui::Container* panel = nullptr;  // the choices, by index
        ui::Control* none = nullptr;     // the "none" button (-1), where the group has one
        int32_t current = -2;
        int32_t previous = -2;
    };

    void Select(Group& group, int32_t index);
    static ui::Control* ChoiceAt(const Group& group, int32_t index);
    void BuildContent();

    int32_t currentTab_ = 0;
    int32_t previousTab_ = -1;
    Group point_;
    Group press_;
    Group shape_;
    Group captureMethod_{nullptr, nullptr, -1, -1};
    Group quality_{nullptr, nullptr, -1, -1};
    ui::Control* bottomLine_ = nullptr;
    ui::Container* tab_ = nullptr;
    ui::Container* hotkeyPanel_ = nullptr;
    ui::Container* hotkeyCaptionPanel_ = nullptr;
};
