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
// Planar float, packed float and 16-bit integer (packed or planar) formats are supported.
class ToneFrames {
  public:
    ToneFrames(const AVCodecContext* codec, double frequency);
    ToneFrames(AVSampleFormat format, int sampleRate, const AVChannelLayout& layout, int samples,
               double frequency);
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
