// The audio subsystem against a real PulseAudio server: a tone played into the default sink is
// recorded through loopback (and through the default source, the sink's monitor), mixed,
// encoded to AAC and decoded again; and the faults a sound server brings.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../../unit/audio/AudioTestHelpers.h"
#include "ChildProcess.h"
#include "TestServers.h"
#include "audio/AudioCapturer.h"
#include "audio/AudioManager.h"
#include "audio/Silence.h"
#include "base/Log.h"
#include "platform/AudioEndpoint.h"

namespace {

const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr double kTone = 440.0;
constexpr double kAmplitude = 0.5;

// A 16-bit stereo WAV file of a sine.
void writeToneWav(const std::string& path, double seconds, double frequency, double amplitude,
                  int rate = 48000) {
    const int channels = 2;
    const auto frames = static_cast<int>(seconds * rate);
    const std::vector<uint8_t> data =
        audiotest::sine16(frames, channels, frequency, rate, amplitude);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(static_cast<uint32_t>(36 + data.size()));
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(channels);
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2));
    u16(channels * 2);
    u16(16);
    out.write("data", 4);
    u32(static_cast<uint32_t>(data.size()));
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// Encodes the mixer's frames to AAC with the encoder they were made for, and decodes them
// again: what a player of the recorded file would hear (channel 0).
class AacRoundTrip {
  public:
    explicit AacRoundTrip(AVCodecContext* encoder) : encoder_(encoder) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
        decoder_.reset(avcodec_alloc_context3(codec));
        decoder_->sample_rate = encoder->sample_rate;
        av_channel_layout_copy(&decoder_->ch_layout, &encoder->ch_layout);
        if (encoder->extradata_size > 0) {
            decoder_->extradata = static_cast<uint8_t*>(av_mallocz(
                static_cast<size_t>(encoder->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE));
            std::copy(encoder->extradata, encoder->extradata + encoder->extradata_size,
                      decoder_->extradata);
            decoder_->extradata_size = encoder->extradata_size;
        }
        ok_ = avcodec_open2(decoder_.get(), codec, nullptr) == 0;
    }

    bool ok() const { return ok_; }

    // One mixed frame (null to flush).
    void encode(AVFrame* frame) {
        if (frame) {
            frame->pts = samples_;
            samples_ += frame->nb_samples;
        }
        ASSERT_GE(avcodec_send_frame(encoder_, frame), 0);
        AVPacket* packet = av_packet_alloc();
        while (avcodec_receive_packet(encoder_, packet) == 0) {
            ++packets_;
            EXPECT_GE(avcodec_send_packet(decoder_.get(), packet), 0);
            av_packet_unref(packet);
            audiotest::FramePtr decoded(av_frame_alloc());
            while (avcodec_receive_frame(decoder_.get(), decoded.get()) == 0) {
                audiotest::appendChannel0(decoded.get(), decoded_);
                av_frame_unref(decoded.get());
            }
        }
        av_packet_free(&packet);
    }

    const std::vector<float>& decoded() const { return decoded_; }
    int packets() const { return packets_; }

  private:
    AVCodecContext* encoder_;
    audiotest::CodecContextPtr decoder_;
    bool ok_ = false;
    int64_t samples_ = 0;
    int packets_ = 0;
    std::vector<float> decoded_;
};

struct Measured {
    double frequency = 0;
    double level = 0;  // RMS over the steady part of the tone
    size_t toneSamples = 0;
    int frames = 0;
};

// The steady part of the tone: windows well above silence, without the first and last few.
Measured analyse(const std::vector<float>& x, double rate) {
    Measured m;
    const size_t window = 1024;
    size_t first = SIZE_MAX;
    size_t last = 0;
    for (size_t at = 0; at + window <= x.size(); at += window) {
        if (audiotest::rms(x, at, at + window) > 0.05) {
            first = std::min(first, at);
            last = at + window;
        }
    }
    if (first == SIZE_MAX || last < first + 8 * window) {
        return m;
    }
    first += 3 * window;
    last -= 3 * window;
    m.toneSamples = last - first;
    m.level = audiotest::rms(x, first, last);
    const size_t span = std::min<size_t>(last - first, static_cast<size_t>(rate));
    m.frequency = audiotest::dominantFrequency(x, rate, first, first + span, 50, 5000, 2);
    return m;
}

class PulseAudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(testsupport::PulseEnvironment::server(), nullptr);
        EnableLog(dir_.file("trace.log"));
        writeToneWav(dir_.file("tone.wav"), 1.5, kTone, kAmplitude);
    }
    void TearDown() override { DisableLog(); }
    std::string log() const { return testsupport::readFile(dir_.file("trace.log")); }

    testsupport::ChildProcess play(const std::string& file) {
        testsupport::ChildProcess::Options options;
        options.env = testsupport::PulseEnvironment::server()->clientEnv();
        options.stderrPath = dir_.file("paplay.err");
        return testsupport::ChildProcess({"paplay", file}, options);
    }

    // Records through the manager while the tone plays, pulling frames the way the encoder's
    // audio thread does, and returns what the AAC round trip gives.
    Measured record(AudioManager& manager, AVCodecContext* encoder) {
        AacRoundTrip aac(encoder);
        EXPECT_TRUE(aac.ok());
        EXPECT_EQ(manager.Initialize(encoder), 0);
        EXPECT_EQ(manager.Start(), 0);
        testsupport::ChildProcess player = play(dir_.file("tone.wav"));
        int frames = 0;
        auto pull = [&] {
            audiotest::FramePtr frame(av_frame_alloc());
            while (manager.PullFrame(frame.get()) >= 0) {
                EXPECT_EQ(frame->nb_samples, encoder->frame_size);
                EXPECT_EQ(frame->format, encoder->sample_fmt);
                EXPECT_EQ(frame->sample_rate, encoder->sample_rate);
                EXPECT_EQ(av_channel_layout_compare(&frame->ch_layout, &encoder->ch_layout), 0);
                aac.encode(frame.get());
                av_frame_unref(frame.get());
                ++frames;
            }
        };
        // Until the player is done and half a second of silence has followed.
        const auto deadline = steady_clock::now() + std::chrono::seconds(30);
        while (player.wait(milliseconds(0)) == -1 && steady_clock::now() < deadline) {
            pull();
            std::this_thread::sleep_for(milliseconds(5));
        }
        EXPECT_EQ(player.exitCode(), 0) << testsupport::readFile(dir_.file("paplay.err"));
        const int target = frames + encoder->sample_rate / encoder->frame_size / 2;
        while (frames < target && steady_clock::now() < deadline) {
            pull();
            std::this_thread::sleep_for(milliseconds(5));
        }
        EXPECT_EQ(manager.Stop(), 0);
        while (!manager.IsDrained()) {
            pull();
        }
        manager.Release();
        aac.encode(nullptr);
        EXPECT_GT(aac.packets(), 0);
        Measured m = analyse(aac.decoded(), encoder->sample_rate);
        m.frames = frames;
        return m;
    }

    testsupport::TempDir dir_;
};

TEST_F(PulseAudioTest, EndpointsReportTheServersFormatAsFloat) {
    std::unique_ptr<platform::AudioEndpointEnumerator> enumerator;
    ASSERT_EQ(platform::AudioEndpointFactory::system().createEnumerator(&enumerator), 0);
    for (const auto flow : {platform::DataFlow::Render, platform::DataFlow::Capture}) {
        std::unique_ptr<platform::AudioEndpoint> endpoint;
        ASSERT_EQ(enumerator->getDefaultAudioEndpoint(flow, &endpoint), 0);
        WaveFormat mix;
        EXPECT_EQ(endpoint->getMixFormat(&mix), platform::audiohr::kNotInitialized);
        ASSERT_EQ(endpoint->activate(), 0);
        ASSERT_EQ(endpoint->getMixFormat(&mix), 0);
        EXPECT_EQ(mix.formatTag, WaveFormat::kExtensible);
        EXPECT_EQ(mix.subFormat, WaveFormat::SubFormat::IeeeFloat);
        EXPECT_EQ(mix.samplesPerSec, 48000u);  // the test sink's rate
        EXPECT_EQ(mix.channels, 2);
        EXPECT_EQ(mix.bitsPerSample, 32);
        EXPECT_EQ(mix.channelMask, 0x3u);
        // A capture stream has no writer; a loopback stream needs a render endpoint.
        const uint32_t flags =
            flow == platform::DataFlow::Render ? platform::kStreamFlagsLoopback : 0;
        AdjustMixFormat(mix);
        ASSERT_EQ(endpoint->initialize(mix, flags), 0);
        EXPECT_EQ(endpoint->getService(platform::AudioEndpoint::Service::Render),
                  platform::audiohr::kWrongEndpointType);
        EXPECT_EQ(endpoint->getService(platform::AudioEndpoint::Service::Capture), 0);
        EXPECT_EQ(endpoint->initialize(mix, flags), platform::audiohr::kAlreadyInitialized);
    }
    std::unique_ptr<platform::AudioEndpoint> mic;
    ASSERT_EQ(enumerator->getDefaultAudioEndpoint(platform::DataFlow::Capture, &mic), 0);
    ASSERT_EQ(mic->activate(), 0);
    WaveFormat pcm;
    pcm.channels = 2;
    pcm.samplesPerSec = 48000;
    pcm.bitsPerSample = 16;
    pcm.blockAlign = 4;
    pcm.avgBytesPerSec = 48000 * 4;
    EXPECT_EQ(mic->initialize(pcm, platform::kStreamFlagsLoopback),
              platform::audiohr::kWrongEndpointType);
}

