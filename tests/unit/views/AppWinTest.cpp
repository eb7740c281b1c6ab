// The toolbar's placement and clock, and, off-screen, the popups its buttons open.
#include "views/AppWin.h"

#include <gtest/gtest.h>

#include "ViewsTestSupport.h"
#include "views/CaptureDropDownList.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

namespace {

TEST(AppWinTest, GoesAboveTheAreaElseBelowElseTopCentre) {
    const ui::Size toolbar{384, 96};
    const ui::Size desktop{1920, 1080};
    const Point topCentre{1920 / 2 - 384 / 2, 0};
    struct Case {
        const char* what;
        Rect area;
        Point expected;
    };
    const Case cases[] = {
        // 101 pixels above the area are enough (96 + the 5 the test asks for): 15 above it.
        {"room above", {400, 101, 1400, 700}, {1400 - 384, 101 - 96 - 15}},
        {"one pixel short above, room below", {400, 100, 1400, 700}, {1400 - 384, 700 + 15}},
        {"no room above or below", {400, 50, 1400, 1000}, topCentre},
        {"the whole screen", {0, 0, 1920, 1080}, topCentre},
        {"right edge not beyond the toolbar's width", {0, 300, 384, 700}, topCentre},
    };
    for (const Case& c : cases) {
        const Point at = AppWin::Placement(c.area, toolbar, desktop);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

TEST(AppWinTest, TheTimerCountsHoursPastTheFirst) {
    const std::pair<int32_t, const wchar_t*> cases[] = {
        {0, L"00:00:00"},    {59, L"00:00:59"},   {61, L"00:01:01"},
        {3600, L"01:00:00"}, {3661, L"01:01:01"}, {100 * 3600 + 59, L"100:00:59"},
    };
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(AppWin::ElapsedText(seconds), text) << seconds;
    }
}

TEST(AppWinTest, EachButtonTogglesItsOwnPopup) {
    AppWin toolbar;
    toolbar.CreateOffscreen(L"toolbar", ui::WS_POPUP, 0);
    viewstest::render(toolbar);
    struct Button {
        const char* name;
        Popup* popup;
    };
    const Button buttons[] = {
        {"audioBtn", toolbar.AudioPopup()},
        {"settingBtn", toolbar.SettingsPopup()},
        {"cameraBtn", toolbar.CameraPopup()},
        {"captureBtn", toolbar.DropDown()},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        ASSERT_NE(b.popup, nullptr);
        ui::Control* button = toolbar.GetPaintManager().FindControl(b.name);
        viewstest::clickControl(toolbar, *button);
        for (const Button& other : buttons) {
            EXPECT_EQ(other.popup->IsShown(), other.popup == b.popup) << other.name;
        }
        viewstest::clickControl(toolbar, *button);
        EXPECT_FALSE(b.popup->IsShown());
    }
}

}  // namespace
