// Whole recordings through the controller on a private X server and a private PulseAudio
// server, with a tone playing into the default sink (recorded both through loopback and
// through the sink's monitor, the default source) and the synthetic camera beside the screen.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../../unit/engine/RecordingFakes.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "SyntheticCameraDriver.h"
#include "TestServers.h"
#include "audio/AudioManager.h"
#include "audio/AudioMixer.h"
#include "base/HResult.h"
#include "base/Log.h"
#include "engine/CameraCapture.h"
#include "engine/Controller.h"
#include "engine/Encoder.h"
#include "platform/AudioEndpoint.h"
#include "platform/CameraService.h"

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using platform::CameraService;
using recordingfakes::ObservedCameraService;
using std::chrono::milliseconds;
using std::chrono::seconds;
using D = platform::SyntheticCameraDriver;

const Rect kArea{200, 100, 840, 580};  // 640 x 480 of the test desktop

// Each stream's start and length in seconds, as the container tells a player.
struct StreamTime {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    double start = 0;
    double duration = 0;
};

std::vector<StreamTime> streamTimes(const std::string& path) {
    std::vector<StreamTime> times;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return times;
    }
    if (avformat_find_stream_info(raw, nullptr) >= 0) {
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            const AVStream* st = raw->streams[i];
            StreamTime t;
            t.type = st->codecpar->codec_type;
            t.start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time * av_q2d(st->time_base);
            t.duration = st->duration * av_q2d(st->time_base);
            times.push_back(t);
        }
    }
    avformat_close_input(&raw);
    return times;
}

const testsupport::ProbedStream* streamOf(const testsupport::ProbedFile& f, AVMediaType type) {
    for (const auto& s : f.streams) {
        if (s.type == type) {
            return &s;
        }
    }
    return nullptr;
}

// The largest step between two consecutive timestamps, in seconds.
double largestStep(std::vector<int64_t> pts, AVRational timeBase) {
    std::sort(pts.begin(), pts.end());
    int64_t largest = 0;
    for (size_t i = 1; i < pts.size(); ++i) {
        largest = std::max(largest, pts[i] - pts[i - 1]);
    }
    return static_cast<double>(largest) * av_q2d(timeBase);
}

class ControllerRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(testsupport::PulseEnvironment::server(), nullptr);
        int status = -1;
        testsupport::runAndCapture(
            {"sox", "-n", "-r", "48000", "-c", "2", "-b", "16", dir_.file("tone.wav"), "synth",
             "20", "sine", "440", "vol", "0.5"},
            &status);
        ASSERT_EQ(status, 0) << "sox could not make the tone";

        // An idle null sink renders seconds ahead, so a stream that starts listening to its
        // monitor hears nothing until that time has passed; a sound card, and a desktop sink
        // somebody listens to, keep pace. A listener of our own puts the sink in step with
        // short periods before anything is recorded.
        testsupport::ChildProcess::Options options;
        options.stdoutPath = dir_.file("listener.raw");
        listener_ = testsupport::ChildProcess(
            {"parec", "--raw", "--latency-msec=10", "-d", "testsink.monitor"}, options);
        ASSERT_TRUE(testsupport::waitForFile(
            dir_.file("listener.raw"), [](const std::string& data) { return !data.empty(); },
            seconds(10)));
    }

    // Plays the tone into the default sink until the object goes.
    testsupport::ChildProcess playTone() {
        testsupport::ChildProcess::Options options;
        options.stderrPath = dir_.file("paplay.err");
        return testsupport::ChildProcess({"paplay", "--latency-msec=50", dir_.file("tone.wav")},
                                         options);
    }

    // A controller recording both sound sources, over the synthetic camera.
    std::unique_ptr<Controller> makeController() {
        auto c = std::make_unique<Controller>(platform::AudioEndpointFactory::system(), camera_);
        EXPECT_GE(c->audio().OpenDevice(AudioManager::kMicrophone), 0);
        EXPECT_GE(c->audio().OpenDevice(AudioManager::kSpeaker), 0);
        EXPECT_TRUE(c->audio().microphoneOn() && c->audio().speakerOn());
        return c;
    }

    testsupport::TempDir dir_;
    testsupport::ChildProcess listener_;
    ObservedCameraService camera_{platform::createSyntheticCameraService()};
};

