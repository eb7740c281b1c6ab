#include "ui/render/TextRenderer.h"

#include <SDL2/SDL_ttf.h>

#include <vector>

#include "base/Utf8.h"
#include "ui/render/Canvas.h"
#include "ui/render/FontLibrary.h"
#include "ui/render/TextAlign.h"

namespace ui {

namespace {

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

// A stretch of the line drawn with one font (the requested one, or a fallback for its characters).
struct Run {
    TTF_Font* font = nullptr;
    std::string utf8;
    int32_t width = 0;
};

// The line cut into runs by font, each measured.
struct Line {
    std::vector<Run> runs;
    int32_t width = 0;
};

Line layOut(const std::u32string& text, const FontSpec& spec) {
    Line line;
    FontLibrary& library = FontLibrary::instance();
    for (char32_t c : text) {
        TTF_Font* font = library.fontFor(spec, c);
        if (font == nullptr) {
            continue;
        }
        if (line.runs.empty() || line.runs.back().font != font) {
            line.runs.push_back(Run{font, {}, 0});
        }
        AppendUtf8(line.runs.back().utf8, c);
    }
    for (Run& run : line.runs) {
        int w = 0;
        int h = 0;
        if (TTF_SizeUTF8(run.font, run.utf8.c_str(), &w, &h) == 0) {
            run.width = w;
        }
        line.width += run.width;
    }
    return line;
}

// The longest start of the text that fits with "..." after it, or just as much of the dots
// as fits.
Line shortened(const std::u32string& text, const FontSpec& spec, int32_t maxWidth) {
    const std::u32string dots = U"...";
    for (size_t keep = text.size(); keep-- > 0;) {
        Line line = layOut(text.substr(0, keep) + dots, spec);
        if (line.width <= maxWidth) {
            return line;
        }
    }
    return layOut(dots, spec);
}

void drawRun(Canvas& canvas, const Run& run, int32_t x, int32_t baseline, Argb colour) {
    SurfacePtr rendered(
        TTF_RenderUTF8_Blended(run.font, run.utf8.c_str(), SDL_Color{255, 255, 255, 255}));
    if (!rendered) {
        return;
    }
    SurfacePtr argb;
    if (rendered->format->format != SDL_PIXELFORMAT_ARGB8888) {
        argb.reset(SDL_ConvertSurfaceFormat(rendered.get(), SDL_PIXELFORMAT_ARGB8888, 0));
        if (!argb) {
            return;
        }
    } else {
        argb = std::move(rendered);
    }
    if (SDL_LockSurface(argb.get()) != 0) {
        return;
    }
    // The glyphs' coverage is the alpha of the white rendering.
    const int32_t w = argb->w;
    const int32_t h = argb->h;
    std::vector<uint8_t> mask(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(argb->pixels) + static_cast<ptrdiff_t>(y) * argb->pitch);
        for (int32_t px = 0; px < w; ++px) {
            mask[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(px)] =
                static_cast<uint8_t>(row[px] >> 24);
        }
    }
    SDL_UnlockSurface(argb.get());
    canvas.blendMask(x, baseline - TTF_FontAscent(run.font), mask.data(), w, h, w, colour);
}

}  // namespace

Size measureText(const std::wstring& text, const FontSpec& font) {
    TTF_Font* primary = FontLibrary::instance().font(font);
    if (primary == nullptr) {
        return Size{};
    }
    return Size{layOut(WideToCodePoints(text), font).width, TTF_FontHeight(primary)};
}

void drawText(Canvas& canvas, const Rect& rect, const std::wstring& text, const FontSpec& font,
              Argb colour, uint32_t align) {
    TTF_Font* primary = FontLibrary::instance().font(font);
    if (primary == nullptr || text.empty() || alphaOf(colour) == 0) {
        return;
    }
    const std::u32string codePoints = WideToCodePoints(text);
    Line line = layOut(codePoints, font);
    if ((align & TextAlign::EndEllipsis) != 0 && line.width > rect.width()) {
        line = shortened(codePoints, font, rect.width());
    }
    const int32_t height = TTF_FontHeight(primary);
    int32_t x = rect.left;
    if ((align & TextAlign::Right) != 0) {
        x = rect.right - line.width;
    } else if ((align & TextAlign::Center) != 0) {
        x = rect.left + (rect.width() - line.width) / 2;
    }
    int32_t y = rect.top;
    if ((align & TextAlign::Bottom) != 0) {
        y = rect.bottom - height;
    } else if ((align & TextAlign::VCenter) != 0) {
        y = rect.top + (rect.height() - height) / 2;
    }
    // Runs from other faces share the line's baseline.
    const int32_t baseline = y + TTF_FontAscent(primary);
    Canvas::ClipScope clip(canvas, rect);
    for (const Run& run : line.runs) {
        drawRun(canvas, run, x, baseline, colour);
        x += run.width;
    }
}

}  // namespace ui
