#pragma once

#include <cstdint>
#include <string>

#include "flux/IActionListener.h"

// The single holder of application state and the only listener of request actions.
// For now it registers for its requests and keeps the output paths; the state, the settings
// file and the recording life cycle are filled in as the engine behind them lands.
class Store : public IActionListener {
public:
    // Created on first use, never destroyed.
    static Store& instance();

    void onAction(int32_t actionId, void* payload) override;

    // Defaults, settings file, first capture rectangle.
    void init();

    void setVideoPath(const std::wstring& path) { videoPath_ = path; }
    void setCameraPath(const std::wstring& path) { cameraPath_ = path; }
    void setSettingPath(const std::wstring& path) { settingPath_ = path; }
    const std::wstring& videoPath() const { return videoPath_; }
    const std::wstring& cameraPath() const { return cameraPath_; }
    const std::wstring& settingPath() const { return settingPath_; }

private:
    Store();

    // UI thread only.
    std::wstring videoPath_ = L"none";
    std::wstring cameraPath_ = L"none";
    std::wstring settingPath_ = L"none";
};
