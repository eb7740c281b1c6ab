// The settings reader takes whatever bytes are in the file. Besides not crashing, what it reads
// must be what the rest of the program can use (values inside their tables, keycodes a key
// press can produce), its numbers must be those the text spells (checked against the C
// library's conversion), and writing it and reading it back must give the same values: the
// file is rewritten before every recording, so anything lost there is lost for good.

#include <fuzzer/FuzzedDataProvider.h>
#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "flux/SettingsCodec.h"
#include "flux/StoreTables.h"

namespace {

bool sameBits(const std::optional<double>& a, const std::optional<double>& b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a || std::memcmp(&*a, &*b, sizeof(double)) == 0;  // keeps -0.0 apart from 0.0
}

bool same(const StoreSettings& a, const StoreSettings& b) {
    const auto fields = [](const StoreSettings& s) {
        return std::tie(s.quality, s.pointStyle, s.pressStyle, s.shapeStyle, s.isCapture,
                        s.captureRect, s.videoBitrate, s.fps, s.captureMethod, s.sampleRate,
                        s.audioBitrate, s.channels, s.bits, s.captureMicrophone, s.capturePlayback,
                        s.filterMic, s.isCaptureCamera, s.isOnlyCaptureCamera, s.device);
    };
    const auto hotkey = [](const HotkeyPayload& h) { return std::tie(h.action, h.keycode); };
    return fields(a) == fields(b) && sameBits(a.filterWC, b.filterWC) &&
           std::equal(a.hotkeys.begin(), a.hotkeys.end(), b.hotkeys.begin(), b.hotkeys.end(),
                      [&](const auto& x, const auto& y) { return hotkey(x) == hotkey(y); });
}

// The values as the file would hold them, for messages.
std::string asFile(const StoreSettings& s) {
    std::string out = "(not writable)";
    SettingsCodec::serialize(s, out);
    return out;
}

bool isKeycode(const std::string& code) {
    return code.size() == 6 &&
           std::all_of(code.begin(), code.begin() + 3,
                       [](char c) { return c == '0' || c == '1'; }) &&
           std::all_of(code.begin() + 3, code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What the rest of the program relies on in anything read from a file.
void checkUsable(const StoreSettings& s) {
    FUZZ_CHECK(!s.quality || StoreTables::isQuality(*s.quality), "quality %d", *s.quality);
    FUZZ_CHECK(!s.fps || StoreTables::isFrameRateIndex(*s.fps), "fps %d", *s.fps);
    for (const auto& style : {s.pointStyle, s.pressStyle, s.shapeStyle}) {
        FUZZ_CHECK(!style || StoreTables::isStyle(*style), "style %d", *style);
    }
    FUZZ_CHECK(!s.filterWC || std::isfinite(*s.filterWC), "filterWC %g", *s.filterWC);
    for (const HotkeyPayload& h : s.hotkeys) {
        FUZZ_CHECK(isKeycode(h.keycode), "keycode \"%s\" (%zu bytes)", h.keycode.c_str(),
                   h.keycode.size());
    }
}

// The same bytes read by RapidJSON twice: with numbers as their text, and with its own types,
// which tell a number from a string. Both have the same shape.
struct Reference {
    rapidjson::Document text;
    rapidjson::Document typed;
    bool valid = false;  // a JSON object whose numbers all fit a double

    Reference(const uint8_t* data, size_t size) {
        constexpr unsigned kText =
            rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
        rapidjson::MemoryStream a(reinterpret_cast<const char*>(data), size);
        text.ParseStream<kText>(a);
        rapidjson::MemoryStream b(reinterpret_cast<const char*>(data), size);
        typed.ParseStream<rapidjson::kParseIterativeFlag>(b);
        valid = !text.HasParseError() && !typed.HasParseError() && typed.IsObject() && numbersFit();
    }

    // The number member object.name (or name at the top), as text; nullptr when absent or
    // not a number.
    const char* number(const char* object, const char* name) const {
        const rapidjson::Value* t = find(text, object, name);
        const rapidjson::Value* v = find(typed, object, name);
        return t && v && v->IsNumber() ? t->GetString() : nullptr;
    }

private:
    static const rapidjson::Value* find(const rapidjson::Value& root, const char* object,
                                        const char* name) {
        const rapidjson::Value* parent = &root;
        if (object) {
            const auto it = root.FindMember(object);
            if (it == root.MemberEnd() || !it->value.IsObject()) {
                return nullptr;
            }
            parent = &it->value;
        }
        const auto it = parent->FindMember(name);
        return it == parent->MemberEnd() ? nullptr : &it->value;
    }

    bool numbersFit() const {
        std::vector<std::pair<const rapidjson::Value*, const rapidjson::Value*>> pending = {
            {&typed, &text}};
        while (!pending.empty()) {
            const auto [v, t] = pending.back();
            pending.pop_back();
            if (v->IsNumber()) {
                if (std::isinf(std::strtod(t->GetString(), nullptr))) {
                    return false;
                }
            } else if (v->IsArray()) {
                for (rapidjson::SizeType i = 0; i < v->Size(); ++i) {
                    pending.emplace_back(&(*v)[i], &(*t)[i]);
                }
            } else if (v->IsObject()) {
                auto vi = v->MemberBegin();
                for (auto ti = t->MemberBegin(); ti != t->MemberEnd(); ++ti, ++vi) {
                    pending.emplace_back(&vi->value, &ti->value);
                }
            }
        }
        return true;
    }
};

// An integer member holds what strtoll reads from an integral text inside int32 and the
// member's table, and nothing otherwise.
void checkInteger(const Reference& ref, const char* object, const char* name,
                  const std::optional<int32_t>& got, bool (*valid)(int32_t) = nullptr) {
    std::optional<int32_t> expected;
    if (const char* text = ref.number(object, name)) {
        errno = 0;
        const long long v = std::strtoll(text, nullptr, 10);
        const bool integral = std::strpbrk(text, ".eE") == nullptr;
        if (integral && errno == 0 && v >= INT32_MIN && v <= INT32_MAX &&
            (!valid || valid(static_cast<int32_t>(v)))) {
            expected = static_cast<int32_t>(v);
        }
    }
    FUZZ_CHECK(got == expected, "%s.%s: read %s, expected %s", object ? object : "", name,
               got ? std::to_string(*got).c_str() : "nothing",
               expected ? std::to_string(*expected).c_str() : "nothing");
}

void checkNumbers(const uint8_t* data, size_t size, const StoreSettings& read) {
    const Reference ref(data, size);
    if (!ref.valid) {
        FUZZ_CHECK(same(read, StoreSettings{}),
                   "values read from a document that is not a valid "
                   "object: %s",
                   asFile(read).c_str());
        return;
    }
    checkInteger(ref, nullptr, "quality", read.quality, &StoreTables::isQuality);
    checkInteger(ref, "mouse", "pointStyle", read.pointStyle, &StoreTables::isStyle);
    checkInteger(ref, "video", "bitrate", read.videoBitrate);
    checkInteger(ref, "video", "fps", read.fps, &StoreTables::isFrameRateIndex);
    checkInteger(ref, "video", "captureMethod", read.captureMethod);
    checkInteger(ref, "audio", "sampleRate", read.sampleRate);
    checkInteger(ref, "audio", "bitrate", read.audioBitrate);
    checkInteger(ref, "camera", "device", read.device);

    std::optional<double> expected;
    if (const char* text = ref.number("audio", "filterWC")) {
        expected = std::strtod(text, nullptr);
    }
    // "-0" is the integer zero to the reader (it has no sign); "-0.0" keeps its sign.
    const bool zeros = read.filterWC && expected && *read.filterWC == 0 && *expected == 0;
    FUZZ_CHECK(zeros || sameBits(read.filterWC, expected), "filterWC: read %.17g, expected %.17g",
               read.filterWC.value_or(-1), expected.value_or(-1));
}

// The values a file written from s gives back: isCapture is never written, and hotkeys go out
// in ascending action order, equal actions keeping theirs.
StoreSettings afterRoundTrip(StoreSettings s) {
    s.isCapture.reset();
    std::stable_sort(
        s.hotkeys.begin(), s.hotkeys.end(),
        [](const HotkeyPayload& a, const HotkeyPayload& b) { return a.action < b.action; });
    return s;
}

void checkRoundTrip(const StoreSettings& values, const char* origin) {
    std::string written;
    FUZZ_CHECK(SettingsCodec::serialize(values, written), "%s: finite values were not written",
               origin);
    const StoreSettings back = SettingsCodec::parse(written);
    FUZZ_CHECK(same(back, afterRoundTrip(values)), "%s: written %s, read back as %s", origin,
               written.c_str(), asFile(back).c_str());
    std::string again;
    FUZZ_CHECK(SettingsCodec::serialize(back, again) && again == written,
               "%s: second write differs:\n    %s\n    %s", origin, written.c_str(), again.c_str());
}

// Values a Store can hold, drawn from the input: table members inside their tables, everything
// else anything, the coefficient any bit pattern (a non-finite one must fail the write).
void checkValuesFromInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto maybe = [&in](auto value) {
        return in.ConsumeBool() ? std::optional<decltype(value)>(value) : std::nullopt;
    };
    StoreSettings s;
    s.quality = maybe(in.ConsumeIntegralInRange<int32_t>(0, 3));
    s.pointStyle = maybe(in.ConsumeIntegralInRange<int32_t>(-1, 11));
    s.pressStyle = maybe(in.ConsumeIntegralInRange<int32_t>(-1, 11));
    s.shapeStyle = maybe(in.ConsumeIntegralInRange<int32_t>(-1, 11));
    s.isCapture = maybe(in.ConsumeBool());
    if (in.ConsumeBool()) {
        s.captureRect = Rect{in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(),
                             in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>()};
    }
    s.videoBitrate = maybe(in.ConsumeIntegral<int32_t>());
    s.fps = maybe(in.ConsumeIntegralInRange<int32_t>(0, 1));
    s.captureMethod = maybe(in.ConsumeIntegral<int32_t>());
    s.sampleRate = maybe(in.ConsumeIntegral<int32_t>());
    s.audioBitrate = maybe(in.ConsumeIntegral<int32_t>());
    s.channels = maybe(in.ConsumeIntegral<int32_t>());
    s.bits = maybe(in.ConsumeIntegral<int32_t>());
    s.captureMicrophone = maybe(in.ConsumeBool());
    s.capturePlayback = maybe(in.ConsumeBool());
    s.filterMic = maybe(in.ConsumeBool());
    if (in.ConsumeBool()) {
        const uint64_t bits = in.ConsumeIntegral<uint64_t>();
        double wc = 0;
        std::memcpy(&wc, &bits, sizeof wc);
        s.filterWC = wc;
    }
    s.isCaptureCamera = maybe(in.ConsumeBool());
    s.isOnlyCaptureCamera = maybe(in.ConsumeBool());
    s.device = maybe(in.ConsumeIntegral<int32_t>());
    const int count = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < count; ++i) {
        std::string code;
        for (int k = 0; k < 3; ++k) {
            code += in.ConsumeBool() ? '1' : '0';
        }
        for (int k = 0; k < 3; ++k) {
            code += static_cast<char>('0' + in.ConsumeIntegralInRange(0, 9));
        }
        s.hotkeys.push_back(HotkeyPayload{in.ConsumeIntegral<int32_t>(), code});
    }

    if (s.filterWC && !std::isfinite(*s.filterWC)) {
        std::string out = "untouched";
        FUZZ_CHECK(!SettingsCodec::serialize(s, out) && out == "untouched",
                   "a non-finite coefficient was written: %s", out.c_str());
        return;
    }
    checkRoundTrip(s, "values");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StoreSettings read =
        SettingsCodec::parse(std::string(reinterpret_cast<const char*>(data), size));
    checkUsable(read);
    checkNumbers(data, size, read);
    checkRoundTrip(read, "file");

    checkValuesFromInput(data, size);
    return 0;
}
