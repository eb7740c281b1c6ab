#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/render/Canvas.h"
#include "ui/render/FontLibrary.h"
#include "ui/render/TextAlign.h"
#include "ui/render/TextRenderer.h"

using ui::Argb;
using ui::Canvas;
using ui::FontSpec;
namespace TextAlign = ui::TextAlign;

namespace {

constexpr Argb kWhite = 0xFFFFFFFF;

struct Ink {
    int count = 0;
    Rect box{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};  // of the pixels that changed
};

Ink inkOf(const Canvas& canvas, Argb background) {
    Ink ink;
    for (int32_t y = 0; y < canvas.height(); ++y) {
        for (int32_t x = 0; x < canvas.width(); ++x) {
            if (canvas.pixel(x, y) != background) {
                ++ink.count;
                ink.box = Rect{std::min(ink.box.left, x), std::min(ink.box.top, y),
                               std::max(ink.box.right, x + 1), std::max(ink.box.bottom, y + 1)};
            }
        }
    }
    return ink;
}

Canvas drawn(const std::wstring& text, const FontSpec& font, const Rect& rect, uint32_t align,
             Argb colour = 0xFF000000) {
    Canvas canvas(200, 60);
    canvas.clear(kWhite);
    ui::drawText(canvas, rect, text, font, colour, align);
    return canvas;
}

}  // namespace

TEST(Text, AlignmentMovesTheLineWithinTheRect) {
    const FontSpec font{"Arial", 12};
    const ui::Size size = ui::measureText(L"Align me", font);
    const Rect rect{10, 5, 190, 55};
    const Ink topLeft =
        inkOf(drawn(L"Align me", font, rect, TextAlign::Left | TextAlign::Top), kWhite);
    struct Case {
        uint32_t align;
        int32_t dx;
        int32_t dy;
    };
    const Case cases[] = {
        {TextAlign::Right | TextAlign::Bottom, rect.width() - size.cx, rect.height() - size.cy},
        {TextAlign::Center | TextAlign::VCenter, (rect.width() - size.cx) / 2,
         (rect.height() - size.cy) / 2},
    };
    for (const Case& c : cases) {
        const Ink moved = inkOf(drawn(L"Align me", font, rect, c.align), kWhite);
        EXPECT_EQ(topLeft.count, moved.count) << c.align;
        EXPECT_EQ(topLeft.box.left + c.dx, moved.box.left) << c.align;
        EXPECT_EQ(topLeft.box.top + c.dy, moved.box.top) << c.align;
    }
}

TEST(Text, LongLinesAreCutAtTheRectOrEndInDots) {
    const FontSpec font{"Arial", 12};
    const std::wstring text = L"A rather long line of text that cannot fit";
    const Rect narrow{30, 10, 90, 40};
    const Canvas clipped = drawn(text, font, narrow, TextAlign::Left | TextAlign::VCenter);
    const Canvas dotted =
        drawn(text, font, narrow, TextAlign::Left | TextAlign::VCenter | TextAlign::EndEllipsis);
    for (const Canvas* canvas : {&clipped, &dotted}) {
        const Ink ink = inkOf(*canvas, kWhite);
        EXPECT_GT(ink.count, 0);
        EXPECT_GE(ink.box.left, narrow.left);
        EXPECT_LE(ink.box.right, narrow.right);
    }
    // The dots replace the characters that do not fit, so the two differ at the right end.
    EXPECT_GT(ui::measureText(text, font).cx, narrow.width());
    const Rect tail{narrow.right - 15, narrow.top, narrow.right, narrow.bottom};
    bool differs = false;
    for (int32_t y = tail.top; y < tail.bottom; ++y) {
        for (int32_t x = tail.left; x < tail.right; ++x) {
            differs = differs || clipped.pixel(x, y) != dotted.pixel(x, y);
        }
    }
    EXPECT_TRUE(differs);
}

// Each character drawn alone: plenty of ink, and no two alike (a missing glyph is drawn as
// the same box every time).
void expectDistinctGlyphs(const std::wstring& text, const FontSpec& font) {
    std::vector<Canvas> glyphs;
    for (wchar_t c : text) {
        glyphs.push_back(
            drawn(std::wstring(1, c), font, Rect{0, 0, 200, 60}, TextAlign::Left | TextAlign::Top));
        const Ink ink = inkOf(glyphs.back(), kWhite);
        EXPECT_GT(ink.count, font.size * font.size / 8) << "character " << int(c);
        EXPECT_GE(ink.box.width(), font.size / 2) << "character " << int(c);
    }
    for (size_t i = 0; i < glyphs.size(); ++i) {
        for (size_t j = i + 1; j < glyphs.size(); ++j) {
            const std::vector<uint32_t> a(glyphs[i].pixels(), glyphs[i].pixels() + 200 * 60);
            const std::vector<uint32_t> b(glyphs[j].pixels(), glyphs[j].pixels() + 200 * 60);
            EXPECT_NE(a, b) << "characters " << i << " and " << j << " look the same";
        }
    }
}

TEST(Text, ChineseHasRealGlyphsAlsoInALatinFace) {
    const FontSpec arial{"Arial", 16};
    TTF_Font* latin = ui::FontLibrary::instance().font(arial);
    ASSERT_NE(nullptr, latin);
    EXPECT_NE(latin, ui::FontLibrary::instance().font(FontSpec{"微软雅黑", 16}));
    EXPECT_NE(latin, ui::FontLibrary::instance().fontFor(arial, U'捕'));
    expectDistinctGlyphs(L"捕获设置", arial);
    expectDistinctGlyphs(L"微软雅黑字体", FontSpec{"微软雅黑", 12});
}
