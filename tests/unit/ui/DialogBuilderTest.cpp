#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/controls/Label.h"
#include "ui/core/Container.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/render/TextAlign.h"

using ui::Control;

namespace {

// A control of the program's own, as a view's factory makes them.
class Magnifier : public Control {
public:
    std::string GetClass() const override { return "Magnifier"; }
};

class Factory : public ui::IDialogBuilderCallback {
public:
    Control* CreateControl(std::string_view className) override {
        asked.emplace_back(className);
        return className == "Magnifier" ? new Magnifier : nullptr;
    }
    std::vector<std::string> asked;
};

const char* kLayout = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="384,96">
  <Font id="0" name="微软雅黑" size="12"/>
  <Font id="1" name="Arial" size="15" bold="true" italic="true"/>
  <Font id="2" name="Arial" size="12" underline="true" default="true"/>
  <Container name="frame" bkcolor="#ffffffff" bordersize="1" bordercolor="0xffcdcdcd">
    <VerticalLayout name="rows" inset="12,5,8,5" childpadding="2">
      <Label name="timer" text="00:00:00" align="right" valign="bottom" tooltip="计时"/>
      <Button name="minbtn" visible="false"/>
      <Magnifier name="magnifier" float="true" pos="0,0,200,200" bkcolor="#ff000000"/>
      <magnifier name="lowercase"><Label name="insideLowercase"/></magnifier>
      <Gadget name="gadget"><Button name="insideGadget"/></Gadget>
      <Slider name="wc" width="144" height="16" thumbsize="16,16" value="40" enabled="false"/>
      <Option name="o" group="g" selected="true"/>
      <Label name="leaf"><Button name="underLeaf"/></Label>
    </VerticalLayout>
  </Container>
  <Control name="second"/>
</Window>)";

}  // namespace

TEST(DialogBuilder, BuildsTheTreeWithItsAttributes) {
    ui::PaintManager manager;
    Factory factory;
    ui::DialogBuilder builder;
    std::unique_ptr<Control> root = builder.CreateFromText(kLayout, &factory, &manager);
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("frame", root->GetName());
    EXPECT_EQ(nullptr, root->FindControlByName("second")) << "only the first control is the root";

    auto* rows =
        static_cast<ui::Container*>(root->FindControlByName("rows")->GetInterface("Container"));
    ASSERT_NE(nullptr, rows);
    // Children in document order; unknown classes and their subtrees left out.
    std::vector<std::string> names;
    for (int i = 0; i < rows->GetCount(); ++i) {
        names.push_back(rows->GetItemAt(i)->GetName());
    }
    EXPECT_EQ((std::vector<std::string>{"timer", "minbtn", "magnifier", "wc", "o", "leaf"}), names);
    for (const char* gone :
         {"lowercase", "insideLowercase", "gadget", "insideGadget", "underLeaf"}) {
        EXPECT_EQ(nullptr, root->FindControlByName(gone)) << gone;
    }
    // The factory is asked exactly for the names the builder does not know.
    EXPECT_EQ((std::vector<std::string>{"Magnifier", "magnifier", "Gadget"}), factory.asked);

    auto* timer = static_cast<ui::Label*>(root->FindControlByName("timer")->GetInterface("Label"));
    ASSERT_NE(nullptr, timer);
    EXPECT_EQ(L"00:00:00", timer->GetText());
    EXPECT_EQ(L"计时", timer->GetToolTip());
    EXPECT_EQ(ui::TextAlign::Right | ui::TextAlign::Bottom, timer->GetTextStyle());

    Control* magnifier = root->FindControlByName("magnifier");
    EXPECT_EQ("Magnifier", magnifier->GetClass());
    EXPECT_TRUE(magnifier->IsFloat());
    // Faces, sizes and bold are the resource test's; the default font here.
    EXPECT_TRUE(manager.GetFont(-1).underline) << "font 2 is the default";
}
