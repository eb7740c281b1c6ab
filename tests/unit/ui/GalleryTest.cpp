#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ui/controls/List.h"
#include "ui/core/PaintManager.h"
#include "ui/layout/DialogBuilder.h"
#include "ui/render/Bitmap.h"
#include "ui/render/Canvas.h"
#include "ui/render/TextRenderer.h"

using ui::Argb;
using ui::Bitmap;
using ui::Canvas;

// The gallery (tests/unit/ui/gallery.xml) built and rendered off-screen, checked by pixels
// whose expected values are the layout's own numbers, noted next to each probe.

namespace {

constexpr Argb kWhite = 0xFFFFFFFF;
constexpr Argb kTrack = 0xFF808080;
constexpr Argb kFore = 0xFF00AA00;
constexpr Argb kThumb = 0xFF222222;

// A bitmap whose every pixel tells where it is.
std::shared_ptr<Bitmap> numbered(int32_t w, int32_t h) {
    auto bitmap = std::make_shared<Bitmap>(w, h, false);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            bitmap->pixels()[y * w + x] = 0xFF000000u | static_cast<uint32_t>(x * 40) << 16 |
                                          static_cast<uint32_t>(y * 40) << 8 | 0x55u;
        }
    }
    return bitmap;
}

std::shared_ptr<Bitmap> solid(Argb colour) {
    auto bitmap = std::make_shared<Bitmap>(4, 4, false);
    std::fill(bitmap->pixels(), bitmap->pixels() + 16, colour);
    return bitmap;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Gallery : public ::testing::Test {
protected:
    void SetUp() override {
        manager.AddImage("nine", nine);
        manager.AddImage("pic", pic);
        manager.AddImage("track", solid(kTrack));
        manager.AddImage("fore", solid(kFore));
        manager.AddImage("thumb", solid(kThumb));
        const std::string xml = readFile(SC_SOURCE_DIR "/tests/unit/ui/gallery.xml");
        ASSERT_FALSE(xml.empty());
        ui::DialogBuilder builder;
        ASSERT_TRUE(manager.AttachDialog(builder.CreateFromText(xml, nullptr, &manager)));
        manager.SetClientSize(manager.GetWindowAttributes().size);
        manager.PaintAll(canvas);
    }

    void mouse(uint32_t msg, int32_t x, int32_t y) {
        ui::LRESULT result = 0;
        manager.MessageHandler(msg, 0, ui::MakeLParam(x, y), result);
        manager.Paint(canvas);
    }
    Rect rectOf(const char* name) const {
        const ui::Control* c = manager.FindControl(name);
        return c != nullptr ? c->GetPos() : Rect{};
    }

    std::shared_ptr<Bitmap> nine = numbered(6, 6);
    std::shared_ptr<Bitmap> pic = numbered(8, 8);
    ui::PaintManager manager;
    Canvas canvas{1, 1};
};

struct Probe {
    const char* what;
    Point at;
    Argb expected;
};

void expectProbes(const Canvas& canvas, const std::vector<Probe>& probes) {
    for (const Probe& p : probes) {
        EXPECT_EQ(p.expected, canvas.pixel(p.at.x, p.at.y))
            << p.what << " at " << p.at.x << "," << p.at.y << std::hex << ": 0x"
            << canvas.pixel(p.at.x, p.at.y) << " instead of 0x" << p.expected;
    }
}

}  // namespace

