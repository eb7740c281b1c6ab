// The camera popup off-screen, over scripted devices and over this machine's (none).
#include "views/popups/CameraSetting.h"

#include <gtest/gtest.h>

#include <memory>

#include "CameraFakes.h"
#include "ViewsTestSupport.h"
#include "camera/StreamingCameraService.h"
#include "platform/CameraService.h"
#include "text/UiText.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/List.h"
#include "ui/render/Canvas.h"

namespace {

// The process's camera service made of `devices` named devices while it lives; none: this
// machine's own service.
class CameraDevices {
public:
    explicit CameraDevices(int devices) {
        if (devices >= 0) {
            auto driver = std::make_unique<camerafakes::ScriptedDriver>(devices);
            for (int i = 0; i < devices; ++i) {
                driver->list[i] = {true, L"Camera " + std::to_wstring(i + 1)};
            }
            previous_ = platform::CameraService::installShared(
                std::make_unique<platform::StreamingCameraService>(std::move(driver)));
        }
    }
    ~CameraDevices() {
        if (previous_) {
            platform::CameraService::installShared(std::move(previous_));
        }
    }

private:
    std::unique_ptr<platform::CameraService> previous_;
};

struct Opened {
    viewstest::MessageLog toolbar;
    std::unique_ptr<CameraSetting> popup =
        std::make_unique<CameraSetting>(toolbar.GetHWND(), nullptr);
    ui::List* list = nullptr;

