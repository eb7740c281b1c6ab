#pragma once

#include <cstdint>
#include <string>

#include "ui/window/WindowImplBase.h"

// The three-second count-down before a recording starts: a centred topmost window showing 3,
// 2, 1 (a second apart) over a hint, which then tells the window to notify
// (WM_COUNTDOWN_FINISHED) and destroys its window. The object stays with its owner.
class CountDown : public ui::WindowImplBase {
public:
    // Creates the window, shown and centred. Off-screen: without a display (tests, pictures).
    CountDown(ui::WindowId notify, std::wstring hint, bool offscreen = false);

    std::string GetWindowClassName() const override;  // "CoundDown"
    uint32_t GetLayoutId() const override;            // 173
    void InitWindow() override;
    ui::LRESULT HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override;
    // One second has passed.
    virtual void OnTick();

    static constexpr uint32_t kTimer = 1;

private:
    ui::WindowId notify_;
    std::wstring hint_;
    int32_t interval_ = 1000;   // ms between ticks
    int32_t remaining_ = 3000;  // ms left
    ui::Control* countDownLabel_ = nullptr;
    ui::Control* tipsLabel_ = nullptr;
};
