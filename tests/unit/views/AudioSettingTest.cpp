// The audio popup off-screen: a switch shows the Store's answer, not the click; the coefficient's
// rounding. Switching on, the filter gating the slider and dropping its thumb are end to end.
#include "views/popups/AudioSetting.h"

#include <gtest/gtest.h>

#include <tuple>

#include "ViewsTestSupport.h"
#include "views/controls/CheckBoxButton.h"

namespace {

TEST(AudioSettingTest, AMicrophoneTheStoreCannotOpenFlipsBackWithItsTooltip) {
    viewstest::OpenPopup<AudioSetting> open;
    auto* mic = viewstest::control<CheckBoxButton>(open.popup, "captureMic", "CheckBoxButton");
    viewstest::RequestLog& log = viewstest::RequestLog::instance();
    log.requests.clear();
    viewstest::clickControl(open.popup, *mic);
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SetCaptureMicrophone});
    EXPECT_EQ(log.requests[0].number, 1);
    open.popup.SetCaptureMicrophone(false);
    EXPECT_FALSE(mic->checked);
    EXPECT_EQ(mic->GetToolTip(), L"Not capture Microphone");
    EXPECT_EQ(mic->GetBkImage(), "res='160' restype='PNG' source='0,0,32,32' dest='16,16,48,48'");
    open.popup.SetCaptureMicrophone(true);
    EXPECT_EQ(mic->GetToolTip(), L"Capture Microphone");
}

TEST(AudioSettingTest, TheCoefficientRoundsHalvesAwayFromZeroOnTheSliderAndShowsTwoPlaces) {
    // Exact binary halves: the slider rounds them away from zero, the caption to even.
    const std::tuple<double, int32_t, const wchar_t*> cases[] = {
        {0.125, 13, L"0.12"}, {0.375, 38, L"0.38"}, {0.57, 57, L"0.57"}, {-0.125, -13, L"-0.12"}};
    for (const auto& [wc, value, caption] : cases) {
        EXPECT_EQ(AudioSetting::SliderValue(wc), value) << wc;
        EXPECT_EQ(AudioSetting::CoefficientText(wc), caption) << wc;
    }
}

}  // namespace
