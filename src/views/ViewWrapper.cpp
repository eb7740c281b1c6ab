#include "views/ViewWrapper.h"

#include <string>

#include "base/Geometry.h"
#include "base/Utf8.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "platform/Screen.h"
#include "text/UiText.h"
#include "views/Alert.h"
#include "views/AppWin.h"
#include "views/CaptureAreaWin.h"
#include "views/Detection.h"
#include "views/GeneratingWin.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

ViewWrapper::ViewWrapper() {
    static const int32_t kNotifications[] = {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                             31, 32, 33, 51, 53, 56, 57, 59, 61, 63, 64, 67, 68};
    for (int32_t id : kNotifications) {
        ActionDispatcher::instance().addListener(id, this);
    }
}

ViewWrapper::~ViewWrapper() = default;

bool ViewWrapper::InitWindows(void* instance) {
    (void)instance;  // resources are built into the program
    toolbar_ = std::make_unique<AppWin>();
    toolbar_->Create(0, Text::toolbarTitle.get(), ui::WS_POPUP,
                     ui::WS_EX_COMPOSITED | ui::WS_EX_TOPMOST);
    toolbar_->ShowWindow(false);
    toolbar_->SetIcon(181);

    std::unique_ptr<platform::Screen> screen = platform::Screen::open();
    const Rect desktop = screen ? screen->desktopRect() : ui::WindowBase::DesktopRect();
    // The magnifier's worker reads the pointer through a connection of its own, which it
    // opens on first use; only one worker runs at a time.
    auto cursorScreen = std::make_shared<std::unique_ptr<platform::Screen>>();
    auto cursor = [cursorScreen](Point& at) {
        if (*cursorScreen == nullptr) {
            *cursorScreen = platform::Screen::open(false);
        }
        return *cursorScreen != nullptr && (*cursorScreen)->cursorPosition(at);
    };
    detection_ = std::make_unique<Detection>(std::move(screen), cursor);
    detection_->Create(0, L"detection", ui::WS_POPUP | ui::WS_CLIPSIBLINGS, ui::WS_EX_TOOLWINDOW);
    detection_->ShowWindow(false);

    captureArea_ = std::make_unique<CaptureAreaWin>(desktop);
    captureArea_->Create(0, L"capture", ui::WS_POPUP | ui::WS_CLIPSIBLINGS,
                         ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST);
    captureArea_->ShowWindow(false);

    toolbar_->SetDetectionWindow(detection_->GetHWND());
    toolbar_->SetCaptureAreaWindow(captureArea_->GetHWND());
    detection_->SetToolbarWindow(toolbar_->GetHWND());
    return true;
}

void ViewWrapper::onAction(int32_t actionId, void* payload) {
    AppWin* toolbar = toolbar_.get();
    if (toolbar == nullptr) {
        return;
    }
    const auto asInt = [payload] { return *static_cast<const int32_t*>(payload); };
    const auto asBool = [payload] { return *static_cast<const bool*>(payload); };
    SettingPopup* settings = toolbar->SettingsPopup();
    AudioSetting* audio = toolbar->AudioPopup();
    CameraSetting* camera = toolbar->CameraPopup();
    switch (actionId) {
        case Action::CaptureMethodChanged:
            settings->SetCaptureMethod(asInt());
            break;
        case Action::PointStyleChanged:
            settings->SetPointStyle(asInt());
            break;
        case Action::ShapeStyleChanged:
            settings->SetShapeStyle(asInt());
            break;
        case Action::PressStyleChanged:
            settings->SetPressStyle(asInt());
            break;
        case Action::QualityChanged:
            settings->SetQuality(asInt());
            break;
        case Action::CaptureMicrophoneChanged:
            audio->SetCaptureMicrophone(asBool());
            break;
        case Action::CapturePlaybackChanged:
            audio->SetCapturePlayback(asBool());
            break;
        case Action::FilterMicChanged:
            audio->SetFilterMic(asBool());
            break;
        case Action::FilterCoefficientChanged:
            audio->SetFilterCoefficient(*static_cast<const double*>(payload));
            break;
        case Action::CaptureCameraChanged:
            camera->SetCaptureCamera(asBool());
            break;
        case Action::OnlyCaptureCameraChanged:
            camera->SetOnlyCaptureCamera(asBool());
            break;
        case Action::CameraDeviceChanged:
            camera->SetDevice(asInt());
            break;
        case Action::CaptureRectChanged: {
            const Rect area = *static_cast<const Rect*>(payload);
            toolbar->TrackCaptureRect(area);
            if (captureArea_) {
                captureArea_->FrameCaptureRect(area);
            }
            break;
        }
        case Action::HotkeyChanged: {
            const auto* hotkey = static_cast<const HotkeyPayload*>(payload);
            toolbar->SetHotkeyText(hotkey->action, Utf8ToWide(hotkey->keycode));
            break;
        }
        case Action::RecordingStarted:
            toolbar->OnRecordingStarted();
            break;
        case Action::RecordingPaused:
            toolbar->OnRecordingPaused();
            break;
        case Action::RecordingResumed:
            toolbar->OnRecordingResumed();
            break;
        case Action::RecordingEnded:
            toolbar->OnRecordingEnded();
            break;
        case Action::FilesFinished:
            toolbar->OnFilesFinished();
            break;
        case Action::CountDownStart:
            if (captureArea_) {
                captureArea_->LockForRecording();
                captureArea_->SetExStyle(captureArea_->GetExStyle() | ui::WS_EX_TOPMOST);
            }
            if (detection_) {
                detection_->Close(ui::IDOK);  // for good: no more custom areas once recording
            }
            toolbar->PrepareCountDown();
            break;
        case Action::ShowProgressText: {
            const int32_t n = *static_cast<const int32_t*>(payload);
            if (toolbar->ProgressWindow() != nullptr && n >= 0 &&
                n < static_cast<int32_t>(std::size(Text::progressTexts))) {
                toolbar->ProgressWindow()->SetTaskName(Text::progressTexts[n].get());
            }
            break;
        }
        case Action::ShowProgressValue:
            if (toolbar->ProgressWindow() != nullptr) {
                toolbar->ProgressWindow()->SetProgress(*static_cast<const int32_t*>(payload));
            }
            break;
        case Action::ShowMessage:
            ShowAlert(*static_cast<const wchar_t* const*>(payload), 1000, 3000, nullptr);
            break;
        case Action::ShowMessageWithLink: {
            const auto* message = static_cast<const MessageWithLinkPayload*>(payload);
            ShowAlert(message->text, message->interval, message->duration, message->onClick);
            break;
        }
        default:
            break;
    }
}
