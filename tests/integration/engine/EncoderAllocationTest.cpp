// The encode path allocates nothing per frame: the picture, the packets and the scaler are made
// once at open. Counted with a replaced global operator new that counts only on a thread that
// asks for it (FFmpeg allocates through av_malloc, not operator new, so what is counted is ours;
// the library's other forms of new and delete go through these).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

extern "C" {
#include <libavutil/log.h>
}

#include "ChildProcess.h"
#include "SyntheticMedia.h"
#include "engine/Encoder.h"

namespace {
thread_local long* counter = nullptr;
}  // namespace

void* operator new(std::size_t size) {
    if (counter != nullptr) {
        ++*counter;
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
// Not inlined: the compiler would take the free of what operator new returned for a mismatch.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// Counts this thread's allocations while it lives.
struct Counting {
    explicit Counting(long& count) { counter = &count; }
    ~Counting() { counter = nullptr; }
};

struct FixedClock : platform::Clock {
    uint32_t nowMs() const override { return 500000; }
};

TEST(EncoderAllocation, NoAllocationPerFrameAfterWarmUp) {
    long probe = 0;
    {
        Counting counting(probe);  // the counter itself works, so a zero below means something
        void* p = ::operator new(16);  // a direct call: the compiler may not drop it
        ::operator delete(p);
    }
    ASSERT_EQ(probe, 1);
    av_log_set_level(AV_LOG_ERROR);
    testsupport::TempDir dir;
    FixedClock source;
    RecordingClock clock(source);
    Encoder encoder(clock);
    ASSERT_GE(encoder.open(dir.file("count.mp4"), true, 30, 320, 240, 800000, 48000, 192000), 0);
    ASSERT_EQ(encoder.prepareRecording(), 0);
    testsupport::ToneFrames tone(encoder.audioCodecContext(), 440.0);
    const std::vector<uint8_t> pictures[] = {testsupport::makeBgraPicture(320, 240, 0),
                                             testsupport::makeBgraPicture(320, 240, 7)};
    long warmUp = 0, video = 0, audio = 0;
    // The first five frames warm up: the codecs settle, the muxer sees both streams.
    for (uint32_t i = 0; i < 45; ++i) {
        {
            Counting counting(i < 5 ? warmUp : video);
            ASSERT_EQ(encoder.encodeVideoFrame(pictures[i % 2].data(), 33 * (i + 1)), 0);
        }
        AVFrame* frame = tone.next();
        Counting counting(i < 5 ? warmUp : audio);
        ASSERT_EQ(encoder.encodeAudioFrame(frame), 1);
    }
    EXPECT_EQ(video, 0);
    EXPECT_EQ(audio, 0);
    EXPECT_EQ(encoder.videoFrames(), 45);
}

}  // namespace
