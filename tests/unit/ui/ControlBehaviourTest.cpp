#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/CheckBox.h"
#include "ui/controls/Edit.h"
#include "ui/controls/List.h"
#include "ui/controls/ListContainerElement.h"
#include "ui/controls/Option.h"
#include "ui/controls/ScrollBar.h"
#include "ui/controls/Slider.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/render/Canvas.h"

using ui::Control;
using ui::PaintManager;

namespace {

// An off-screen window holding a layout, driven by mouse and key messages.
class Window : public ui::INotify {
public:
    Window(const std::string& xml, ui::Size size) {
        ui::DialogBuilder builder;
        manager.AttachDialog(builder.CreateFromText(xml, nullptr, &manager));
        manager.SetClientSize(size);
        manager.AddNotifier(this);
        send(ui::WM_MOUSELEAVE, 0, 0);  // lays the window out
    }
    ~Window() override { manager.RemoveNotifier(this); }

    // Heard as "type sender wParam lParam".
    void Notify(ui::Notification& msg) override {
        heard.push_back(msg.type + " " + (msg.sender != nullptr ? msg.sender->GetName() : "") +
                        " " + std::to_string(msg.wParam) + " " + std::to_string(msg.lParam));
    }
    void send(uint32_t msg, int32_t x, int32_t y) {
        ui::LRESULT result = 0;
        manager.MessageHandler(msg, 0, ui::MakeLParam(x, y), result);
    }
    void down(int32_t x, int32_t y) { send(ui::WM_LBUTTONDOWN, x, y); }
    void move(int32_t x, int32_t y) { send(ui::WM_MOUSEMOVE, x, y); }
    void up(int32_t x, int32_t y) { send(ui::WM_LBUTTONUP, x, y); }
    void click(int32_t x, int32_t y) {
        move(x, y);
        down(x, y);
        up(x, y);
    }
    template <typename T>
    T* find(const char* name) {
        Control* c = manager.FindControl(name);
        return c != nullptr ? static_cast<T*>(c) : nullptr;
    }
    // The notifications of one type, in order.
    std::vector<std::string> only(const std::string& type) const {
        std::vector<std::string> out;
        std::copy_if(heard.begin(), heard.end(), std::back_inserter(out),
                     [&](const std::string& h) { return h.rfind(type + " ", 0) == 0; });
        return out;
    }

    PaintManager manager;
    std::vector<std::string> heard;
};

const char* kButtons = R"(<Window size="200,100"><HorizontalLayout>
    <Button name="ok" width="50" height="20"/>
    <Button name="off" width="50" height="20" enabled="false"/>
    <Control name="plain"/>
  </HorizontalLayout></Window>)";

}  // namespace

TEST(ButtonBehaviour, PushedWhileHeldOverItselfAndClickedWhenReleasedThere) {
    struct Case {
        const char* what;
        Point press, via, release;  // held from the press, through via, to the release
        size_t clicks;
    };
    const Case cases[] = {
        {"press and release inside", {10, 10}, {40, 15}, {40, 15}, 1},
        {"out and back in before the release", {10, 10}, {100, 10}, {20, 10}, 1},
        {"release outside", {10, 10}, {60, 10}, {60, 10}, 0},
        {"release below", {10, 10}, {10, 25}, {10, 25}, 0},
        {"press elsewhere, release inside", {150, 10}, {10, 10}, {10, 10}, 0},
        {"disabled", {60, 10}, {60, 10}, {60, 10}, 0},
    };
    const auto overOk = [](Point p) { return p.x < 50 && p.y < 20; };
    for (const Case& c : cases) {
        Window w(kButtons, {200, 100});
        auto* ok = w.find<ui::Button>("ok");
        const auto pushed = [&] { return (ok->GetState() & ui::UISTATE_PUSHED) != 0; };
        w.move(c.press.x, c.press.y);
        w.down(c.press.x, c.press.y);
        EXPECT_EQ(overOk(c.press), pushed()) << c.what;
        for (const Point& p : {c.via, c.release}) {
            w.move(p.x, p.y);
            EXPECT_EQ(overOk(c.press) && overOk(p), pushed()) << c.what;
        }
        w.up(c.release.x, c.release.y);
        EXPECT_FALSE(pushed()) << c.what;
        EXPECT_EQ(c.clicks, w.only("click").size()) << c.what;
        for (const std::string& h : w.only("click")) {
            EXPECT_EQ("click ok 0 0", h) << c.what;
        }
    }
}

