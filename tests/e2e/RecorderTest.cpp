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
#include "RecorderProcess.h"
#include "TestServers.h"

namespace fs = std::filesystem;
using std::chrono::seconds;
using testsupport::ChildProcess;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

const auto* const kX =
    ::testing::AddGlobalTestEnvironment(new testsupport::XvfbWithWindowManagerEnvironment);
const auto* const kPulse = ::testing::AddGlobalTestEnvironment(new testsupport::PulseEnvironment);

using namespace e2e;

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
    recorder.startRecording();
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
        recorder.startRecording();
        std::this_thread::sleep_for(seconds(1));  // recording
        recorder.process().signal(sig);
        recorder.awaitEnd();
        expectFinished(recorder.video(), 2);
    }
}

// Killed outright (no chance to finish anything), the recorder leaves what it wrote so far
// playable: the MP4 is written in fragments of about a second.
TEST(Recording, AKilledRecordingLeavesAFileThatPlaysUpToTheKill) {
    startScene();
    Recorder recorder;
    recorder.startRecording();
    std::this_thread::sleep_for(seconds(10));  // recording
    recorder.process().signal(SIGKILL);
    ASSERT_EQ(recorder.process().wait(seconds(10)), 128 + SIGKILL);
    const testsupport::ProbedFile file = testsupport::probeDecodable(recorder.video());
    ASSERT_EQ(file.streams.size(), 2u);
    for (const auto& s : file.streams) {
        ASSERT_FALSE(s.packetPts.empty()) << s.index;
        const auto [first, last] = std::minmax_element(s.packetPts.begin(), s.packetPts.end());
        EXPECT_GE((*last - *first) * av_q2d(s.timeBase), 8.0) << s.index;
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
