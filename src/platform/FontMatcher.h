#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A font face as the system's font service found it: a file and the face's index in it (a
// collection holds several), or the font's bytes where the system hands out data rather than
// files; and whether the face itself is bold / italic (if not, the renderer emboldens or
// slants it when asked).
struct FontFace {
    std::string file;                                  // UTF-8; empty when `data` holds it
    std::shared_ptr<const std::vector<uint8_t>> data;  // shared by every face of one file
    int32_t index = 0;
    bool bold = false;
    bool italic = false;

    // Tells faces apart for caches: the same key is the same face.
    std::string key() const {
        return (data ? "data:" + std::to_string(reinterpret_cast<uintptr_t>(data.get())) : file) +
               "#" + std::to_string(index);
    }
};

// The installed fonts, searched by family name or by a character. UI thread only.
class FontMatcher {
public:
    virtual ~FontMatcher() = default;

    // The best installed face for a family as layouts name it ("微软雅黑", "Arial"; empty for
    // the system's interface face), of the weight and slant asked for; a family that is not
    // installed gets its stand-in or the closest face. nullopt when no face can be had at all.
    virtual std::optional<FontFace> match(const std::string& family, bool bold, bool italic) = 0;
    // A face that has the character; nullopt when no installed face has it.
    virtual std::optional<FontFace> matchCharacter(char32_t character, bool bold, bool italic) = 0;

    // The system's fonts; lives for the whole process.
    static FontMatcher& system();
};

}  // namespace platform
