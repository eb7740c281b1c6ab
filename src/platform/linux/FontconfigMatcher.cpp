#include <fontconfig/fontconfig.h>

#include <memory>

#include "platform/FontMatcher.h"

namespace platform {
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
struct ConfigDestroy {
    void operator()(FcConfig* c) const { FcConfigDestroy(c); }
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

// Face names map through fontconfig: "微软雅黑" (or "Microsoft YaHei") to the installed CJK
// sans face, "Arial" to its metric-compatible stand-in, any other name to fontconfig's best
// match.
class FontconfigMatcher final : public FontMatcher {
public:
    std::optional<FontFace> match(const std::string& family, bool bold, bool italic) override {
        if (family.empty()) {
            return find("sans-serif", nullptr, bold, italic, std::nullopt);
        }
        if (family == "微软雅黑" || equalsNoCase(family, "Microsoft YaHei")) {
            return find("sans-serif", "zh-cn", bold, italic, std::nullopt);
        }
        return find(family, nullptr, bold, italic, std::nullopt);
    }

    std::optional<FontFace> matchCharacter(char32_t character, bool bold, bool italic) override {
        return find("sans-serif", nullptr, bold, italic, character);
    }

private:
    // Fontconfig's match for a family (with a language, or a character it must have).
    std::optional<FontFace> find(const std::string& family, const char* lang, bool bold,
                                 bool italic, std::optional<char32_t> character) {
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
        FontFace face;
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

    std::unique_ptr<FcConfig, ConfigDestroy> config_{FcInitLoadConfigAndFonts()};
};

}  // namespace

FontMatcher& FontMatcher::system() {
    static FontconfigMatcher matcher;
    return matcher;
}

}  // namespace platform
