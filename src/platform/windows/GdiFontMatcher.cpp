#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "base/Utf8.h"
#include "platform/FontMatcher.h"

namespace platform {
namespace {

constexpr DWORD kCollectionTag = 0x66637474;  // 'ttcf' as GetFontData takes it

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// GDI matches a face name as Windows programs see it (font substitutes and links included)
// and hands out the matched font's bytes, which the renderer reads from memory: a face need
// not be a file of the fonts folder (under Wine it often is not).
class GdiFontMatcher final : public FontMatcher {
public:
    GdiFontMatcher() : dc_(CreateCompatibleDC(nullptr)) {}
    ~GdiFontMatcher() override {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }

    std::optional<FontFace> match(const std::string& family, bool bold, bool italic) override {
        // The interface face of Windows dialogs when a layout names none.
        return select(family.empty() ? std::wstring(L"MS Shell Dlg 2") : Utf8ToWide(family), bold,
                      italic, std::nullopt);
    }

    std::optional<FontFace> matchCharacter(char32_t character, bool bold, bool italic) override {
        if (character > 0xFFFF) {
            return std::nullopt;  // GDI's glyph lookup covers the basic plane only
        }
        for (const std::wstring& family : families()) {
            if (auto face = select(family, bold, italic, character)) {
                return face;
            }
        }
        return std::nullopt;
    }

private:
    struct SelectedFont {
        SelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), old_(SelectObject(dc, font)) {}
        ~SelectedFont() {
            SelectObject(dc_, old_);
            DeleteObject(font_);
        }
        HDC dc_;
        HFONT font_;
        HGDIOBJ old_;
    };

    // The face GDI picks for the family, when it has the character (if one is given).
    std::optional<FontFace> select(const std::wstring& family, bool bold, bool italic,
                                   std::optional<char32_t> character) {
        if (dc_ == nullptr) {
            return std::nullopt;
        }
        LOGFONTW spec{};
        spec.lfHeight = -32;
        spec.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        spec.lfItalic = italic ? TRUE : FALSE;
        spec.lfCharSet = DEFAULT_CHARSET;
        spec.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        spec.lfQuality = ANTIALIASED_QUALITY;
        family.copy(spec.lfFaceName, LF_FACESIZE - 1);
        HFONT font = CreateFontIndirectW(&spec);
        if (font == nullptr) {
            return std::nullopt;
        }
        SelectedFont selected(dc_, font);
        if (character) {
            const WCHAR c = static_cast<WCHAR>(*character);
            WORD glyph = 0xFFFF;
            if (GetGlyphIndicesW(dc_, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
                glyph == 0xFFFF) {
                return std::nullopt;
            }
        }
        // Whether the face itself is bold or italic (else GDI would only simulate it).
        OUTLINETEXTMETRICW metrics{};
        metrics.otmSize = sizeof metrics;
        if (GetOutlineTextMetricsW(dc_, sizeof metrics, &metrics) == 0) {
            return std::nullopt;
        }
        wchar_t name[LF_FACESIZE] = {};
        GetTextFaceW(dc_, LF_FACESIZE, name);
        const auto key = std::make_tuple(std::wstring(name), metrics.otmfsSelection,
                                         metrics.otmTextMetrics.tmWeight);
        if (auto it = faces_.find(key); it != faces_.end()) {
            return it->second;
        }
        std::optional<FontFace> face = readFace();
        if (face) {
            face->bold = (metrics.otmfsSelection & 0x20) != 0;
            face->italic = (metrics.otmfsSelection & 0x01) != 0;
        }
        faces_.emplace(key, face);
        return face;
    }

    // The selected font's file, as bytes: a collection whole, with the index of this face.
    std::optional<FontFace> readFace() {
        FontFace face;
        DWORD size = GetFontData(dc_, kCollectionTag, 0, nullptr, 0);
        const bool collection = size != GDI_ERROR && size > 12;
        if (!collection) {
            size = GetFontData(dc_, 0, 0, nullptr, 0);
        }
        if (size == GDI_ERROR || size == 0) {
            return std::nullopt;
        }
        auto bytes = std::make_shared<std::vector<uint8_t>>(size);
        if (GetFontData(dc_, collection ? kCollectionTag : 0, 0, bytes->data(), size) != size) {
            return std::nullopt;
        }
        if (collection) {
            const auto index = indexInCollection(*bytes);
            if (!index) {
                return std::nullopt;
            }
            face.index = *index;
        }
        // One copy per file, shared by the faces read from it.
        for (const auto& known : files_) {
            if (*known == *bytes) {
                bytes = known;
                break;
            }
        }
        if (std::find(files_.begin(), files_.end(), bytes) == files_.end()) {
            files_.push_back(bytes);
        }
        face.data = bytes;
        return face;
    }

    // Which font of the collection is selected: the one whose table directory is the
    // selected font's (GetFontData at table 0 starts there for a font of a collection).
    std::optional<int32_t> indexInCollection(const std::vector<uint8_t>& file) {
        uint8_t head[12];
        if (GetFontData(dc_, 0, 0, head, sizeof head) != sizeof head) {
            return std::nullopt;
        }
        const size_t directorySize =
            12 + 16 * size_t{static_cast<uint16_t>((head[4] << 8) | head[5])};
        std::vector<uint8_t> directory(directorySize);
        if (GetFontData(dc_, 0, 0, directory.data(), static_cast<DWORD>(directorySize)) !=
            directorySize) {
            return std::nullopt;
        }
        const uint32_t count = bigEndian32(file.data() + 8);
        for (uint32_t i = 0; i < count && 12 + 4 * (i + 1) <= file.size(); ++i) {
            const uint32_t offset = bigEndian32(file.data() + 12 + 4 * i);
            if (offset + directorySize <= file.size() &&
                std::memcmp(file.data() + offset, directory.data(), directorySize) == 0) {
                return static_cast<int32_t>(i);
            }
        }
        return std::nullopt;
    }

    // Every installed family, those that cover most scripts first.
    const std::vector<std::wstring>& families() {
        if (families_.empty()) {
            families_ = {L"Microsoft YaHei", L"Microsoft YaHei UI", L"SimSun",
                         L"Segoe UI",        L"Arial Unicode MS",   L"Arial",
                         L"Tahoma"};
            LOGFONTW all{};
            all.lfCharSet = DEFAULT_CHARSET;
            EnumFontFamiliesExW(
                dc_, &all,
                [](const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list) -> int {
                    auto* names = reinterpret_cast<std::vector<std::wstring>*>(list);
                    const std::wstring name = font->lfFaceName;
                    if ((type & TRUETYPE_FONTTYPE) != 0 && !name.empty() && name[0] != L'@' &&
                        std::find(names->begin(), names->end(), name) == names->end()) {
                        names->push_back(name);
                    }
                    return 1;
                },
                reinterpret_cast<LPARAM>(&families_), 0);
        }
        return families_;
    }

    HDC dc_;
    // UI thread only, as the whole matcher.
    std::map<std::tuple<std::wstring, UINT, LONG>, std::optional<FontFace>> faces_;
    std::vector<std::shared_ptr<std::vector<uint8_t>>> files_;
    std::vector<std::wstring> families_;
};

}  // namespace

FontMatcher& FontMatcher::system() {
    static GdiFontMatcher matcher;
    return matcher;
}

}  // namespace platform
