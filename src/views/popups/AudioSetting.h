#pragma once

#include <cstdint>
#include <string>

#include "views/Popup.h"

class CheckBoxButton;
namespace ui {
class CheckBox;
class Slider;
}  // namespace ui

// The audio popup: microphone and speaker switches, the microphone filter and its coefficient.
// Every choice goes to the Store as a request; the controls show what the Store answers
// through the view wrapper (a refused switch flips back).
class AudioSetting : public Popup {
public:
    AudioSetting(ui::WindowId parent, ui::Control* anchor);

    void InitWindow() override;
    void Notify(ui::Notification& msg) override;

    // The Store's answers.
    void SetCaptureMicrophone(bool on);
    void SetCapturePlayback(bool on);
    // Enables the coefficient slider exactly when the filter is on.
    void SetFilterMic(bool on);
    void SetFilterCoefficient(double wc);

    // The slider's position for a coefficient: wc x 100, halves away from zero.
    static int32_t SliderValue(double wc);
    // The coefficient as its caption shows it ("%.2f").
    static std::wstring CoefficientText(double wc);

    static constexpr uint32_t kLayout = 170;

private:
    void ShowSwitch(CheckBoxButton* button, bool on, const wchar_t* onTip, const wchar_t* offTip);

    // Texts in the language of the moment of construction.
    const wchar_t* micOnTip_;
    const wchar_t* micOffTip_;
    const wchar_t* playbackOnTip_;
    const wchar_t* playbackOffTip_;
    const wchar_t* filterTip_;
    const wchar_t* filterCaption_;

    CheckBoxButton* captureMic_ = nullptr;
    CheckBoxButton* capturePla_ = nullptr;
    ui::CheckBox* filterMic_ = nullptr;
    ui::Slider* wc_ = nullptr;
    ui::Control* wcCaption_ = nullptr;
};
