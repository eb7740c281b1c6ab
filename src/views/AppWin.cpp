#include "views/AppWin.h"

#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <thread>

#include "base/Log.h"
#include "base/Utf8.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "flux/InputRouter.h"
#include "flux/Store.h"
#include "input/InputManager.h"
#include "platform/MessageLoop.h"
#include "text/UiText.h"
#include "ui/controls/Button.h"
#include "views/CaptureDropDownList.h"
#include "views/CountDown.h"
#include "views/GeneratingWin.h"
#include "views/ViewMessages.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

namespace {

// Between a window-state change and the timer's, as the toolbar has always done.
void pause24ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(24));
}

void dispatch(int32_t action) {
    ActionDispatcher::instance().dispatch(action, nullptr);
}

}  // namespace

AppWin::AppWin() = default;

AppWin::~AppWin() = default;

ui::Control* AppWin::CreateControl(std::string_view className) {
    return factory_.CreateControl(className);
}

ui::Control* AppWin::FindAndTip(const char* name, const wchar_t* tip) {
    ui::Control* control = pm_.FindControl(name);
    if (control != nullptr) {
        control->SetToolTip(tip);
    }
    return control;
}

void AppWin::InitWindow() {
    timer_ = pm_.FindControl("timer");
    FindAndTip("minbtn", Text::minimizeTip.get());
    FindAndTip("closeBtn", Text::closeTip.get());
    FindAndTip("endBtn", Text::endTip.get());
    audioBtn_ = FindAndTip("audioBtn", Text::audioTip.get());
    cameraBtn_ = FindAndTip("cameraBtn", Text::cameraTip.get());
    startBtn_ = FindAndTip("startBtn", Text::startTip.get());
    settingBtn_ = FindAndTip("settingBtn", Text::settingTip.get());
    captureBtn_ = FindAndTip("captureBtn", Text::captureTip.get());

    setting_ = std::make_unique<SettingPopup>(GetHWND(), settingBtn_);
    setting_->CreatePopup(IsOffscreen());
    dropDown_ = std::make_unique<CaptureDropDownList>(GetHWND(), captureBtn_);
    dropDown_->CreatePopup(IsOffscreen());
    audio_ = std::make_unique<AudioSetting>(GetHWND(), audioBtn_);
    audio_->CreatePopup(IsOffscreen());
    camera_ = std::make_unique<CameraSetting>(GetHWND(), cameraBtn_);
    camera_->CreatePopup(IsOffscreen());

    // The pause and microphone/speaker images are wanted at once when they are first shown.
    for (const char* image : {"res='163' restype='png' source='0,0,32,32' dest='16,16,48,48'",
                              "res='160' restype='png' source='0,0,32,32' dest='16,16,48,48'",
                              "res='162' restype='png' source='0,0,32,32' dest='16,16,48,48'"}) {
        pm_.GetImages().preload(image);
    }
}

void AppWin::Notify(ui::Notification& msg) {
    if (msg.type == "click" && msg.sender != nullptr) {
        const std::string& name = msg.sender->GetName();
        if (name == "captureBtn") {
            dropDown_->TogglePopup();
        } else if (name == "audioBtn") {
            audio_->TogglePopup();
        } else if (name == "settingBtn") {
            setting_->TogglePopup();
        } else if (name == "cameraBtn") {
            camera_->TogglePopup();
        } else if (name == "startBtn") {
            dispatch(Store::instance().state() == StoreState::Idle ? Action::StartRecording
                                                                   : Action::TogglePause);
        } else if (name == "closeBtn" || name == "endBtn") {
            SendMessage(ui::WM_CLOSE);
        }
    }
    ui::WindowImplBase::Notify(msg);
}

ui::LRESULT AppWin::HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) {
    switch (msg) {
        case WM_VIEW_SHOW:
            ShowWindow(true, true);
            ui::SendMessage(captureArea_, WM_VIEW_SHOW);
            break;
        case WM_BEGIN_DETECTION:
            ShowWindow(false);
            ui::SendMessage(captureArea_, WM_VIEW_HIDE);
            if (detection_ != 0) {
                ui::SendMessage(detection_, WM_VIEW_SHOW);
            } else {
                // No area picker to hand over to: the toolbar comes straight back.
                ShowWindow(true, true);
                ui::SendMessage(captureArea_, WM_VIEW_SHOW);
            }
            break;
        case WM_COUNTDOWN_FINISHED:
            dispatch(Action::CountDownFinished);
            break;
        default:
            break;
    }
    return ui::WindowImplBase::HandleMessage(msg, wParam, lParam);
}

