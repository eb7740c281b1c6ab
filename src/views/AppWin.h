#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/Geometry.h"
#include "ui/window/WindowImplBase.h"
#include "views/controls/CDialogBuilderCallbackEx.h"

class AudioSetting;
class CameraSetting;
class CaptureDropDownList;
class CountDown;
class GeneratingWin;
class SettingPopup;

// The toolbar: choose the area, start, pause and resume, end, open the setting popups, and see
// the time recorded. It owns the popups and the count-down and progress windows. Created
// hidden; it shows itself next to the capture area the first time that is known.
class AppWin : public ui::WindowImplBase {
public:
    AppWin();
    ~AppWin() override;

    std::string GetWindowClassName() const override { return "App"; }
    uint32_t GetLayoutId() const override { return 169; }
    void InitWindow() override;
    void Notify(ui::Notification& msg) override;
    ui::Control* CreateControl(std::string_view className) override;
    ui::LRESULT HandleMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam) override;
    ui::LRESULT HandleCustomMessage(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override;
    ui::LRESULT OnClose(uint32_t msg, ui::WPARAM wParam, ui::LPARAM lParam, bool& handled) override;

    // From the view wrapper.
    void SetDetectionWindow(ui::WindowId window) { detection_ = window; }
    void SetCaptureAreaWindow(ui::WindowId window) { captureArea_ = window; }
    void TrackCaptureRect(const Rect& area);
    void OnRecordingStarted();
    // Paused: the timer stops, the toolbar comes back with the start image. Resumed: the
    // pause image, minimised, the timer runs again.
    void OnRecordingPaused();
    void OnRecordingResumed();
    void PrepareCountDown();
    // The recording has ended: shows the progress window while the files are finished.
    void OnRecordingEnded();
    // The files are final: ends the program with code 1.
    void OnFilesFinished();
    void SetHotkeyText(int32_t index, const std::wstring& text);
    void SetStartImage(const std::string& descriptor);
    GeneratingWin* ProgressWindow() const { return progress_.get(); }
    CountDown* CountDownWindow() const { return countDown_.get(); }
    AudioSetting* AudioPopup() const { return audio_.get(); }
    SettingPopup* SettingsPopup() const { return setting_.get(); }
    CameraSetting* CameraPopup() const { return camera_.get(); }
    CaptureDropDownList* DropDown() const { return dropDown_.get(); }

    // Where the toolbar (size) goes for a capture area on a desktop of the given size: above
    // the area, below it, or at the top centre when neither fits.
    static Point Placement(const Rect& area, ui::Size toolbar, ui::Size desktop);
    // The elapsed time as the timer label shows it: hours are not capped.
    static std::wstring ElapsedText(int32_t seconds);

    // The elapsed-time timer.
    static constexpr uint32_t kTimer = 1;
    static constexpr uint32_t kTimerMs = 1000;

private:
    ui::Control* FindAndTip(const char* name, const wchar_t* tip);
    void HideAllPopups();

    CDialogBuilderCallbackEx factory_;
    ui::WindowId detection_ = 0;
    ui::WindowId captureArea_ = 0;
    std::unique_ptr<GeneratingWin> progress_;
    std::unique_ptr<SettingPopup> setting_;
    std::unique_ptr<CaptureDropDownList> dropDown_;
    std::unique_ptr<AudioSetting> audio_;
    std::unique_ptr<CameraSetting> camera_;
    // Its window closes itself when done; the object stays (one count-down per process).
    std::unique_ptr<CountDown> countDown_;
    ui::Control* captureBtn_ = nullptr;
    ui::Control* settingBtn_ = nullptr;
    ui::Control* audioBtn_ = nullptr;
    ui::Control* startBtn_ = nullptr;
    ui::Control* cameraBtn_ = nullptr;
    ui::Control* timer_ = nullptr;
    int32_t elapsedSeconds_ = 0;  // one recording per process: never reset
    bool progressOpened_ = false;
};
