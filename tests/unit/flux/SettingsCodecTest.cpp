#include "flux/SettingsCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "RecordingSettingsTarget.h"

namespace {

using Journal = std::vector<std::string>;

Journal applied(const std::string& json) {
    RecordingSettingsTarget target;
    SettingsCodec::apply(SettingsCodec::parse(json), target);
    return target.journal;
}

std::string serialized(const StoreSettings& s) {
    std::string out;
    EXPECT_TRUE(SettingsCodec::serialize(s, out));
    return out;
}

TEST(SettingsCodecRead, MembersOfTheWrongTypeOrOutsideTheirTableAreSkippedOneByOne) {
    const std::pair<std::string, Journal> cases[] = {
        // Each member on its own; unknown ones are ignored.
        {R"({"quality":"2","video":{"fps":"1","bitrate":5,"zoom":3},"audio":[1],)"
         R"("camera":{"device":1.5,"isCaptureCamera":false},"mouse":7,"theme":"x",)"
         R"("hotkey":{"action":0,"keycode":"000119"}})",
         {"videoBitrate 5", "isCaptureCamera false"}},
        {R"({"audio":{"filterWC":"0.4"},"video":{"captureRect":[1,2,3,4]}})", {}},
        // A rectangle's missing or non-integer sides count as 0.
        {R"({"video":{"captureRect":{"left":5,"top":"6","right":7.0}}})", {"loadedRect 5 0 0 0"}},
        // A hotkey needs an integer action and a code a key press can produce.
        {R"({"hotkey":[{"action":1},{"action":"1","keycode":"000120"},7,)"
         R"({"action":1.0,"keycode":"000120"},{"action":1,"keycode":120},)"
         R"({"action":0,"keycode":"110119"},{"action":-5,"keycode":"001065"},)"
         R"({"action":1,"keycode":""},{"action":1,"keycode":"00012"},)"
         R"({"action":1,"keycode":"0001200"},{"action":1,"keycode":"200120"},)"
         R"({"action":1,"keycode":"0a0120"},{"action":1,"keycode":"000\u000012"}]})",
         {"hotkey 0 110119", "hotkey -5 001065"}},
        // Flags are booleans or integers from 1 up.
        {R"({"audio":{"captureMicrophone":-1,"capturePlayback":"yes","filterMic":7},)"
         R"("camera":{"isCaptureCamera":1.0,"isOnlyCaptureCamera":true}})",
         {"captureMicrophone false", "filterMic true", "isOnlyCaptureCamera true"}},
        // Table indices: quality 0..3, fps 0..1, styles -1..11.
        {R"({"quality":4,"video":{"fps":-1},"mouse":{"pointStyle":12,"shapeStyle":-2,)"
         R"("pressStyle":99}})",
         {}},
        {R"({"quality":3,"mouse":{"pointStyle":11,"shapeStyle":-1,"pressStyle":0}})",
         {"quality 3", "pointStyle 11", "shapeStyle -1", "pressStyle 0"}},
    };
    for (const auto& [file, expected] : cases) {
        EXPECT_EQ(applied(file), expected) << file;
    }
}

TEST(SettingsCodecRead, MalformedDocumentsGiveNothing) {
    for (const char* file :
         {"\xEF\xBB\xBF{\"quality\":2}", R"({"quality":2,})", R"({"quality":2} // two)",
          R"({"quality":2}{})", R"({"quality":2,"audio":{"filterWC":NaN}})",
          R"({"quality":2,"audio":{"filterWC":1e400}})", "", R"([{"quality":2}])", "2"}) {
        EXPECT_EQ(applied(file), Journal()) << file;
    }
    // Blanks around the object are JSON too.
    EXPECT_EQ(applied(" \n{\"quality\":2}\n"), Journal({"quality 2"}));
}

TEST(SettingsCodecRead, DeepNestingNeitherCrashesNorHidesTheRest) {
    const size_t depth = 1000000;
    const std::string file =
        R"({"junk":)" + std::string(depth, '[') + std::string(depth, ']') + R"(,"quality":2})";
    EXPECT_EQ(applied(file), Journal({"quality 2"}));
}

// Every member, none in its place.
const char kEveryMember[] =
    R"({"mouse":{"pressStyle":3,"shapeStyle":2,"pointStyle":1},)"
    R"("hotkey":[{"keycode":"000122","action":2},{"action":0,"keycode":"100119"}],)"
    R"("camera":{"device":3,"isOnlyCaptureCamera":true,"isCaptureCamera":1},)"
    R"("audio":{"filterWC":0.25,"filterMic":1,"capturePlayback":0,"captureMicrophone":true,)"
    R"("bits":24,"channels":1,"bitrate":64000,"sampleRate":48000},)"
    R"("video":{"captureMethod":-3,"fps":1,"bitrate":500000,)"
    R"("captureRect":{"bottom":4,"right":3,"top":-2,"left":-1},"isCapture":0},"quality":1})";

TEST(SettingsCodecWrite, MembersGoOutInTheirOrder) {
    // isCapture is only read; flags are numbers in audio and booleans in camera; hotkeys go
    // out by ascending action.
    EXPECT_EQ(serialized(SettingsCodec::parse(kEveryMember)),
              R"({"quality":1,"mouse":{"pointStyle":1,"pressStyle":3,"shapeStyle":2},)"
              R"("video":{"captureRect":{"left":-1,"top":-2,"right":3,"bottom":4},)"
              R"("bitrate":500000,"fps":1,"captureMethod":-3},)"
              R"("audio":{"sampleRate":48000,"bitrate":64000,"channels":1,"bits":24,)"
              R"("captureMicrophone":1,"capturePlayback":0,"filterMic":1,"filterWC":0.25},)"
              R"("camera":{"isCaptureCamera":true,"isOnlyCaptureCamera":true,"device":3},)"
              R"("hotkey":[{"action":0,"keycode":"100119"},{"action":2,"keycode":"000122"}]})");
}

TEST(SettingsCodecWrite, DoublesTakeTheirShortestExactFormWithAPointOrAnExponent) {
    // Reading back is the fuzz target's; the host reads this form.
    StoreSettings s;
    const std::pair<double, std::string> forms[] = {
        {1.0, "1.0"}, {-0.0, "-0.0"}, {1e21, "1e+21"}, {0.1 + 0.2, "0.30000000000000004"}};
    for (const auto& [wc, form] : forms) {
        s.filterWC = wc;
        EXPECT_EQ(serialized(s), R"({"mouse":{},"video":{},"audio":{"filterWC":)" + form +
                                     R"(},"camera":{},"hotkey":[]})");
    }
    // JSON has no NaN or infinity: nothing is written, and the old text stays.
    for (const double wc : {std::nan(""), -HUGE_VAL}) {
        s.filterWC = wc;
        std::string out = "old";
        EXPECT_FALSE(SettingsCodec::serialize(s, out));
        EXPECT_EQ(out, "old");
    }
}

}  // namespace
