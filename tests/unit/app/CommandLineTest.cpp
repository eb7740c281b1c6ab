#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, WhatStartUpTakesFromTheArguments) {
    struct Case {
        std::vector<std::wstring> args;  // after the program
        StartupOptions expected;         // video, setting, camera, log, language
    };
    const Case cases[] = {
        {{}, {}},
        {{L"-video", L"/o/v.mp4", L"-setting", L"s.json", L"-camera", L"c.mp4", L"-lang", L"1",
          L"-log", L"t.log"},
         {L"/o/v.mp4", L"s.json", L"c.mp4", L"t.log", 1}},
        // A value never begins with '-': neither "-video" nor "-x.mp4" has one.
        {{L"-video", L"-x.mp4"}, {}},
        // Stray arguments are skipped and the walk takes up the next pair.
        {{L"stray", L"-video", L"a.mp4", L"other", L"-camera", L"c.mp4"},
         {L"a.mp4", L"none", L"c.mp4"}},
        // The later value wins; a name at the end has no value.
        {{L"-video", L"a.mp4", L"-video", L"b.mp4", L"-setting"}, {L"b.mp4"}},
        // Names are case-sensitive, unknown ones ignored, one dash only is removed.
        {{L"-Video", L"a.mp4", L"-foo", L"bar", L"--log", L"t.log"}, {}},
        // The language reads like _wtoi.
        {{L"-lang", L"abc"}, {}},
        {{L"-lang", L"12xyz"}, {L"none", L"none", L"none", L"none", 12}},
        {{L"-lang", L"99999999999"}, {L"none", L"none", L"none", L"none", 2147483647}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::wstring> argv{L"screen-capturer"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const StartupOptions got = ReadStartupOptions(ParseCommandLine(argv));
        EXPECT_EQ(got.videoPath, c.expected.videoPath);
        EXPECT_EQ(got.settingPath, c.expected.settingPath);
        EXPECT_EQ(got.cameraPath, c.expected.cameraPath);
        EXPECT_EQ(got.logPath, c.expected.logPath);
        EXPECT_EQ(got.languageIndex, c.expected.languageIndex);
    }
}

// Help is asked for by "-h" or "--help" anywhere; look-alikes stay ordinary unknown names.
TEST(CommandLine, HelpOnlyForItsTwoSpellings) {
    const std::pair<std::vector<std::wstring>, bool> cases[] = {
        {{L"-h"}, true},
        {{L"--help"}, true},
        {{L"-video", L"a.mp4", L"-h"}, true},
        {{L"-video", L"-h"}, true},
        {{}, false},
        {{L"-video", L"a.mp4"}, false},
        {{L"-help", L"-H", L"--h", L"-hx", L"h", L"help"}, false},
    };
    for (const auto& [args, help] : cases) {
        std::vector<std::wstring> argv{L"screen-capturer"};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(AsksForHelp(argv), help) << ::testing::PrintToString(args);
    }
    // The program's own name is not an argument.
    EXPECT_FALSE(AsksForHelp({L"-h"}));
}

}  // namespace
