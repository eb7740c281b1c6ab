#include "text/UiText.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "app/CommandLine.h"

namespace {

// Sets the language the way start-up does and restores English afterwards.
class Language : public ::testing::Test {
protected:
    void use(const wchar_t* option) {
        languageIndex =
            ReadStartupOptions(ParseCommandLine({L"prog", L"-lang", option})).languageIndex;
    }
    void TearDown() override { languageIndex = 0; }
};

TEST_F(Language, EnglishByDefault) {
    use(L"0");
    EXPECT_STREQ(Text::toolbarTitle.get(), L"Screen Capturer");
    EXPECT_STREQ(Text::qualityNames[1].get(), L"High");
    EXPECT_STREQ(Text::microphoneFailed.getDeviceMessage(), L"Something in microphone goes wrong");
    use(L"abc");
    EXPECT_STREQ(Text::startTip.get(), L"Start");
}

TEST_F(Language, OneSelectsChineseEverywhere) {
    use(L"1");
    EXPECT_STREQ(Text::toolbarTitle.get(), L"屏幕录制");
    EXPECT_STREQ(Text::qualityNames[1].get(), L"高清");
    EXPECT_STREQ(Text::progressTexts[0].get(), L"正在编码音频缓存");
    EXPECT_STREQ(Text::speakerFailed.getDeviceMessage(), L"开启扬声器失败，请检查扬声器设备");
    EXPECT_STREQ(Text::cameraFailed.getDeviceMessage(), L"摄像头设备出现问题，请检查设备");
}

TEST_F(Language, NegativeIndexKeepsDeviceMessagesEnglish) {
    // "-lang -1" cannot carry the value (it begins with '-'), so the index stays 0...
    use(L"-1");
    EXPECT_EQ(languageIndex, 0);
    // ...but a negative index set otherwise shows the device messages in English.
    languageIndex = -1;
    EXPECT_STREQ(Text::hotkeyNames[1].get(), L"暂停/继续录制");
    EXPECT_STREQ(Text::initFailed.get(), L"初始化出现异常");
    EXPECT_STREQ(Text::microphoneFailed.getDeviceMessage(), L"Something in microphone goes wrong");
    EXPECT_STREQ(Text::speakerFailed.getDeviceMessage(), L"Something in speaker goes wrong");
    EXPECT_STREQ(Text::cameraFailed.getDeviceMessage(),
                 L"Something goes wroing, please check your camera device");
}

TEST_F(Language, EveryTextHasBothLanguagesThatDiffer) {
    const UiText* all[] = {&Text::settingTip, &Text::closeTip, &Text::countDownHint,
                           &Text::captureTip, &Text::minimizeTip, &Text::startTip,
                           &Text::endTip, &Text::audioTip, &Text::cameraTip,
                           &Text::microphoneOn, &Text::microphoneOff, &Text::playbackOn,
                           &Text::playbackOff, &Text::filterCaption, &Text::filterExplanation,
                           &Text::captureCamera, &Text::testCamera, &Text::onlyCaptureCamera,
                           &Text::noDevices, &Text::selectCameraDevice, &Text::screenItem,
                           &Text::customItem, &Text::historyItem, &Text::overlayHint,
                           &Text::overlaySizeLabel, &Text::captureAreaSizeLabel,
                           &Text::toolbarTitle, &Text::mouseTab, &Text::captureTab,
                           &Text::hotkeyTab, &Text::pointerCaption, &Text::apertureCaption,
                           &Text::pressedApertureCaption, &Text::qualityCaption,
                           &Text::selectCaptureArea, &Text::selectCamera,
                           &Text::unsupportedAudioFormat, &Text::initFailed,
                           &Text::microphoneFailed, &Text::speakerFailed, &Text::cameraFailed};
    for (const UiText* t : all) {
        EXPECT_GT(std::wcslen(t->english), 0u);
        EXPECT_GT(std::wcslen(t->chinese), 0u);
        EXPECT_STRNE(t->english, t->chinese);
    }
}

TEST_F(Language, PlaceholdersMatchBetweenLanguages) {
    wchar_t en[260], zh[260];
    std::swprintf(en, 260, Text::overlaySizeLabel.english, 1, 2, 3, 4);
    std::swprintf(zh, 260, Text::overlaySizeLabel.chinese, 1, 2, 3, 4);
    EXPECT_STREQ(en, L"L: 1, T: 2, Width: 3, Height: 4");
    EXPECT_STREQ(zh, L"左: 1, 上: 2, 宽: 3, 高: 4");
    std::swprintf(en, 260, Text::countDownHint.english, "F10");
    EXPECT_STREQ(en, L"Press 'F10' end recording");
}

}  // namespace
