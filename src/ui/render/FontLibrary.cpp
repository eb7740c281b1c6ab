#include "ui/render/FontLibrary.h"

namespace ui {

FontLibrary& FontLibrary::instance() {
    static FontLibrary library;
    return library;
}

FontLibrary::FontLibrary() {
    // SDL_ttf counts its initialisations, so this pairs with the TTF_Quit below whoever else
    // uses it.
    ttfReady_ = TTF_Init() == 0;
}

FontLibrary::~FontLibrary() {
    bySpec_.clear();
    open_.clear();
    if (ttfReady_) {
        TTF_Quit();
    }
}

TTF_Font* FontLibrary::open(const Face& face, const FontSpec& spec) {
    if (!ttfReady_) {
        return nullptr;
    }
    int style = TTF_STYLE_NORMAL;
    if (spec.bold && !face.bold) {
        style |= TTF_STYLE_BOLD;
    }
    if (spec.italic && !face.italic) {
        style |= TTF_STYLE_ITALIC;
    }
    if (spec.underline) {
        style |= TTF_STYLE_UNDERLINE;
    }
    const int32_t size = spec.size > 0 ? spec.size : 12;
    auto key = std::make_tuple(face.key(), size, style);
    auto it = open_.find(key);
    if (it == open_.end()) {
        // SDL_ttf's default 72 dpi makes the point size the em height in pixels.
        OpenFont opened;
        if (face.data) {
            opened.data = face.data;
            opened.font.reset(TTF_OpenFontIndexRW(
                SDL_RWFromConstMem(face.data->data(), static_cast<int>(face.data->size())), 1, size,
                face.index));
        } else {
            opened.font.reset(TTF_OpenFontIndex(face.file.c_str(), size, face.index));
        }
        if (opened.font) {
            TTF_SetFontStyle(opened.font.get(), style);
        }
        it = open_.emplace(std::move(key), std::move(opened)).first;
    }
    return it->second.font.get();
}

TTF_Font* FontLibrary::font(const FontSpec& spec) {
    if (auto it = bySpec_.find(spec); it != bySpec_.end()) {
        return it->second;
    }
    platform::FontMatcher& matcher = platform::FontMatcher::system();
    TTF_Font* font = nullptr;
    if (auto face = matcher.match(spec.face, spec.bold, spec.italic)) {
        font = open(*face, spec);
    }
    if (font == nullptr && !spec.face.empty()) {
        if (auto face = matcher.match(std::string(), spec.bold, spec.italic)) {
            font = open(*face, spec);
        }
    }
    bySpec_.emplace(spec, font);
    return font;
}

TTF_Font* FontLibrary::fontFor(const FontSpec& spec, char32_t character) {
    TTF_Font* primary = font(spec);
    if (primary == nullptr || TTF_GlyphIsProvided32(primary, character) != 0) {
        return primary;
    }
    const auto key = std::make_tuple(character, spec.bold, spec.italic);
    auto it = fallbacks_.find(key);
    if (it == fallbacks_.end()) {
        it = fallbacks_
                 .emplace(key, platform::FontMatcher::system().matchCharacter(character, spec.bold,
                                                                              spec.italic))
                 .first;
    }
    if (!it->second) {
        return primary;
    }
    TTF_Font* fallback = open(*it->second, spec);
    return fallback != nullptr ? fallback : primary;
}

}  // namespace ui
