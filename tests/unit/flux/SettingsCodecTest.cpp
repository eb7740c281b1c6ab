#include "flux/SettingsCodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "RecordingSettingsTarget.h"
#include "SettingsSamples.h"

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

// Tells -0.0 from 0.0.
bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(SettingsCodecRead, ValuesAreAppliedInTheStoreOrderWhateverTheFileOrder) {
    // quality first, so that a bit rate in the file overrides the one it chooses
    const char* file =
        R"({"mouse":{"pressStyle":3,"shapeStyle":2,"pointStyle":1},)"
        R"("hotkey":[{"keycode":"000122","action":2},{"action":0,"keycode":"100119"}],)"
        R"("camera":{"device":3,"isOnlyCaptureCamera":true,"isCaptureCamera":1},)"
        R"("audio":{"filterWC":0.25,"filterMic":1,"capturePlayback":0,)"
        R"("captureMicrophone":true,"bits":24,"channels":1,"bitrate":64000,)"
        R"("sampleRate":48000},)"
        R"("video":{"captureMethod":2,"fps":1,"bitrate":500000,)"
        R"("captureRect":{"bottom":4,"right":3,"top":2,"left":1},"isCapture":0},)"
        R"("quality":1})";
    EXPECT_EQ(
        applied(file),
        Journal({
            "quality 1",    "isCapture off",   "loadedRect 1 2 3 4",   "videoBitrate 500000",
            "fps 1",        "captureMethod 2", "sampleRate 48000",     "audioBitrate 64000",
            "channels 1",   "bits 24",         "captureMicrophone on", "capturePlayback off",
            "filterMic on", "filterWC 0.25",   "isCaptureCamera on",   "isOnlyCaptureCamera on",
            "device 3",     "hotkey 2 000122", "hotkey 0 100119",      "pointStyle 1",
            "shapeStyle 2", "pressStyle 3",
        }));
}

TEST(SettingsCodecRead, MembersOfTheWrongTypeOrOutsideTheirTableAreSkippedOneByOne) {
    const std::pair<std::string, Journal> cases[] = {
        // An integer has no fraction or exponent and fits 32 signed bits.
        {R"({"video":{"bitrate":2147483647}})", {"videoBitrate 2147483647"}},
        {R"({"video":{"bitrate":-2147483648}})", {"videoBitrate -2147483648"}},
        {R"({"quality":-0})", {"quality 0"}},
        // The coefficient takes any number.
        {R"({"audio":{"filterWC":1}})", {"filterWC 1"}},
        {R"({"audio":{"filterWC":"0.4"}})", {}},
        {R"({"audio":{"filterWC":true}})", {}},
        // Each member on its own; unknown ones are ignored.
        {R"({"quality":"2","video":{"fps":"1","bitrate":5,"zoom":3},"audio":[1],)"
         R"("camera":{"device":1.5,"isCaptureCamera":false},"mouse":7,"theme":"x",)"
         R"("hotkey":{"action":0,"keycode":"000119"}})",
         {"videoBitrate 5", "isCaptureCamera off"}},
        // A rectangle's missing or non-integer sides count as 0; one that is no object is absent.
        {R"({"video":{"captureRect":{"left":5,"top":"6","right":7.0}}})", {"loadedRect 5 0 0 0"}},
        {R"({"video":{"captureRect":[1,2,3,4]}})", {}},
        // A hotkey needs an integer action and a code a key press can produce.
        {R"({"hotkey":[{"action":1},{"action":"1","keycode":"000120"},7,)"
         R"({"action":1.0,"keycode":"000120"},{"action":1,"keycode":120},)"
         R"({"action":0,"keycode":"110119"},{"action":-5,"keycode":"001065"}]})",
         {"hotkey 0 110119", "hotkey -5 001065"}},
        // Table indices: quality 0..3, fps 0..1, styles -1..11.
        {R"({"quality":4})", {}},
        {R"({"quality":-1})", {}},
        {R"({"quality":3})", {"quality 3"}},
        {R"({"video":{"fps":2}})", {}},
        {R"({"video":{"fps":-1}})", {}},
        {R"({"mouse":{"pointStyle":12,"shapeStyle":-2,"pressStyle":99}})", {}},
        {R"({"mouse":{"pointStyle":11,"shapeStyle":-1,"pressStyle":0}})",
         {"pointStyle 11", "shapeStyle -1", "pressStyle 0"}},
    };
    for (const auto& [file, expected] : cases) {
        EXPECT_EQ(applied(file), expected) << file;
    }
    for (const char* value : {"1.0", "1e0", "10E-1", "2147483648", "-2147483649", "\"1\"", "true",
                              "null", "[1]", "{}"}) {
        EXPECT_EQ(applied(std::string(R"({"video":{"bitrate":)") + value + "}}"), Journal())
            << value;
    }
    for (const char* code :
         {"", "F9", "000", "00012", "0001200", "200120", "00012x", "0a0120", "000\\u000012"}) {
        EXPECT_EQ(applied(std::string(R"({"hotkey":[{"action":1,"keycode":")") + code + "\"}]}"),
                  Journal())
            << code;
    }
}

