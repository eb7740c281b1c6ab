#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/window/WindowImplBase.h"

// A short message in a small centred topmost window. It fits itself to the text on its first
// paint, closes after its duration (counted in ticks of `interval` ms) or at a click, which
// first runs the callback if there is one. Alerts live on the heap and delete themselves once
// closed; the live ones are listed (several may be open at once).
class Alert : public ui::WindowImplBase {
public:
    // A new alert, shown and centred. Off-screen: without a display (tests, pictures).
    static Alert* Show(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)(),
                       bool offscreen = false);
    // The alerts open now, oldest first.
    static const std::vector<Alert*>& Live();

    std::string GetWindowClassName() const override;  // "Alert"
    uint32_t GetLayoutId() const override;            // 192
    void InitWindow() override;
    ui::LRESULT HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override;
    // One interval has passed.
    virtual void OnTick();
    // Stops the timer, hides and destroys the window, which deletes the alert: nothing may
    // touch it after this call.
    void CloseAlert();

    static constexpr uint32_t kTimer = 1;

protected:
    // For subclasses with a layout of their own: no window until Open. Only on the heap.
    Alert(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)());
    ~Alert() override;
    void Open(bool offscreen);

    Rect OnPaint(ui::Canvas& canvas) override;
    void OnFinalMessage(ui::WindowId window) override;

private:
    void FitToText();

    int32_t interval_;   // ms per tick
    int32_t remaining_;  // ms left
    std::wstring text_;
    void (*callback_)();  // may be null
    ui::Control* tipsLabel_ = nullptr;
    bool sized_ = false;
};

// Shows an alert with the text for `duration` ms; a click closes it at once, after calling
// `callback` (may be null).
void ShowAlert(const wchar_t* text, int32_t interval, int32_t duration, void (*callback)());
