// Time of one 1920x1080 grab with the cursor drawn in (into a buffer of ours, and into the
// capturer's own that the server writes straight into), against two peers in the same run on the
// same private X server: the plain-protocol grab (the server copies the image through the
// socket) and a bare copy of one frame's bytes (the floor for any grab into a caller's buffer).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "TestServers.h"
#include "engine/CursorOverlay.h"
#include "engine/ScreenCapturer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;

void captureFullHd(benchmark::State& state, bool sharedMemory, bool cursorOn,
                   bool intoFrameBuffer = false) {
    CursorState cursor;
    if (cursorOn) {
        CursorOverlay::compose(cursor, 106, 130, 118);
        cursor.x = 960;
        cursor.y = 540;
    }
    RecordingClock clock;
    clock.start();
    ScreenCapturer capturer(cursor, clock);
    capturer.useScreen(platform::Screen::open(sharedMemory));
    capturer.init(Rect{0, 0, kWidth, kHeight});
    std::vector<uint8_t> own(kFrameBytes);
    uint8_t* buffer = intoFrameBuffer ? capturer.frameBuffer() : own.data();
    if (buffer == nullptr) {
        state.SkipWithError("no frame buffer the server writes into");
        return;
    }
    uint32_t clockTime = 0;
    for (auto _ : state) {
        if (capturer.capture(buffer, clockTime) <= 0) {
            state.SkipWithError("grab failed");
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}

void BM_GrabSharedMemoryWithCursor(benchmark::State& state) {
    captureFullHd(state, true, true);
}
// What the video thread does: the server writes straight into the capturer's buffer.
void BM_GrabIntoCapturersFrameBufferWithCursor(benchmark::State& state) {
    captureFullHd(state, true, true, true);
}
void BM_GrabSharedMemoryNoCursor(benchmark::State& state) {
    captureFullHd(state, true, false);
}
void BM_PeerGrabPlainProtocolWithCursor(benchmark::State& state) {
    captureFullHd(state, false, true);
}

void BM_PeerCopyOneFrame(benchmark::State& state) {
    std::vector<uint8_t> from(kFrameBytes, 1);
    std::vector<uint8_t> to(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}

BENCHMARK(BM_GrabSharedMemoryWithCursor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabIntoCapturersFrameBufferWithCursor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabSharedMemoryNoCursor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerGrabPlainProtocolWithCursor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerCopyOneFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    testsupport::XvfbServer server(kWidth, kHeight);
    setenv("DISPLAY", server.display().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
