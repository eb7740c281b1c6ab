#include "ui/render/FontLibrary.h"

#include <fontconfig/fontconfig.h>

namespace ui {

namespace {

struct PatternDestroy {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDestroy>;

struct CharSetDestroy {
    void operator()(FcCharSet* c) const { FcCharSetDestroy(c); }
};
struct LangSetDestroy {
    void operator()(FcLangSet* l) const { FcLangSetDestroy(l); }
};

const FcChar8* fcText(const char* s) {
    return reinterpret_cast<const FcChar8*>(s);
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

void FontLibrary::FcConfigDestroyer::operator()(FcConfig* c) const {
    FcConfigDestroy(c);
}

FontLibrary& FontLibrary::instance() {
    static FontLibrary library;
    return library;
}

FontLibrary::FontLibrary() : config_(FcInitLoadConfigAndFonts()) {
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

std::optional<FontLibrary::Face> FontLibrary::match(const std::string& family, const char* lang,
                                                    bool bold, bool italic,
                                                    std::optional<char32_t> character) {
    if (!config_) {
        return std::nullopt;
    }
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) {
        return std::nullopt;
    }
    FcPatternAddString(pattern.get(), FC_FAMILY, fcText(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (lang != nullptr) {
        std::unique_ptr<FcLangSet, LangSetDestroy> langs(FcLangSetCreate());
        FcLangSetAdd(langs.get(), fcText(lang));
        FcPatternAddLangSet(pattern.get(), FC_LANG, langs.get());
    }
    if (character) {
        std::unique_ptr<FcCharSet, CharSetDestroy> chars(FcCharSetCreate());
        FcCharSetAddChar(chars.get(), *character);
        FcPatternAddCharSet(pattern.get(), FC_CHARSET, chars.get());
    }
    FcConfigSubstitute(config_.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr found(FcFontMatch(config_.get(), pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!found || FcPatternGetString(found.get(), FC_FILE, 0, &file) != FcResultMatch) {
        return std::nullopt;
    }
    if (character) {
        // The best match is not bound to have the character; then no face has it.
        FcCharSet* chars = nullptr;
        if (FcPatternGetCharSet(found.get(), FC_CHARSET, 0, &chars) != FcResultMatch ||
            !FcCharSetHasChar(chars, *character)) {
            return std::nullopt;
        }
    }
    Face face;
    face.file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(found.get(), FC_INDEX, 0, &index) == FcResultMatch) {
        face.index = index;
    }
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(found.get(), FC_WEIGHT, 0, &weight);
    FcBool embolden = FcFalse;
    FcPatternGetBool(found.get(), FC_EMBOLDEN, 0, &embolden);
    face.bold = weight >= FC_WEIGHT_DEMIBOLD && !embolden;
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(found.get(), FC_SLANT, 0, &slant);
    face.italic = slant != FC_SLANT_ROMAN;
    return face;
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
    auto key = std::make_tuple(face.file, face.index, size, style);
    auto it = open_.find(key);
    if (it == open_.end()) {
        // SDL_ttf's default 72 dpi makes the point size the em height in pixels.
        std::unique_ptr<TTF_Font, TtfClose> font(
            TTF_OpenFontIndex(face.file.c_str(), size, face.index));
        if (font) {
            TTF_SetFontStyle(font.get(), style);
        }
        it = open_.emplace(std::move(key), std::move(font)).first;
    }
    return it->second.get();
}

TTF_Font* FontLibrary::font(const FontSpec& spec) {
    if (auto it = bySpec_.find(spec); it != bySpec_.end()) {
        return it->second;
    }
    std::string family = spec.face.empty() ? std::string("sans-serif") : spec.face;
    const char* lang = nullptr;
    if (spec.face == "微软雅黑" || equalsNoCase(spec.face, "Microsoft YaHei")) {
        family = "sans-serif";
        lang = "zh-cn";
    }
    TTF_Font* font = nullptr;
    if (auto face = match(family, lang, spec.bold, spec.italic, std::nullopt)) {
        font = open(*face, spec);
    }
    if (font == nullptr && family != "sans-serif") {
        if (auto face = match("sans-serif", nullptr, spec.bold, spec.italic, std::nullopt)) {
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
        it =
            fallbacks_.emplace(key, match("sans-serif", nullptr, spec.bold, spec.italic, character))
                .first;
    }
    if (!it->second) {
        return primary;
    }
    TTF_Font* fallback = open(*it->second, spec);
    return fallback != nullptr ? fallback : primary;
}

}  // namespace ui
