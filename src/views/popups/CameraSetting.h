#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "views/Popup.h"

namespace ui {
class CheckBox;
class List;
}  // namespace ui

// The camera popup: record the camera, record only the camera, pick the device, and try it in
// a preview window. The device list is read from the camera service each time the window is
// created, and the window grows with it (one 32-pixel row per device, at least one row).
class CameraSetting : public Popup {
public:
    CameraSetting(ui::WindowId parent, ui::Control* anchor);
    ~CameraSetting() override;

    void InitWindow() override;
    void Notify(ui::Notification& msg) override;

    // The Store's answers. Without the camera the list takes no clicks.
    void SetCaptureCamera(bool on);
    void SetOnlyCaptureCamera(bool on);
    // Selects the device unless it is selected already.
    void SetDevice(int32_t index);
    // Replaces the listed devices (the window keeps its size).
    void SetDeviceNames(const std::vector<std::wstring>& names);

    const std::vector<std::wstring>& DeviceNames() const { return deviceNames_; }

    static constexpr uint32_t kLayout = 191;
    static constexpr int32_t kWidth = 144;
    static constexpr int32_t kRowHeight = 32;
    // The window's height without the list's rows.
    static constexpr int32_t kFixedHeight = 134;

private:
    class NamesListener;

    void FillList();

    std::vector<std::wstring> deviceNames_;  // in device order
    ui::CheckBox* captureCamera_ = nullptr;
    ui::CheckBox* onlyCaptureCamera_ = nullptr;
    ui::Control* testCamera_ = nullptr;
    ui::List* deviceList_ = nullptr;
    // Registered with the dispatcher, which keeps its listeners for good: it outlives the
    // popup and is cut off from it when the popup goes.
    NamesListener* listener_;
};
