#pragma once

#include <cstdint>
#include <optional>

// The Store's lookup tables. An index outside a table gives no value (or -1 for a cursor
// resource), so nothing ever reads past the end of one: the settings file can hold any number.
class StoreTables {
  public:
    struct Bitrates {
        int32_t video = 0;
        int32_t audio = 0;
    };
    struct Size {
        int32_t width = 0;
        int32_t height = 0;
    };

    // Quality 0..3: video and audio bit rates in bits per second.
    static bool isQuality(int32_t quality);
    static std::optional<Bitrates> qualityBitrates(int32_t quality);

    // fps index 0..1: frames per second.
    static bool isFrameRateIndex(int32_t index);
    static std::optional<int32_t> frameRate(int32_t index);

    // Cursor decoration styles: -1 is none, 0..11 a decoration.
    static bool isStyle(int32_t style);
    // PNG resource of a style: base + 3 * (style mod 4) + style div 4, -1 for none or out of
    // range.
    static int32_t pointResource(int32_t style);
    static int32_t pressResource(int32_t style);
    static int32_t shapeResource(int32_t style);

    // Capture drop-down items 2..6: the preset capture sizes.
    static std::optional<Size> presetSize(int32_t item);

  private:
    static int32_t resource(int32_t base, int32_t style);
};
