// The encode path allocates nothing per frame: the picture, the packets and the scaler are made
// once at open. Counted with a replaced global operator new that counts only on a thread that
// asks for it (FFmpeg allocates through av_malloc, not operator new, so what is counted is ours).
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

thread_local bool countAllocations = false;
thread_local long allocations = 0;

void* allocate(std::size_t size) {
    if (countAllocations) {
        ++allocations;
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

class Counting {
  public:
    Counting() {
        allocations = 0;
        countAllocations = true;
    }
    ~Counting() { countAllocations = false; }
    long count() const { return allocations; }
};

struct FixedClock : platform::Clock {
    uint32_t nowMs() const override { return 500000; }
};

TEST(EncoderAllocation, CounterSeesAnAllocation) {
    // The counter itself works, so a zero below means something.
    Counting counting;
    void* p = ::operator new(16);  // a direct call: the compiler may not drop it
    ::operator delete(p);
    EXPECT_EQ(counting.count(), 1);
}

TEST(EncoderAllocation, NoAllocationPerFrameAfterWarmUp) {
    av_log_set_level(AV_LOG_ERROR);
    testsupport::TempDir dir;
    FixedClock source;
    RecordingClock clock(source);
    Encoder encoder(clock);
    ASSERT_GE(encoder.open(dir.file("count.mp4"), true, 30, 320, 240, 800000, 48000, 192000), 0);
    ASSERT_EQ(encoder.prepareRecording(), 0);
    testsupport::ToneFrames tone(encoder.audioCodecContext(), 440.0);

    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 2; ++i) {
        pictures.push_back(testsupport::makeBgraPicture(320, 240, i * 7));
    }
    uint32_t time = 0;
    for (int i = 0; i < 5; ++i) {  // warm-up: the codecs settle, the muxer sees both streams
        ASSERT_EQ(encoder.encodeVideoFrame(pictures[i % 2].data(), time += 33), 0);
        ASSERT_EQ(encoder.encodeAudioFrame(tone.next()), 1);
    }

    long videoCount = 0;
    long audioCount = 0;
    for (int i = 0; i < 40; ++i) {
        {
            Counting counting;
            ASSERT_EQ(encoder.encodeVideoFrame(pictures[i % 2].data(), time += 33), 0);
            videoCount += counting.count();
        }
        AVFrame* frame = tone.next();
        Counting counting;
        ASSERT_EQ(encoder.encodeAudioFrame(frame), 1);
        audioCount += counting.count();
    }
    EXPECT_EQ(videoCount, 0);
    EXPECT_EQ(audioCount, 0);
    EXPECT_EQ(encoder.videoFrames(), 45);
}

}  // namespace
