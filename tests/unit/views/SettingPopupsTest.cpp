// The setting popups off-screen: the audio popup's microphone button flips on the press and
// shows the Store's answer, and the coefficient is rounded; in the setting popup only the Store's
// confirmation moves a highlight, and a hotkey field sends every key it gets in focus; the camera
// popup over three scripted cameras and over this machine's (none). The slider, tabs, tiles and a
// hotkey pressed for real are checked end to end.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "CameraFakes.h"
#include "ViewsTestSupport.h"
#include "camera/StreamingCameraService.h"
#include "ui/controls/List.h"
#include "ui/core/Container.h"
#include "views/controls/CheckBoxButton.h"
#include "views/controls/HotKeyInput.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

namespace {

// The microphone's button flips its state and look on the press, asks for the new state only
// when released on it, and is flipped back by the Store's refusal, with its tooltip.
TEST(AudioSettingTest, TheMicrophoneFlipsOnThePressAsksOnAReleaseOnItAndTakesTheStoresAnswer) {
    viewstest::OpenPopup<AudioSetting> open;
    auto* mic = viewstest::control<CheckBoxButton>(open.popup, "captureMic", "CheckBoxButton");
    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    const Rect r = mic->GetPos();
    const Point between{r.right + 8, (r.top + r.bottom) / 2};  // the gap before the speaker's
    viewstest::sendAt(open.popup, ui::WM_LBUTTONDOWN, {r.left + 8, between.y});
    EXPECT_TRUE(mic->checked);
    EXPECT_EQ(mic->GetBkImage(), "res='165' restype='PNG' source='0,0,32,32' dest='16,16,48,48'");
    viewstest::sendAt(open.popup, ui::WM_MOUSEMOVE, between);
    viewstest::sendAt(open.popup, ui::WM_LBUTTONUP, between);
    EXPECT_TRUE(mic->checked);
    EXPECT_TRUE(log.requests.empty()) << "asked for on a release outside";

    viewstest::clickControl(open.popup, *mic);
    viewstest::clickControl(open.popup, *mic);
    ASSERT_EQ(log.actions(),
              (std::vector<int32_t>{Action::SetCaptureMicrophone, Action::SetCaptureMicrophone}));
    EXPECT_EQ(log.requests[0].number, 0);
    EXPECT_EQ(log.requests[1].number, 1);
    open.popup.SetCaptureMicrophone(false);
    EXPECT_FALSE(mic->checked);
    EXPECT_EQ(mic->GetToolTip(), L"Not capture Microphone");
    EXPECT_EQ(mic->GetBkImage(), "res='160' restype='PNG' source='0,0,32,32' dest='16,16,48,48'");
    open.popup.SetCaptureMicrophone(true);
    EXPECT_EQ(mic->GetToolTip(), L"Capture Microphone");

    mic->SetEnabled(false);  // disabled, it keeps its state
    viewstest::clickControl(open.popup, *mic);
    EXPECT_TRUE(mic->checked);
}

TEST(AudioSettingTest, TheCoefficientRoundsHalvesAwayFromZeroOnTheSliderAndShowsTwoPlaces) {
    // Exact binary halves: the slider rounds them away from zero, the caption to even.
    const std::tuple<double, int32_t, const wchar_t*> cases[] = {
        {0.125, 13, L"0.12"}, {0.375, 38, L"0.38"}, {0.57, 57, L"0.57"}, {-0.125, -13, L"-0.12"}};
    for (const auto& [wc, value, caption] : cases) {
        EXPECT_EQ(AudioSetting::SliderValue(wc), value) << wc;
        EXPECT_EQ(AudioSetting::CoefficientText(wc), caption) << wc;
    }
}

// GPU capture is refused by the Store: asked for, it leaves the highlight on CPU.
TEST(SettingPopupTest, AClickAsksTheStoreAndOnlyItsConfirmationMovesTheHighlight) {
    const std::tuple<int32_t, void (SettingPopup::*)(int32_t), const char*, const char*> groups[] =
        {{Action::SetPointStyle, &SettingPopup::SetPointStyle, "pointStylePanel", "pointNone"},
         {Action::SetPressStyle, &SettingPopup::SetPressStyle, "pressStylePanel", "pressNone"},
         {Action::SetShapeStyle, &SettingPopup::SetShapeStyle, "shapeStylePanel", "shapeNone"},
         {Action::SetCaptureMethod, &SettingPopup::SetCaptureMethod, "captureMethodPanel", nullptr},
         {Action::SetQuality, &SettingPopup::SetQuality, "qualityPanel", nullptr}};
    viewstest::OpenPopup<SettingPopup> open;
    const auto item = [&](const char* panel, int index) {
        return viewstest::control<ui::Container>(open.popup, panel, "Container")->GetItemAt(index);
    };
    const auto lit = [](ui::Control* c) {
        return c->GetBorderColor() == SettingPopup::kSelectedBorder;
    };
    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    for (const auto& [request, confirm, panel, none] : groups) {
        SCOPED_TRACE(panel);
        (open.popup.*confirm)(0);
        log.requests.clear();
        open.popup.GetPaintManager().SendNotify(item(panel, 1), "click");
        ASSERT_EQ(log.actions(), std::vector<int32_t>{request});
        EXPECT_EQ(log.requests[0].number, 1);
        EXPECT_TRUE(lit(item(panel, 0)) && !lit(item(panel, 1))) << "moved before the answer";
        // The answer lights only its choice ("none" where the group has one).
        (open.popup.*confirm)(none ? -1 : 1);
        EXPECT_TRUE(lit(none ? viewstest::control(open.popup, none) : item(panel, 1)));
        EXPECT_FALSE(lit(item(panel, 0)));
    }
}

// The modifier keys as the system reports them, for one test.
class HeldKeys {
public:
    explicit HeldKeys(SDL_Keymod keys) { SDL_SetModState(keys); }
    ~HeldKeys() { SDL_SetModState(KMOD_NONE); }
};

// The setting popup's field for the end hotkey (the third), on its tab.
class HotKeyInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        pm.SendNotify(viewstest::control(open.popup, "hotkeySettingTab"), "click");
        auto* panel = viewstest::control<ui::Container>(open.popup, "hotkeyPanel", "Container");
        field = static_cast<HotKeyInput*>(panel->GetItemAt(2)->GetInterface("HotKeyInput"));
        ASSERT_NE(field, nullptr);
    }
    void TearDown() override { log.clear(); }
    // True when the popup's controls took the message, false when it goes on to the window.
    bool send(uint32_t msg, ui::WPARAM wParam) {
        ui::LRESULT unused = 0;
        return pm.MessageHandler(msg, wParam, 0, unused);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    viewstest::OpenPopup<SettingPopup> open;
    ui::PaintManager& pm = open.popup.GetPaintManager();
    HotKeyInput* field = nullptr;
};