ui::LRESULT AppWin::HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                        bool& handled) {
    // Only the elapsed-time timer counts: the window's other timers (tooltips) are not seconds.
    if (msg == ui::WM_TIMER && wParam == kTimer) {
        ++elapsedSeconds_;
        if (timer_ != nullptr) {
            timer_->SetText(ElapsedText(elapsedSeconds_));
        }
    }
    return ui::WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

ui::LRESULT AppWin::OnClose(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam, bool& handled) {
    dispatch(Action::EndRecording);
    return ui::WindowImplBase::OnClose(msg, wParam, lParam, handled);
}

std::wstring AppWin::ElapsedText(int32_t seconds) {
    const int32_t hours = seconds / 3600;
    const int32_t minutes = (seconds - hours * 3600) / 60;
    wchar_t text[32];
    std::swprintf(text, 32, L"%02d:%02d:%02d", hours, minutes, seconds % 60);
    return text;
}

Point AppWin::Placement(const Rect& area, ui::Size toolbar, ui::Size desktop) {
    const int32_t w = toolbar.cx;
    const int32_t h = toolbar.cy;
    const Point topCentre{desktop.cx / 2 - w / 2, 0};
    const int32_t x = area.right - w;
    if (w <= 0 || h <= 0 || x <= 0) {
        return topCentre;
    }
    // The room test leaves 5 pixels, the placement 15.
    if (area.top - h - 5 >= 0) {
        return {x, area.top - h - 15};
    }
    if (h + 5 + area.bottom <= desktop.cy) {
        return {x, area.bottom + 15};
    }
    return topCentre;
}

void AppWin::TrackCaptureRect(const Rect& area) {
    const Rect window = GetWindowRect();
    const Rect desktop = DesktopRect();
    const ui::Size size{window.width(), window.height()};
    const Point at = Placement(area, size, {desktop.width(), desktop.height()});
    MoveWindow(at.x, at.y, size.cx, size.cy);
    // Shown already, it keeps out of the focus: the areas that arrive while the user drags
    // the capture frame would otherwise take the focus from the frame, which ends the drag.
    if (!IsWindowVisible()) {
        ShowWindow(true, true);
    }
}

void AppWin::SetStartImage(const std::string& descriptor) {
    if (auto* button = static_cast<ui::Button*>(
            startBtn_ != nullptr ? startBtn_->GetInterface("Button") : nullptr)) {
        button->SetNormalImage(descriptor);
    }
}

void AppWin::OnRecordingStarted() {
    SetStartImage("res='163' restype='png' source='0,0,32,32' dest='16,16,48,48'");
    if (startBtn_ != nullptr) {
        startBtn_->SetEnabled(true);
    }
    UpdateWindow();
    pause24ms();
    SetTimer(kTimer, kTimerMs);
}

void AppWin::OnRecordingPaused() {
    KillTimer(kTimer);
    pause24ms();
    SendMessage(ui::WM_SYSCOMMAND, ui::SC_RESTORE);
    SetStartImage("res='159' restype='PNG' source='0,0,32,32' dest='16,16,48,48'");
}

void AppWin::OnRecordingResumed() {
    SetStartImage("res='163' restype='png' source='0,0,32,32' dest='16,16,48,48'");
    SendMessage(ui::WM_SYSCOMMAND, ui::SC_MINIMIZE);
    pause24ms();
    SetTimer(kTimer, kTimerMs);
}

void AppWin::HideAllPopups() {
    const std::initializer_list<Popup*> popups = {audio_.get(), setting_.get(), dropDown_.get(),
                                                  camera_.get()};
    for (Popup* popup : popups) {
        if (popup != nullptr) {
            popup->HidePopup();
        }
    }
}

void AppWin::PrepareCountDown() {
    for (ui::Control* button : {captureBtn_, settingBtn_, audioBtn_, startBtn_, cameraBtn_}) {
        if (button != nullptr) {
            button->SetEnabled(false);
        }
    }
    HideAllPopups();
    SendMessage(ui::WM_SYSCOMMAND, ui::SC_MINIMIZE);
    const std::wstring key =
        InputRouter::manager().keycodeText(Utf8ToWide(Store::instance().endHotkeyCode()));
    // The hint's "%s" is the key's name (wide printf differs between platforms on "%s").
    std::wstring hint = Text::countDownHint.get();
    const auto at = hint.find(L"%s");
    if (at != std::wstring::npos) {
        hint.replace(at, 2, key);
    }
    countDown_ = std::make_unique<CountDown>(GetHWND(), hint);
}

void AppWin::OnRecordingEnded() {
    if (!progressOpened_) {
        progress_ = std::make_unique<GeneratingWin>();
        KillTimer(kTimer);
        if (startBtn_ != nullptr) {
            startBtn_->SetEnabled(false);
        }
        progressOpened_ = true;
    }
}

void AppWin::OnFilesFinished() {
    SC_LOG("AppWin", "Recording ended, exit");
    // The loop ends once what is already queued (the progress window's last paint) has run.
    platform::MessageLoop::ui().quit(1);
}

void AppWin::SetHotkeyText(int32_t index, const std::wstring& text) {
    if (setting_) {
        setting_->SetHotkeyText(index, text);
    }
}
