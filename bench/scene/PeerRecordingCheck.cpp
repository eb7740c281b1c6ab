// A recording of the test scene made by a peer recorder (ffmpeg grabbing the X screen and the
// sink's monitor), measured by the analyser: this holds scene and analyser to what an
// established recorder achieves; tests/e2e holds our recorder to the same bounds. The servers
// are the ones SceneTimingCheck registers for the binary.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include "AvSyncAnalyzer.h"
#include "ChildProcess.h"
#include "TestServers.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kSeconds = 20;
constexpr int kFps = 30;

// What any recorder's file of the scene must show: at least the seconds asked for, one pair
// for each second recorded (an event cut by either end of the file may go unpaired), sound
// and picture within 150 ms of each other, and less than 50 ms of drift over the recording.
void expectSceneInSync(const SyncReport& r, int seconds) {
    ASSERT_EQ(r.error, 0) << r.errorText;
    EXPECT_GE(r.videoSeconds, seconds - 1.0);
    // A recorder that falls behind takes longer for its frames; the scene still flashes once a
    // second of its time.
    const auto recorded = static_cast<size_t>(std::lround(r.videoSeconds));
    EXPECT_GE(r.pairs.size() + 2, recorded);
    EXPECT_LE(r.pairs.size(), recorded + 1);
    EXPECT_LE(r.unpairedFlashes.size() + r.unpairedClicks.size(), 2u);
    EXPECT_LT(std::fabs(r.meanOffsetMs), 150.0);
    EXPECT_LT(std::fabs(r.driftOverSpanMs), 50.0);
}

TEST(PeerRecording, SceneRecordedByThePeerIsFoundInSync) {
    testsupport::TempDir dir;
    testsupport::ChildProcess::Options sceneOptions;
    sceneOptions.stdoutPath = dir.file("scene.out");
    // Longer than the recording; stopped when the recording is done.
    testsupport::ChildProcess scene(
        {testsupport::binaryDir() + "/av-scene", "--width", std::to_string(kWidth), "--height",
         std::to_string(kHeight), "--seconds", std::to_string(kSeconds + 30)},
        sceneOptions);
    ASSERT_TRUE(testsupport::waitForFile(
        dir.file("scene.out"),
        [](const std::string& out) { return out.find("ready\n") != std::string::npos; },
        std::chrono::seconds(20)));

    // ffmpeg starts each live input's clock at that input's first packet, which would put the
    // gap between opening the screen and opening the sound (170 ms and more here) between
    // picture and sound. -copyts keeps both on the wall clock they are stamped with; Matroska
    // takes such timestamps as they are.
    const std::string out = dir.file("peer.mkv");
    testsupport::ChildProcess::Options ffmpegOptions;
    ffmpegOptions.stderrPath = dir.file("ffmpeg.err");
    testsupport::ChildProcess ffmpeg({"ffmpeg",
                                      "-nostdin",
                                      "-v",
                                      "error",
                                      "-y",
                                      "-thread_queue_size",
                                      "512",
                                      "-f",
                                      "x11grab",
                                      "-framerate",
                                      std::to_string(kFps),
                                      "-video_size",
                                      std::to_string(kWidth) + "x" + std::to_string(kHeight),
                                      "-i",
                                      std::getenv("DISPLAY"),
                                      "-thread_queue_size",
                                      "512",
                                      "-f",
                                      "pulse",
                                      "-i",
                                      "testsink.monitor",
                                      "-copyts",
                                      "-frames:v",
                                      std::to_string(kSeconds * kFps),
                                      "-c:v",
                                      "libx264",
                                      "-preset",
                                      "ultrafast",
                                      "-tune",
                                      "zerolatency",
                                      "-crf",
                                      "22",
                                      "-pix_fmt",
                                      "yuv420p",
                                      "-c:a",
                                      "aac",
                                      out},
                                     ffmpegOptions);
    const int code = ffmpeg.wait(std::chrono::seconds(kSeconds + 60));
    scene.stop();
    ASSERT_EQ(code, 0) << testsupport::readFile(dir.file("ffmpeg.err"));

    const SyncReport r = AvSyncAnalyzer().analyze(out);
    expectSceneInSync(r, kSeconds);
    std::printf("peer: %zu pairs, mean offset %+.1f ms (%+.1f .. %+.1f), drift %+.2f ms/min\n",
                r.pairs.size(), r.meanOffsetMs, r.minOffsetMs, r.maxOffsetMs, r.driftMsPerMinute);
}

}  // namespace
