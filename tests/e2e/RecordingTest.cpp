// The real program recording a private X display and sound server, driven by its hotkeys
// from outside as a user would drive it.
#include <gtest/gtest.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "AvSyncAnalyzer.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "TestServers.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::ChildProcess;
using testsupport::TempDir;

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

const char* const kDefaultSettings =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":1920,"bottom":1080},"bitrate":1500000,)"
    R"("fps":0,"captureMethod":0},"audio":{"sampleRate":44100,"bitrate":192000,"channels":2,)"
    R"("bits":16,"captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";

// One run of the recorder with its files in a temporary folder.
class Recorder {
public:
    explicit Recorder(const std::vector<std::string>& extra = {},
                      const std::string& settingsContent = "",
                      const std::map<std::string, std::string>& env = {},
                      long fileSizeLimit = -1) {
        if (!settingsContent.empty()) {
            fs::create_directories(fs::path(settings()).parent_path());
            std::ofstream(settings()) << settingsContent;
        }
        std::vector<std::string> argv{testsupport::binaryDir() + "/screen-capturer", "-video",
                                      video(), "-setting", settings(), "-log", log()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        ChildProcess::Options options;
        options.stdoutPath = dir_.file("stdout");
        options.stderrPath = dir_.file("stderr");
        options.cwd = dir_.path();
        options.env = env;
        options.fileSizeLimit = fileSizeLimit;
        process_ = ChildProcess(argv, options);
    }

    std::string video() const { return dir_.file("out/rec.mp4"); }
    std::string settings() const { return dir_.file("conf/settings.json"); }
    std::string log() const { return dir_.file("trace.log"); }
    std::string stderrText() const { return testsupport::readFile(dir_.file("stderr")); }
    const TempDir& dir() const { return dir_; }
    ChildProcess& process() { return process_; }

    // The hooks are in and the loop runs once start-up has logged its last step.
    bool awaitReady() {
        return testsupport::waitForFile(
            log(), [](const std::string& t) { return t.find("] Start\n") != std::string::npos; },
            std::chrono::seconds(30));
    }

private:
    TempDir dir_;
    ChildProcess process_;
};

// Hotkeys closer than 100 ms to the previous one are ignored by design; a test that presses
// one right after an event it awaited lets that much time pass first.
void keyAfterThrottle(const char* name);

void key(const char* name) {
    int status = -1;
    testsupport::runAndCapture({"xdotool", "key", name}, &status);
    ASSERT_EQ(status, 0) << name;
}

void keyAfterThrottle(const char* name) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    key(name);
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Moving pictures and a tone while the recorder runs.
ChildProcess startScene(double durationSeconds) {
    return ChildProcess({testsupport::binaryDir() + "/av-scene", "--width", "640", "--height",
                         "360", "--seconds", std::to_string(durationSeconds), "--tone", "440"},
                        {});
}

// The default settings with another capture area; the file comes back as it went in.
std::string settingsWithArea(int right, int bottom) {
    std::string settings = kDefaultSettings;
    const std::string full = R"("right":1920,"bottom":1080)";
    settings.replace(settings.find(full), full.size(),
                     "\"right\":" + std::to_string(right) + ",\"bottom\":" +
                         std::to_string(bottom));
    return settings;
}

TEST(Recording, StartPauseResumeEndGivesAFinishedFileWithoutThePause) {
    ChildProcess scene = startScene(30);
    // A quarter of the screen keeps the frame rate up on a small, busy machine.
    const std::string settings = settingsWithArea(960, 540);
    Recorder recorder({}, settings);
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();

    key("F8");
    const auto started = Clock::now() + std::chrono::seconds(3);  // after the count-down
    std::this_thread::sleep_until(started + std::chrono::seconds(3));
    const auto pausedAt = Clock::now();
    key("F9");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto resumedAt = Clock::now();
    key("F9");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto endedAt = Clock::now();
    key("F10");
    ASSERT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();

    const double expected = seconds(endedAt - started) - seconds(resumedAt - pausedAt);
    const testsupport::ProbedFile file = testsupport::probeMedia(recorder.video());
    ASSERT_EQ(file.openError, 0);
    ASSERT_EQ(file.streams.size(), 2u);
    const testsupport::ProbedStream& video = file.streams[0];
    const testsupport::ProbedStream& audio = file.streams[1];
    EXPECT_EQ(video.codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(audio.codecId, AV_CODEC_ID_AAC);
    EXPECT_EQ(video.decodeErrors, 0);
    EXPECT_EQ(audio.decodeErrors, 0);
    ASSERT_GT(video.packetPts.size(), 10u);

    std::vector<int64_t> pts = video.packetPts;
    std::sort(pts.begin(), pts.end());
    const double tb = av_q2d(video.timeBase);
    const double videoDuration = static_cast<double>(pts.back() - pts.front()) * tb;
    EXPECT_NEAR(videoDuration, expected, 0.3);
    double largestGap = 0.0;
    for (size_t i = 1; i < pts.size(); ++i) {
        largestGap = std::max(largestGap, static_cast<double>(pts[i] - pts[i - 1]) * tb);
    }
    EXPECT_LT(largestGap, 0.1) << "video frames: " << pts.size();

    const double audioDuration =
        static_cast<double>(audio.samples) / static_cast<double>(audio.sampleRate);
    EXPECT_NEAR(audioDuration, expected, 0.3);
    std::vector<int64_t> apts = audio.packetPts;
    std::sort(apts.begin(), apts.end());
    for (size_t i = 1; i < apts.size(); ++i) {
        EXPECT_LT(static_cast<double>(apts[i] - apts[i - 1]) * av_q2d(audio.timeBase), 0.1);
    }

    EXPECT_EQ(testsupport::readFile(recorder.settings()), settings);
}

TEST(Recording, EndHotkeyBeforeAnyRecordingEndsTheProgram) {
    Recorder recorder;
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F10");
    EXPECT_EQ(recorder.process().wait(std::chrono::seconds(30)), 1) << recorder.stderrText();
}

TEST(Recording, OutputFolderThatCannotBeCreatedIsReportedAndTheRecorderStaysIdle) {
    TempDir dir;
    { std::ofstream(dir.file("blocker")) << "a file where a folder should be"; }
    Recorder recorder({"-video", dir.file("blocker/out/rec.mp4")});
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F8");
    ASSERT_TRUE(testsupport::waitForFile(
        recorder.dir().file("stderr"),
        [](const std::string& t) {
            return t.find("Exception occurred in initializion") != std::string::npos;
        },
        std::chrono::seconds(30)));
    // Still idle: the start hotkey tries again (and fails again), the end hotkey ends.
    EXPECT_EQ(recorder.process().wait(std::chrono::milliseconds(0)), -1);
    keyAfterThrottle("F10");
    EXPECT_EQ(recorder.process().wait(std::chrono::seconds(30)), 1);
    EXPECT_FALSE(fs::exists(dir.file("blocker/out")));
}

TEST(Recording, MalformedSettingsFileLeavesTheDefaults) {
    Recorder recorder({}, R"({"quality":2,"mouse":{"pointStyle":3},)");
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F8");  // the settings are saved before the recording is prepared
    ASSERT_TRUE(testsupport::waitForFile(
        recorder.settings(),
        [](const std::string& t) { return t.find("\"quality\":0") != std::string::npos; },
        std::chrono::seconds(30)));
    keyAfterThrottle("F10");
    EXPECT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();
    EXPECT_EQ(testsupport::readFile(recorder.settings()), kDefaultSettings);
}

// A request to end the program while it records ends the recording as the end hotkey does:
// the file is finished and playable, not cut off.
TEST(Recording, TerminationRequestsFinishTheFile) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        Recorder recorder;
        ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
        key("F8");
        std::this_thread::sleep_for(std::chrono::seconds(5));  // count-down, then 2 s recorded
        recorder.process().signal(sig);
        ASSERT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();
        const testsupport::ProbedFile file = testsupport::probeMedia(recorder.video());
        ASSERT_EQ(file.openError, 0);
        ASSERT_FALSE(file.streams.empty());
        EXPECT_GT(file.streams[0].packetPts.size(), 10u);
        EXPECT_EQ(file.streams[0].decodeErrors, 0);
    }
}