TEST_F(ControllerRecordingTest, FiveSecondsOfScreenSoundAndCameraGiveStreamsOfOneLength) {
    auto c = makeController();
    ASSERT_EQ(c->camera().openDevice(0), S_OK);
    const std::string path = dir_.file("screen.mp4");
    const std::string cameraPath = dir_.file("camera.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, cameraPath), S_OK);
    auto tone = playTone();
    ASSERT_EQ(c->start(), S_OK);
    EXPECT_TRUE(c->videoThreadStarted());
    EXPECT_TRUE(c->audioThreadStarted());
    std::this_thread::sleep_for(seconds(5));  // the length of the recording
    c->stop();
    EXPECT_EQ(c->state(), Controller::Stopped);

    // Every mixed frame fed before the stop was pulled and encoded, and is in the file behind
    // the codec's one frame of priming.
    const Controller::AudioTally tally = c->audioTally();
    EXPECT_GT(tally.fed, 150u);  // about 47 a second at 48000 Hz
    EXPECT_EQ(tally.pulled, tally.fed);
    EXPECT_EQ(tally.encoded, tally.pulled);

    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.openError, 0);
    const auto* video = streamOf(file, AVMEDIA_TYPE_VIDEO);
    const auto* sound = streamOf(file, AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(video->codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(video->width, kArea.width());
    EXPECT_EQ(video->height, kArea.height());
    EXPECT_EQ(sound->codecId, AV_CODEC_ID_AAC);
    EXPECT_EQ(sound->decodeErrors, 0);
    EXPECT_EQ(video->decodeErrors, 0);
    // Every mixed frame is in the file: the encoder's one extra frame (the codec's priming
    // samples) is trimmed by the MP4's edit list when decoding.
    EXPECT_EQ(sound->samples, static_cast<int64_t>(tally.encoded) * sound->frameSize);

    const auto times = streamTimes(path);
    double videoEnd = 0;
    double soundEnd = 0;
    for (const auto& t : times) {
        (t.type == AVMEDIA_TYPE_VIDEO ? videoEnd : soundEnd) = t.start + t.duration;
    }
    EXPECT_GT(videoEnd, 4.5);
    EXPECT_LT(videoEnd, 6.0);
    EXPECT_NEAR(videoEnd, soundEnd, 0.1) << "video " << videoEnd << " s, sound " << soundEnd;

    // The camera's own file beside it: the camera's size and no sound.
    const auto cam = testsupport::probeMedia(cameraPath);
    ASSERT_EQ(cam.streams.size(), 1u);
    EXPECT_EQ(cam.streams[0].width, D::kWidth);
    EXPECT_EQ(cam.streams[0].height, D::kHeight);
    EXPECT_EQ(cam.streams[0].decodeErrors, 0);
    EXPECT_GT(cam.streams[0].framePts.size(), 75u);  // 5 s of a camera held to 30 a second
}

TEST_F(ControllerRecordingTest, PausedTimeLeavesNoGapAndStoppingWhilePausedFinishesTheFile) {
    auto c = makeController();
    const std::string path = dir_.file("paused.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, ""), S_OK);
    auto tone = playTone();
    ASSERT_EQ(c->start(), S_OK);
    std::this_thread::sleep_for(milliseconds(1500));
    c->pause();
    EXPECT_EQ(c->state(), Controller::Paused);
    std::this_thread::sleep_for(seconds(3));  // the pause
    c->resume();
    EXPECT_EQ(c->state(), Controller::Recording);
    std::this_thread::sleep_for(milliseconds(1500));
    c->pause();
    c->stop();
    EXPECT_EQ(c->state(), Controller::Stopped);

    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.openError, 0);
    const auto* video = streamOf(file, AVMEDIA_TYPE_VIDEO);
    const auto* sound = streamOf(file, AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(sound, nullptr);
    // Across the pause the step is the loop's own delay, nowhere near the paused 3 s.
    EXPECT_LT(largestStep(video->packetPts, video->timeBase), 1.0);
    EXPECT_LT(largestStep(sound->packetPts, sound->timeBase), 0.1);
    // Both streams hold the 3 s recorded, not the 6 s that passed.
    for (const auto& t : streamTimes(path)) {
        EXPECT_GT(t.start + t.duration, 2.5) << t.type;
        EXPECT_LT(t.start + t.duration, 4.0) << t.type;
    }
    std::string errors;
    EXPECT_TRUE(testsupport::ffmpegDecodesCleanly(path, &errors)) << errors;
}

// One periodic figure line of the video thread, as read back from the log.
struct StatsLine {
    unsigned ms = 0;
    unsigned frames = 0;
    unsigned micQueue = 0;
    unsigned speakerQueue = 0;
    int mixerBacklog = 0;
    int mixerSkew = 0;
};

std::vector<StatsLine> statsLines(const std::string& log) {
    std::vector<StatsLine> lines;
    size_t at = 0;
    while ((at = log.find("] Stats ", at)) != std::string::npos) {
        StatsLine l;
        if (std::sscanf(log.c_str() + at,
                        "] Stats ms=%u frames=%u micQueue=%u speakerQueue=%u mixerBacklog=%d "
                        "mixerSkew=%d",
                        &l.ms, &l.frames, &l.micQueue, &l.speakerQueue, &l.mixerBacklog,
                        &l.mixerSkew) == 6) {
            lines.push_back(l);
        }
        ++at;
    }
    return lines;
}

TEST_F(ControllerRecordingTest, StatsLinesFollowTheRecordingWhileTheLogIsOn) {
    const std::string logPath = dir_.file("trace.log");
    EnableLog(logPath);
    auto c = makeController();
    c->setStatsInterval(300);
    const std::string path = dir_.file("stats.mp4");
    ASSERT_EQ(c->init(path, kArea, 30, 1500000, ""), S_OK);
    auto tone = playTone();
    ASSERT_EQ(c->start(), S_OK);
    const bool enough = testsupport::waitForFile(
        logPath, [](const std::string& log) { return statsLines(log).size() >= 6; }, seconds(30));
    c->stop();
    DisableLog();
    ASSERT_TRUE(enough) << testsupport::readFile(logPath);

    const std::vector<StatsLine> lines = statsLines(testsupport::readFile(logPath));
    ASSERT_GE(lines.size(), 6u);
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const StatsLine& l = lines[i];
        // One line per interval, late by at most a few loop passes.
        EXPECT_GE(l.ms, 300 * (i + 1));
        EXPECT_LT(l.ms, 300 * (i + 1) + 300);
        // The video loop sleeps 10 ms a pass: never more than one frame per 10 ms.
        EXPECT_LE(l.frames, l.ms / 10 + 1);
        if (i > 0) {
            EXPECT_GE(l.frames, lines[i - 1].frames);
        }
        // A healthy pipeline keeps only a few chunks (about 21 ms each) anywhere.
        EXPECT_LT(l.micQueue, 25u);
        EXPECT_LT(l.speakerQueue, 25u);
        EXPECT_GE(l.mixerBacklog, -2);
        EXPECT_LT(l.mixerBacklog, 25);
        EXPECT_LT(std::abs(l.mixerSkew), 25);
    }
    EXPECT_GT(lines.back().frames, lines.front().frames);
    EXPECT_GT(lines.back().frames, 0u);
    // What the lines counted is in the file.
    const auto file = testsupport::probeMedia(path);
    ASSERT_EQ(file.openError, 0);
    const auto* video = streamOf(file, AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(video, nullptr);
    EXPECT_GE(video->packetPts.size(), lines.back().frames);
}

}  // namespace
