// The camera popup off-screen, over three scripted cameras and over this machine's (none).
#include "views/popups/CameraSetting.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CameraFakes.h"
#include "ViewsTestSupport.h"
#include "camera/StreamingCameraService.h"
#include "ui/controls/List.h"

namespace {

// The process's camera service lists three cameras while this lives.
class ThreeCameras {
public:
    ThreeCameras() {
        auto driver = std::make_unique<camerafakes::ScriptedDriver>(3);
        for (int i = 0; i < 3; ++i) {
            driver->list[i] = {true, L"Camera " + std::to_wstring(i + 1)};
        }
        previous_ = platform::CameraService::installShared(
            std::make_unique<platform::StreamingCameraService>(std::move(driver)));
    }
    ~ThreeCameras() { platform::CameraService::installShared(std::move(previous_)); }

private:
    std::unique_ptr<platform::CameraService> previous_;
};

// The first camera is selected and asked for at once. Until the Store has the camera ticked the
// list takes no clicks and "Test camera" does nothing; then it opens the preview of the selected
// camera, or asks for one where none can be selected.
TEST(CameraSettingTest, TheRowsTheHeightAndTestCameraFollowTheDevices) {
    struct Case {
        bool fake;
        int32_t height;
        std::vector<std::wstring> rows;
        int32_t selected;
        int32_t tested;  // sent by "Test camera", with this text
        std::wstring text;
    };
    const Case cases[] = {
        {false, 166, {L"No devices"}, -1, Action::ShowMessage, L"Please select a camera device"},
        {true, 230, {L"Camera 1", L"Camera 2", L"Camera 3"}, 0, Action::TestCamera, L"测试摄像头"},
    };
    viewstest::RequestLog& log = viewstest::RequestLog::instance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows.size());
        std::optional<ThreeCameras> cameras;
        if (c.fake) {
            cameras.emplace();
        }
        log.requests.clear();
        viewstest::OpenPopup<CameraSetting> open;
        auto* list = viewstest::control<ui::List>(open.popup, "deviceList", "List");
        std::vector<std::wstring> rows;
        for (int i = 0; i < list->GetCount(); ++i) {
            auto* row = static_cast<ui::Container*>(list->GetItemAt(i)->GetInterface("Container"));
            rows.push_back(row->GetItemAt(0)->GetText());
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(open.popup.GetWindowRect().height(), c.height);
        EXPECT_EQ(list->GetCurSel(), c.selected);
        // The Store's answers that agree change nothing and so ask nothing again.
        open.popup.SetDevice(c.selected);
        open.popup.SetCaptureCamera(false);
        EXPECT_EQ(log.requests.size(), c.fake ? 1u : 0u);
        EXPECT_FALSE(list->IsMouseEnabled());

        ui::Control* test = viewstest::control(open.popup, "testCamera");
        log.requests.clear();
        viewstest::clickControl(open.popup, *test);
        EXPECT_TRUE(log.requests.empty());
        open.popup.SetCaptureCamera(true);
        EXPECT_TRUE(list->IsMouseEnabled());
        viewstest::clickControl(open.popup, *list->GetItemAt(0));  // "No devices" is no choice
        EXPECT_EQ(list->GetCurSel(), c.selected);
        log.requests.clear();
        viewstest::clickControl(open.popup, *test);
        ASSERT_EQ(log.actions(), std::vector<int32_t>{c.tested});
        EXPECT_EQ(log.requests[0].text, c.text);
    }
}

}  // namespace
