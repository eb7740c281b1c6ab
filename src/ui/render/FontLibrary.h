#pragma once

#include <SDL2/SDL_ttf.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

#include "ui/render/Font.h"

// fontconfig's configuration, kept out of this header.
struct _FcConfig;

namespace ui {

// The process's open fonts. Face names map through fontconfig: "微软雅黑" (or "Microsoft
// YaHei") to the installed CJK sans face, "Arial" to its metric-compatible stand-in, any other
// name to fontconfig's best match; a character the face lacks is taken from a face that has it.
// UI thread only.
class FontLibrary {
public:
    static FontLibrary& instance();

    // The font for a spec; null when no font could be opened at all.
    TTF_Font* font(const FontSpec& spec);
    // A font of the requested size and style that has the character: the requested face when it has it,
    // else a fallback face; the requested one (drawing its missing-glyph box) when none has it.
    TTF_Font* fontFor(const FontSpec& spec, char32_t character);

    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

private:
    // A font file as fontconfig matched it, and whether the face itself is bold / italic (if
    // not, SDL_ttf emboldens or slants it when the spec asks).
    struct Face {
        std::string file;
        int32_t index = 0;
        bool bold = false;
        bool italic = false;
    };
    struct TtfClose {
        void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
    };
    struct FcConfigDestroyer {
        void operator()(::_FcConfig* c) const;
    };

    FontLibrary();
    ~FontLibrary();

    // Fontconfig's match for a family (with a language, or a character it must have).
    std::optional<Face> match(const std::string& family, const char* lang, bool bold, bool italic,
                              std::optional<char32_t> character);
    TTF_Font* open(const Face& face, const FontSpec& spec);

    // All members below: written and read on the UI thread only.
    bool ttfReady_ = false;
    std::unique_ptr<::_FcConfig, FcConfigDestroyer> config_;
    // Open fonts by (file, index, size, SDL_ttf style); the owners of every TTF_Font.
    std::map<std::tuple<std::string, int32_t, int32_t, int>, std::unique_ptr<TTF_Font, TtfClose>>
        open_;
    std::map<FontSpec, TTF_Font*> bySpec_;
    // Fallback faces by (character, bold, italic); nullopt when no face has the character.
    std::map<std::tuple<char32_t, bool, bool>, std::optional<Face>> fallbacks_;
};

}  // namespace ui
