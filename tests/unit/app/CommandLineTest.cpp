#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

StartupOptions read(const std::vector<std::wstring>& args) {
    std::vector<std::wstring> all{L"screen-capturer"};
    all.insert(all.end(), args.begin(), args.end());
    return ReadStartupOptions(ParseCommandLine(all));
}

TEST(CommandLine, FewerThanTwoArgumentsGiveNothing) {
    EXPECT_TRUE(ParseCommandLine({}).empty());
    EXPECT_TRUE(ParseCommandLine({L"prog"}).empty());
}

TEST(CommandLine, PairsAreOptionsAndOnlyOneDashIsRemoved) {
    const auto options = ParseCommandLine({L"prog", L"-video", L"a.mp4", L"--lang", L"1"});
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options.at(L"video"), L"a.mp4");
    EXPECT_EQ(options.at(L"-lang"), L"1");
}

TEST(CommandLine, ValueBeginningWithDashIsNotAValue) {
    // -video -x.mp4: "-video" has no value; "-x.mp4" is a name without a value either.
    const auto options = ParseCommandLine({L"prog", L"-video", L"-x.mp4"});
    EXPECT_TRUE(options.empty());
    EXPECT_EQ(read({L"-video", L"-x.mp4"}).videoPath, L"none");
}

TEST(CommandLine, StrayArgumentsAreSkippedAndTheWalkResynchronises) {
    const auto options =
        ParseCommandLine({L"prog", L"stray", L"-video", L"a.mp4", L"other", L"-camera", L"c.mp4"});
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options.at(L"camera"), L"c.mp4");
}

TEST(CommandLine, LaterValueWinsAndTrailingNameIsIgnored) {
    const auto opts = read({L"-video", L"a.mp4", L"-video", L"b.mp4", L"-setting"});
    EXPECT_EQ(opts.videoPath, L"b.mp4");
    EXPECT_EQ(opts.settingPath, L"none");
}

TEST(CommandLine, NamesAreCaseSensitiveAndUnknownOnesIgnored) {
    const auto opts = read({L"-Video", L"a.mp4", L"-foo", L"bar", L"-camera", L"none"});
    EXPECT_EQ(opts.videoPath, L"none");
    EXPECT_EQ(opts.cameraPath, L"none");
}

TEST(CommandLine, AllFieldsAndTheLogSwitch) {
    const auto opts = read({L"-video", L"/o/v.mp4", L"-setting", L"s.json", L"-camera", L"c.mp4",
                            L"-lang", L"1", L"-log", L"trace.log"});
    EXPECT_EQ(opts.videoPath, L"/o/v.mp4");
    EXPECT_EQ(opts.settingPath, L"s.json");
    EXPECT_EQ(opts.cameraPath, L"c.mp4");
    EXPECT_EQ(opts.languageIndex, 1);
    EXPECT_EQ(opts.logPath, L"trace.log");
    EXPECT_EQ(read({}).logPath, L"none");
}

TEST(CommandLine, LanguageIsParsedLikeWtoi) {
    EXPECT_EQ(read({L"-lang", L"0"}).languageIndex, 0);
    EXPECT_EQ(read({L"-lang", L"abc"}).languageIndex, 0);
    EXPECT_EQ(read({}).languageIndex, 0);
    EXPECT_EQ(read({L"-lang", L"1"}).languageIndex, 1);
    EXPECT_EQ(read({L"-lang", L"12xyz"}).languageIndex, 12);
    EXPECT_EQ(ParseInt(L"  +7"), 7);
    EXPECT_EQ(ParseInt(L"-1"), -1);
    EXPECT_EQ(ParseInt(L"- 1"), 0);
    EXPECT_EQ(ParseInt(L""), 0);
    EXPECT_EQ(ParseInt(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseInt(L"-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
