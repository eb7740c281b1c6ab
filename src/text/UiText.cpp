#include "text/UiText.h"

int32_t languageIndex = 0;

namespace Text {

const UiText settingTip = {L"Setting", L"设置"};
const UiText closeTip = {L"Close", L"关闭"};
const UiText countDownHint = {L"Press '%s' end recording", L"按 '%s' 结束录制"};
const UiText captureTip = {L"Capture area setting", L"设置录制区域"};
const UiText minimizeTip = {L"Minimize", L"最小化窗口"};
const UiText startTip = {L"Start", L"开始录制"};
const UiText endTip = {L"End", L"结束录制"};
const UiText audioTip = {L"Audio capture setting", L"音频捕获设置"};
const UiText cameraTip = {L"Camera setting", L"摄像头设置"};

const UiText microphoneOn = {L"Capture Microphone", L"录制麦克风"};
const UiText microphoneOff = {L"Not capture Microphone", L"不录制麦克风"};
const UiText playbackOn = {L"Capture playback", L"录制扬声器"};
const UiText playbackOff = {L"Not capture speaker", L"不录制扬声器"};
const UiText filterCaption = {L"Denoise mic, default 0.4", L"降噪麦克风, 默认 0.4"};
const UiText filterExplanation = {
    L"The part of signal which exceed the coefficient set by user will be cut off.",
    L"截止边界, 即信号中超过该系数的频率的部分将被截断"};

const UiText captureCamera = {L"Capture camera", L"捕获摄像头"};
const UiText testCamera = {L"Test camera", L"测试摄像头"};
const UiText onlyCaptureCamera = {L"Only capture camera", L"只采集摄像头"};
const UiText noDevices = {L"No devices", L"找不到设备"};
const UiText selectCameraDevice = {L"Please select a camera device", L"请选择摄像头设备"};

const UiText screenItem = {L"Screen", L"全屏区域"};
const UiText customItem = {L"Custom", L"自定义区域"};
const UiText historyItem = {L"History", L"历史记录"};

const UiText overlayHint = {L"Select the colored area or drag a area",
                            L"选择颜色区域或者拖拽出一片区域"};
const UiText overlaySizeLabel = {L"L: %d, T: %d, Width: %d, Height: %d",
                                 L"左: %d, 上: %d, 宽: %d, 高: %d"};
const UiText captureAreaSizeLabel = {L"L: %d, T: %d, Width: %d, Height: %d",
                                     L"左: %d, 上: %d, 宽: %d, 高: %d"};
const UiText toolbarTitle = {L"Screen Capturer", L"屏幕录制"};

const UiText mouseTab = {L"Mouse", L"鼠标设置"};
const UiText captureTab = {L"Capture", L"捕获设置"};
const UiText hotkeyTab = {L"Hotkey", L"热键设置"};
const UiText pointerCaption = {L"Mouse pointer", L"鼠标指针"};
const UiText apertureCaption = {L"Mouse aperture", L"鼠标光圈"};
const UiText pressedApertureCaption = {L"Mouse aperture pressed", L"鼠标按下光圈"};
const UiText qualityCaption = {L"Quality setting", L"质量设置"};

const UiText qualityNames[3] = {{L"Lossless", L"无损"}, {L"High", L"高清"}, {L"Standard", L"标准"}};
const UiText hotkeyNames[3] = {
    {L"Start", L"开始录制"}, {L"Pause/Resume", L"暂停/继续录制"}, {L"End", L"结束录制"}};
const UiText captureMethodLabels[2] = {{L"CPU", L"CPU捕获"}, {L"GPU", L"GPU捕获"}};
const UiText captureMethodDescriptions[2] = {
    {L"Use local cpu to capture screen, normal speed but stable",
     L"使用CPU捕获屏幕，速度一般，但是稳定"},
    {L"Use integrated graphics card(only intel graphics card is avalidable now) to capture "
     L"screen, fast but not stable",
     L"使用继承显卡进行捕获（目前只支持英特尔显卡），速度较快，但是不稳定"}};
const UiText progressTexts[2] = {{L"Flushing audio buffers", L"正在编码音频缓存"},
                                 {L"Finishing the video file", L"正在生成视频文件"}};

const UiText selectCaptureArea = {L"Please select capture area", L"请选择录屏区域"};
const UiText selectCamera = {L"Please select a camera device", L"请选择摄像头设备"};
const UiText unsupportedAudioFormat = {
    L"Not support this audio format, click and jump to Tramsvik learn more",
    L"暂不支持录制该音频格式, 点击到Tramsvik官网了解详情"};
const UiText initFailed = {L"Exception occurred in initializion", L"初始化出现异常"};
const UiText microphoneFailed = {L"Something in microphone goes wrong",
                                 L"开启麦克风失败，请检查麦克风设备"};
const UiText speakerFailed = {L"Something in speaker goes wrong",
                              L"开启扬声器失败，请检查扬声器设备"};
const UiText cameraFailed = {L"Something goes wroing, please check your camera device",
                             L"摄像头设备出现问题，请检查设备"};

const wchar_t* const cameraPreviewTitle = L"测试摄像头";
const char* const elapsedTimeFormat = "%02d:%02d:%02d";

}  // namespace Text
