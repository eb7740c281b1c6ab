#pragma once

// The real program as the end-to-end tests run it: in a temporary folder on the private
// display and sound server, with a log, a moving scene to record, and its end awaited.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Await.h"
#include "ChildProcess.h"
#include "MediaProbe.h"
#include "TestServers.h"
#include "WindowProbe.h"
#include "engine/FileFinisher.h"

namespace e2e {

namespace fs = std::filesystem;
using std::chrono::seconds;
using testsupport::ChildProcess;
using testsupport::readFile;
using testsupport::TempDir;

// The settings the program writes by default, recording the scene's 640x360 window.
inline const char* const kSettings =
    R"({"quality":0,"mouse":{"pointStyle":8,"pressStyle":-1,"shapeStyle":-1},)"
    R"("video":{"captureRect":{"left":0,"top":0,"right":640,"bottom":360},"bitrate":1500000,)"
    R"("fps":0,"captureMethod":0},"audio":{"sampleRate":44100,"bitrate":192000,"channels":2,)"
    R"("bits":16,"captureMicrophone":0,"capturePlayback":1,"filterMic":0,"filterWC":0.4},)"
    R"("camera":{"isCaptureCamera":false,"isOnlyCaptureCamera":false,"device":-1},)"
    R"("hotkey":[{"action":0,"keycode":"000119"},{"action":1,"keycode":"000120"},)"
    R"({"action":2,"keycode":"000121"}]})";

// The scene for the whole binary: moving pictures, a white flash in the middle and a click at
// the same instant once a second. Started by the first test that records.
inline void startScene() {
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
inline std::vector<std::string> recordingArgs(const std::string& video = "out/rec.mp4") {
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
        ASSERT_TRUE(testsupport::xdo({"key", key})) << key;
        lastKey_ = std::chrono::steady_clock::now();
    }
    // Once started up, the start key; returns once the count-down is over and it records.
    void startRecording() {
        awaitLog("] Start\n");
        press("F8");
        awaitThread("video");
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

// The visible popup (popups are titled "Popup") once it has the control: another may still be
// on its way out.
inline testsupport::WindowProbe popupWith(const std::string& control) {
    testsupport::WindowProbe popup;
    EXPECT_TRUE(testsupport::waitFor(
        [&] {
            popup = testsupport::WindowProbe::find("Popup", std::chrono::seconds(1));
            return popup.controls().count(control) != 0;
        },
        seconds(10), "a popup with " + control));
    return popup;
}

// A finished file as the user gets it: its streams decode without an error, and an MP4 is a
// regular one (recorded in fragments, then joined) with its index before the media data.
inline testsupport::ProbedFile expectFinished(const std::string& path, size_t streams) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mp4") == 0) {
        EXPECT_TRUE(std::regex_match(testsupport::topLevelBoxes(path),
                                     std::regex("ftyp moov (free )?mdat")))
            << testsupport::topLevelBoxes(path);
        EXPECT_FALSE(fs::exists(FileFinisher::partPath(path)));
    }
    const testsupport::ProbedFile file = testsupport::probeMedia(path);
    EXPECT_EQ(file.openError, 0) << path;
    EXPECT_EQ(file.streams.size(), streams);
    for (const auto& stream : file.streams) {
        EXPECT_EQ(stream.decodeErrors, 0) << stream.index;
        EXPECT_GT(stream.packetPts.size(), 10u) << stream.index;
    }
    return file;
}

}  // namespace e2e
