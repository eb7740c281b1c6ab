#pragma once

#include <cstdint>

// A PCM stream format in the shape of WAVEFORMATEX / WAVEFORMATEXTENSIBLE, which is what the
// audio code reads and adjusts. Little-endian interleaved samples.
struct WaveFormat {
    static constexpr uint16_t kPcm = 1;
    static constexpr uint16_t kIeeeFloat = 3;
    static constexpr uint16_t kExtensible = 0xFFFE;
    enum class SubFormat : uint8_t { None, Pcm, IeeeFloat };

    uint16_t formatTag = kPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    // Extensible formats only.
    uint16_t validBitsPerSample = 0;
    uint32_t channelMask = 0;
    SubFormat subFormat = SubFormat::None;
};
