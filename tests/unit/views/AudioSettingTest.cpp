// The audio popup off-screen: switches show the Store's answer, the filter gates the slider.
#include "views/popups/AudioSetting.h"

#include <gtest/gtest.h>

#include "ViewsTestSupport.h"
#include "text/UiText.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/Slider.h"
#include "ui/render/Canvas.h"
#include "views/controls/CheckBoxButton.h"

namespace {

class AudioSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        languageIndex = 0;
        log.requests.clear();
        popup.CreatePopup(true);
        ui::Canvas canvas(0, 0);
        popup.RenderTo(canvas);  // lays the controls out
    }
    template <typename T>
    T* find(const char* name, const char* kind) {
        ui::Control* control = popup.GetPaintManager().FindControl(name);
        return control != nullptr ? static_cast<T*>(control->GetInterface(kind)) : nullptr;
    }

    viewstest::RequestLog& log = viewstest::RequestLog::instance();
    viewstest::MessageLog toolbar;
    AudioSetting popup{toolbar.GetHWND(), nullptr};
};

TEST_F(AudioSettingTest, ASwitchAsksAndThenShowsTheStoresAnswer) {
    struct Case {
        const char* button;
        int32_t request;
        void (AudioSetting::*answer)(bool);
        const wchar_t* onTip;
        const wchar_t* offTip;
        const char* offImage;
        const char* onImage;
    };
    const Case cases[] = {
        {"captureMic", Action::SetCaptureMicrophone, &AudioSetting::SetCaptureMicrophone,
         L"Capture Microphone", L"Not capture Microphone", "160", "165"},
        {"capturePla", Action::SetCapturePlayback, &AudioSetting::SetCapturePlayback,
         L"Capture playback", L"Not capture speaker", "162", "166"},
    };
    const auto image = [](const char* id) {
        return "res='" + std::string(id) + "' restype='PNG' source='0,0,32,32' dest='16,16,48,48'";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        auto* button = find<CheckBoxButton>(c.button, "CheckBoxButton");
        ASSERT_NE(button, nullptr);
        (popup.*c.answer)(false);
        EXPECT_EQ(button->GetBorderColor(), 0xFFD4D7E1u);
        // The click asks for "on" (the button has flipped on the press).
        log.requests.clear();
        viewstest::clickControl(popup, *button);
        ASSERT_EQ(log.actions(), std::vector<int32_t>{c.request});
        EXPECT_EQ(log.requests[0].number, 1);
        // The Store could not open the device: the button goes back to off.
        (popup.*c.answer)(false);
        EXPECT_FALSE(button->checked);
        EXPECT_EQ(button->GetToolTip(), c.offTip);
        EXPECT_EQ(button->GetBkImage(), image(c.offImage));
        (popup.*c.answer)(true);
        EXPECT_TRUE(button->checked);
        EXPECT_EQ(button->GetToolTip(), c.onTip);
        EXPECT_EQ(button->GetBkImage(), image(c.onImage));
        EXPECT_EQ(button->GetBorderColor(), 0xFF666666u);
    }
}

// Dropping the thumb on a value is checked end to end.
TEST_F(AudioSettingTest, TheFilterGatesTheSlider) {
    auto* filter = find<ui::CheckBox>("filterMic", "CheckBox");
    auto* slider = find<ui::Slider>("wc", "Slider");
    ASSERT_NE(filter, nullptr);
    ASSERT_NE(slider, nullptr);
    popup.SetFilterMic(false);
    EXPECT_FALSE(slider->IsEnabled());
    EXPECT_TRUE(log.requests.empty()) << "the option was off already";

    // Clicking the option asks for the filter; the slider waits for the Store.
    viewstest::clickControl(popup, *filter);
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SetFilterMic});
    EXPECT_FALSE(slider->IsEnabled());
    log.requests.clear();
    popup.SetFilterMic(true);
    EXPECT_TRUE(slider->IsEnabled());
    EXPECT_TRUE(log.requests.empty()) << "the option was on already: not selected again";

    // The answer sets the slider even when the option agrees already.
    slider->SetEnabled(false);
    popup.SetFilterMic(true);
    EXPECT_TRUE(slider->IsEnabled());

    // The Store switching the filter off clears the option, which tells the Store so.
    popup.SetFilterMic(false);
    EXPECT_FALSE(filter->IsSelected());
    EXPECT_FALSE(slider->IsEnabled());
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SetFilterMic});
    EXPECT_EQ(log.requests[0].number, 0);
}

TEST_F(AudioSettingTest, TheCoefficientRoundsHalvesAwayFromZeroOnTheSliderAndPrintsTwoPlaces) {
    struct Case {
        double wc;
        int32_t slider;
        const wchar_t* caption;
    };
    // Exact binary halves: the slider rounds them up, the caption to even.
    const Case cases[] = {
        {0.4, 40, L"0.40"},   {0.125, 13, L"0.12"}, {0.375, 38, L"0.38"},
        {0.625, 63, L"0.62"}, {0.0, 0, L"0.00"},    {1.0, 100, L"1.00"},
    };
    auto* slider = find<ui::Slider>("wc", "Slider");
    ASSERT_NE(slider, nullptr);
    for (const Case& c : cases) {
        popup.SetFilterCoefficient(c.wc);
        EXPECT_EQ(slider->GetValue(), c.slider) << c.wc;
        EXPECT_EQ(popup.GetPaintManager().FindControl("wcCaption")->GetText(), c.caption) << c.wc;
    }
    EXPECT_TRUE(log.requests.empty()) << "showing a value sends nothing";
    EXPECT_EQ(AudioSetting::SliderValue(-0.125), -13);
    EXPECT_EQ(AudioSetting::SliderValue(-0.124), -12);
}

TEST(AudioSettingLanguageTest, TextsFollowTheLanguageOfConstruction) {
    languageIndex = 1;
    viewstest::MessageLog toolbar;
    AudioSetting popup{toolbar.GetHWND(), nullptr};
    languageIndex = 0;  // too late: the popup chose at construction
    popup.CreatePopup(true);
    popup.SetCaptureMicrophone(false);
    ui::PaintManager& pm = popup.GetPaintManager();
    EXPECT_EQ(pm.FindControl("captureMic")->GetToolTip(), L"不录制麦克风");
    EXPECT_EQ(pm.FindControl("filterMicCaption")->GetText(), L"降噪麦克风, 默认 0.4");
}

}  // namespace
