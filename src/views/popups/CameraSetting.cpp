#include "views/popups/CameraSetting.h"

#include <algorithm>

#include "camera/CameraDeviceList.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "text/UiText.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/Label.h"
#include "ui/controls/List.h"
#include "ui/controls/ListContainerElement.h"

namespace {

constexpr ui::Argb kRowText = 0xFF555555;
constexpr int32_t kPreviewWidth = 640;
constexpr int32_t kPreviewHeight = 480;
constexpr int32_t kPreviewIcon = 181;

std::unique_ptr<ui::Control> makeRow(const std::wstring& text) {
    auto label = std::make_unique<ui::Label>();
    label->SetText(text);
    label->SetTextColor(kRowText);
    label->SetTextPadding({12, 0, 12, 0});
    label->SetMouseEnabled(false);
    auto row = std::make_unique<ui::ListContainerElement>();
    row->SetFixedHeight(CameraSetting::kRowHeight);
    row->Add(std::move(label));
    return row;
}

ui::CheckBox* findCheckBox(ui::PaintManager& pm, const char* name) {
    ui::Control* control = pm.FindControl(name);
    return control != nullptr ? static_cast<ui::CheckBox*>(control->GetInterface("CheckBox"))
                              : nullptr;
}

void sendBool(int32_t action, bool value) {
    ActionDispatcher::instance().dispatch(action, &value);
}

}  // namespace

class CameraSetting::NamesListener : public IActionListener {
public:
    explicit NamesListener(CameraSetting* popup) : popup(popup) {}
    void onAction(int32_t actionId, void* payload) override {
        if (actionId == Action::CameraSettingReserved && popup != nullptr) {
            popup->SetDeviceNames(*static_cast<const std::vector<std::wstring>*>(payload));
        }
    }
    CameraSetting* popup;  // null once the popup is gone
};

CameraSetting::CameraSetting(ui::WindowId parent, ui::Control* anchor)
    : Popup(kLayout, parent, anchor), listener_(new NamesListener(this)) {
    ActionDispatcher::instance().addListener(Action::CameraSettingReserved, listener_);
}

CameraSetting::~CameraSetting() {
    listener_->popup = nullptr;
}

void CameraSetting::InitWindow() {
    const CameraDeviceList devices;
    deviceNames_.assign(devices.begin(), devices.end());
    if (ui::Control* list = pm_.FindControl("deviceList")) {
        deviceList_ = static_cast<ui::List*>(list->GetInterface("List"));
    }
    FillList();
    const Rect at = GetWindowRect();
    const auto rows = static_cast<int32_t>(std::max<size_t>(deviceNames_.size(), 1));
    MoveWindow(at.left, at.top, kWidth, kRowHeight * rows + kFixedHeight);

    captureCamera_ = findCheckBox(pm_, "captureCamera");
    onlyCaptureCamera_ = findCheckBox(pm_, "onlyCaptureCamera");
    testCamera_ = pm_.FindControl("testCamera");
    if (ui::Control* caption = pm_.FindControl("captureCameraCaption")) {
        caption->SetText(Text::captureCamera.get());
    }
    if (ui::Control* caption = pm_.FindControl("onlyCaptureCameraCaption")) {
        caption->SetText(Text::onlyCaptureCamera.get());
    }
    if (testCamera_ != nullptr) {
        testCamera_->SetText(Text::testCamera.get());
    }
}

void CameraSetting::FillList() {
    if (deviceList_ == nullptr) {
        return;
    }
    if (deviceNames_.empty()) {
        // The only row says there is nothing to pick, and cannot be picked.
        auto none = makeRow(Text::noDevices.get());
        none->SetMouseEnabled(false);
        deviceList_->Add(std::move(none));
        deviceList_->SelectItem(-1, false);
        return;
    }
    for (const std::wstring& name : deviceNames_) {
        deviceList_->Add(makeRow(name));
    }
    // Raises "itemselect": the Store hears of the first device at once.
    deviceList_->SelectItem(0, true);
}

void CameraSetting::SetDeviceNames(const std::vector<std::wstring>& names) {
    deviceNames_ = names;
    if (deviceList_ != nullptr) {
        deviceList_->RemoveAll();
    }
    FillList();
}

void CameraSetting::Notify(ui::Notification& msg) {
    if (msg.sender != nullptr) {
        if (msg.type == "click" && msg.sender == testCamera_) {
            if (captureCamera_ != nullptr && captureCamera_->IsSelected()) {
                if (deviceList_ != nullptr && deviceList_->GetCurSel() > -1) {
                    TestCameraPayload preview;
                    preview.title = Text::cameraPreviewTitle;
                    preview.width = kPreviewWidth;
                    preview.height = kPreviewHeight;
                    preview.icon = kPreviewIcon;
                    ActionDispatcher::instance().dispatch(Action::TestCamera, &preview);
                } else {
                    const wchar_t* text = Text::selectCameraDevice.get();
                    ActionDispatcher::instance().dispatch(Action::ShowMessage, &text);
                }
            }
        } else if (msg.type == "selectchanged" && msg.sender == captureCamera_) {
            sendBool(Action::SetCaptureCamera, captureCamera_->IsSelected());
        } else if (msg.type == "selectchanged" && msg.sender == onlyCaptureCamera_) {
            sendBool(Action::SetOnlyCaptureCamera, onlyCaptureCamera_->IsSelected());
        } else if (msg.type == "itemselect") {
            auto index = static_cast<int32_t>(msg.wParam);
            ActionDispatcher::instance().dispatch(Action::SelectCameraDevice, &index);
        }
    }
    Popup::Notify(msg);
}

void CameraSetting::SetCaptureCamera(bool on) {
    if (captureCamera_ != nullptr && captureCamera_->IsSelected() != on) {
        captureCamera_->Selected(on);
    }
    if (deviceList_ != nullptr) {
        deviceList_->SetMouseEnabled(on);
    }
}

void CameraSetting::SetOnlyCaptureCamera(bool on) {
    if (onlyCaptureCamera_ != nullptr && onlyCaptureCamera_->IsSelected() != on) {
        onlyCaptureCamera_->Selected(on);
    }
}

void CameraSetting::SetDevice(int32_t index) {
    if (deviceList_ != nullptr && deviceList_->GetCurSel() != index) {
        deviceList_->SelectItem(index, true);
    }
}
