// The setting popup off-screen: its tiles, that only the Store's answer moves a highlight, tabs.
#include "views/popups/SettingPopup.h"

#include <gtest/gtest.h>

#include "ViewsTestSupport.h"
#include "text/UiText.h"
#include "ui/controls/Button.h"
#include "ui/core/Container.h"
#include "ui/render/Canvas.h"

namespace {

class SettingPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        languageIndex = 0;
        log.requests.clear();
        popup.CreatePopup(true);
        layOut();
    }
    void layOut() {
        ui::Canvas canvas(0, 0);
        popup.RenderTo(canvas);
    }
    ui::Control* control(const std::string& name) {
        return popup.GetPaintManager().FindControl(name);
    }
    ui::Container* panel(const std::string& name) {
        return static_cast<ui::Container*>(control(name)->GetInterface("Container"));
    }
    ui::Control* item(const std::string& panelName, int index) {
        return panel(panelName)->GetItemAt(index);
    }
    // The click as the control raises it; for tiles scrolled out of the window.
    void notifyClick(ui::Control* sender) { popup.GetPaintManager().SendNotify(sender, "click"); }
    // The controls of a group that carry the highlight.
    std::vector<ui::Control*> highlighted(const char* none, const std::string& panelName) {
        std::vector<ui::Control*> found;
        if (none != nullptr && control(none)->GetBorderColor() == SettingPopup::kSelectedBorder) {
            found.push_back(control(none));
        }
        for (int i = 0; i < panel(panelName)->GetCount(); ++i) {
            if (item(panelName, i)->GetBorderColor() == SettingPopup::kSelectedBorder) {
                found.push_back(item(panelName, i));
            }
        }
        return found;
    }

    viewstest::RequestLog& log = viewstest::RequestLog::instance();
    viewstest::MessageLog toolbar;
    SettingPopup popup{toolbar.GetHWND(), nullptr};
};

TEST_F(SettingPopupTest, TheTilesImagesRunDownTheColumns) {
    struct Tiles {
        const char* panel;
        int first;  // tile 0
        int fifth;  // tile 4: the images run down the columns
        int last;
    };
    for (const Tiles& t :
         {Tiles{"pointStylePanel", 101, 102, 112}, Tiles{"pressStylePanel", 113, 114, 124},
          Tiles{"shapeStylePanel", 125, 126, 136}}) {
        ASSERT_EQ(panel(t.panel)->GetCount(), 12) << t.panel;
        const auto image = [&](int i) {
            return static_cast<ui::Button*>(item(t.panel, i)->GetInterface("Button"))
                ->GetNormalImage();
        };
        EXPECT_EQ(image(0), "res='" + std::to_string(t.first) + "' restype='PNG'") << t.panel;
        EXPECT_EQ(image(4), "res='" + std::to_string(t.fifth) + "' restype='PNG'") << t.panel;
        EXPECT_EQ(image(11), "res='" + std::to_string(t.last) + "' restype='PNG'") << t.panel;
    }
}

TEST_F(SettingPopupTest, AClickAsksTheStoreAndOnlyItsConfirmationMovesTheHighlight) {
    struct Group {
        const char* what;
        int32_t request;
        void (SettingPopup::*confirm)(int32_t);
        const char* none;  // the group's "none" button, if it has one
        const char* panel;
    };
    const Group groups[] = {
        {"pointer", Action::SetPointStyle, &SettingPopup::SetPointStyle, "pointNone",
         "pointStylePanel"},
        {"pressed", Action::SetPressStyle, &SettingPopup::SetPressStyle, "pressNone",
         "pressStylePanel"},
        {"aperture", Action::SetShapeStyle, &SettingPopup::SetShapeStyle, "shapeNone",
         "shapeStylePanel"},
        {"capture method", Action::SetCaptureMethod, &SettingPopup::SetCaptureMethod, nullptr,
         "captureMethodPanel"},
        {"quality", Action::SetQuality, &SettingPopup::SetQuality, nullptr, "qualityPanel"},
    };
    for (const Group& g : groups) {
        SCOPED_TRACE(g.what);
        EXPECT_TRUE(highlighted(g.none, g.panel).empty());
        // The first confirmation highlights one choice and clears nothing.
        (popup.*g.confirm)(0);
        EXPECT_EQ(highlighted(g.none, g.panel), std::vector<ui::Control*>{item(g.panel, 0)});

        log.requests.clear();
        notifyClick(item(g.panel, 1));
        ASSERT_EQ(log.actions(), std::vector<int32_t>{g.request});
        EXPECT_EQ(log.requests[0].number, 1);
        EXPECT_EQ(highlighted(g.none, g.panel), std::vector<ui::Control*>{item(g.panel, 0)})
            << "no confirmation yet (GPU is refused: the highlight stays on CPU)";

        (popup.*g.confirm)(1);
        EXPECT_EQ(highlighted(g.none, g.panel), std::vector<ui::Control*>{item(g.panel, 1)});
        EXPECT_EQ(item(g.panel, 0)->GetBorderColor(), SettingPopup::kUnselectedBorder);

        if (g.none != nullptr) {
            log.requests.clear();
            notifyClick(control(g.none));
            ASSERT_EQ(log.requests.size(), 1u);
            EXPECT_EQ(log.requests[0].number, -1);
            (popup.*g.confirm)(-1);
            EXPECT_EQ(highlighted(g.none, g.panel), std::vector<ui::Control*>{control(g.none)});
            EXPECT_EQ(item(g.panel, 1)->GetBorderColor(), SettingPopup::kUnselectedBorder);
        } else {
            // An index without a choice highlights nothing.
            (popup.*g.confirm)(-1);
            EXPECT_TRUE(highlighted(g.none, g.panel).empty());
        }
    }
}

TEST_F(SettingPopupTest, TabsMoveTheUnderlineTheCurrentOneDoesNothing) {
    // The current tab again does nothing.
    const std::pair<const char*, int32_t> steps[] = {
        {"captureSettingTab", 1}, {"captureSettingTab", 1}, {"hotkeySettingTab", 2},
        {"mouseSettingTab", 0},   {"mouseSettingTab", 0},
    };
    ui::Control* line = control("bottomLine");
    const int32_t lineTop = line->GetPos().top;
    EXPECT_EQ(line->GetPos().left, control("mouseSettingTab")->GetPos().left);
    for (const auto& [name, current] : steps) {
        SCOPED_TRACE(name);
        viewstest::clickControl(popup, *control(name));
        layOut();
        EXPECT_EQ(popup.CurrentTab(), current);
        const Rect tab = control(name)->GetPos();
        EXPECT_EQ(line->GetPos().left, tab.left);
        EXPECT_EQ(line->GetPos().right, tab.left + 76);
        EXPECT_EQ(line->GetPos().top, lineTop);
    }
    EXPECT_TRUE(log.requests.empty());
}

TEST_F(SettingPopupTest, EachHotkeyFieldShowsOnlyItsOwnKeysName) {
    popup.SetHotkeyText(2, L"000121");
    popup.SetHotkeyText(3, L"000122");  // no such field
    EXPECT_EQ(item("hotkeyPanel", 2)->GetText(), L"F10");
    EXPECT_TRUE(item("hotkeyPanel", 1)->GetText().empty());
}

}  // namespace