TEST_F(Gallery, ColoursBordersAndRoundCorners) {
    expectProbes(canvas, {
                             {"page", {5, 5}, kWhite},
                             {"swatch centre", {30, 30}, 0xFF3366CC},
                             {"border, outer pixel", {60, 30}, 0xFFFF5722},
                             {"border, inner pixel of 2", {61, 30}, 0xFFFF5722},
                             {"border, right edge", {99, 12}, 0xFFFF5722},
                             {"inside the border", {62, 30}, 0xFFEEEEEE},
                             {"round centre", {300, 30}, 0xFF8800AA},
                             {"round edge middle", {280, 30}, 0xFF8800AA},
                             {"hidden control", {350, 30}, kWhite},
                             {"list border", {10, 150}, 0xFFCDCDCD},
                         });
    // A round corner leaves its very corner to what lies beneath.
    EXPECT_EQ(kWhite, canvas.pixel(280, 10));
    EXPECT_EQ(kWhite, canvas.pixel(319, 49));
    EXPECT_TRUE(canvas.savePng(SC_BINARY_DIR "/gallery.png"));
}

TEST_F(Gallery, HotAndPushedFollowThePointer) {
    EXPECT_EQ(kWhite, canvas.pixel(130, 30));
    mouse(ui::WM_MOUSEMOVE, 130, 30);
    EXPECT_EQ(0xFF00FF00u, canvas.pixel(130, 30));
    EXPECT_EQ(0xFF00FF00u, canvas.pixel(110, 10));
    mouse(ui::WM_LBUTTONDOWN, 130, 30);
    EXPECT_EQ(0xFF0000FFu, canvas.pixel(130, 30));
    mouse(ui::WM_LBUTTONUP, 130, 30);
    mouse(ui::WM_MOUSEMOVE, 5, 5);
    EXPECT_EQ(kWhite, canvas.pixel(130, 30));
    // The list row under the pointer, then the chosen one.
    mouse(ui::WM_MOUSEMOVE, 20, 170);
    EXPECT_EQ(0xFFF8F8F8u, canvas.pixel(15, 170));
    EXPECT_EQ(kWhite, canvas.pixel(15, 140));
    mouse(ui::WM_LBUTTONDOWN, 20, 170);
    mouse(ui::WM_LBUTTONUP, 20, 170);
    mouse(ui::WM_MOUSEMOVE, 395, 265);
    EXPECT_EQ(0xFFF2F2F2u, canvas.pixel(15, 170));
    EXPECT_EQ(1, static_cast<ui::List*>(manager.FindControl("list"))->GetCurSel());
}

TEST_F(Gallery, NinePatchAndSourceRects) {
    const Rect p = rectOf("patch");
    const Rect c = rectOf("picture");
    expectProbes(canvas,
                 {
                     // The 6x6 'nine' over 60x40 with 2 pixel corners: corners 1:1, no centre.
                     {"top left corner", {p.left + 1, p.top + 1}, nine->pixel(1, 1)},
                     {"bottom right corner", {p.right - 2, p.bottom - 2}, nine->pixel(4, 4)},
                     {"first pixel of the hole", {p.left + 2, p.top + 2}, kWhite},
                     {"last pixel of the hole", {p.right - 3, p.bottom - 3}, kWhite},
                     // 'pic' source 2,2..6,6 at dest 10,10..18,18 of the 40x40 control.
                     {"left of dest", {c.left + 9, c.top + 10}, kWhite},
                     {"dest's first pixel", {c.left + 10, c.top + 10}, pic->pixel(2, 2)},
                     {"dest's last pixel", {c.left + 17, c.top + 17}, pic->pixel(5, 5)},
                     {"below dest", {c.left + 17, c.top + 18}, kWhite},
                 });
    // The top edge stretched between the corners.
    const std::set<uint32_t> topEdge{nine->pixel(2, 0), nine->pixel(3, 0)};
    EXPECT_EQ(1u, topEdge.count(canvas.pixel((p.left + p.right) / 2, p.top)));
}

