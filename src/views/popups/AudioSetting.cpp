#include "views/popups/AudioSetting.h"

#include <cmath>
#include <cstdio>

#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "text/UiText.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/Slider.h"
#include "views/controls/CheckBoxButton.h"

namespace {

constexpr ui::Argb kOffBorder = 0xFFD4D7E1;
constexpr ui::Argb kOnBorder = 0xFF666666;

std::string switchImage(int image) {
    return "res='" + std::to_string(image) +
           "' restype='PNG' source='0,0,32,32' dest='16,16,48,48'";
}

template <typename T>
T* find(ui::PaintManager& pm, const char* name, const char* kind) {
    ui::Control* control = pm.FindControl(name);
    return control != nullptr ? static_cast<T*>(control->GetInterface(kind)) : nullptr;
}

void sendBool(int32_t action, bool value) {
    ActionDispatcher::instance().dispatch(action, &value);
}

}  // namespace

AudioSetting::AudioSetting(ui::WindowId parent, ui::Control* anchor)
    : Popup(kLayout, parent, anchor),
      micOnTip_(Text::microphoneOn.get()),
      micOffTip_(Text::microphoneOff.get()),
      playbackOnTip_(Text::playbackOn.get()),
      playbackOffTip_(Text::playbackOff.get()),
      filterTip_(Text::filterExplanation.get()),
      filterCaption_(Text::filterCaption.get()) {}

void AudioSetting::InitWindow() {
    captureMic_ = find<CheckBoxButton>(pm_, "captureMic", "CheckBoxButton");
    capturePla_ = find<CheckBoxButton>(pm_, "capturePla", "CheckBoxButton");
    filterMic_ = find<ui::CheckBox>(pm_, "filterMic", "CheckBox");
    wc_ = find<ui::Slider>(pm_, "wc", "Slider");
    wcCaption_ = pm_.FindControl("wcCaption");
    if (wc_ != nullptr) {
        wc_->SetToolTip(filterTip_);
    }
    if (ui::Control* caption = pm_.FindControl("filterMicCaption")) {
        caption->SetText(filterCaption_);
    }
    struct Look {
        CheckBoxButton* button;
        int offImage;
        int onImage;
    };
    for (const Look& look : {Look{captureMic_, 160, 165}, Look{capturePla_, 162, 166}}) {
        if (look.button != nullptr) {
            look.button->normalImage = switchImage(look.offImage);
            look.button->checkedImage = switchImage(look.onImage);
            look.button->normalBorderColor = kOffBorder;
            look.button->checkedBorderColor = kOnBorder;
        }
    }
}

void AudioSetting::Notify(ui::Notification& msg) {
    if (msg.sender != nullptr) {
        if (msg.type == "click" && msg.sender == captureMic_) {
            // The button has flipped on the press already: this is the state asked for.
            sendBool(Action::SetCaptureMicrophone, captureMic_->checked);
        } else if (msg.type == "click" && msg.sender == capturePla_) {
            sendBool(Action::SetCapturePlayback, capturePla_->checked);
        } else if (msg.type == "valuechanged" && msg.sender == wc_) {
            double wc = wc_->GetValue() * 0.01;
            ActionDispatcher::instance().dispatch(Action::SetFilterCoefficient, &wc);
        } else if (msg.type == "selectchanged" && filterMic_ != nullptr) {
            sendBool(Action::SetFilterMic, filterMic_->IsSelected());
        }
    }
    Popup::Notify(msg);
}

void AudioSetting::ShowSwitch(CheckBoxButton* button, bool on, const wchar_t* onTip,
                              const wchar_t* offTip) {
    if (button == nullptr) {
        return;
    }
    button->checked = on;
    button->UpdateCheckLook();
    button->SetToolTip(on ? onTip : offTip);
}

void AudioSetting::SetCaptureMicrophone(bool on) {
    ShowSwitch(captureMic_, on, micOnTip_, micOffTip_);
}

void AudioSetting::SetCapturePlayback(bool on) {
    ShowSwitch(capturePla_, on, playbackOnTip_, playbackOffTip_);
}

void AudioSetting::SetFilterMic(bool on) {
    if (filterMic_ != nullptr && filterMic_->IsSelected() != on) {
        filterMic_->Selected(on);
    }
    if (wc_ != nullptr) {
        wc_->SetEnabled(on);
    }
}

void AudioSetting::SetFilterCoefficient(double wc) {
    if (wc_ != nullptr) {
        wc_->SetValue(SliderValue(wc));
    }
    if (wcCaption_ != nullptr) {
        wcCaption_->SetText(CoefficientText(wc));
    }
}

int32_t AudioSetting::SliderValue(double wc) {
    return static_cast<int32_t>(std::lround(wc * 100));
}

std::wstring AudioSetting::CoefficientText(double wc) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", wc);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}
