#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace testsupport {

// What FFmpeg's own demuxer and decoders find in a media file: per stream its parameters,
// every packet's timestamps and flags, every decoded frame, and how many errors decoding met.
struct ProbedStream {
    int index = -1;
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    AVRational timeBase{0, 1};
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    int frameSize = 0;

    std::vector<int64_t> packetPts;  // non-empty packets, in file order

    std::vector<int64_t> framePts;  // decoded frames (best-effort timestamps), in output order
    std::vector<bool> frameKey;
    int64_t samples = 0;  // decoded audio samples per channel
    int decodeErrors = 0;

    double start = 0;            // where the container says the stream starts, in seconds
    double duration = 0;         // and how long it lasts
    AVRational frameRate{0, 1};  // the rate the video stream's own headers announce
};

struct ProbedFile {
    int openError = 0;  // negative when the file could not be opened or read
    std::vector<ProbedStream> streams;

    const ProbedStream* first(AVMediaType type) const {
        for (const ProbedStream& s : streams) {
            if (s.type == type) {
                return &s;
            }
        }
        return nullptr;
    }
};

// Called for each decoded video frame (index in output order) with the picture as packed,
// top-down BGRA of the stream's size.
using PictureSink = std::function<void(size_t index, const uint8_t* bgra)>;

// Demuxes and decodes the whole file, decoders set to report damage as errors.
ProbedFile probeMedia(const std::string& path, const PictureSink& onPicture = nullptr);

#ifndef _WIN32  // runs the ffmpeg program of the Linux machine too
// probeMedia after checking that the ffmpeg program decodes the file without a word and that
// no stream met a decoding error; either is a failure of the running test.
ProbedFile probeDecodable(const std::string& path, const PictureSink& onPicture = nullptr);
#endif

// The types of an MP4/MOV file's top-level boxes in file order, space-separated ("ftyp moov
// mdat"); a fragmented file has "moof" boxes among them. What cannot be read ends the list.
std::string topLevelBoxes(const std::string& path);

// Peak signal-to-noise ratio of two BGRA pictures over B, G and R (alpha ignored), in dB;
// infinity when they are equal.
double psnrBgra(const uint8_t* a, const uint8_t* b, size_t pixels);

}  // namespace testsupport