TEST(SettingsCodecRead, FlagsAcceptBooleansAndIntegers) {
    const std::pair<const char*, const char*> values[] = {
        {"true", "on"}, {"1", "on"},     {"7", "on"}, {"false", "off"}, {"0", "off"},
        {"-1", "off"},  {"\"yes\"", ""}, {"1.0", ""}, {"null", ""},     {"[true]", ""}};
    const char* members[][2] = {
        {"audio", "captureMicrophone"}, {"audio", "capturePlayback"},      {"audio", "filterMic"},
        {"camera", "isCaptureCamera"},  {"camera", "isOnlyCaptureCamera"}, {"video", "isCapture"}};
    for (const auto& m : members) {
        for (const auto& [value, state] : values) {
            const std::string file =
                std::string("{\"") + m[0] + "\":{\"" + m[1] + "\":" + value + "}}";
            const Journal expected =
                *state ? Journal({std::string(m[1]) + " " + state}) : Journal();
            EXPECT_EQ(applied(file), expected) << file;
        }
    }
}

TEST(SettingsCodecRead, NumbersAtTheEdgesOfTheDoubleRangeReadExactly) {
    const auto read = [](const std::string& number) {
        return SettingsCodec::parse(R"({"quality":1,"audio":{"filterWC":)" + number + "}}");
    };
    // The compiler's reading of the same literal is the reference.
#define SC_LITERAL(x) \
    { #x, x }
    const std::pair<std::string, double> cases[] = {
        SC_LITERAL(0e40),
        SC_LITERAL(-0e40),
        SC_LITERAL(0e-30),
        SC_LITERAL(0.000e300),
        SC_LITERAL(1.7976931348623158e308),
        SC_LITERAL(3e-324),
        SC_LITERAL(123456789012345678901234567890e-40),
        SC_LITERAL(0.1),
        {"18446744073709551616", 18446744073709551616.0},  // past 64-bit integers
        SC_LITERAL(-9223372036854775809.0),
        // Below the smallest double: a zero of the number's sign.
        {"2e-324", 0.0},
        {"-1e-400", -0.0},
        {"0." + std::string(400, '0') + "1", 0.0},
        {"1e-99999999999", 0.0},
    };
#undef SC_LITERAL
    for (const auto& [text, expected] : cases) {
        const StoreSettings s = read(text);
        ASSERT_TRUE(s.filterWC.has_value()) << text;
        EXPECT_TRUE(sameBits(*s.filterWC, expected)) << text << " read as " << *s.filterWC;
    }
    // Above the largest double the document is malformed, however the number is written.
    for (const std::string& text : {std::string("1.8e308"), std::string("1.7976931348623159e308"),
                                    "1" + std::string(309, '0') + ".5", std::string("-1.8e308")}) {
        EXPECT_FALSE(read(text).quality.has_value()) << text;
    }
}

TEST(SettingsCodecRead, MalformedDocumentsGiveNothing) {
    for (const std::string& file : {
             std::string("\xEF\xBB\xBF") + R"({"quality":2})",  // byte-order mark
             std::string(R"({"quality":2,})"),
             std::string(R"({"quality":2} // two)"),
             std::string(R"({"quality":2}{})"),
             std::string(R"({"quality":2,"audio":{"filterWC":NaN}})"),
             std::string(R"({"quality":2,"audio":{"filterWC":1e400}})"),
             std::string(""),
             std::string(R"([{"quality":2}])"),
             std::string("2"),
         }) {
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

TEST(SettingsCodecWrite, DefaultsGiveTheKnownLineWithoutIsCapture) {
    StoreSettings s = SettingsCodec::parse(kDefaultsLine);
    s.isCapture = true;  // read from a file, never written
    EXPECT_EQ(serialized(s), kDefaultsLine);
}

TEST(SettingsCodecWrite, WhatIsWrittenReadsBackTheSame) {
    StoreSettings s;
    s.quality = 3;
    s.pointStyle = 11;
    s.pressStyle = 0;
    s.shapeStyle = -1;
    s.captureRect = Rect{-1920, -5, 17, 33};
    s.videoBitrate = 2147483647;
    s.fps = 1;
    s.captureMethod = -3;  // written signed so that it reads back
    s.sampleRate = 48000;
    s.audioBitrate = -5;
    s.channels = 1;
    s.bits = 24;
    s.captureMicrophone = true;
    s.capturePlayback = false;
    s.filterMic = true;
    s.filterWC = 0.1 + 0.2;
    s.isCaptureCamera = true;
    s.isOnlyCaptureCamera = false;
    s.device = 4;
    s.hotkeys = {{2, "001065"}, {0, "110119"}, {1, "000120"}};

    const std::string text = serialized(s);
    EXPECT_EQ(serialized(SettingsCodec::parse(text)), text);
    EXPECT_NE(text.find(R"("captureMethod":-3)"), std::string::npos) << text;
    // Hotkeys go out in ascending action order.
    EXPECT_NE(text.find(R"([{"action":0,"keycode":"110119"},{"action":1,"keycode":"000120"},)"
                        R"({"action":2,"keycode":"001065"}])"),
              std::string::npos)
        << text;
}

TEST(SettingsCodecWrite, DoublesTakeTheirShortestExactForm) {
    const auto written = [](double wc) {
        StoreSettings s;
        s.filterWC = wc;
        const std::string text = serialized(s);
        const size_t at = text.find("\"filterWC\":");
        return at == std::string::npos ? text : text.substr(at + 11, text.find('}', at) - at - 11);
    };
    const std::pair<double, const char*> forms[] = {{0.4, "0.4"},
                                                    {1.0, "1.0"},
                                                    {0.0, "0.0"},
                                                    {-2.0, "-2.0"},
                                                    {0.1 + 0.2, "0.30000000000000004"}};
    for (const auto& [wc, form] : forms) {
        EXPECT_EQ(written(wc), form);
    }
    for (double wc : {1e21, 1e-7, 5e-324, 1.7976931348623157e308, -0.0}) {
        StoreSettings s;
        s.filterWC = wc;
        const std::optional<double> back = SettingsCodec::parse(serialized(s)).filterWC;
        ASSERT_TRUE(back.has_value()) << written(wc);
        EXPECT_TRUE(sameBits(*back, wc)) << written(wc);
    }
}

TEST(SettingsCodecWrite, ANumberThatJsonCannotHoldFailsTheWrite) {
    for (double wc :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        StoreSettings s = SettingsCodec::parse(kDefaultsLine);
        s.filterWC = wc;
        std::string out = "untouched";
        EXPECT_FALSE(SettingsCodec::serialize(s, out));
        EXPECT_EQ(out, "untouched");
    }
}

}  // namespace
