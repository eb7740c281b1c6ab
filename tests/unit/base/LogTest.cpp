#include "base/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { DisableLog(); }
    std::string log() const { return dir_.file("trace.log"); }
    testsupport::TempDir dir_;
};

// The log is a text file: Windows ends its lines with CR LF.
std::string readLog(const std::string& path) {
    std::string text = testsupport::readFile(path);
#ifdef _WIN32
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
#endif
    return text;
}

TEST_F(LogTest, LinesAreAppendedInTheirShapeOnlyWhileOn) {
    { std::ofstream(log()) << "earlier\n"; }
    EnableLog(log());
    WriteLog("Store", 951, "Call controller %s %d %u %x %08x", "pause", -3, 7u, 255u, 0x1234u);
    WriteLog("App", 2, "ends in newline\n");  // one newline is added to every call
    DisableLog();
    WriteLog("App", 3, "not written");
    const std::regex shape(
        R"(earlier\n)"
        R"(\[(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) )"
        R"([ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\] )"  // " 7"; Windows: "07"
        R"(\[Store\]\[line: 951\] Call controller pause -3 7 ff 00001234\n)"
        R"(\[[^\]]+\] \[App\]\[line: 2\] ends in newline\n\n)");
    const std::string text = readLog(log());
    EXPECT_TRUE(std::regex_match(text, shape)) << text;

    EnableLog(dir_.file("missing-folder/trace.log"));
    WriteLog("App", 1, "lost, silently");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("missing-folder")));
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    EnableLog(log());
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string payload(300, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) {
                WriteLog("Worker", static_cast<unsigned>(t), "%s end", payload.c_str());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::istringstream in(readLog(log()));
    const std::regex whole(R"(\[[^\]]+\] \[Worker\]\[line: ([0-7])\] ([a-h])\2{299} end)");
    std::vector<int> perThread(kThreads, 0);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
        ASSERT_EQ(m[2].str()[0] - 'a', std::stoi(m[1])) << line;
        ++perThread[std::stoi(m[1])];
    }
    EXPECT_EQ(perThread, std::vector<int>(kThreads, kLines));
}

// The file is opened once and kept: each line is in it when the call returns (nothing waits
// in a buffer for a crash to lose), and lines go on into that same file even after it has been
// moved away, where a log that opened its file for every line would start a new one.
TEST_F(LogTest, KeepsItsFileOpenAndEachLineIsInItAtOnce) {
    EnableLog(log());
    WriteLog("App", 1, "first");
#ifdef _WIN32
    // Windows moves no file that is open: the refusal itself shows that the log keeps it.
    std::error_code refused;
    std::filesystem::rename(log(), dir_.file("moved.log"), refused);
    EXPECT_TRUE(refused);
    WriteLog("App", 2, "second");
    const std::string moved = readLog(log());
#else
    std::filesystem::rename(log(), dir_.file("moved.log"));
    WriteLog("App", 2, "second");
    const std::string moved = readLog(dir_.file("moved.log"));
    EXPECT_FALSE(std::filesystem::exists(log()));
#endif
    EXPECT_NE(moved.find("] first\n"), std::string::npos) << moved;
    EXPECT_NE(moved.find("[App][line: 2] second\n"), std::string::npos) << moved;
}

}  // namespace