// The tone as played, for comparison: its RMS.
const double kPlayedLevel = kAmplitude / std::sqrt(2.0);

void report(const char* what, const Measured& m) {
    std::printf(
        "[measured] %s: %.1f Hz, level %.4f (played %.4f, %+.2f%%), %zu tone samples, "
        "%d frames\n",
        what, m.frequency, m.level, kPlayedLevel, 100.0 * (m.level - kPlayedLevel) / kPlayedLevel,
        m.toneSamples, m.frames);
}

TEST_F(PulseAudioTest, ToneThroughLoopbackComesOutAsEncoderFramesAtItsPitchAndLevel) {
    auto encoder = audiotest::openAacEncoder(48000);
    ASSERT_TRUE(encoder);
    AudioManager manager;
    ASSERT_EQ(manager.OpenDevice(AudioManager::kSpeaker), 0);
    EXPECT_EQ(manager.OutputSampleRate(), 48000u);
    const Measured m = record(manager, encoder.get());
    report("loopback", m);
    EXPECT_GT(m.toneSamples, 48000u);  // most of the 1.5 s tone
    EXPECT_NEAR(m.frequency, kTone, 2.0);
    // AAC at 192 kbit/s keeps a pure tone's level (measured: within 0.1 per mille).
    EXPECT_NEAR(m.level, kPlayedLevel, 0.01 * kPlayedLevel);
    EXPECT_NE(log().find("Succeed on start silence speaker"), std::string::npos);
}

TEST_F(PulseAudioTest, ToneThroughTheDefaultSourceAndBothSourcesMixed) {
    auto encoder = audiotest::openAacEncoder(48000);
    ASSERT_TRUE(encoder);
    {
        // The test server's default source is the sink's monitor: the microphone hears the
        // tone.
        AudioManager manager;
        ASSERT_EQ(manager.OpenDevice(AudioManager::kMicrophone), 0);
        const Measured m = record(manager, encoder.get());
        report("microphone", m);
        EXPECT_GT(m.toneSamples, 48000u);
        EXPECT_NEAR(m.frequency, kTone, 2.0);
        EXPECT_NEAR(m.level, kPlayedLevel, 0.01 * kPlayedLevel);
    }
    {
        // Both: the same tone twice, added with some offset between the two streams, so
        // only the pitch is exact; the level lies between nothing and 2.5 times the tone.
        auto encoder2 = audiotest::openAacEncoder(48000);
        AudioManager manager;
        ASSERT_EQ(manager.OpenDevice(AudioManager::kMicrophone), 0);
        ASSERT_EQ(manager.OpenDevice(AudioManager::kSpeaker), 0);
        const Measured m = record(manager, encoder2.get());
        report("both", m);
        EXPECT_GT(m.toneSamples, 48000u);
        EXPECT_NEAR(m.frequency, kTone, 2.0);
        EXPECT_GT(m.level, 0.05);
        EXPECT_LT(m.level, 2.5 * kPlayedLevel * 1.05);
    }
}

TEST_F(PulseAudioTest, SilencePlayerHoldsOneStreamOnTheSinkUntilStopped) {
    auto* server = testsupport::PulseEnvironment::server();
    auto streams = [&] {
        const std::string out = server->pactl({"list", "short", "sink-inputs"});
        return std::count(out.begin(), out.end(), '\n');
    };
    ASSERT_EQ(streams(), 0);
    Silence silence;
    ASSERT_EQ(silence.Start(), 0);
    EXPECT_EQ(streams(), 1);
    EXPECT_EQ(silence.Stop(), 0);
    EXPECT_EQ(streams(), 0);
}

}  // namespace