TEST(OptionBehaviour, AGroupHasOneSelectedAndEveryChangeIsHeard) {
    Window w(R"(<Window><HorizontalLayout>
        <Option name="a" width="20" group="g" selected="true"/>
        <Option name="b" width="20" group="g"/>
        <VerticalLayout width="20"><Option name="c" group="g"/></VerticalLayout>
        <Option name="x" width="20" group="other" selected="true"/>
      </HorizontalLayout></Window>)",
             {80, 20});
    auto* a = w.find<ui::Option>("a");
    auto* b = w.find<ui::Option>("b");
    auto* c = w.find<ui::Option>("c");
    auto* x = w.find<ui::Option>("x");
    EXPECT_TRUE(a->IsSelected());
    EXPECT_TRUE(w.heard.empty()) << "layout selection raises nothing";

    w.click(25, 5);  // b
    EXPECT_EQ(
        (std::vector<std::string>{"click b 0 0", "selectchanged a 0 0", "selectchanged b 0 0"}),
        w.heard);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
    EXPECT_TRUE(x->IsSelected()) << "another group is left alone";

    w.heard.clear();
    w.click(25, 5);  // b again: already selected
    EXPECT_EQ((std::vector<std::string>{"click b 0 0"}), w.heard);

    w.heard.clear();
    w.click(45, 5);  // c, nested in another container of the same window
    EXPECT_TRUE(c->IsSelected());
    EXPECT_FALSE(b->IsSelected());
    EXPECT_EQ(2u, w.only("selectchanged").size());

    w.heard.clear();
    a->Selected(true, false);
    EXPECT_FALSE(c->IsSelected());
    EXPECT_TRUE(w.heard.empty()) << "a silent selection stays silent for the group too";
}

TEST(OptionBehaviour, ACheckBoxTogglesOnEveryClick) {
    Window w(
        R"(<Window><HorizontalLayout><CheckBox name="box" width="20"/></HorizontalLayout></Window>)",
        {60, 20});
    auto* box = w.find<ui::CheckBox>("box");
    for (bool expected : {true, false, true}) {
        w.click(5, 5);
        EXPECT_EQ(expected, box->GetCheck());
    }
    EXPECT_EQ(3u, w.only("selectchanged").size());
}

namespace {

const char* kList = R"(<Window><List name="list" itemhotbkcolor="#fff8f8f8">
    <ListContainerElement name="e0" height="20"><Label mouse="false" text="zero"/></ListContainerElement>
    <ListContainerElement name="e1" height="20"><Label mouse="false" text="one"/></ListContainerElement>
    <ListContainerElement name="e2" height="20"><Label name="catcher" text="two"/></ListContainerElement>
    <ListContainerElement name="e3" height="20" mouse="false"><Label mouse="false"/></ListContainerElement>
  </List></Window>)";

}  // namespace

TEST(ListBehaviour, ClickingARowSelectsItWithNewAndOldIndex) {
    Window w(kList, {100, 100});
    auto* list = w.find<ui::List>("list");
    EXPECT_EQ(-1, list->GetCurSel());
    w.click(50, 25);  // on e1's label, which ignores the mouse
    w.click(50, 5);
    w.click(50, 5);  // the current row again: nothing new
    EXPECT_EQ((std::vector<std::string>{"itemselect list 1 -1", "itemselect list 0 1"}),
              w.only("itemselect"));
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_TRUE(w.find<ui::ListContainerElement>("e0")->IsSelected());
    EXPECT_FALSE(w.find<ui::ListContainerElement>("e1")->IsSelected());

    // A row that ignores the mouse cannot be picked.
    w.click(50, 65);
    EXPECT_EQ(0, list->GetCurSel());
    // A label that takes the mouse keeps the click for itself.
    w.click(50, 45);
    EXPECT_EQ(0, list->GetCurSel());

    w.heard.clear();
    EXPECT_FALSE(list->SelectItem(-1));
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_FALSE(w.find<ui::ListContainerElement>("e0")->IsSelected());
    EXPECT_TRUE(w.heard.empty());
    // After clearing, the same row raises the selection again.
    EXPECT_TRUE(list->SelectItem(0));
    EXPECT_EQ((std::vector<std::string>{"itemselect list 0 -1"}), w.only("itemselect"));
    EXPECT_FALSE(list->SelectItem(9));
    EXPECT_EQ(0, list->GetCurSel());
}

// The camera list is refilled by removing every row: nothing of the old rows stays chosen or hot.
TEST(ListBehaviour, RemovingAllRowsForgetsTheSelectionAndTheRowUnderThePointer) {
    Window w(kList, {100, 100});
    auto* list = w.find<ui::List>("list");
    w.click(50, 5);
    ASSERT_EQ(0, list->GetCurSel());
    ASSERT_EQ(w.find<Control>("e0"), w.manager.GetHot());
    list->RemoveAll();
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_EQ(nullptr, w.manager.GetHot());
}

