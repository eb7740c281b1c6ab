// Cost and latency of the audio path against a private PulseAudio server, each measured next to
// a peer in the same run:
//  - CPU: the recorder's audio threads (capture, mixer, silence, the sound-server client loops)
//    per second of audio, against `parec` recording the same monitor for the same time;
//  - latency: from the moment a burst starts playing to the first mixed frame that holds it,
//    against the moment a plain capture stream of the same monitor first sees it.
// Usage: audio_pipeline_bench [seconds]   (prints one line per figure)
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <dirent.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestServers.h"
#include "audio/AudioCapturer.h"
#include "audio/AudioManager.h"
#include "platform/AudioEndpoint.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};

std::unique_ptr<AVCodecContext, CodecFree> aacEncoder() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    std::unique_ptr<AVCodecContext, CodecFree> ctx(avcodec_alloc_context3(codec));
    ctx->sample_fmt = codec->sample_fmts[0];
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->sample_rate = 48000;
    ctx->bit_rate = 192000;
    ctx->time_base = AVRational{1, 48000};
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        std::fprintf(stderr, "no AAC encoder\n");
        std::exit(1);
    }
    return ctx;
}

// CPU seconds of this process's threads by name, from /proc.
std::map<std::string, double> threadCpu() {
    std::map<std::string, double> out;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    DIR* dir = opendir("/proc/self/task");
    if (!dir) {
        return out;
    }
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        std::ifstream stat(std::string("/proc/self/task/") + e->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t open = line.find('(');
        const size_t close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) {
                utime = std::stod(field);
            } else if (i == 15) {
                stime = std::stod(field);
            }
        }
        out[name] += (utime + stime) / tick;
    }
    closedir(dir);
    return out;
}

double processCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a command for `seconds`, then ends it; its CPU seconds.
double childCpu(const std::vector<std::string>& argv, double seconds) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    kill(pid, SIGTERM);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void writeToneWav(const std::string& path, double seconds) {
    const int rate = 48000;
    const auto frames = static_cast<int>(seconds * rate);
    std::vector<int16_t> data(static_cast<size_t>(frames) * 2);
    for (int f = 0; f < frames; ++f) {
        const auto s =
            static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * 440 * f / rate)));
        data[2 * f] = data[2 * f + 1] = s;
    }
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<uint32_t>(data.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(data.data()), bytes);
}

