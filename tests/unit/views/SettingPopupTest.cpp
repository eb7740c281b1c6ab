// The setting popup off-screen: only the Store's confirmation moves a highlight. The tabs, the
// tiles' images and clicks, and the hotkey field are checked end to end.
#include "views/popups/SettingPopup.h"

#include <gtest/gtest.h>

#include <tuple>

#include "ViewsTestSupport.h"
#include "ui/core/Container.h"

namespace {

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
    viewstest::RequestLog& log = viewstest::RequestLog::instance();
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

}  // namespace