TEST(SliderBehaviour, TheValueIsTheOneUnderThePointer) {
    // Slider 10..110 with a 10 wide thumb: value = min + (x - 10 - 5) * (max - min) / 90.
    struct Case {
        int32_t min, max, x, expected;
    };
    const Case cases[] = {
        {0, 100, 15, 0},  {0, 100, 60, 50}, {0, 100, 105, 100}, {0, 100, 64, 54},
        {0, 100, 65, 56}, {0, 100, 0, 0},   {0, 100, 500, 100}, {20, 40, 60, 30},
        {20, 40, 16, 20}, {20, 40, 20, 21}, {-50, 50, 60, 0},
    };
    for (const Case& c : cases) {
        Window w(
            "<Window><HorizontalLayout inset=\"10,0,0,0\"><Slider name=\"s\" width=\"100\" "
            "thumbsize=\"10,10\" min=\"" +
                std::to_string(c.min) + "\" max=\"" + std::to_string(c.max) +
                "\"/></HorizontalLayout></Window>",
            {200, 16});
        auto* s = w.find<ui::Slider>("s");
        ASSERT_NE(nullptr, s);
        const int32_t initial = s->GetValue();
        // The press lands on the slider; the drag may leave it.
        w.move(15, 8);
        w.down(15, 8);
        w.move(c.x, 8);
        EXPECT_EQ(c.expected, s->GetValue()) << c.min << ".." << c.max << " at " << c.x;
        EXPECT_TRUE(w.only("valuechanged").empty()) << "nothing while dragging";
        w.up(c.x, 8);
        EXPECT_EQ(c.expected, s->GetValue());
        EXPECT_EQ(c.expected != initial ? 1u : 0u, w.only("valuechanged").size())
            << c.min << ".." << c.max << " at " << c.x;
    }
}

// The only field is the hotkey field, which takes keys through its filter and types nothing
// itself (the views' ControlsTest): here only how it gets and loses the focus, and shows it.
TEST(EditBehaviour, AClickFocusesTheFieldAndAClickElsewhereTakesTheFocusAway) {
    Window w(R"(<Window><HorizontalLayout>
        <Edit name="field" width="100" bordersize="1" bordercolor="#ffbfcbd9"
              focusbordercolor="#ff0093f3"/>
        <Button name="other"/>
      </HorizontalLayout></Window>)",
             {200, 20});
    auto* field = w.find<ui::Edit>("field");
    // Repainted as a window is: only what was invalidated.
    ui::Canvas canvas(1, 1);
    const auto border = [&](int32_t x, int32_t y) {
        w.manager.Paint(canvas);
        return canvas.pixel(x, y);
    };
    EXPECT_EQ(0xFFBFCBD9u, border(0, 10));
    w.click(10, 10);
    EXPECT_TRUE(field->IsFocused());
    EXPECT_EQ((std::vector<std::string>{"setfocus field 0 0"}), w.only("setfocus"));
    EXPECT_EQ(0xFF0093F3u, border(0, 10));
    EXPECT_EQ(0xFF0093F3u, border(99, 19));
    w.click(150, 10);
    EXPECT_FALSE(field->IsFocused());
    EXPECT_EQ((std::vector<std::string>{"killfocus field 0 0"}), w.only("killfocus"));
    EXPECT_EQ(0xFFBFCBD9u, border(0, 10));
}

TEST(ScrollBarBehaviour, ButtonsRailAndThumbMoveThePosition) {
    Window w(R"(<Window><HorizontalLayout>
        <Control/><ScrollBar name="bar" width="10" range="300" linesize="7"/>
      </HorizontalLayout></Window>)",
             {30, 130});
    auto* bar = w.find<ui::ScrollBar>("bar");
    // Buttons of 10 at both ends; a rail of 110 with a thumb of 110 * 130 / 430 = 33 at 10..43.
    w.click(25, 125);
    w.click(25, 125);
    EXPECT_EQ(14, bar->GetScrollPos());
    w.click(25, 5);
    EXPECT_EQ(7, bar->GetScrollPos());
    w.click(25, 5);
    w.click(25, 5);
    EXPECT_EQ(0, bar->GetScrollPos());
    // Dragging the thumb 77 pixels (its whole travel) reaches the end of the range.
    w.move(25, 20);
    w.down(25, 20);
    w.move(25, 20 + 77);
    EXPECT_EQ(300, bar->GetScrollPos());
    w.move(25, 20 + 77 / 2);
    EXPECT_EQ(38 * 300 / 77, bar->GetScrollPos());
    w.up(25, 0);
    w.move(25, 110);
    EXPECT_EQ(38 * 300 / 77, bar->GetScrollPos()) << "released: the thumb no longer follows";
    // The rail below the thumb pages down by the bar's height.
    const int32_t before = bar->GetScrollPos();
    w.click(25, 115);
    EXPECT_EQ(std::min(300, before + 130), bar->GetScrollPos());
}

TEST(ContainerBehaviour, HiddenControlsAreForgottenByTheWindow) {
    Window w(R"(<Window><HorizontalLayout name="row">
        <Control width="50"/><Button name="b" width="50"/>
      </HorizontalLayout></Window>)",
             {100, 20});
    w.move(60, 10);
    ASSERT_EQ(w.find<Control>("b"), w.manager.GetHot());
    w.find<Control>("b")->SetVisible(false);
    EXPECT_EQ(nullptr, w.manager.GetHot());
    // A hidden parent hides its children from the pointer.
    w.find<Control>("b")->SetVisible(true);
    auto* row = w.find<ui::Container>("row");
    row->SetVisible(false);
    EXPECT_FALSE(w.find<Control>("b")->IsVisible());
    EXPECT_EQ(nullptr, w.manager.FindControl(Point{60, 10}));
    row->SetVisible(true);
    EXPECT_TRUE(w.find<Control>("b")->IsVisible());
}
