// Where a popup opens beside the screen's edges, and the capture drop-down off-screen: its
// rows, what picking each one sends, and "Custom" asking the toolbar for the area detection.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Await.h"
#include "ViewsTestSupport.h"
#include "text/UiText.h"
#include "ui/controls/List.h"
#include "ui/controls/ListContainerElement.h"
#include "ui/render/Canvas.h"
#include "views/CaptureDropDownList.h"
#include "views/ViewMessages.h"

namespace {

using namespace std::chrono_literals;

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

// The drop-down's layout as the window's resource holds it, in short.
class TestDropDown : public CaptureDropDownList {
public:
    using CaptureDropDownList::CaptureDropDownList;
    std::string GetLayoutText() const override {
        return R"(<Window size="120,256">
  <Font id="0" name="Arial" size="12"/>
  <List name="captureDropDownList" header="hidden" inset="1,1,1,1" bkcolor="#ffffffff">
    <ListContainerElement height="32">
      <Label name="all" mouse="false" font="0" textpadding="40,8,12,8"/>
    </ListContainerElement>
    <ListContainerElement height="32">
      <Label name="custom" mouse="false" font="0" textpadding="40,8,12,8"/>
    </ListContainerElement>
  </List>
</Window>)";
    }
};

class CaptureDropDownListTest : public ::testing::Test {
protected:
    void SetUp() override {
        languageIndex = 0;
        log.clear();
        dropDown.CreatePopup(true);
        list =
            static_cast<ui::List*>(dropDown.GetPaintManager().FindControl("captureDropDownList"));
        ASSERT_NE(list, nullptr);
        ui::Canvas canvas(0, 0);
        dropDown.RenderTo(canvas);  // lays the rows out
    }
    void TearDown() override { log.clear(); }

    // A click on a row, as the user makes it (rows are 32 high below a 1-pixel inset).
    void clickRow(int row) {
        dropDown.ShowPopup();
        ASSERT_TRUE(dropDown.IsShown());
        const ui::LPARAM at = ui::MakeLParam(60, 1 + row * 32 + 16);
        dropDown.SendMessage(ui::WM_LBUTTONDOWN, 0, at);
        dropDown.SendMessage(ui::WM_LBUTTONUP, 0, at);
    }

    // Everything posted to the toolbar so far has arrived once a marker posted now has.
    void drainToolbar() {
        constexpr uint32_t kMarker = ui::WM_USER + 100;
        ui::PostMessage(toolbar.GetHWND(), kMarker);
        ASSERT_EQ(testsupport::runLoop(5s, [&] { return toolbar.has(kMarker); }), 0)
            << "the toolbar's messages did not arrive";
    }

    viewstest::ActionLog& log = viewstest::ActionLog::instance();
    viewstest::MessageLog toolbar;
    TestDropDown dropDown{toolbar.GetHWND(), nullptr};
    ui::List* list = nullptr;
};

TEST_F(CaptureDropDownListTest, ListsScreenCustomThePresetsAndHistoryWithTheirIcons) {
    struct Row {
        const wchar_t* text;
        const char* image;
    };
    const std::string preset = " restype='PNG' source='0,0,24,24' dest='4,4,28,28'";
    const Row rows[] = {
        {L"Screen", nullptr},
        {L"Custom", nullptr},
        {L"1920x1080", "res='138'"},
        {L"1366x768", "res='138'"},
        {L"1280x720", "res='138'"},
        {L"1024x768", "res='137'"},  // 4:3
        {L"800x600", "res='137'"},
        {L"History", "res='143' restype='PNG' source='0,0,16,16' dest='12,8,28,24'"},
    };
    ASSERT_EQ(list->GetCount(), 8);
    for (int i = 0; i < 8; ++i) {
        auto* row = static_cast<ui::Container*>(list->GetItemAt(i)->GetInterface("Container"));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->GetFixedHeight(), 32) << i;
        ASSERT_EQ(row->GetCount(), 1) << i;
        const ui::Control* label = row->GetItemAt(0);
        EXPECT_EQ(label->GetText(), rows[i].text) << i;
        EXPECT_FALSE(label->IsMouseEnabled()) << i;
        if (rows[i].image != nullptr) {
            const std::string image = rows[i].image;
            EXPECT_EQ(label->GetBkImage(), i == 7 ? image : image + preset) << i;
        }
    }
    const Rect window = dropDown.GetWindowRect();
    EXPECT_EQ(window.width(), 120);
    EXPECT_EQ(window.height(), 256);
}

TEST_F(CaptureDropDownListTest, EveryRowButCustomSendsItsIndexAndHidesThePopup) {
    for (int row : {0, 2, 3, 4, 5, 6, 7}) {
        log.areas.clear();
        clickRow(row);
        EXPECT_EQ(log.areas, std::vector<int32_t>{row});
        EXPECT_EQ(list->GetCurSel(), row);
        EXPECT_FALSE(dropDown.IsShown()) << row;
        EXPECT_FALSE(dropDown.IsWindowVisible()) << row;
    }
    drainToolbar();
    EXPECT_FALSE(toolbar.has(WM_BEGIN_DETECTION));
}

TEST_F(CaptureDropDownListTest, CustomAsksTheToolbarForDetectionAndLeavesNoRowSelected) {
    clickRow(3);
    log.areas.clear();
    clickRow(1);
    EXPECT_EQ(list->GetCurSel(), -1);
    EXPECT_FALSE(dropDown.IsShown());
    EXPECT_EQ(testsupport::runLoop(5s, [&] { return toolbar.has(WM_BEGIN_DETECTION); }), 0)
        << "WM_BEGIN_DETECTION never reached the toolbar";
    // Nothing selected, so picking "Custom" again asks again.
    toolbar.heard.clear();
    clickRow(1);
    EXPECT_EQ(testsupport::runLoop(5s, [&] { return toolbar.has(WM_BEGIN_DETECTION); }), 0)
        << "a second WM_BEGIN_DETECTION never reached the toolbar";
    EXPECT_TRUE(log.areas.empty());
}

TEST_F(CaptureDropDownListTest, TheToolbarButtonTogglesItAndLosingTheFocusHidesIt) {
    dropDown.TogglePopup();
    EXPECT_TRUE(dropDown.IsShown());
    EXPECT_TRUE(dropDown.IsWindowVisible());
    dropDown.TogglePopup();
    EXPECT_FALSE(dropDown.IsShown());
    dropDown.TogglePopup();
    dropDown.SendMessage(ui::WM_KILLFOCUS);
    EXPECT_FALSE(dropDown.IsShown());
    EXPECT_FALSE(dropDown.IsWindowVisible());
    EXPECT_EQ(dropDown.SendMessage(ui::WM_NCHITTEST, 0, ui::MakeLParam(60, 5)), ui::HTCLIENT);
}

}  // namespace
