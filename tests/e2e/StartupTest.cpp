// The real program started from outside, as the host application starts it.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <sstream>

#include "ChildProcess.h"
#include "TestServers.h"

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::TempDir;

namespace {

std::string program() { return testsupport::binaryDir() + "/screen-capturer"; }

ChildProcess start(const std::vector<std::string>& args, const TempDir& dir,
                   const std::string& cwd = "") {
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess::Options options;
    options.stdoutPath = dir.file("stdout");
    options.stderrPath = dir.file("stderr");
    options.cwd = cwd.empty() ? dir.path() : cwd;
    return ChildProcess(argv, options);
}

bool hasLine(const std::string& log, const std::string& message) {
    return log.find("] " + message + "\n") != std::string::npos;
}

TEST(Startup, WithoutVideoItSaysSoCreatesNothingAndExitsZero) {
    TempDir dir;
    fs::create_directory(dir.file("work"));
    ChildProcess child = start({"-camera", "cams/c.mp4", "-setting", "s/s.json"}, dir,
                               dir.file("work"));
    EXPECT_EQ(child.wait(std::chrono::seconds(30)), 0);
    EXPECT_EQ(testsupport::readFile(dir.file("stdout")), "Please set video or camera path\n");
    EXPECT_TRUE(fs::is_empty(dir.file("work")));
}

TEST(Startup, VideoStartingWithADashIsNotAValue) {
    TempDir dir;
    ChildProcess child = start({"-video", "-x.mp4"}, dir);
    EXPECT_EQ(child.wait(std::chrono::seconds(30)), 0);
    EXPECT_EQ(testsupport::readFile(dir.file("stdout")), "Please set video or camera path\n");
}

TEST(Startup, CreatesOutputFoldersBeforeTheLoopAndLogsInOrder) {
    TempDir dir;
    fs::create_directory(dir.file("work"));
    const std::string video = dir.file("x/y/z.mp4");  // absolute
    const std::string log = dir.file("trace.log");
    ChildProcess child = start({"-video", video, "-camera", "../cam/c.mp4", "-setting",
                                "conf/s.json", "-log", log},
                               dir, dir.file("work"));
    ASSERT_TRUE(testsupport::waitForFile(
        log, [](const std::string& text) { return hasLine(text, "Start"); },
        std::chrono::seconds(30)))
        << testsupport::readFile(log) << testsupport::readFile(dir.file("stderr"));
    EXPECT_TRUE(fs::is_directory(dir.file("x/y")));
    EXPECT_FALSE(fs::exists(dir.file("work") + dir.path()));  // not rebuilt under the cwd
    EXPECT_TRUE(fs::is_directory(dir.file("cam")));            // ../cam from work/
    EXPECT_TRUE(fs::is_directory(dir.file("work/conf")));
    EXPECT_FALSE(fs::exists(video));  // the file itself is the encoder's

    const std::string text = testsupport::readFile(log);
    size_t at = 0;
    for (const char* step : {"Instance gui", "Add action-bindings", "Initialize gui",
                             "Instance store", "Initialize store", "Start"}) {
        const size_t found = text.find(std::string("[App][line: "), at);
        ASSERT_NE(found, std::string::npos) << step;
        const size_t message = text.find("] " + std::string(step) + "\n", found);
        ASSERT_NE(message, std::string::npos) << step << "\n" << text;
        at = message;
    }
    child.signal(SIGKILL);
    child.wait(std::chrono::seconds(10));
}

TEST(Startup, NoneMeansNoFileAndNoFolder) {
    TempDir dir;
    const std::string log = dir.file("trace.log");
    ChildProcess child = start({"-video", "v/a.mp4", "-camera", "none", "-log", log}, dir);
    ASSERT_TRUE(testsupport::waitForFile(
        log, [](const std::string& text) { return hasLine(text, "Start"); },
        std::chrono::seconds(30)));
    EXPECT_TRUE(fs::is_directory(dir.file("v")));
    EXPECT_FALSE(fs::exists(dir.file("none")));
    child.signal(SIGKILL);
    child.wait(std::chrono::seconds(10));
}

TEST(Startup, WithoutTheLogOptionNothingIsLogged) {
    TempDir dir;
    ChildProcess child = start({"-video", "a.mp4"}, dir);
    // The program keeps running in its loop; it must not have written anything but stderr.
    EXPECT_EQ(child.wait(std::chrono::milliseconds(500)), -1);
    child.signal(SIGKILL);
    child.wait(std::chrono::seconds(10));
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "stdout" || name == "stderr") << name;
    }
}

}  // namespace
