#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/controls/Button.h"
#include "ui/core/Container.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/render/Canvas.h"

using ui::Argb;
using ui::Size;

// The windows' layouts, built from the program's embedded resources and rendered off-screen.
// The expected numbers are the windows' drawn geometry (sizes, paddings, insets, colours), not
// values read back from a run. Probes avoid the places where icons are drawn.

namespace {

// The program's own controls, stood in for by the stock ones they derive from.
class Factory : public ui::IDialogBuilderCallback {
public:
    ui::Control* CreateControl(std::string_view name) override {
        if (name == "TransformTool") {
            return new ui::Container;
        }
        if (name == "CheckBoxButton") {
            return new ui::Button;
        }
        if (name == "Magnifier" || name == "DragButton") {
            return new ui::Control;
        }
        return nullptr;
    }
};

struct Place {
    const char* name;
    Rect rect;
};

struct Probe {
    Point at;
    Argb colour;
};

struct Expected {
    uint32_t id;
    Size size;  // as declared; 0,0 for the desktop-sized windows
    Rect caption;
    Rect shadowCorner;  // 0,0,0,0: no shadow
    bool bkTransparent;
    int32_t fontIndex;  // one font of the layout's list
    ui::FontSpec font;
    Size client;  // the size rendered at
    std::vector<Place> places;
    std::vector<const char*> hidden;
    std::vector<Probe> probes;
    const char* inked;  // a control whose text must show
    Argb inkBackground;
};

constexpr Argb kWhite = 0xFFFFFFFF;
constexpr Argb kBlack = 0xFF000000;
constexpr Argb kBorder = 0xFFCDCDCD;
constexpr Argb kRule = 0xFFEEEEEE;
constexpr Argb kSeeThrough = 0x00000000;
constexpr Size kDesktop{800, 600};

// clang-format off
const Expected kLayouts[] = {
    // Top row inset 12,5,8,5 with 2 between; bottom row six 64 squares.
    {169, {384, 96}, {0, 0, 0, 32}, {20, 5, 20, 23}, false, 0, {"微软雅黑", 12}, {384, 96},
     {{"timer", {12, 5, 328, 27}}, {"minbtn", {330, 5, 352, 27}}, {"closeBtn", {354, 5, 376, 27}},
      {"captureBtn", {0, 32, 64, 96}}, {"startBtn", {64, 32, 128, 96}}, {"endBtn", {128, 32, 192, 96}},
      {"audioBtn", {192, 32, 256, 96}}, {"cameraBtn", {256, 32, 320, 96}},
      {"settingBtn", {320, 32, 384, 96}}},
     {}, {{{300, 16}, kWhite}, {{100, 31}, kRule}, {{0, 60}, kBorder}, {{383, 60}, kBorder}},
     "timer", kWhite},
    {170, {164, 172}, {}, {15, 5, 15, 20}, false, 0, {"Arial", 11}, {164, 172},
     {{"captureMic", {10, 10, 74, 74}}, {"capturePla", {90, 10, 154, 74}},
      {"filterMic", {10, 99, 26, 115}}, {"filterMicCaption", {32, 99, 154, 115}},
      {"wcMinCaption", {10, 127, 40, 143}}, {"wcCaption", {40, 127, 124, 143}},
      {"wcMaxCaption", {124, 127, 154, 143}}, {"wc", {10, 146, 154, 162}}},
     {}, {{{5, 5}, kWhite}, {{80, 86}, kRule}, {{0, 100}, kBorder}},
     "filterMicCaption", kWhite},
    // The window places the frame, its handle and the size bar.
    {171, {}, {}, {}, true, 3, {"Arial", 15, true}, kDesktop,
     {{"captureArea", {0, 0, 0, 0}}, {"dragBtn", {0, 0, 32, 32}}, {"toolBar", {0, 0, 0, 0}}},
     {}, {{{400, 300}, kSeeThrough}},
     nullptr, 0},
    {172, {120, 256}, {}, {15, 5, 15, 20}, false, 0, {"微软雅黑", 12}, {120, 256},
     {{"captureDropDownList", {0, 0, 120, 256}}, {"all", {1, 1, 119, 33}},
      {"custom", {1, 33, 119, 65}}},
     {}, {{{60, 200}, kWhite}, {{0, 100}, kBorder}},
     "custom", kWhite},
    {173, {218, 256}, {}, {23, 13, 23, 33}, false, 1, {"微软雅黑", 128}, {218, 256},
     {{"tipsLabel", {24, 24, 194, 88}}, {"countDownLabel", {24, 88, 194, 232}}},
     {}, {{{5, 5}, kBlack}, {{30, 220}, kBlack}},
     "countDownLabel", kBlack},
    {174, {}, {}, {}, false, 1, {"微软雅黑", 15, true}, kDesktop,
     {{"magnifier", {0, 0, 200, 200}}, {"tips", {220, 20, 570, 84}},
      {"desktopMaskBorder", {0, 0, 0, 0}}, {"toolBar", {0, 0, 0, 0}}},
     {}, {{{100, 100}, kBlack}, {{395, 52}, kBlack}, {{700, 500}, kWhite}},
     nullptr, 0},
    // Inside the 1 pixel border: tabs from 16 in, the close button 13 from the right.
    {175, {388, 480}, {}, {15, 5, 15, 20}, false, 0, {"微软雅黑", 12}, {388, 480},
     {{"tab", {1, 1, 387, 49}}, {"mouseSettingTab", {17, 1, 93, 49}},
      {"captureSettingTab", {93, 1, 169, 49}}, {"hotkeySettingTab", {169, 1, 245, 49}},
      {"closeBtn", {352, 14, 374, 36}}, {"bottomLine", {17, 47, 93, 49}},
      {"mouseSettingTabPanel", {1, 49, 387, 479}}, {"pointStyle", {25, 49, 383, 93}},
      {"pointNone", {25, 93, 101, 169}}},
     {"captureSettingTabPanel", "hotkeySettingTabPanel"},
     {{{50, 47}, 0xFF0093F3}, {{300, 48}, kRule}, {{0, 200}, kBorder}, {{200, 300}, kWhite}},
     "mouseSettingTab", kWhite},
    {189, {250, 64}, {}, {13, 13, 13, 13}, false, 0, {"微软雅黑", 12}, {250, 64},
     {{"taskName", {25, 12, 195, 30}}, {"progressCaption", {195, 12, 225, 30}},
      {"progress", {25, 38, 225, 42}}},
     {}, {{{0, 30}, 0xFFDDDDDD}, {{240, 50}, kWhite}},
     "progressCaption", kWhite},
    // Rendered at the height the window gives itself with one camera: 32 + 134.
    {191, {144, 114}, {}, {15, 5, 15, 20}, false, 0, {"Arial", 11}, {144, 166},
     {{"captureCamera", {10, 10, 26, 26}}, {"onlyCaptureCamera", {10, 36, 26, 52}},
      {"deviceList", {1, 74, 143, 108}}, {"testCamera", {10, 130, 134, 162}}},
     {}, {{{0, 40}, kBorder}, {{70, 62}, kRule}, {{70, 119}, kRule}, {{10, 146}, 0xFFDDDDDD}},
     "testCamera", kWhite},
    // No text yet: the label is as wide as its text.
    {192, {250, 64}, {}, {18, 10, 18, 23}, true, 0, {"微软雅黑", 14, true}, {250, 64},
     {{"container", {0, 0, 250, 64}}, {"tipsLabel", {16, 10, 16, 54}}},
     {}, {},
     nullptr, 0},
};
// clang-format on

std::string describe(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// Named by its number in failure messages.
void PrintTo(const Expected& e, std::ostream* out) {
    *out << "layout " << e.id;
}

class LayoutResource : public ::testing::TestWithParam<Expected> {};

}  // namespace

TEST_P(LayoutResource, BuildsWithItsWindowAndControlGeometry) {
    const Expected& e = GetParam();
    ui::PaintManager manager;
    Factory factory;
    ui::DialogBuilder builder;
    ASSERT_TRUE(manager.AttachDialog(builder.Create(e.id, "XML", &factory, &manager)));
    const ui::WindowAttributes& window = manager.GetWindowAttributes();
    EXPECT_EQ(e.size.cx, window.size.cx);
    EXPECT_EQ(e.size.cy, window.size.cy);
    EXPECT_EQ(e.caption, window.caption);
    EXPECT_EQ(e.shadowCorner, window.shadowCorner);
    const bool shadow = e.shadowCorner.bottom != 0;
    EXPECT_EQ(shadow ? "res='158' restype='PNG'" : "", window.shadowImage);
    EXPECT_EQ(e.bkTransparent, window.bkTransparent);
    const ui::FontSpec& font = manager.GetFont(e.fontIndex);
    EXPECT_EQ(e.font.face, font.face) << "font " << e.fontIndex;
    EXPECT_EQ(e.font.size, font.size) << "font " << e.fontIndex;
    EXPECT_EQ(e.font.bold, font.bold) << "font " << e.fontIndex;

    manager.SetClientSize(e.client);
    ui::Canvas canvas{1, 1};
    manager.PaintAll(canvas);
    EXPECT_TRUE(canvas.savePng(SC_BINARY_DIR "/layout-" + std::to_string(e.id) + ".png"));

    for (const Place& p : e.places) {
        const ui::Control* c = manager.FindControl(p.name);
        ASSERT_NE(nullptr, c) << p.name;
        EXPECT_TRUE(c->IsVisible()) << p.name;
        EXPECT_EQ(p.rect, c->GetPos()) << p.name << ": " << describe(c->GetPos());
    }
    for (const char* name : e.hidden) {
        const ui::Control* c = manager.FindControl(name);
        ASSERT_NE(nullptr, c) << name;
        EXPECT_FALSE(c->IsVisible()) << name;
    }
    for (const Probe& p : e.probes) {
        EXPECT_EQ(p.colour, canvas.pixel(p.at.x, p.at.y))
            << "at " << p.at.x << "," << p.at.y << std::hex << ": 0x"
            << canvas.pixel(p.at.x, p.at.y);
    }
    if (e.inked != nullptr) {
        const Rect r = manager.FindControl(e.inked)->GetPos();
        int ink = 0;
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t x = r.left; x < r.right; ++x) {
                ink += canvas.pixel(x, y) != e.inkBackground ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 10) << e.inked << " shows no text";
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, LayoutResource, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Expected>& info) {
                             return "Layout" + std::to_string(info.param.id);
                         });
