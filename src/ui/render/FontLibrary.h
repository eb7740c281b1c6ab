#pragma once

#include <SDL2/SDL_ttf.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/FontMatcher.h"
#include "ui/render/Font.h"

namespace ui {

// The process's open fonts. Face names map to installed faces through the system's font
// matcher (on Linux "微软雅黑" becomes the installed CJK sans face, "Arial" its
// metric-compatible stand-in); a character the face lacks is taken from a face that has it.
// UI thread only.
class FontLibrary {
public:
    static FontLibrary& instance();

    // The font for a spec; null when no font could be opened at all.
    TTF_Font* font(const FontSpec& spec);
    // A font of the requested size and style that has the character: the requested face when it has
    // it, else a fallback face; the requested one (drawing its missing-glyph box) when none has it.
    TTF_Font* fontFor(const FontSpec& spec, char32_t character);

    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

private:
    using Face = platform::FontFace;
    struct TtfClose {
        void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
    };
    // An open font and the bytes it reads from, when it was opened from memory.
    struct OpenFont {
        std::shared_ptr<const std::vector<uint8_t>> data;
        std::unique_ptr<TTF_Font, TtfClose> font;  // declared last: closed before the data goes
    };

    FontLibrary();
    ~FontLibrary();

    TTF_Font* open(const Face& face, const FontSpec& spec);

    // All members below: written and read on the UI thread only.
    bool ttfReady_ = false;
    // Open fonts by (face key, size, SDL_ttf style); the owners of every TTF_Font.
    std::map<std::tuple<std::string, int32_t, int>, OpenFont> open_;
    std::map<FontSpec, TTF_Font*> bySpec_;
    // Fallback faces by (character, bold, italic); nullopt when no face has the character.
    std::map<std::tuple<char32_t, bool, bool>, std::optional<Face>> fallbacks_;
};

}  // namespace ui
