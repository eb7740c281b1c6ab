#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/controls/HorizontalLayout.h"
#include "ui/controls/Label.h"
#include "ui/controls/List.h"
#include "ui/controls/TileLayout.h"
#include "ui/controls/VerticalLayout.h"
#include "ui/layout/DialogBuilder.h"

using ui::Control;

namespace {

// A layout built from XML without a window and placed at `rect`.
std::unique_ptr<Control> placed(const std::string& xml, const Rect& rect) {
    ui::DialogBuilder builder;
    std::unique_ptr<Control> root = builder.CreateFromText(xml, nullptr, nullptr);
    if (root != nullptr) {
        root->SetPos(rect);
    }
    return root;
}

struct Expected {
    const char* name;
    Rect rect;
};

void expectRects(Control& root, const std::vector<Expected>& table) {
    for (const Expected& e : table) {
        Control* c = root.FindControlByName(e.name);
        ASSERT_NE(nullptr, c) << e.name;
        const Rect& r = c->GetPos();
        EXPECT_EQ(e.rect, r) << e.name << ": got " << r.left << "," << r.top << "," << r.right
                             << "," << r.bottom;
    }
}

}  // namespace

TEST(Layout, VerticalGivesFixedHeightsAndSharesTheRest) {
    // inset 10,5,10,5 in 200x301 leaves x 10..190, y 5..296 (291 high). Fixed: 50 + padding
    // 3+5, 40, three gaps of 4 = 110; the two others share 181: 90 and the remainder 91.
    auto root = placed(R"(<VerticalLayout inset="10,5,10,5" childpadding="4">
        <Control name="a" height="50" padding="2,3,4,5"/>
        <Control name="b"/>
        <Control name="hidden" height="1000" visible="false"/>
        <Control name="c" height="40" width="60"/>
        <Control name="d"/>
      </VerticalLayout>)",
                       Rect{0, 0, 200, 301});
    ASSERT_NE(nullptr, root);
    const int y_a = 5 + 3, y_b = y_a + 50 + 5 + 4, y_c = y_b + 90 + 4, y_d = y_c + 40 + 4;
    expectRects(*root, {{"a", {10 + 2, y_a, 190 - 4, y_a + 50}},
                        {"b", {10, y_b, 190, y_b + 90}},
                        {"c", {10, y_c, 10 + 60, y_c + 40}},
                        {"d", {10, y_d, 190, y_d + 91}}});
    EXPECT_EQ(296, root->FindControlByName("d")->GetPos().bottom);
}

TEST(Layout, HorizontalGivesFixedWidthsAndSharesTheRest) {
    // No inset: 0..100 wide; fixed 30 + padding 1+2 and three gaps of 2 = 39; the three
    // flexible children share 61: 20, 20 and the remainder 21.
    auto root = placed(R"(<HorizontalLayout childpadding="2">
        <Control name="a" width="30" height="10" padding="1,4,2,0"/>
        <Control name="b"/>
        <Control name="c" padding="0,0,0,6"/>
        <Control name="d"/>
      </HorizontalLayout>)",
                       Rect{100, 50, 200, 90});
    ASSERT_NE(nullptr, root);
    const int x_b = 100 + 1 + 30 + 2 + 2, x_c = x_b + 20 + 2, x_d = x_c + 20 + 2;
    expectRects(*root, {{"a", {101, 54, 131, 64}},
                        {"b", {x_b, 50, x_b + 20, 90}},
                        {"c", {x_c, 50, x_c + 20, 90 - 6}},
                        {"d", {x_d, 50, x_d + 21, 90}}});
    EXPECT_EQ(200, root->FindControlByName("d")->GetPos().right);
}

TEST(Layout, FloatChildrenKeepTheirPlaceRelativeToTheParent) {
    auto root = placed(R"(<VerticalLayout inset="12,5,8,5">
        <HorizontalLayout name="row" height="32" inset="12,5,8,5" childpadding="2">
          <Control name="sep" float="true" pos="0,31,384,32"/>
          <Control name="first" width="22"/>
        </HorizontalLayout>
        <Control name="late" pos="3,4,13,24" float="true"/>
      </VerticalLayout>)",
                       Rect{0, 0, 400, 100});
    ASSERT_NE(nullptr, root);
    // Float children take no part in the flow: "first" starts at the row's inset.
    expectRects(*root, {{"row", {12, 5, 392, 37}},
                        {"sep", {12, 5 + 31, 12 + 384, 5 + 32}},
                        {"first", {24, 10, 46, 32}},
                        {"late", {3, 4, 13, 24}}});
    // Moving the parent carries the float child along.
    root->SetPos(Rect{10, 20, 410, 120});
    expectRects(*root, {{"sep", {22 + 0, 25 + 31, 22 + 384, 25 + 32}}, {"late", {13, 24, 23, 44}}});
    // Placing a float control by hand is remembered relative to its parent.
    Control* late = root->FindControlByName("late");
    late->SetPos(Rect{60, 70, 65, 72});
    root->SetPos(Rect{0, 0, 400, 100});
    expectRects(*root, {{"late", {50, 50, 55, 52}}});
}

