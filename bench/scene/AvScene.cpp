// A test scene for recordings: a window that keeps moving, flashes a white square once a second
// and plays a short click at the same instant, or a steady tone.
//
//   av-scene [--width W] [--height H] [--seconds S] [--tone HZ] [--no-flash]
//
// Flash k and click k are both due at start + k seconds on the monotonic clock. The white
// square alone is pushed to the X server so that the push completes at that instant (a whole
// frame is kept out of the way); the click is written into the sound stream at the sample that
// the server reports will be played at that instant (the written position plus the stream's
// current latency, measured again for every block, so neither start-up buffering nor clock
// drift of the sink can move it).
//
// Prints "ready" once the window is up and sound flows, then per event, in milliseconds since
// the start of the schedule: "flash <ms>" when the flash frame reached the screen and
// "click <ms>" for the instant the click's first sample is due at the sink.
#include <SDL2/SDL.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;
using Nanos = std::chrono::nanoseconds;

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kClickSamples = kRate / 100;  // 10 ms
constexpr int kBlockSamples = kRate / 200;  // 5 ms per write: the latency is re-read this often
constexpr int kTargetLatencyMs = 20;
constexpr auto kFlashLength = std::chrono::milliseconds(100);
constexpr auto kFrameInterval = std::chrono::milliseconds(33);  // moving content at 30 frames/s
// Room for the scheduler between a whole frame's end and the start of the square's push.
constexpr auto kSlack = std::chrono::milliseconds(5);
constexpr double kPi = 3.14159265358979323846;

struct Options {
    int width = 1280;
    int height = 720;
    double seconds = 10.0;
    double toneHz = 0.0;  // 0: clicks once a second instead of a tone
    bool flash = true;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--width" && hasValue) {
            o.width = std::atoi(argv[++i]);
        } else if (a == "--height" && hasValue) {
            o.height = std::atoi(argv[++i]);
        } else if (a == "--seconds" && hasValue) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--tone" && hasValue) {
            o.toneHz = std::atof(argv[++i]);
        } else if (a == "--no-flash") {
            o.flash = false;
        } else {
            std::fprintf(stderr, "av-scene: unknown argument %s\n", a.c_str());
            return false;
        }
    }
    return o.width > 0 && o.height > 0 && o.seconds > 0.0;
}

double msSince(SteadyClock::time_point origin, SteadyClock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - origin).count();
}

struct SimpleCloser {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};

// Plays the clicks (or the tone) on the default sink from its own thread.
class SoundTrack {
public:
    explicit SoundTrack(const Options& options) : options_(options) {}
    ~SoundTrack() { stop(); }

    // Connects to the sound server; false when there is none (the scene then runs silent).
    bool open() {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, kChannels};
        const uint32_t bytesPerMs = kRate / 1000 * kChannels * 2;
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = bytesPerMs * kTargetLatencyMs;
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = bytesPerMs * 5;
        attr.fragsize = static_cast<uint32_t>(-1);
        int error = 0;
        stream_.reset(pa_simple_new(nullptr, "av-scene", PA_STREAM_PLAYBACK, nullptr, "scene",
                                    &spec, nullptr, &attr, &error));
        if (!stream_) {
            std::fprintf(stderr, "av-scene: no sound (%s); running silent\n", pa_strerror(error));
            return false;
        }
        thread_ = std::thread([this] { run(); });
        return true;
    }

    // Clicks are due at origin + 1 s, + 2 s, ...; none is played before this is called.
    void startSchedule(SteadyClock::time_point origin) {
        originNs_.store(origin.time_since_epoch().count());
    }

    void stop() {
        running_.store(false);
        if (thread_.joinable()) {
            thread_.join();
        }
        stream_.reset();
    }

    // True once the sink has been taking the stream for a while: a new stream's first
    // samples can sit in the server much longer than its steady latency.
    bool flowing() const { return flowing_.load(); }

