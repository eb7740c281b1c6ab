#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace testsupport {

// A screen-like BGRA picture (packed rows, top-down): smooth colour ramps, flat panels with
// sharp edges and a bright square whose place follows `index`, so consecutive pictures differ.
std::vector<uint8_t> makeBgraPicture(int width, int height, int index);

// Endless sine tone in the shape an audio codec context asks for (its sample format, channel
// layout, rate and frame size): next() returns the following frame, reused from call to call.
// Float and 16-bit integer formats, packed or planar, are supported.
class ToneFrames {
public:
    ToneFrames(const AVCodecContext* codec, double frequency);
    ~ToneFrames();
    ToneFrames(const ToneFrames&) = delete;
    ToneFrames& operator=(const ToneFrames&) = delete;

    AVFrame* next();  // null when the frame cannot be made writable
    int64_t samplesMade() const { return made_; }

private:
    AVFrame* frame_;
    double step_;
    int64_t made_ = 0;
};

}  // namespace testsupport
