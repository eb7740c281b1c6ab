// The real program, started as the host application starts it and driven by its hotkeys from
// outside as a user would, on a private X display and sound server showing a moving scene.
#include <gtest/gtest.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "AvSyncAnalyzer.h"
#include "Await.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "TestServers.h"

namespace fs = std::filesystem;
using std::chrono::seconds;
using testsupport::ChildProcess;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

const auto* const kX = ::testing::AddGlobalTestEnvironment(new testsupport::XvfbEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

// The settings the program writes by default, recording the scene's 640x360 window.
const char* const kSettings =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":640,"bottom":360},"bitrate":1500000,)"
    R"("fps":0,"captureMethod":0},"audio":{"sampleRate":44100,"bitrate":192000,"channels":2,)"
    R"("bits":16,"captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";

// The scene for the whole binary: moving pictures, a white flash in the middle and a click at
// the same instant once a second. Started by the first test that records.
void startScene() {
    static TempDir dir;
    static ChildProcess scene;
    if (scene.started()) {
        return;
    }
    ChildProcess::Options options;
    options.stdoutPath = dir.file("scene.out");
    options.stderrPath = dir.file("scene.err");  // it outlives the servers at the end
    scene = ChildProcess({testsupport::binaryDir() + "/av-scene", "--width", "640", "--height",
                          "360", "--seconds", "600"},
                         options);
    ASSERT_TRUE(testsupport::waitForFile(
        dir.file("scene.out"), [](const std::string& t) { return t.find("ready\n") != t.npos; },
        seconds(20)))
        << "the scene did not start";
}

// The arguments of a recording: the video, the settings file below and a log.
std::vector<std::string> recordingArgs(const std::string& video = "out/rec.mp4") {
    return {"-video", video, "-setting", "settings.json", "-log", "trace.log"};
}

// One run of the program in a temporary folder <tmp>/work. The settings file the recording
// arguments name holds kSettings.
class Recorder {
public:
    explicit Recorder(const std::vector<std::string>& args = recordingArgs(),
                      const std::map<std::string, std::string>& env = {}, long sizeLimit = -1) {
        fs::create_directories(dir_.file("work"));
        if (std::find(args.begin(), args.end(), "settings.json") != args.end()) {
            std::ofstream(file("settings.json")) << kSettings;
        }
        std::vector<std::string> argv{testsupport::binaryDir() + "/screen-capturer"};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess::Options options;
        options.stdoutPath = dir_.file("stdout");
        options.stderrPath = dir_.file("stderr");
        options.cwd = dir_.file("work");
        options.env = env;
        options.fileSizeLimit = sizeLimit;
        process_ = ChildProcess(argv, options);
    }

    std::string file(const std::string& name) const { return dir_.file("work/" + name); }
    std::string video() const { return file("out/rec.mp4"); }
    std::string stdoutText() const { return readFile(dir_.file("stdout")); }
    // The end of its error output, for failure messages.
    std::string stderrText() const {
        const std::string all = readFile(dir_.file("stderr"));
        return all.substr(all.size() - std::min<size_t>(all.size(), 4000));
    }
    ChildProcess& process() { return process_; }

    // Waits for the text in the log (start-up ends with "] Start").
    void awaitLog(const std::string& text) {
        ASSERT_TRUE(testsupport::waitForFile(
            file("trace.log"), [&](const std::string& t) { return t.find(text) != t.npos; },
            seconds(30)))
            << "no \"" << text << "\" in the log within 30 s\n"
            << stderrText();
    }
    // Presses the hotkey. Hotkeys closer than 100 ms to the previous one are ignored by
    // design, a rule of time with no event to wait for: that much time is let pass first.
    void press(const char* key) {
        std::this_thread::sleep_until(lastKey_ + std::chrono::milliseconds(150));
        int status = -1;
        testsupport::runAndCapture({"xdotool", "key", key}, &status);
        ASSERT_EQ(status, 0) << key;
        lastKey_ = std::chrono::steady_clock::now();
    }
    // Waits until the program runs a thread of this name: "video" runs while it records.
    void awaitThread(const std::string& name) {
        const std::string tasks = "/proc/" + std::to_string(process_.pid()) + "/task";
        ASSERT_TRUE(testsupport::waitFor(
            [&] {
                std::error_code ec;
                for (const auto& task : fs::directory_iterator(tasks, ec)) {
                    if (readFile(task.path().string() + "/comm") == name + "\n") {
                        return true;
                    }
                }
                return false;
            },
            seconds(30), "thread " + name))
            << stderrText();
    }
    // Waits for the program to end (code 1: the recording, if any, finished).
    void awaitEnd() {
        ASSERT_EQ(process_.wait(seconds(60)), 1) << "no end within 60 s\n" << stderrText();
    }

private:
    TempDir dir_;
    ChildProcess process_;
    std::chrono::steady_clock::time_point lastKey_;
};

// A finished file as the user gets it: its streams decode without an error.
testsupport::ProbedFile expectFinished(const std::string& path, size_t streams) {
    const testsupport::ProbedFile file = testsupport::probeMedia(path);
    EXPECT_EQ(file.openError, 0) << path;
    EXPECT_EQ(file.streams.size(), streams);
    for (const auto& stream : file.streams) {
        EXPECT_EQ(stream.decodeErrors, 0) << stream.index;
        EXPECT_GT(stream.packetPts.size(), 10u) << stream.index;
    }
    return file;
}

TEST(Startup, WithoutAVideoItSaysSoCreatesNothingAndEnds) {
    Recorder recorder({"-video", "-x.mp4", "-camera", "cams/c.mp4", "-setting", "s/s.json"});
    EXPECT_EQ(recorder.process().wait(seconds(30)), 0) << "no end within 30 s";
    EXPECT_EQ(recorder.stdoutText(), "Please set video or camera path\n");
    EXPECT_TRUE(fs::is_empty(recorder.file("")));
}

TEST(Startup, CreatesTheFoldersOfItsFilesBeforeItRunsAndEndsAtTheEndKey) {
    TempDir elsewhere;
    Recorder recorder({"-video", elsewhere.file("x/y/z.mp4"), "-camera", "../cam/c.mp4", "-setting",
                       "conf/s.json", "-log", "trace.log"});
    recorder.awaitLog("] Start\n");
    EXPECT_TRUE(fs::is_directory(elsewhere.file("x/y")));
    EXPECT_FALSE(fs::exists(elsewhere.file("x/y/z.mp4")));      // the file is the encoder's
    EXPECT_FALSE(fs::exists(recorder.file(elsewhere.path())));  // absolute: not under cwd
    EXPECT_TRUE(fs::is_directory(recorder.file("../cam")));
    EXPECT_TRUE(fs::is_directory(recorder.file("conf")));
    recorder.press("F10");
    recorder.awaitEnd();
}

// What a recording guarantees: sound in step with the picture, across a pause, in a finished
// file, with the settings file written back as it was. The scene flashes and clicks at the
// same instant; in the file each click must follow its flash closely, and not wander.
TEST(Recording, PauseAndResumeKeepSoundWithPicture) {
    startScene();
    Recorder recorder;
    recorder.awaitLog("] Start\n");
    recorder.press("F8");
    recorder.awaitThread("video");
    std::this_thread::sleep_for(seconds(6));  // recording
    recorder.press("F9");
    recorder.awaitLog("Call view pause");
    std::this_thread::sleep_for(seconds(2));  // paused
    recorder.press("F9");
    recorder.awaitLog("Call view resume");
    std::this_thread::sleep_for(seconds(8));  // recording
    recorder.press("F10");
    recorder.awaitEnd();

    const testsupport::ProbedFile file = expectFinished(recorder.video(), 2);
    EXPECT_EQ(file.streams.at(0).codecId, AV_CODEC_ID_H264);
    EXPECT_EQ(file.streams.at(1).codecId, AV_CODEC_ID_AAC);
    EXPECT_EQ(readFile(recorder.file("settings.json")), kSettings);

    const SyncReport r = AvSyncAnalyzer().analyze(recorder.video());
    ASSERT_EQ(r.error, 0) << r.errorText;
    std::printf(
        "%zu pairs, mean offset %+.1f ms (%+.1f .. %+.1f), drift %+.1f ms, %.2f s of "
        "video, %.2f s of sound\n",
        r.pairs.size(), r.meanOffsetMs, r.minOffsetMs, r.maxOffsetMs, r.driftOverSpanMs,
        r.videoSeconds, r.audioSeconds);
    EXPECT_NEAR(r.audioSeconds, r.videoSeconds, 0.3);
    EXPECT_GE(r.pairs.size(), 8u);
    EXPECT_LT(std::fabs(r.meanOffsetMs), 150.0);
    EXPECT_LT(std::fabs(r.driftOverSpanMs), 50.0);
    // The pause leaves no gap: the scene's flashes stay a second apart (two, for one lost).
    for (size_t i = 1; i < r.flashes.size(); ++i) {
        EXPECT_LT(r.flashes[i] - r.flashes[i - 1], 2.5) << "at " << r.flashes[i] << " s";
    }
}

// A request to end the program while it records ends the recording as the end key does.
TEST(Recording, TerminationRequestsFinishTheFile) {
    startScene();
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        Recorder recorder;
        recorder.awaitLog("] Start\n");
        recorder.press("F8");
        recorder.awaitThread("video");
        std::this_thread::sleep_for(seconds(1));  // recording
        recorder.process().signal(sig);
        recorder.awaitEnd();
        expectFinished(recorder.video(), 2);
    }
}

// The disk fills up while recording (a file size limit stands in for it): the recorder ends
// the recording by itself, as the end key would, and exits cleanly.
TEST(Recording, AFullDiskEndsTheRecordingCleanly) {
    startScene();
    Recorder recorder(recordingArgs(), {}, 200 * 1024);
    recorder.awaitLog("] Start\n");
    recorder.press("F8");
    recorder.awaitEnd();  // no end key
    EXPECT_LE(fs::file_size(recorder.video()), 200u * 1024u);
}

}  // namespace