private:
    void run() {
        std::vector<int16_t> block(static_cast<size_t>(kBlockSamples) * kChannels);
        int64_t nextClick = 1;           // the click due at origin + nextClick seconds
        int clickPhase = kClickSamples;  // samples of the current click already written
        int64_t written = 0;
        while (running_.load()) {
            int error = 0;
            const pa_usec_t latency = pa_simple_get_latency(stream_.get(), &error);
            const bool known = latency != static_cast<pa_usec_t>(-1);
            const auto now = SteadyClock::now();
            // When the first sample of this block will be heard.
            const auto blockStart = now + std::chrono::microseconds(known ? latency : 0);
            const int64_t originNs = originNs_.load();
            const SteadyClock::time_point origin{Nanos(originNs)};
            // Like the flashes, no click at or after the scene's end.
            const auto end = origin + std::chrono::duration_cast<Nanos>(
                                          std::chrono::duration<double>(options_.seconds));
            for (int i = 0; i < kBlockSamples; ++i) {
                double v = 0.0;
                if (options_.toneHz > 0.0) {
                    v = 0.5 * std::sin(2.0 * kPi * options_.toneHz *
                                       static_cast<double>(written + i) / kRate);
                } else if (known && originNs != 0) {
                    const auto due = origin + std::chrono::seconds(nextClick);
                    const auto at = blockStart + Nanos(int64_t{1000000000} * i / kRate);
                    // The first sample at or after the due instant starts the click; a block
                    // that starts late (its latency grew) starts it at its first sample, so
                    // no click is lost or doubled.
                    if (clickPhase >= kClickSamples && at >= due && due < end) {
                        clickPhase = 0;
                        std::printf("click %.1f\n", msSince(origin, at));
                        std::fflush(stdout);
                        ++nextClick;
                    }
                    if (clickPhase < kClickSamples) {
                        v = 0.8 * std::sin(2.0 * kPi * 2000.0 * clickPhase / kRate);
                        ++clickPhase;
                    }
                }
                const auto s = static_cast<int16_t>(v * 32767.0);
                block[2 * static_cast<size_t>(i)] = s;
                block[2 * static_cast<size_t>(i) + 1] = s;
            }
            if (pa_simple_write(stream_.get(), block.data(), block.size() * sizeof(int16_t),
                                &error) < 0) {
                std::fprintf(stderr, "av-scene: sound write failed (%s)\n", pa_strerror(error));
                return;
            }
            written += kBlockSamples;
            // What the sink has taken so far: everything written but the latency still ahead.
            const int64_t writtenUs = written * 1000000 / kRate;
            if (known && writtenUs - static_cast<int64_t>(latency) >= kSettleUs) {
                flowing_.store(true);
            }
        }
        int error = 0;
        pa_simple_drain(stream_.get(), &error);
    }

    static constexpr int64_t kSettleUs = 100000;

    const Options options_;
    std::unique_ptr<pa_simple, SimpleCloser> stream_;  // sound thread only, once started
    std::thread thread_;
    // Written by the UI thread (startSchedule, stop), read by the sound thread.
    std::atomic<int64_t> originNs_{0};
    std::atomic<bool> running_{true};
    // Written by the sound thread, read by the UI thread.
    std::atomic<bool> flowing_{false};
};

// The window's picture, drawn straight into its surface. A whole frame is a large push to the
// X server (and a slow one on a busy machine); the flash frame pushes the square alone, which
// is quick and lands in one piece.
class Picture {
public:
    Picture(SDL_Window* window, const Options& options) : window_(window), options_(options) {
        const int side = std::max(8, std::min(options.width, options.height) / 5);
        square_ = SDL_Rect{options.width / 2 - side / 2, options.height / 2 - side / 2, side, side};
    }

    // Moving content: a sweeping bar over a shifting background; the white square on top.
    // Drawn and pushed whole; returns when the server has it.
    SteadyClock::time_point showFrame(double ms, bool square) {
        const auto begin = SteadyClock::now();
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface != nullptr) {
            const auto t = static_cast<Uint32>(ms);
            SDL_FillRect(surface, nullptr,
                         SDL_MapRGB(surface->format, static_cast<Uint8>((t / 20) % 128), 32, 96));
            const SDL_Rect bar{static_cast<int>((t / 4) % static_cast<Uint32>(options_.width)), 0,
                               40, options_.height};
            SDL_FillRect(surface, &bar, SDL_MapRGB(surface->format, 240, 160, 0));
            if (square) {
                SDL_FillRect(surface, &square_, SDL_MapRGB(surface->format, 255, 255, 255));
            }
            SDL_UpdateWindowSurface(window_);
        }
        const auto end = SteadyClock::now();
        frameTime_.add(end - begin);
        return end;
    }

    // The white square alone over what is shown; returns when the server has it.
    SteadyClock::time_point showSquare() {
        const auto begin = SteadyClock::now();
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface != nullptr) {
            SDL_FillRect(surface, &square_, SDL_MapRGB(surface->format, 255, 255, 255));
            SDL_UpdateWindowSurfaceRects(window_, &square_, 1);
        }
        const auto end = SteadyClock::now();
        squareTime_.add(end - begin);
        return end;
    }

    // How long a whole frame takes and how long the square alone (running means).
    Nanos frameTime() const { return frameTime_.value(); }
    Nanos squareTime() const { return squareTime_.value(); }