// The scene flashes a square and clicks at the same instant once a second; in our recording of
// it each click must follow its flash closely, and the offset must not wander. Generous bounds
// that still catch a broken timeline (a lost pause, audio counted at the wrong rate).
TEST(Recording, PictureAndSoundStayInSync) {
    constexpr int kSeconds = 20;
    TempDir sceneDir;
    ChildProcess::Options sceneOptions;
    sceneOptions.stdoutPath = sceneDir.file("scene.out");
    ChildProcess scene({testsupport::binaryDir() + "/av-scene", "--width", "640", "--height",
                        "360", "--seconds", std::to_string(kSeconds + 40)},
                       sceneOptions);
    ASSERT_TRUE(testsupport::waitForFile(
        sceneDir.file("scene.out"),
        [](const std::string& out) { return out.find("ready\n") != std::string::npos; },
        std::chrono::seconds(20)));

    // Record exactly the scene's window, so its flash square is the centre of the picture.
    Recorder recorder({}, settingsWithArea(640, 360));
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F8");
    std::this_thread::sleep_for(std::chrono::seconds(3 + kSeconds));
    key("F10");
    ASSERT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();
    scene.stop();

    const SyncReport r = AvSyncAnalyzer().analyze(recorder.video());
    ASSERT_EQ(r.error, 0) << r.errorText;
    std::printf("ours: %zu pairs, mean offset %+.1f ms (%+.1f .. %+.1f), drift %+.2f ms/min\n",
                r.pairs.size(), r.meanOffsetMs, r.minOffsetMs, r.maxOffsetMs,
                r.driftMsPerMinute);
    EXPECT_GE(r.pairs.size(), static_cast<size_t>(kSeconds - 2));
    EXPECT_LT(std::fabs(r.meanOffsetMs), 150.0);
    EXPECT_LT(std::fabs(r.driftOverSpanMs), 50.0);
}