TEST_F(Gallery, SliderProgressOptionsAndScrollBar) {
    expectProbes(canvas, {
                             // Slider 180..280, thumb 10 at value 50: 180 + 90 * 50 / 100 = 225.
                             {"slider fore, left of the thumb", {200, 102}, kFore},
                             {"slider thumb", {230, 110}, kThumb},
                             {"slider track right of the thumb", {260, 102}, kTrack},
                             {"slider track above the thumb, right half", {233, 102}, kTrack},
                             // Progress 290..370 at 25 %: 20 pixels of fore.
                             {"progress fore", {309, 110}, kFore},
                             {"progress past the fore", {310, 110}, 0xFFCCCCCC},
                             // Option A selected: its selected background; B its own.
                             {"selected option", {12, 102}, 0xFF0093F3},
                             {"unselected option", {82, 102}, 0xFFD4D7E1},
                             // Scroll bar 8 wide at the list's right inside the inset; the
                             // thumb is 68 * 68 / 96 = 48 high.
                             {"scroll thumb", {385, 140}, kThumb},
                             {"scroll thumb end", {385, 178}, kThumb},
                             {"rail below the thumb", {385, 190}, kWhite},
                         });
    EXPECT_EQ(pic->pixel(0, 0), canvas.pixel(150, 100)) << "check box, normal image";
}

TEST_F(Gallery, StateImagesAndNestedContainers) {
    expectProbes(canvas, {
                             // A plain container, inset 5, its child drawn over it.
                             {"in the child's padding", {16, 277}, 0xFF99CCFF},
                             {"child", {17, 271}, 0xFF003366},
                             // A disabled button shows its disabled image.
                             {"disabled button", {61, 265}, kThumb},
                             // Slider 110..210 at 15 of 10..20: thumb at 110 + 90 * 5 / 10.
                             {"ranged thumb", {157, 279}, kThumb},
                             {"ranged, no fore image", {130, 279}, kWhite},
                             // Scroll bar 30 high: buttons of 10, a rail of 10 the thumb fills.
                             {"up button", {225, 266}, kFore},
                             {"thumb", {225, 279}, kThumb},
                             {"down button", {225, 292}, kFore},
                             {"selected option image", {260, 279}, kTrack},
                         });
    mouse(ui::WM_MOUSEMOVE, 260, 279);
    EXPECT_EQ(kFore, canvas.pixel(260, 279)) << "selected hot image";
    mouse(ui::WM_MOUSEMOVE, 157, 279);
    EXPECT_EQ(kFore, canvas.pixel(157, 279)) << "thumb hot image";
    mouse(ui::WM_LBUTTONDOWN, 157, 279);
    EXPECT_EQ(kTrack, canvas.pixel(157, 279)) << "thumb pushed image";
    mouse(ui::WM_LBUTTONUP, 157, 279);
    // The pointer over a disabled button changes nothing.
    mouse(ui::WM_MOUSEMOVE, 80, 279);
    EXPECT_EQ(kThumb, canvas.pixel(61, 265));
    // The label is as wide as "Auto" in the default font plus its padding.
    const Rect autoRect = rectOf("auto");
    EXPECT_EQ(290, autoRect.left);
    EXPECT_EQ(ui::measureText(L"Auto", manager.GetFont(-1)).cx + 8, autoRect.width());
}

TEST_F(Gallery, TextInItsPaddedRectAndColour) {
    // "Gallery": red, within textpadding 10,4,10,4 of 10..130 x 60..90.
    const Rect label = rectOf("latin");
    const Rect text{label.left + 10, label.top + 4, label.right - 10, label.bottom - 4};
    int red = 0;
    bool exact = false;
    for (int32_t y = label.top; y < label.bottom; ++y) {
        for (int32_t x = label.left; x < label.right; ++x) {
            const uint32_t px = canvas.pixel(x, y);
            if (px == kWhite) {
                continue;
            }
            ASSERT_TRUE(x >= text.left && x < text.right && y >= text.top && y < text.bottom)
                << "ink outside the padded rect at " << x << "," << y;
            // Blends of red over white keep red on top.
            EXPECT_GE(ui::redOf(px), ui::greenOf(px)) << x << "," << y;
            red += 1;
            exact = exact || px == 0xFFCC0000;
        }
    }
    EXPECT_GT(red, 40);
    EXPECT_TRUE(exact) << "a fully covered pixel has the text colour itself";
}