void measureCpu(double seconds, const std::string& dir) {
    writeToneWav(dir + "/tone.wav", seconds + 2);
    auto encoder = aacEncoder();
    AudioManager manager;
    if (manager.OpenDevice(AudioManager::kMicrophone) < 0 ||
        manager.OpenDevice(AudioManager::kSpeaker) < 0 || manager.Initialize(encoder.get()) != 0) {
        std::fprintf(stderr, "cannot open the sources\n");
        std::exit(1);
    }
    pid_t player = 0;
    std::string wav = dir + "/tone.wav";
    char* playArgs[] = {const_cast<char*>("paplay"), wav.data(), nullptr};
    posix_spawnp(&player, "paplay", nullptr, nullptr, playArgs, environ);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    manager.Start();
    std::atomic<bool> pulling{true};
    std::atomic<int> frames{0};
    // The encoder's audio thread, without the encoding: pull every 5 ms.
    std::thread puller([&] {
        AVFrame* frame = av_frame_alloc();
        while (pulling) {
            while (manager.PullFrame(frame) >= 0) {
                av_frame_unref(frame);
                ++frames;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        av_frame_free(&frame);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
    const auto before = threadCpu();
    const double processBefore = processCpu();
    const int framesBefore = frames;
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const auto after = threadCpu();
    const double processAfter = processCpu();
    const int mixed = frames - framesBefore;
    pulling = false;
    puller.join();
    manager.Stop();
    manager.Release();
    kill(player, SIGTERM);
    waitpid(player, nullptr, 0);

    const double audioSeconds = mixed * 1024.0 / 48000.0;
    std::printf("cpu: %.1f s wall, %d mixed frames = %.2f s of audio (both sources)\n", wall, mixed,
                audioSeconds);
    double audioThreads = 0;
    for (const auto& [name, cpu] : after) {
        const double used = cpu - (before.count(name) ? before.at(name) : 0.0);
        if (used <= 0) {
            continue;
        }
        std::printf("cpu:   thread %-16s %7.2f ms per s of audio\n", name.c_str(),
                    1000 * used / audioSeconds);
        audioThreads += used;
    }
    std::printf("cpu: whole process %.2f ms per s of audio\n",
                1000 * (processAfter - processBefore) / audioSeconds);

    // The peer: a plain recorder of the same monitor, for the same time.
    const double parec = childCpu(
        {"parec", "--device=testsink.monitor", "--raw", "--file-format=wav", "/dev/null"}, seconds);
    std::printf(
        "cpu: peer parec %.2f ms per s of audio; recorder/peer ratio %.2f\n",
        1000 * parec / seconds,
        parec > 0 ? ((processAfter - processBefore) / audioSeconds) / (parec / seconds) : 0.0);
}

// Plays a burst on a fresh render stream and returns the time playback started.
Clock::time_point playBurst(std::unique_ptr<platform::AudioEndpoint>& out) {
    std::unique_ptr<platform::AudioEndpointEnumerator> e;
    platform::AudioEndpointFactory::system().createEnumerator(&e);
    e->getDefaultAudioEndpoint(platform::DataFlow::Render, &out);
    out->activate();
    WaveFormat f;
    out->getMixFormat(&f);
    out->initialize(f, platform::kStreamFlagsEventCallback);
    out->getService(platform::AudioEndpoint::Service::Render);
    uint32_t frames = 0;
    out->getBufferSize(&frames);
    uint8_t* data = nullptr;
    out->getRenderBuffer(frames, &data);
    auto* samples = reinterpret_cast<float*>(data);
    for (uint32_t i = 0; i < frames * f.channels; ++i) {
        samples[i] = 0.5f;
    }
    out->releaseRenderBuffer(frames, 0);
    const auto t = Clock::now();
    out->start();
    return t;
}

void measureLatency(int trials) {
    auto encoder = aacEncoder();
    AudioManager manager;
    manager.OpenDevice(AudioManager::kSpeaker);
    manager.Initialize(encoder.get());
    manager.Start();
    // The peer: a plain loopback capture stream, read as fast as it delivers.
    std::unique_ptr<platform::AudioEndpointEnumerator> e;
    platform::AudioEndpointFactory::system().createEnumerator(&e);
    std::unique_ptr<platform::AudioEndpoint> raw;
    e->getDefaultAudioEndpoint(platform::DataFlow::Render, &raw);
    raw->activate();
    WaveFormat f;
    raw->getMixFormat(&f);
    AdjustMixFormat(f);
    raw->initialize(f, platform::kStreamFlagsLoopback);
    raw->start();

    std::vector<double> mixedMs, rawMs;
    // One trial more than reported: the first wakes the sink up and is not typical.
    for (int t = 0; t <= trials; ++t) {
        // Quiet first: both paths drained of anything loud.
        AVFrame* frame = av_frame_alloc();
        const auto quietUntil = Clock::now() + std::chrono::milliseconds(400);
        while (Clock::now() < quietUntil) {
            while (manager.PullFrame(frame) >= 0) {
                av_frame_unref(frame);
            }
            uint32_t n = 0;
            while (raw->getNextPacketSize(&n) >= 0 && n > 0) {
                const uint8_t* d = nullptr;
                uint32_t fr = 0, fl = 0;
                raw->getBuffer(&d, &fr, &fl);
                raw->releaseBuffer(fr);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::unique_ptr<platform::AudioEndpoint> player;
        const auto t0 = playBurst(player);
        Clock::time_point rawAt{}, mixedAt{};
        const auto deadline = t0 + std::chrono::seconds(3);
        while ((rawAt == Clock::time_point{} || mixedAt == Clock::time_point{}) &&
               Clock::now() < deadline) {
            uint32_t n = 0;
            while (raw->getNextPacketSize(&n) >= 0 && n > 0) {
                const uint8_t* d = nullptr;
                uint32_t fr = 0, fl = 0;
                raw->getBuffer(&d, &fr, &fl);
                const auto* s = reinterpret_cast<const int16_t*>(d);
                for (uint32_t i = 0; d && !(fl & platform::kBufferFlagsSilent) && i < fr * 2; ++i) {
                    if (std::abs(s[i]) > 8000 && rawAt == Clock::time_point{}) {
                        rawAt = Clock::now();
                    }
                }
                raw->releaseBuffer(fr);
            }
            while (manager.PullFrame(frame) >= 0) {
                const auto* s = reinterpret_cast<const float*>(frame->extended_data[0]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    if (std::fabs(s[i]) > 0.25f && mixedAt == Clock::time_point{}) {
                        mixedAt = Clock::now();
                    }
                }
                av_frame_unref(frame);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        av_frame_free(&frame);
        player.reset();
        if (t > 0 && rawAt != Clock::time_point{} && mixedAt != Clock::time_point{}) {
            rawMs.push_back(std::chrono::duration<double, std::milli>(rawAt - t0).count());
            mixedMs.push_back(std::chrono::duration<double, std::milli>(mixedAt - t0).count());
        }
    }
    manager.Stop();
    manager.Release();
    auto median = [](std::vector<double> v) {
        if (v.empty()) {
            return -1.0;
        }
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    auto range = [](const std::vector<double>& v) {
        if (v.empty()) {
            return std::make_pair(-1.0, -1.0);
        }
        return std::make_pair(*std::min_element(v.begin(), v.end()),
                              *std::max_element(v.begin(), v.end()));
    };
    const auto [rawLo, rawHi] = range(rawMs);
    const auto [mixLo, mixHi] = range(mixedMs);
    std::printf("latency: %zu trials; play -> mixed frame median %.1f ms (%.1f .. %.1f)\n",
                mixedMs.size(), median(mixedMs), mixLo, mixHi);
    std::printf("latency: peer play -> plain capture stream median %.1f ms (%.1f .. %.1f)\n",
                median(rawMs), rawLo, rawHi);
    std::vector<double> added;
    for (size_t i = 0; i < mixedMs.size(); ++i) {
        added.push_back(mixedMs[i] - rawMs[i]);
    }
    std::printf("latency: added by chunking and mixing, median %.1f ms\n", median(added));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    testsupport::PulseServer server;
    for (const auto& [k, v] : server.clientEnv()) {
        setenv(k.c_str(), v.c_str(), 1);
    }
    testsupport::TempDir dir;
    measureCpu(seconds, dir.path());
    measureLatency(15);
    return 0;
}