private:
    class Mean {
    public:
        void add(Nanos d) {
            const auto x = static_cast<double>(d.count());
            mean_ = mean_ < 0.0 ? x : 0.8 * mean_ + 0.2 * x;
        }
        Nanos value() const { return Nanos(static_cast<int64_t>(std::max(mean_, 0.0))); }

    private:
        double mean_ = -1.0;
    };

    SDL_Window* window_;
    const Options options_;
    SDL_Rect square_;
    Mean frameTime_;
    Mean squareTime_;
};

struct WindowCloser {
    void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

bool quitRequested() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) {
            return true;
        }
    }
    return false;
}

int runScene(const Options& options) {
    std::unique_ptr<SDL_Window, WindowCloser> window(
        SDL_CreateWindow("av-scene", 0, 0, options.width, options.height, SDL_WINDOW_BORDERLESS));
    if (!window || SDL_GetWindowSurface(window.get()) == nullptr) {
        std::fprintf(stderr, "av-scene: %s\n", SDL_GetError());
        return 1;
    }
    Picture picture(window.get(), options);
    // A few pushes to learn how long they take before anything is timed by them; the squares
    // are painted over by the next frame.
    for (int i = 0; i < 5; ++i) {
        picture.showSquare();
        picture.showFrame(0.0, false);
    }

    // The schedule starts once sound flows (or at once without sound), so the first click
    // cannot fall into the stream's start-up.
    SoundTrack sound(options);
    if (sound.open()) {
        const auto giveUp = SteadyClock::now() + std::chrono::seconds(10);
        while (!sound.flowing()) {
            if (quitRequested() || SteadyClock::now() > giveUp) {
                std::fprintf(stderr, "av-scene: the sound server does not take the stream\n");
                return 1;
            }
            picture.showFrame(0.0, false);
            std::this_thread::sleep_for(kFrameInterval);
        }
    }
    const auto origin = SteadyClock::now() + std::chrono::milliseconds(200);
    sound.startSchedule(origin);
    std::printf("ready\n");
    std::fflush(stdout);

    const auto end =
        origin + std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(options.seconds));
    int64_t nextFlash = 1;
    auto flashUntil = origin;
    auto nextFrame = SteadyClock::now();
    while (!quitRequested()) {
        const auto now = SteadyClock::now();
        if (now >= end) {
            break;
        }
        const auto due = origin + std::chrono::seconds(nextFlash);
        // The square's push starts early by its own length, so it lands when it is due. A
        // whole frame that could still be under way then is left out.
        const auto squarePush = due - picture.squareTime();
        if (options.flash && due < end && squarePush <= nextFrame + picture.frameTime() + kSlack) {
            std::this_thread::sleep_until(squarePush);
            const auto shown = picture.showSquare();
            std::printf("flash %.1f\n", msSince(origin, shown));
            std::fflush(stdout);
            flashUntil = due + kFlashLength;
            ++nextFlash;
            nextFrame = std::max(nextFrame, shown);
            continue;
        }
        std::this_thread::sleep_until(nextFrame);
        const auto t = SteadyClock::now();
        const auto shown = picture.showFrame(std::max(0.0, msSince(origin, t)), t < flashUntil);
        // As close to the frame rate as the pushes allow, without catching up in bursts.
        nextFrame = std::max(nextFrame + kFrameInterval, shown);
    }
    sound.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        return 2;
    }
    // The window surface straight on X shared memory: SDL would otherwise put it on OpenGL,
    // which here is a software rasteriser many times slower than a plain copy.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "av-scene: %s\n", SDL_GetError());
        return 1;
    }
    const int code = runScene(options);
    SDL_Quit();
    return code;
}
