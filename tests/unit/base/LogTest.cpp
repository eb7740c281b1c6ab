#include "base/Log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        out.push_back(line);
    }
    return out;
}

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { DisableLog(); }
    testsupport::TempDir dir_;
};

TEST_F(LogTest, OffWritesNoFile) {
    DisableLog();
    EnableLog(dir_.file("trace.log"));
    DisableLog();
    WriteLog("Store", 1, "nothing %d", 1);
    EXPECT_FALSE(testsupport::fileExists(dir_.file("trace.log")));
}

TEST_F(LogTest, LineShapeIsExact) {
    EnableLog(dir_.file("trace.log"));
    WriteLog("Store", 951, "Call controller %s %d %u %x %08x", "pause", -3, 7u, 255u, 0x1234u);
    const std::string text = testsupport::readFile(dir_.file("trace.log"));
    const std::regex shape(
        R"(\[(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) )"
        R"([ 1-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\] )"
        R"(\[Store\]\[line: 951\] Call controller pause -3 7 ff 00001234\n)");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
}

TEST_F(LogTest, EveryCallAddsExactlyOneNewline) {
    EnableLog(dir_.file("trace.log"));
    WriteLog("App", 1, "%s", "");
    WriteLog("App", 2, "ends in newline\n");
    WriteLog("App", 3, "last");
    const auto all = lines(testsupport::readFile(dir_.file("trace.log")));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].substr(all[0].size() - 15), "[App][line: 1] ");
    EXPECT_NE(all[1].find("[line: 2] ends in newline"), std::string::npos);
    EXPECT_EQ(all[2], "");
    EXPECT_NE(all[3].find("[line: 3] last"), std::string::npos);
}

TEST_F(LogTest, AppendsToWhatIsThere) {
    { std::ofstream(dir_.file("trace.log")) << "earlier\n"; }
    EnableLog(dir_.file("trace.log"));
    WriteLog("App", 5, "next");
    const auto all = lines(testsupport::readFile(dir_.file("trace.log")));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], "earlier");
}

// The file is opened once and kept: each line is in it when the call returns (nothing waits
// in a buffer for a crash to lose), and lines go on into that same file even after it has been
// moved away, where a log that opened its file for every line would start a new one.
TEST_F(LogTest, KeepsItsFileOpenAndEachLineIsInItAtOnce) {
    EnableLog(dir_.file("trace.log"));
    WriteLog("App", 1, "first");
    std::filesystem::rename(dir_.file("trace.log"), dir_.file("moved.log"));
    WriteLog("App", 2, "second");
    const auto all = lines(testsupport::readFile(dir_.file("moved.log")));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NE(all[1].find("[App][line: 2] second"), std::string::npos);
    EXPECT_FALSE(testsupport::fileExists(dir_.file("trace.log")));
}

TEST_F(LogTest, UnwritablePathIsSilent) {
    EnableLog(dir_.file("missing-folder/trace.log"));
    WriteLog("App", 1, "lost");
    EXPECT_FALSE(testsupport::fileExists(dir_.file("missing-folder")));
}

TEST_F(LogTest, EightThreadsWriteWholeLines) {
    EnableLog(dir_.file("trace.log"));
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    const std::string payload(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &payload] {
            for (int i = 0; i < kLines; ++i) {
                WriteLog("Worker", static_cast<unsigned>(t), "t%d i%d %s end", t, i,
                         payload.c_str());
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const auto all = lines(testsupport::readFile(dir_.file("trace.log")));
    ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kLines));
    const std::regex whole(R"(\[[^\]]+\] \[Worker\]\[line: ([0-7])\] t([0-7]) i[0-9]+ x{300} end)");
    std::vector<int> perThread(kThreads, 0);
    for (const auto& line : all) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
        EXPECT_EQ(m[1], m[2]);
        ++perThread[std::stoi(m[2])];
    }
    for (int count : perThread) {
        EXPECT_EQ(count, kLines);
    }
}

}  // namespace
