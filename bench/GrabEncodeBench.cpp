// The recorder's video path flat out: the video thread's loop (grab of the area with the cursor
// drawn in, then encode into the file) without its pause between frames, for a fixed time on
// the current display. bench/grab-encode runs it next to ffmpeg's x11grab on the same screen.
//
//   grab_encode_bench [--seconds S] [--output FILE] [--area L,T,R,B] [--own-buffer]
//
// The frame buffer is the capturer's own where the display can write into it (as the video
// thread does); --own-buffer grabs into a buffer of the program's instead, which costs a copy
// of each frame.
//
// Prints "key value" lines: frames grabbed and encoded, wall seconds of the loop, CPU seconds of
// the whole process during the loop (every thread, the codec's included) and of the grabbing
// thread per phase, and the derived frames per second and CPU seconds per frame.
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/CursorOverlay.h"
#include "engine/CursorState.h"
#include "engine/Encoder.h"
#include "engine/RecordingClock.h"
#include "engine/ScreenCapturer.h"
#include "flux/StoreTables.h"
#include "platform/Screen.h"

namespace {

// What a new Store records with: pointer style 8, no apertures, quality 0 (1.5 Mbit/s), the
// first frame-rate index (30).
constexpr int32_t kPointStyle = 8;
constexpr int32_t kShapeStyle = -1;
constexpr int32_t kPressStyle = -1;
constexpr int32_t kVideoBitrate = 1500000;
constexpr uint32_t kFrameRate = 30;

struct Options {
    double seconds = 20.0;
    std::string output = "grab-encode.mp4";
    bool areaGiven = false;
    Rect area;
    bool ownBuffer = false;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--seconds" && hasValue) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--output" && hasValue) {
            o.output = argv[++i];
        } else if (a == "--area" && hasValue) {
            Rect& r = o.area;
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom) != 4) {
                return false;
            }
            o.areaGiven = true;
        } else if (a == "--own-buffer") {
            o.ownBuffer = true;
        } else {
            std::fprintf(stderr, "grab_encode_bench: unknown argument %s\n", a.c_str());
            return false;
        }
    }
    return o.seconds > 0.0;
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// User + system time of every thread of the process so far.
double processCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

double clockSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double threadCpu() {
    return clockSeconds(CLOCK_THREAD_CPUTIME_ID);
}
double wallNow() {
    return clockSeconds(CLOCK_MONOTONIC);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: grab_encode_bench [--seconds S] [--output FILE] [--area L,T,R,B] "
                     "[--own-buffer]\n");
        return 2;
    }

    auto screen = platform::Screen::open();
    if (!screen) {
        std::fprintf(stderr, "grab_encode_bench: no display\n");
        return 1;
    }
    const Rect area = options.areaGiven ? options.area : screen->desktopRect();
    // The pointer as the mouse hook would have recorded it; drawn into every frame when it is
    // on the area, as it is while a user records.
    Point pointer{area.left + area.width() / 2, area.top + area.height() / 2};
    screen->cursorPosition(pointer);

    CursorState cursor;
    CursorOverlay::compose(cursor, static_cast<uint32_t>(StoreTables::pointResource(kPointStyle)),
                           static_cast<uint32_t>(StoreTables::shapeResource(kShapeStyle)),
                           static_cast<uint32_t>(StoreTables::pressResource(kPressStyle)));
    cursor.x = pointer.x;
    cursor.y = pointer.y;

    RecordingClock clock;
    Encoder encoder(clock);
    if (encoder.open(options.output, false, kFrameRate, static_cast<uint32_t>(area.width()),
                     static_cast<uint32_t>(area.height()), kVideoBitrate, 48000, 192000) < 0 ||
        encoder.prepareRecording() < 0) {
        std::fprintf(stderr, "grab_encode_bench: cannot open %s\n", options.output.c_str());
        return 1;
    }

    ScreenCapturer capturer(cursor, clock);
    capturer.useScreen(std::move(screen));
    capturer.init(area);
    std::vector<uint8_t> own;
    uint8_t* frame = options.ownBuffer ? nullptr : capturer.frameBuffer();
    const bool direct = frame != nullptr;
    if (!direct) {
        own.resize(static_cast<size_t>(area.width()) * area.height() * 4);
        frame = own.data();
    }

    int64_t grabbed = 0;
    int64_t failedGrabs = 0;
    int64_t encodeErrors = 0;
    double grabCpu = 0.0;
    double encodeCpu = 0.0;
    double grabWall = 0.0;
    double encodeWall = 0.0;

    clock.start();
    const double cpuStart = processCpu();
    const double wallStart = wallNow();
    const double wallEnd = wallStart + options.seconds;
    double wall = wallStart;
    while (wall < wallEnd) {
        uint32_t clockTime = 0;
        const double t0 = threadCpu();
        const int32_t bytes = capturer.capture(frame, clockTime);
        const double t1 = threadCpu();
        const double w1 = wallNow();
        grabCpu += t1 - t0;
        grabWall += w1 - wall;
        if (bytes > 0) {
            ++grabbed;
            if (encoder.encodeVideoFrame(frame, clockTime) < 0) {
                ++encodeErrors;
            }
            encodeCpu += threadCpu() - t1;
        } else {
            ++failedGrabs;
        }
        wall = wallNow();
        encodeWall += wall - w1;
    }
    const double loopWall = wall - wallStart;
    const double loopCpu = processCpu() - cpuStart;
    const int64_t encoded = encoder.videoFrames();

    capturer.release();
    encoder.close();
    const double totalCpu = processCpu();

    std::printf("area %dx%d\n", area.width(), area.height());
    std::printf("frame_buffer %s\n", direct ? "capturer" : "own");
    std::printf("frames_grabbed %lld\n", static_cast<long long>(grabbed));
    std::printf("frames_encoded %lld\n", static_cast<long long>(encoded));
    std::printf("failed_grabs %lld\n", static_cast<long long>(failedGrabs));
    std::printf("encode_errors %lld\n", static_cast<long long>(encodeErrors));
    std::printf("wall_s %.3f\n", loopWall);
    std::printf("cpu_loop_s %.3f\n", loopCpu);
    std::printf("cpu_process_s %.3f\n", totalCpu);
    std::printf("cpu_grab_thread_s %.3f\n", grabCpu);
    std::printf("cpu_encode_call_thread_s %.3f\n", encodeCpu);
    std::printf("wall_grab_s %.3f\n", grabWall);
    std::printf("wall_encode_s %.3f\n", encodeWall);
    if (encoded > 0 && loopWall > 0.0) {
        std::printf("fps %.2f\n", static_cast<double>(encoded) / loopWall);
        std::printf("cpu_per_frame_s %.5f\n", loopCpu / static_cast<double>(encoded));
        std::printf("grab_cpu_per_frame_s %.5f\n", grabCpu / static_cast<double>(grabbed));
        std::printf("encode_cpu_per_frame_s %.5f\n", encodeCpu / static_cast<double>(grabbed));
    }
    return encoded > 0 ? 0 : 1;
}
