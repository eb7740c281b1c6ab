#include "flux/StoreTables.h"

namespace {

constexpr int32_t kVideoBitrates[] = {1500000, 1200000, 800000, 0};
constexpr int32_t kAudioBitrates[] = {192000, 128000, 96000, 0};
constexpr int32_t kFrameRates[] = {30, 24};
constexpr StoreTables::Size kPresetSizes[] = {
    {1920, 1080}, {1366, 768}, {1280, 720}, {1024, 768}, {800, 600}};
constexpr int32_t kFirstPresetItem = 2;
constexpr int32_t kStyleCount = 12;

constexpr int32_t kPointBase = 101;
constexpr int32_t kPressBase = 113;
constexpr int32_t kShapeBase = 125;

template <typename T, size_t N>
constexpr bool inTable(const T (&)[N], int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < N;
}

}  // namespace

bool StoreTables::isQuality(int32_t quality) {
    return inTable(kVideoBitrates, quality);
}

std::optional<StoreTables::Bitrates> StoreTables::qualityBitrates(int32_t quality) {
    if (!isQuality(quality)) {
        return std::nullopt;
    }
    return Bitrates{kVideoBitrates[quality], kAudioBitrates[quality]};
}

bool StoreTables::isFrameRateIndex(int32_t index) {
    return inTable(kFrameRates, index);
}

std::optional<int32_t> StoreTables::frameRate(int32_t index) {
    if (!isFrameRateIndex(index)) {
        return std::nullopt;
    }
    return kFrameRates[index];
}

bool StoreTables::isStyle(int32_t style) {
    return style >= -1 && style < kStyleCount;
}

int32_t StoreTables::resource(int32_t base, int32_t style) {
    if (style < 0 || style >= kStyleCount) {
        return -1;
    }
    return base + 3 * (style % 4) + style / 4;
}

int32_t StoreTables::pointResource(int32_t style) {
    return resource(kPointBase, style);
}
int32_t StoreTables::pressResource(int32_t style) {
    return resource(kPressBase, style);
}
int32_t StoreTables::shapeResource(int32_t style) {
    return resource(kShapeBase, style);
}

std::optional<StoreTables::Size> StoreTables::presetSize(int32_t item) {
    if (item < kFirstPresetItem || !inTable(kPresetSizes, item - kFirstPresetItem)) {
        return std::nullopt;
    }
    return kPresetSizes[item - kFirstPresetItem];
}
