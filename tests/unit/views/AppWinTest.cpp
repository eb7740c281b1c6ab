// The toolbar's placement and clock, and, off-screen, the popups its buttons open; where a popup
// opens near the screen's edges; the capture drop-down.
#include "views/AppWin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "Await.h"
#include "ViewsTestSupport.h"
#include "ui/controls/List.h"
#include "views/CaptureDropDownList.h"
#include "views/ViewMessages.h"
#include "views/popups/AudioSetting.h"
#include "views/popups/CameraSetting.h"
#include "views/popups/SettingPopup.h"

namespace {

using namespace std::chrono_literals;

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

TEST(PopupPlacementTest, BelowTheButtonUnlessAScreenEdgeIsInTheWay) {
    // A 384x96 toolbar whose 64x64 button sits at (12, 32); a 120x256 popup; 1920x1080 screen.
    const Rect button{12, 32, 76, 96};
    const ui::Size fixed{64, 64};
    const ui::Size popup{120, 256};
    const ui::Size screen{1920, 1080};
    struct Case {
        const char* what;
        Point toolbar;
        bool anchored;
        Point expected;
    };
    const Case cases[] = {
        {"room everywhere", {500, 400}, true, {512, 506}},
        {"right edge just reached", {1788, 400}, true, {1800, 506}},
        {"past the right edge: right-aligned with the button", {1789, 400}, true, {1745, 506}},
        {"bottom edge just reached", {500, 718}, true, {512, 1080 - 256}},
        {"past the bottom: above the toolbar", {500, 719}, true, {512, 719 - 256 - 10}},
        {"bottom right corner", {1800, 1000}, true, {1756, 1000 - 266}},
        {"no anchor: centred", {1800, 1000}, false, {960 - 60, 540 - 128}},
    };
    for (const Case& c : cases) {
        const Rect toolbar{c.toolbar.x, c.toolbar.y, c.toolbar.x + 384, c.toolbar.y + 96};
        const Point at = Popup::Placement(toolbar, button, fixed, popup, screen, c.anchored);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
    // Centring takes the integer halves of each size.
    const Point odd = Popup::Placement({}, {}, {}, {121, 257}, {1367, 769}, false);
    EXPECT_EQ(odd.x, 683 - 60);
    EXPECT_EQ(odd.y, 384 - 128);
}

class CaptureDropDownListTest : public ::testing::Test {
protected:
    void clickRow(int row) {
        dropDown.ShowPopup();
        ASSERT_TRUE(dropDown.IsShown());
        viewstest::clickControl(dropDown, *list->GetItemAt(row));
    }
    // How often the toolbar has been asked to open the area picker.
    long detections() const {
        return std::count(open.toolbar.heard.begin(), open.toolbar.heard.end(), WM_BEGIN_DETECTION);
    }

    viewstest::ActionLog& log = viewstest::ActionLog::fresh();
    viewstest::OpenPopup<CaptureDropDownList> open;
    CaptureDropDownList& dropDown = open.popup;
    ui::List* list = viewstest::control<ui::List>(dropDown, "captureDropDownList", "List");
};

TEST_F(CaptureDropDownListTest, EveryRowButCustomSendsItsIndexCustomAsksForThePicker) {
    for (int row : {0, 2, 3, 4, 5, 6, 7}) {
        log.areas.clear();
        clickRow(row);
        EXPECT_EQ(log.areas, std::vector<int32_t>{row});
        EXPECT_EQ(list->GetCurSel(), row);
        EXPECT_FALSE(dropDown.IsShown()) << row;
    }
    log.areas.clear();
    // "Custom" leaves no row selected, so picking it again asks again.
    for (int time = 1; time <= 2; ++time) {
        clickRow(1);
        EXPECT_EQ(list->GetCurSel(), -1);
        EXPECT_FALSE(dropDown.IsShown());
        EXPECT_EQ(testsupport::runLoop(5s, [&] { return detections() > 0; }), 0)
            << "WM_BEGIN_DETECTION never reached the toolbar, time " << time;
        // Posted in order: a row before it that asked too would show as a second one.
        EXPECT_EQ(detections(), 1);
        open.toolbar.heard.clear();
    }
    EXPECT_TRUE(log.areas.empty());
}

TEST_F(CaptureDropDownListTest, LosingTheFocusHidesIt) {
    dropDown.TogglePopup();
    EXPECT_TRUE(dropDown.IsWindowVisible());
    dropDown.SendMessage(ui::WM_KILLFOCUS);
    EXPECT_FALSE(dropDown.IsShown());
    EXPECT_FALSE(dropDown.IsWindowVisible());
}

}  // namespace
