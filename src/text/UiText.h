#pragma once

#include <cstdint>

// The interface language, set once from the lang option before any window exists:
// 0 English, anything else Chinese.
extern int32_t languageIndex;

// One interface text in both languages, each in a writable buffer of 260 wide characters;
// windows keep a pointer to the chosen buffer.
struct UiText {
    wchar_t english[260];
    wchar_t chinese[260];

    // The text in the chosen language.
    const wchar_t* get() const { return languageIndex != 0 ? chinese : english; }
    // The device failure messages: Chinese only for a positive index.
    const wchar_t* getDeviceMessage() const { return languageIndex > 0 ? chinese : english; }
};

namespace Text {

// Toolbar
extern const UiText settingTip, closeTip, countDownHint, captureTip, minimizeTip, startTip, endTip,
    audioTip, cameraTip;
// Audio setting popup
extern const UiText microphoneOn, microphoneOff, playbackOn, playbackOff, filterCaption,
    filterExplanation;
// Camera setting popup
extern const UiText captureCamera, testCamera, onlyCaptureCamera, noDevices, selectCameraDevice;
// Capture drop-down
extern const UiText screenItem, customItem, historyItem;
// Area detection overlay, capture area window, toolbar title
extern const UiText overlayHint, overlaySizeLabel, captureAreaSizeLabel, toolbarTitle;
// Setting popup
extern const UiText mouseTab, captureTab, hotkeyTab, pointerCaption, apertureCaption,
    pressedApertureCaption, qualityCaption;

// Indexed lists
extern const UiText qualityNames[3];               // by quality
extern const UiText hotkeyNames[3];                // by hotkey action
extern const UiText captureMethodLabels[2];        // by capture method
extern const UiText captureMethodDescriptions[2];  // by capture method
extern const UiText progressTexts[2];              // by ShowProgressText payload
// The progress text while the recorded files are made regular (fragments joined).
constexpr int32_t kFinishingFilesText = 1;

// Store messages; the last three are device messages (see UiText::getDeviceMessage).
extern const UiText selectCaptureArea, selectCamera, unsupportedAudioFormat, initFailed,
    microphoneFailed, speakerFailed, cameraFailed;

// Texts that do not depend on the language.
extern const wchar_t* const cameraPreviewTitle;  // "测试摄像头"
extern const char* const elapsedTimeFormat;      // "%02d:%02d:%02d"

}  // namespace Text
