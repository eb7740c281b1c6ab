#include "text/UiText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(UiText, TheIndexChoosesTheLanguageAndOnlyAPositiveOneTheDeviceMessages) {
    const UiText& text = Text::microphoneFailed;
    for (int32_t index : {0, 1, 7, -1}) {
        languageIndex = index;
        EXPECT_EQ(text.get(), index == 0 ? text.english : text.chinese) << index;
        EXPECT_EQ(text.getDeviceMessage(), index > 0 ? text.chinese : text.english) << index;
    }
    languageIndex = 0;
}

// Every text: English in ASCII, Chinese with Chinese characters in it (so the two cannot be
// swapped), and the same printf conversions in both (the caller passes one set of arguments).
TEST(UiText, EveryTextHasBothLanguagesTakingTheSameArguments) {
    using namespace Text;
    // clang-format off
    const UiText* const all[] = {
        &settingTip, &closeTip, &countDownHint, &captureTip, &minimizeTip, &startTip, &endTip,
        &audioTip, &cameraTip, &microphoneOn, &microphoneOff, &playbackOn, &playbackOff,
        &filterCaption, &filterExplanation, &captureCamera, &testCamera, &onlyCaptureCamera,
        &noDevices, &selectCameraDevice, &screenItem, &customItem, &historyItem, &overlayHint,
        &overlaySizeLabel, &captureAreaSizeLabel, &toolbarTitle, &mouseTab, &captureTab,
        &hotkeyTab, &pointerCaption, &apertureCaption, &pressedApertureCaption, &qualityCaption,
        &selectCaptureArea, &selectCamera, &unsupportedAudioFormat, &initFailed,
        &microphoneFailed, &speakerFailed, &cameraFailed, &progressTexts[0], &progressTexts[1],
        &qualityNames[0], &qualityNames[1], &qualityNames[2], &hotkeyNames[0], &hotkeyNames[1],
        &hotkeyNames[2], &captureMethodLabels[0], &captureMethodLabels[1],
        &captureMethodDescriptions[0], &captureMethodDescriptions[1]};
    // clang-format on
    const auto conversions = [](const std::wstring& text) {
        std::wstring out;
        for (size_t at = text.find(L'%'); at != std::wstring::npos && at + 1 < text.size();
             at = text.find(L'%', at + 2)) {
            out += text[at + 1];
        }
        return out;
    };
    for (const UiText* t : all) {
        const std::wstring english = t->english;
        const std::wstring chinese = t->chinese;
        SCOPED_TRACE(std::string(english.begin(), english.end()));
        EXPECT_FALSE(english.empty());
        EXPECT_TRUE(
            std::all_of(english.begin(), english.end(), [](wchar_t c) { return c < 0x80; }));
        EXPECT_TRUE(std::any_of(chinese.begin(), chinese.end(),
                                [](wchar_t c) { return c >= 0x4E00 && c <= 0x9FFF; }));
        EXPECT_EQ(conversions(english), conversions(chinese));
    }
}

}  // namespace