    Opened() {
        popup->CreatePopup(true);
        list = static_cast<ui::List*>(
            popup->GetPaintManager().FindControl("deviceList")->GetInterface("List"));
        ui::Canvas canvas(0, 0);
        popup->RenderTo(canvas);
    }
    ui::Control* control(const char* name) { return popup->GetPaintManager().FindControl(name); }
    std::vector<std::wstring> rows() const {
        std::vector<std::wstring> texts;
        for (int i = 0; i < list->GetCount(); ++i) {
            auto* row = static_cast<ui::Container*>(list->GetItemAt(i)->GetInterface("Container"));
            texts.push_back(row->GetItemAt(0)->GetText());
        }
        return texts;
    }
};

class CameraSettingTest : public ::testing::Test {
protected:
    void SetUp() override {
        languageIndex = 0;
        log.requests.clear();
    }
    viewstest::RequestLog& log = viewstest::RequestLog::instance();
};

TEST_F(CameraSettingTest, TheListAndTheWindowFollowTheDevices) {
    struct Case {
        const char* what;
        int devices;  // -1: this machine, which has no camera
        int32_t height;
        std::vector<std::wstring> rows;
        int selected;
        std::vector<int32_t> sent;
    };
    const Case cases[] = {
        {"this machine", -1, 166, {L"No devices"}, -1, {}},
        {"one", 1, 166, {L"Camera 1"}, 0, {Action::SelectCameraDevice}},
        {"three", 3, 230, {L"Camera 1", L"Camera 2", L"Camera 3"}, 0, {Action::SelectCameraDevice}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CameraDevices devices(c.devices);
        log.requests.clear();
        Opened opened;
        EXPECT_EQ(opened.rows(), c.rows);
        EXPECT_EQ(opened.list->GetCurSel(), c.selected);
        ASSERT_EQ(log.actions(), c.sent);
        if (!c.sent.empty()) {
            EXPECT_EQ(log.requests[0].number, 0);
        }
        EXPECT_EQ(opened.popup->GetWindowRect().height(), c.height);
    }
    // The "No devices" row cannot be picked.
    CameraDevices none(0);
    Opened opened;
    log.requests.clear();
    viewstest::clickControl(*opened.popup, *opened.list->GetItemAt(0));
    EXPECT_EQ(opened.list->GetCurSel(), -1);
    EXPECT_TRUE(log.requests.empty());
}

TEST_F(CameraSettingTest, TestCameraWantsTheCameraOnAndADevice) {
    struct Case {
        const char* what;
        int devices;
        bool capture;
        std::vector<int32_t> sent;
    };
    const Case cases[] = {
        {"capture unticked", 3, false, {}},
        {"capture and a device", 3, true, {Action::TestCamera}},
        {"capture, no device", 0, true, {Action::ShowMessage}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CameraDevices devices(c.devices);
        Opened opened;
        opened.popup->SetCaptureCamera(c.capture);
        log.requests.clear();
        viewstest::clickControl(*opened.popup, *opened.control("testCamera"));
        ASSERT_EQ(log.actions(), c.sent);
        if (c.sent == std::vector<int32_t>{Action::TestCamera}) {
            EXPECT_EQ(log.requests[0].text, L"测试摄像头");
            EXPECT_EQ(log.requests[0].width, 640);
            EXPECT_EQ(log.requests[0].height, 480);
            EXPECT_EQ(log.requests[0].icon, 181);
        } else if (!c.sent.empty()) {
            EXPECT_EQ(log.requests[0].text, L"Please select a camera device");
        }
    }
}

TEST_F(CameraSettingTest, TheStoresAnswersSelectOnlyWhatDiffers) {
    CameraDevices devices(3);
    Opened opened;
    auto* capture =
        static_cast<ui::CheckBox*>(opened.control("captureCamera")->GetInterface("CheckBox"));
    auto* only =
        static_cast<ui::CheckBox*>(opened.control("onlyCaptureCamera")->GetInterface("CheckBox"));
    log.requests.clear();

    opened.popup->SetDevice(0);  // selected already: not again
    EXPECT_TRUE(log.requests.empty());
    opened.popup->SetDevice(2);
    EXPECT_EQ(opened.list->GetCurSel(), 2);
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SelectCameraDevice});
    EXPECT_EQ(log.requests[0].number, 2);

    // A tick by the user asks the Store; the Store's answer re-ticks nothing.
    log.requests.clear();
    viewstest::clickControl(*opened.popup, *capture);
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SetCaptureCamera});
    EXPECT_EQ(log.requests[0].number, 1);
    opened.popup->SetCaptureCamera(true);
    EXPECT_TRUE(opened.list->IsMouseEnabled());
    EXPECT_EQ(log.requests.size(), 1u);
    opened.popup->SetCaptureCamera(false);
    EXPECT_FALSE(capture->IsSelected());
    EXPECT_FALSE(opened.list->IsMouseEnabled());

    log.requests.clear();
    opened.popup->SetOnlyCaptureCamera(true);
    EXPECT_TRUE(only->IsSelected());
    ASSERT_EQ(log.actions(), std::vector<int32_t>{Action::SetOnlyCaptureCamera});
    opened.popup->SetOnlyCaptureCamera(true);
    EXPECT_EQ(log.requests.size(), 1u) << "agreeing already, the box sends nothing";
}

TEST_F(CameraSettingTest, NewDeviceNamesRefillTheListInPlaceAndOutliveNoPopup) {
    CameraDevices devices(0);
    auto opened = std::make_unique<Opened>();
    const Rect before = opened->popup->GetWindowRect();
    std::vector<std::wstring> names{L"Front", L"Back"};
    log.requests.clear();
    ActionDispatcher::instance().dispatch(Action::CameraSettingReserved, &names);
    EXPECT_EQ(opened->rows(), names);
    EXPECT_EQ(opened->popup->DeviceNames(), names);
    EXPECT_EQ(opened->list->GetCurSel(), 0);
    EXPECT_EQ(log.actions(), std::vector<int32_t>{Action::SelectCameraDevice});
    EXPECT_EQ(opened->popup->GetWindowRect().height(), before.height()) << "not resized";
    // Gone popups hear nothing.
    opened.reset();
    ActionDispatcher::instance().dispatch(Action::CameraSettingReserved, &names);
}

}  // namespace