TEST_F(HotKeyInputTest, EveryKeyDownInFocusSendsItsCodeBareModifiersIncluded) {
    struct Case {
        SDL_Keymod held;
        uint32_t vk;
        const char* code;
    };
    const Case cases[] = {
        {static_cast<SDL_Keymod>(KMOD_LCTRL | KMOD_LSHIFT), 0x77, "110119"},
        {KMOD_RSHIFT, 0x77, "000119"},  // only the left Shift counts
        {static_cast<SDL_Keymod>(KMOD_RCTRL | KMOD_LALT), 'A', "101065"},
        {KMOD_LCTRL, 0x11, "100000"},   // Ctrl alone
        {KMOD_LSHIFT, 0x10, "010000"},  // left Shift alone
        {KMOD_NONE, 0x12, "000000"},    // Alt's key, nothing held
    };
    pm.SetFocus(field);
    ASSERT_TRUE(field->IsFocused());
    for (const Case& c : cases) {
        log.hotkeys.clear();
        HeldKeys held(c.held);
        EXPECT_TRUE(send(ui::WM_KEYDOWN, c.vk)) << c.code << ": the key went on to the window";
        ASSERT_EQ(log.hotkeys.size(), 1u) << c.code;
        EXPECT_EQ(log.hotkeys[0].action, 2);
        EXPECT_EQ(log.hotkeys[0].keycode, c.code);
    }
}

TEST_F(HotKeyInputTest, NothingIsSentWithoutTheFocusAndTypingInsertsNothing) {
    pm.SetFocus(pm.FindControl("closeBtn"));
    EXPECT_FALSE(send(ui::WM_KEYDOWN, 0x77)) << "the key must go on to the window";
    pm.SetFocus(nullptr);
    EXPECT_FALSE(send(ui::WM_KEYDOWN, 0x77));
    pm.SetFocus(field);
    EXPECT_FALSE(send(ui::WM_KEYUP, 0x77));
    EXPECT_TRUE(log.hotkeys.empty());
    send(ui::WM_KEYDOWN, 'A');
    send(ui::WM_CHAR, 'a');
    EXPECT_EQ(field->GetText(), L"");
    // The Store answers while the action is being sent, and its window shows the key's name;
    // the Backspace that was pressed must not take a letter off that name.
    log.onHotkey = [this] { field->SetText(L"Backspace"); };
    send(ui::WM_KEYDOWN, ui::Edit::kBackspace);
    EXPECT_EQ(field->GetText(), L"Backspace");
    ASSERT_EQ(log.hotkeys.size(), 2u);
    EXPECT_EQ(log.hotkeys[1].keycode, "000008");
}

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
    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
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
