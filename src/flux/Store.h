#pragma once

#include <cstdint>
#include <string>

#include "flux/IActionListener.h"
#include "flux/ISettingsTarget.h"
#include "flux/StoreSettings.h"
#include "flux/StoreState.h"
#include "input/HotkeyTable.h"

class ActionDispatcher;
class InputManager;
class RecordingEngine;
class RecordingSources;
namespace platform {
class Clock;
class Screen;
}  // namespace platform

// The single holder of application state and the only listener of request actions. Each
// request changes the state, drives the recording engine where needed and is answered with
// its notification before dispatch returns. UI thread only.
class Store : public IActionListener, private ISettingsTarget {
public:
    // The program's Store, created on first use, never destroyed.
    static Store& instance();

    // A Store that listens on and notifies through `dispatcher`, drives `engine` and
    // `sources`, takes the desktop's size and scale from `screen` (null where there is no
    // display), throttles hotkeys by `clock` and installs the hooks of `input`. The program has
    // exactly one (instance(), on the real ones); tests make their own. All must outlive it.
    Store(ActionDispatcher& dispatcher, RecordingEngine& engine, RecordingSources& sources,
          platform::Screen* screen, const platform::Clock& clock, InputManager& input);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    void onAction(int32_t actionId, void* payload) override;

    // Defaults, settings file, first capture rectangle.
    void init();

    void setVideoPath(const std::wstring& path) { videoPath_ = path; }
    void setCameraPath(const std::wstring& path) { cameraPath_ = path; }
    void setSettingPath(const std::wstring& path) { settingPath_ = path; }
    const std::wstring& videoPath() const { return videoPath_; }
    const std::wstring& cameraPath() const { return cameraPath_; }
    const std::wstring& settingPath() const { return settingPath_; }

    StoreState state() const { return state_; }
    // The end hotkey's code (an absent entry is added empty), for the count-down hint.
    std::string endHotkeyCode();

    const VideoSettings& video() const { return video_; }
    const AudioSettings& audio() const { return audio_; }
    const MouseSettings& mouse() const { return mouse_; }
    const CameraSettings& camera() const { return camera_; }
    int32_t quality() const { return quality_; }
    double scaleX() const { return scaleX_; }
    double scaleY() const { return scaleY_; }
    HotkeyTable& hotkeys() { return hotkeys_; }

    // The file values as the settings file writes them.
    StoreSettings currentSettings() const;

    // The recording life cycle.
    void startRecording();
    void beginRecording();
    void pause();
    void resume();
    void endRecording();
    void onHotkey(const std::string& keycode);

    // Opens the help page about the supported audio formats.
    static void OpenHelpPage();

private:
    // Requests and the operations the settings file applies through.
    void setQuality(int32_t quality) override;
    void setIsCapture(bool on) override;
    void setLoadedRect(const Rect& rect) override;
    void setVideoBitrate(int32_t bitrate) override;
    void setFrameRate(int32_t fpsIndex) override;
    void setCaptureMethod(int32_t method) override;
    void setSampleRate(int32_t rate) override;
    void setAudioBitrate(int32_t bitrate) override;
    void setChannels(int32_t channels) override;
    void setBits(int32_t bits) override;
    void setCaptureMicrophone(bool on) override;
    void setCapturePlayback(bool on) override;
    void setFilterMic(bool on) override;
    void setFilterCoefficient(double wc) override;
    void setCaptureCamera(bool on) override;
    void setOnlyCaptureCamera(bool on) override;
    void selectCameraDevice(int32_t index) override;
    void setHotkey(const HotkeyPayload& hotkey) override;
    void setPointStyle(int32_t style) override;
    void setShapeStyle(int32_t style) override;
    void setPressStyle(int32_t style) override;

    void setCaptureRect(const Rect& rect);
    void chooseCaptureArea(int32_t item);
    bool selectCamera(int32_t index);
    void testCamera(const void* payload);
    void readSettings();
    void saveSettings();
    Rect desktopRect();
    void reopenSources();
    bool audioFormatUnsupported() const;
    void showMessage(const wchar_t* text);
    void notifyBool(int32_t actionId, bool value);
    void notifyInt(int32_t actionId, int32_t value);
    void dispatch(int32_t actionId, void* payload);

    // The collaborators, and the state below: UI thread only, like everything here.
    ActionDispatcher& dispatcher_;
    RecordingEngine& engine_;
    RecordingSources& sources_;
    platform::Screen* screen_;  // null where there is no display
    const platform::Clock& clock_;
    InputManager& input_;
    double scaleX_ = 1.0;
    double scaleY_ = 1.0;
    VideoSettings video_;
    AudioSettings audio_;
    HotkeyTable hotkeys_;
    MouseSettings mouse_;
    StoreState state_ = StoreState::Idle;
    CameraSettings camera_;
    int32_t quality_ = 0;
    std::wstring cameraPath_;
    std::wstring settingPath_;
    std::wstring videoPath_;
    uint32_t lastHotkeyTime_ = 0;
};