// The sound server dies in the middle of a recording: the recording goes on without sound and
// the file is finished when the user ends it.
TEST(Recording, SoundServerDyingMidwayLeavesAFinishedFile) {
    testsupport::PulseServer pulse;  // its own, so the other tests keep theirs
    Recorder recorder({}, "", pulse.clientEnv());
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F8");
    std::this_thread::sleep_for(std::chrono::seconds(5));  // count-down, then 2 s recorded
    pulse.kill();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(recorder.process().wait(std::chrono::milliseconds(0)), -1) << "ended by itself";
    key("F10");
    ASSERT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();
    const testsupport::ProbedFile file = testsupport::probeMedia(recorder.video());
    ASSERT_EQ(file.openError, 0);
    ASSERT_EQ(file.streams.size(), 2u);
    EXPECT_EQ(file.streams[0].decodeErrors, 0);
    // Pictures from before and after the sound server died.
    std::vector<int64_t> pts = file.streams[0].packetPts;
    std::sort(pts.begin(), pts.end());
    ASSERT_FALSE(pts.empty());
    EXPECT_GT(static_cast<double>(pts.back() - pts.front()) * av_q2d(file.streams[0].timeBase),
              3.0);
}

// The disk fills up while recording (a file size limit stands in for it): the recorder finishes
// the recording by itself, as the end hotkey would, and exits cleanly.
TEST(Recording, FullDiskEndsTheRecordingCleanly) {
    ChildProcess scene = startScene(60);  // moving pictures fill the file quickly
    Recorder recorder({}, "", {}, 400 * 1024);
    ASSERT_TRUE(recorder.awaitReady()) << recorder.stderrText();
    key("F8");
    // No end hotkey: the full file ends the recording.
    EXPECT_EQ(recorder.process().wait(std::chrono::seconds(60)), 1) << recorder.stderrText();
    EXPECT_NE(testsupport::readFile(recorder.log()).find("Output refused data"),
              std::string::npos);
    EXPECT_LE(fs::file_size(recorder.video()), 400u * 1024u);
}

}  // namespace
