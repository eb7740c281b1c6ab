#pragma once

#include <cstdint>

// The catalogue of action ids: requests (verbs) go to the Store, notifications (past
// participles) go to the ViewWrapper. ActionPayloads.h has the compound payloads.
namespace Action {

// Requests
constexpr int32_t SetCaptureMethod = 1;       // int32 index
constexpr int32_t SetVideoBitrate = 2;        // int32
constexpr int32_t SetCaptureRect = 3;         // Rect
constexpr int32_t SetCaptureVideo = 4;        // int32
constexpr int32_t SetFrameRate = 5;           // int32 index (0 -> 30 fps, 1 -> 24 fps)
constexpr int32_t SetSampleRate = 6;          // int32
constexpr int32_t SetAudioBitrate = 7;        // int32
constexpr int32_t SetChannels = 8;            // int32
constexpr int32_t SetBits = 9;                // int32
constexpr int32_t SetCaptureMicrophone = 10;  // bool
constexpr int32_t SetCapturePlayback = 11;    // bool
constexpr int32_t SetPointStyle = 12;         // int32, -1 for none
constexpr int32_t SetShapeStyle = 13;         // int32, -1 for none
constexpr int32_t SetPressStyle = 14;         // int32, -1 for none
constexpr int32_t SetQuality = 15;            // int32 (0, 1, 2)
constexpr int32_t SetHotkey = 16;             // HotkeyPayload
constexpr int32_t ChooseCaptureArea = 17;     // int32 drop-down item index
constexpr int32_t StartRecording = 39;        // none
constexpr int32_t CountDownFinished = 40;     // none
constexpr int32_t EndRecording = 43;          // ignored
constexpr int32_t TogglePause = 44;           // none
constexpr int32_t HotkeyPressed = 45;         // std::string keycode
constexpr int32_t SetFilterMic = 46;          // bool
constexpr int32_t SetFilterCoefficient = 48;  // double
constexpr int32_t SetCaptureCamera = 58;      // bool
constexpr int32_t SetOnlyCaptureCamera = 60;  // bool
constexpr int32_t SelectCameraDevice = 62;    // int32 device index
constexpr int32_t TestCamera = 66;            // TestCameraPayload

// Notifications
constexpr int32_t CaptureMethodChanged = 18;      // int32
constexpr int32_t CaptureRectChanged = 20;        // Rect
constexpr int32_t CaptureMicrophoneChanged = 27;  // bool
constexpr int32_t CapturePlaybackChanged = 28;    // bool
constexpr int32_t PointStyleChanged = 29;         // int32
constexpr int32_t ShapeStyleChanged = 30;         // int32
constexpr int32_t PressStyleChanged = 31;         // int32
constexpr int32_t QualityChanged = 32;            // int32
constexpr int32_t HotkeyChanged = 33;             // HotkeyPayload
constexpr int32_t RecordingStarted = 34;          // none
constexpr int32_t RecordingPaused = 35;           // none
constexpr int32_t RecordingResumed = 36;          // none
constexpr int32_t RecordingEnded = 37;            // none
constexpr int32_t CountDownStart = 38;            // none
constexpr int32_t FilterMicChanged = 51;          // bool
constexpr int32_t FilterCoefficientChanged = 53;  // double
constexpr int32_t ShowProgressText = 56;          // int32 text index
constexpr int32_t ShowProgressValue = 57;         // int32
constexpr int32_t CaptureCameraChanged = 59;      // bool
constexpr int32_t OnlyCaptureCameraChanged = 61;  // bool
constexpr int32_t CameraDeviceChanged = 63;       // int32, -1 when none could be opened
constexpr int32_t ShowMessage = 64;               // const wchar_t* (the payload points at it)
constexpr int32_t CameraSettingReserved = 65;     // std::vector<std::wstring> device names
constexpr int32_t ShowMessageWithLink = 67;       // MessageWithLinkPayload
constexpr int32_t FilesFinished = 68;             // none: the recorded files are final

}  // namespace Action
