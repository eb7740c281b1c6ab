// No allocation per grab. Every malloc of this process passes through the counting wrappers
// below (the program's own definitions take the place of the C library's for every library
// loaded); while a thread is being watched, each of its allocations is recorded with its
// caller's address, and afterwards the address is resolved to the library it lies in.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "TestDesktop.h"
#include "TestServers.h"
#include "engine/CursorOverlay.h"
#include "engine/ScreenCapturer.h"

// The sanitizers bring their own allocator; counting is done in the ordinary build only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SC_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SC_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef SC_COUNT_ALLOCATIONS
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
    if (!watching) {
        return;
    }
    const size_t i = recordedCount.fetch_add(1);
    if (i < kMaxRecorded) {
        recorded[i] = Allocation{caller, size};
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
void* memalign(size_t alignment, size_t size) {
    return note(__builtin_return_address(0), size), __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    return note(__builtin_return_address(0), size), __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    note(__builtin_return_address(0), size);
    *out = __libc_memalign(alignment, size);
    return *out == nullptr ? 12 : 0;  // ENOMEM
}
}
#endif

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);

std::string libraryOf(void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return "?";
    }
    const std::string path = info.dli_fname;
    return path.substr(path.find_last_of('/') + 1);
}

TEST(GrabAllocation, AGrabAllocatesNothingBeyondOneXRoundTrip) {
    if (!SC_COUNT_ALLOCATIONS) {
        GTEST_SKIP() << "allocations are counted in the build without sanitizers";
    }
    // The counters must see a malloc the test makes itself, or they count nothing at all.
    watching = true;
    void* probe = malloc(48);
    watching = false;
    free(probe);
    ASSERT_EQ(recordedCount.exchange(0), 1u);

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

    // What one round trip to the server costs inside libxcb (it reads each reply into blocks
    // of its own: the packet and its list entry); a grab needs exactly one round trip.
    desktop.sync();
    watching = true;
    desktop.sync();
    watching = false;
    const size_t perRoundTrip = recordedCount.exchange(0);
    ASSERT_GT(perRoundTrip, 0u);

    // Warm-up: the first draws of each image prepare their blits.
    for (int pressed : {0, 1}) {
        cursor.x = 500;
        cursor.y = 500;
        cursor.pressed = pressed;
        ASSERT_GT(capturer.capture(buffer.data(), clockTime), 0);
    }

    constexpr int kGrabs = 50;
    int grabbed = 0;
    watching = true;
    for (int i = 0; i < kGrabs; ++i) {
        cursor.x = 100 + 30 * i;  // moving, sometimes pressed, sometimes half off the area
        cursor.y = (i % 7 == 0) ? -5 : 200 + 15 * i;
        cursor.pressed = i % 3 == 0 ? 1 : 0;
        grabbed += capturer.capture(buffer.data(), clockTime) > 0 ? 1 : 0;
    }
    watching = false;
    EXPECT_EQ(grabbed, kGrabs);
    const size_t count = recordedCount.exchange(0);
    ASSERT_LE(count, kMaxRecorded);
    size_t fromX = 0;
    // Only libxcb's reply bookkeeping, a few dozen bytes, never anything of the image's size;
    // our code and SDL's blit allocate nothing.
    for (size_t i = 0; i < count; ++i) {
        const std::string library = libraryOf(recorded[i].caller);
        EXPECT_EQ(library.rfind("libxcb.so", 0), 0u)
            << recorded[i].size << " bytes from " << library;
        EXPECT_LE(recorded[i].size, 64u);
        fromX += library.rfind("libxcb.so", 0) == 0;
    }
    EXPECT_LE(fromX, perRoundTrip * kGrabs);
}

}  // namespace
