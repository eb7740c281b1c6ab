// A test scene for recordings: a window that keeps moving, flashes a white square once a second
// and plays a short click at the same instant, or a steady tone. Flash and click are scheduled
// from one clock: the audio stream's own sample counter, so what is heard and what is seen
// cannot drift apart inside the scene.
//
//   av-scene [--width W] [--height H] [--seconds S] [--tone HZ] [--no-flash]
//
// Prints one line "flash <ms>" per flash (milliseconds since the scene started) on stdout.
#include <SDL2/SDL.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kRate = 48000;
constexpr int kClickSamples = kRate / 100;  // 10 ms
constexpr double kPi = 3.14159265358979323846;

struct Scene {
    int width = 1280;
    int height = 720;
    double seconds = 10.0;
    double toneHz = 0.0;  // 0: clicks once a second instead of a tone
    bool flash = true;
    // Written by the audio thread, read by the UI thread.
    std::atomic<int64_t> samplesPlayed{0};
};

void fillAudio(void* user, Uint8* stream, int len) {
    auto* scene = static_cast<Scene*>(user);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const int frames = len / 4;
    int64_t n = scene->samplesPlayed.load();
    for (int i = 0; i < frames; ++i, ++n) {
        double v = 0.0;
        if (scene->toneHz > 0.0) {
            v = 0.5 * std::sin(2.0 * kPi * scene->toneHz * static_cast<double>(n) / kRate);
        } else if (n % kRate < kClickSamples) {
            v = 0.8 * std::sin(2.0 * kPi * 2000.0 * static_cast<double>(n % kRate) / kRate);
        }
        const auto s = static_cast<int16_t>(v * 32767.0);
        out[2 * i] = s;
        out[2 * i + 1] = s;
    }
    scene->samplesPlayed.store(n);
}

bool parse(int argc, char** argv, Scene& scene) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--width" && hasValue) {
            scene.width = std::atoi(argv[++i]);
        } else if (a == "--height" && hasValue) {
            scene.height = std::atoi(argv[++i]);
        } else if (a == "--seconds" && hasValue) {
            scene.seconds = std::atof(argv[++i]);
        } else if (a == "--tone" && hasValue) {
            scene.toneHz = std::atof(argv[++i]);
        } else if (a == "--no-flash") {
            scene.flash = false;
        } else {
            std::fprintf(stderr, "av-scene: unknown argument %s\n", a.c_str());
            return false;
        }
    }
    return scene.width > 0 && scene.height > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Scene scene;
    if (!parse(argc, argv, scene)) {
        return 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "av-scene: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window =
        SDL_CreateWindow("av-scene", 0, 0, scene.width, scene.height, SDL_WINDOW_BORDERLESS);
    SDL_Renderer* renderer =
        window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (renderer == nullptr) {
        std::fprintf(stderr, "av-scene: %s\n", SDL_GetError());
        return 1;
    }

    SDL_AudioSpec want{};
    want.freq = kRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 256;  // small buffer: the click leaves close to when it is computed
    want.callback = fillAudio;
    want.userdata = &scene;
    const SDL_AudioDeviceID audio = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (audio == 0) {
        std::fprintf(stderr, "av-scene: no audio (%s); running silent\n", SDL_GetError());
    } else {
        SDL_PauseAudioDevice(audio, 0);
    }

    const Uint32 start = SDL_GetTicks();
    int64_t lastFlash = -1;
    bool running = true;
    while (running) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) {
                running = false;
            }
        }
        const Uint32 nowMs = SDL_GetTicks() - start;
        if (nowMs >= static_cast<Uint32>(scene.seconds * 1000.0)) {
            break;
        }
        // The audio clock decides which second we are in; without audio the wall clock does.
        const int64_t samples =
            audio != 0 ? scene.samplesPlayed.load() : static_cast<int64_t>(nowMs) * kRate / 1000;
        const int64_t second = samples / kRate;
        const bool flashing = scene.flash && samples % kRate < kRate / 10;

        // Moving content: a sweeping bar over a shifting background.
        const Uint8 shade = static_cast<Uint8>((nowMs / 20) % 128);
        SDL_SetRenderDrawColor(renderer, shade, 32, 96, 255);
        SDL_RenderClear(renderer);
        SDL_Rect bar{static_cast<int>((nowMs / 4) % static_cast<Uint32>(scene.width)), 0, 40,
                     scene.height};
        SDL_SetRenderDrawColor(renderer, 240, 160, 0, 255);
        SDL_RenderFillRect(renderer, &bar);
        if (flashing) {
            SDL_Rect square{scene.width / 2 - 100, scene.height / 2 - 100, 200, 200};
            SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
            SDL_RenderFillRect(renderer, &square);
            if (second != lastFlash) {
                lastFlash = second;
                std::printf("flash %u\n", nowMs);
                std::fflush(stdout);
            }
        }
        SDL_RenderPresent(renderer);
        SDL_Delay(5);
    }
    if (audio != 0) {
        SDL_CloseAudioDevice(audio);
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
