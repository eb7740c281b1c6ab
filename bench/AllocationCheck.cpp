// No allocation per frame on either path of a recording: the grab with the cursor drawn in, and
// the encoding. Every malloc of this process passes through the counting wrappers below (the
// program's own definitions take the place of the C library's for every library loaded), and
// so does operator new; while a thread is being watched, each of its allocations is recorded
// with its caller's address, which is then resolved to the library it lies in.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SyntheticMedia.h"
#include "TestDesktop.h"
#include "TestServers.h"
#include "engine/CursorOverlay.h"
#include "engine/Encoder.h"
#include "engine/ScreenCapturer.h"

// The sanitizers bring their own allocator; counting is done in the ordinary build only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SC_COUNT_ALLOCATIONS 0
#else
#define SC_COUNT_ALLOCATIONS 1
#endif

namespace {

struct Allocation {
    void* caller;
    size_t size;
};
constexpr size_t kMaxRecorded = 4096;
Allocation recorded[kMaxRecorded];
std::atomic<size_t> recordedCount{0};
thread_local bool watching = false;

[[maybe_unused]] void note(void* caller, size_t size) {
    if (watching) {
        const size_t i = recordedCount.fetch_add(1);
        if (i < kMaxRecorded) {
            recorded[i] = Allocation{caller, size};
        }
    }
}

}  // namespace

#if SC_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t size) {
    return note(__builtin_return_address(0), size), __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    return note(__builtin_return_address(0), n * size), __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
    return note(__builtin_return_address(0), size), __libc_realloc(p, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    note(__builtin_return_address(0), size);
    *out = __libc_memalign(alignment, size);
    return *out == nullptr ? 12 : 0;  // ENOMEM
}
}
// The other forms of new and delete in the C++ library go through these two.
void* operator new(size_t size) {
    note(__builtin_return_address(0), size);
    if (void* p = __libc_malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
// Not inlined: the compiler would take the free of what operator new returned for a mismatch.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    free(p);
}
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept {
    free(p);
}
#endif

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

std::string libraryOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return "?";
    }
    const std::string path = info.dli_fname;
    return path.substr(path.find_last_of('/') + 1, path.find(".so") - path.find_last_of('/') - 1);
}

// What `work` allocated on this thread: the size of each allocation, by the caller's library.
// `work` itself must not allocate for its own purposes (no test macros inside).
std::map<std::string, std::vector<size_t>> allocationsDuring(const std::function<void()>& work) {
    recordedCount = 0;
    watching = true;
    work();
    watching = false;
    std::map<std::string, std::vector<size_t>> byLibrary;
    for (size_t i = 0; i < std::min(recordedCount.load(), kMaxRecorded); ++i) {
        byLibrary[libraryOf(recorded[i].caller)].push_back(recorded[i].size);
    }
    EXPECT_LE(recordedCount.load(), kMaxRecorded);
    return byLibrary;
}

class AllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SC_COUNT_ALLOCATIONS) {
            GTEST_SKIP() << "allocations are counted in the build without sanitizers";
        }
        // The counters must see what the test allocates itself, or they count nothing at all.
        const auto probe = allocationsDuring([] {
            void* volatile block = malloc(48);  // kept: the compiler may drop a malloc unused
            free(block);
            ::operator delete(::operator new(16));  // a direct call, which it may not drop
        });
        ASSERT_EQ(probe.at(ours).size(), 2u);
    }
    const std::string ours = libraryOf(reinterpret_cast<const void*>(&libraryOf));
};

TEST_F(AllocationTest, AGrabAllocatesNothingButTheXRepliesBookkeeping) {
    testdesktop::TestDesktop desktop;
    desktop.paintPattern();
    CursorState cursor;
    CursorOverlay::compose(cursor, 104, 129, 117);
    RecordingClock clock;
    clock.start();
    ScreenCapturer capturer(cursor, clock);
    const Rect area{0, 0, desktop.width(), desktop.height()};
    capturer.init(area);
    std::vector<uint8_t> buffer(static_cast<size_t>(area.width()) * area.height() * 4);
    uint32_t clockTime = 0;
    for (int pressed : {0, 1}) {  // the first draws of each image prepare their blits
        cursor.pressed = pressed;
        ASSERT_GT(capturer.capture(buffer.data(), clockTime), 0);
    }
    constexpr int kGrabs = 50;
    int grabbed = 0;
    const auto byLibrary = allocationsDuring([&] {
        for (int i = 0; i < kGrabs; ++i) {
            cursor.x = 100 + 30 * i;  // moving, sometimes pressed, sometimes half off the area
            cursor.y = (i % 7 == 0) ? -5 : 200 + 15 * i;
            cursor.pressed = i % 3 == 0 ? 1 : 0;
            grabbed += capturer.capture(buffer.data(), clockTime) > 0 ? 1 : 0;
        }
    });
    EXPECT_EQ(grabbed, kGrabs);
    // Only libxcb's reply bookkeeping, a few dozen bytes each, never anything of the image's
    // size; our code and SDL's blit allocate nothing.
    for (const auto& [library, sizes] : byLibrary) {
        EXPECT_EQ(library, "libxcb") << sizes.size() << " allocations";
        EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()), 64u) << library;
    }
}

struct FixedClock : platform::Clock {
    uint32_t nowMs() const override { return 500000; }
};

TEST_F(AllocationTest, EncodingAFrameAllocatesNothingOfOursOnceWarm) {
    testsupport::TempDir dir;
    FixedClock source;
    RecordingClock clock(source);
    Encoder encoder(clock);
    ASSERT_GE(encoder.open(dir.file("count.mp4"), true, 30, 320, 240, 800000, 48000, 192000), 0);
    ASSERT_EQ(encoder.prepareRecording(), 0);
    testsupport::ToneFrames tone(encoder.audioCodecContext(), 440.0);
    const std::vector<uint8_t> pictures[] = {testsupport::makeBgraPicture(320, 240, 0),
                                             testsupport::makeBgraPicture(320, 240, 7)};
    int failures = 0;
    auto encode = [&](uint32_t frames) {
        for (uint32_t i = 0; i < frames; ++i) {
            const uint32_t at = 33 * static_cast<uint32_t>(encoder.videoFrames() + 1);
            failures += encoder.encodeVideoFrame(pictures[i % 2].data(), at) != 0;
            failures += encoder.encodeAudioFrame(tone.next()) != 1;
        }
    };
    encode(5);  // warm-up: the codecs settle, the muxer sees both streams
    const auto byLibrary = allocationsDuring([&] { encode(40); });
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(encoder.videoFrames(), 45);
    for (const auto& [library, sizes] : byLibrary) {  // FFmpeg's own packets and pictures only
        EXPECT_TRUE(library.rfind("libav", 0) == 0 || library == "libx264")
            << sizes.size() << " allocations from " << library;
    }
}

}  // namespace