TEST(Layout, APlainContainerStacksChildrenOverTheInsetRect) {
    auto root = placed(R"(<Container inset="1,2,3,4">
        <Control name="fill"/>
        <Control name="fixed" width="10" height="20" padding="5,6,0,0"/>
        <Control name="padded" padding="1,1,1,1"/>
      </Container>)",
                       Rect{0, 0, 50, 60});
    ASSERT_NE(nullptr, root);
    expectRects(*root, {{"fill", {1, 2, 47, 56}},
                        {"fixed", {1 + 5, 2 + 6, 1 + 5 + 10, 2 + 6 + 20}},
                        {"padded", {2, 3, 46, 55}}});
}

TEST(Layout, TilesFillRowsOfColumns) {
    // 7 items of 50x40 in 3 columns, 2 apart, inside inset 4: rows at y 4, 46, 88.
    auto root = placed(R"(<VerticalLayout>
        <TileLayout name="tiles" columns="3" itemsize="50,40" childpadding="2" inset="4,4,4,4">
          <Control name="t0"/><Control name="t1"/><Control name="t2"/><Control name="t3"/>
          <Control name="t4" width="20" height="10" padding="1,2,0,0"/><Control name="t5"/>
          <Control name="t6"/>
        </TileLayout>
        <Control name="below"/>
      </VerticalLayout>)",
                       Rect{0, 0, 300, 400});
    ASSERT_NE(nullptr, root);
    std::vector<Expected> table;
    const char* names[] = {"t0", "t1", "t2", "t3", "t4", "t5", "t6"};
    for (int i = 0; i < 7; ++i) {
        const int x = 4 + (i % 3) * 52;
        const int y = 4 + (i / 3) * 42;
        table.push_back(
            {names[i], i == 4 ? Rect{x + 1, y + 2, x + 21, y + 12} : Rect{x, y, x + 50, y + 40}});
    }
    // Without a height the tile panel is as high as its rows (3 * 40 + 2 * 2 + inset 8).
    table.push_back({"tiles", {0, 0, 300, 132}});
    table.push_back({"below", {0, 132, 300, 400}});
    expectRects(*root, table);
}

TEST(Layout, ATallListScrollsItsRows) {
    auto root = placed(R"(<List name="list" inset="1,1,1,1" vscrollbar="true"
                             vscrollbarstyle="width=&quot;8&quot; showbutton1=&quot;false&quot; showbutton2=&quot;false&quot;">
        <ListContainerElement name="r0" height="32"/><ListContainerElement name="r1" height="32"/>
        <ListContainerElement name="r2" height="32"/><ListContainerElement name="r3" height="32"/>
      </List>)",
                       Rect{0, 0, 100, 66});
    ASSERT_NE(nullptr, root);
    auto* list = static_cast<ui::List*>(root->GetInterface("List"));
    ASSERT_NE(nullptr, list);
    ui::ScrollBar* bar = list->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    // 128 of rows in a 64 high view: the bar shows at the right with a range of 64.
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(64, bar->GetScrollRange());
    expectRects(*root, {{"r0", {1, 1, 91, 33}}, {"r1", {1, 33, 91, 65}}});
    EXPECT_EQ((Rect{91, 1, 99, 65}), bar->GetPos());
    list->SetScrollPos(40);
    expectRects(*root,
                {{"r0", {1, -39, 91, -7}}, {"r1", {1, -7, 91, 25}}, {"r3", {1, 57, 91, 89}}});
    // The point hits the scrolled row, and nothing above the view.
    EXPECT_EQ(root->FindControlByName("r1"), root->FindControlAt(Point{10, 20}));
    EXPECT_EQ(root.get(), root->FindControlAt(Point{10, 0}));
    // Wheel down on a row scrolls the list by a line, clamped at the end.
    ui::Event wheel;
    wheel.type = ui::EventType::ScrollWheel;
    wheel.wParam = 1;
    for (int i = 0; i < 10; ++i) {
        root->FindControlByName("r2")->DoEvent(wheel);
    }
    EXPECT_EQ(64, list->GetScrollPos());
    // A short list hides the bar and the rows use the full width.
    static_cast<ui::Container*>(root.get())->RemoveAt(3);
    static_cast<ui::Container*>(root.get())->RemoveAt(2);
    root->SetPos(Rect{0, 0, 100, 66});
    EXPECT_FALSE(bar->IsVisible());
    expectRects(*root, {{"r0", {1, 1, 99, 33}}});
}
