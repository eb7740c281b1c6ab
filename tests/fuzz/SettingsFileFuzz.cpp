// The settings reader takes whatever bytes are in the file. Besides not crashing, what it reads
// must be what the rest of the program can use (values inside their tables, keycodes a key
// press can produce), its numbers must be those the text spells (checked against RapidJSON's
// own reading and the C library's conversion), and what it writes must read back as the same
// file: the file is rewritten before every recording, so anything lost there is lost for good.

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <utility>

#include "FuzzCheck.h"
#include "flux/SettingsCodec.h"
#include "flux/StoreTables.h"

namespace {

using Value = rapidjson::Value;

// What the rest of the program relies on in anything read from a file.
void checkUsable(const StoreSettings& s) {
    FUZZ_CHECK(!s.quality || StoreTables::isQuality(*s.quality), "quality %d", *s.quality);
    FUZZ_CHECK(!s.fps || StoreTables::isFrameRateIndex(*s.fps), "fps %d", *s.fps);
    for (const auto& style : {s.pointStyle, s.pressStyle, s.shapeStyle}) {
        FUZZ_CHECK(!style || StoreTables::isStyle(*style), "style %d", *style);
    }
    FUZZ_CHECK(!s.filterWC || std::isfinite(*s.filterWC), "filterWC %g", *s.filterWC);
    static const std::regex keycode("[01]{3}[0-9]{3}");
    for (const HotkeyPayload& h : s.hotkeys) {
        FUZZ_CHECK(std::regex_match(h.keycode, keycode), "keycode \"%s\" (%zu bytes)",
                   h.keycode.c_str(), h.keycode.size());
    }
}

// A document whose numbers do not all fit a double is malformed to the reader.
struct NumbersFit : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, NumbersFit> {
    bool RawNumber(const char* text, rapidjson::SizeType, bool) {
        fit = fit && !std::isinf(std::strtod(text, nullptr));
        return true;
    }
    bool fit = true;
};

// The same bytes as RapidJSON reads them: with its own types, which tell a number from a string
// and read integers exactly; with numbers as their text, for strtod (the same shape); and
// whether every number fits a double.
struct Reference {
    rapidjson::Document typed;
    rapidjson::Document text;
    bool valid = false;  // a JSON object whose numbers all fit a double

    Reference(const uint8_t* data, size_t size) {
        constexpr unsigned kText =
            rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
        const auto bytes = [&] {
            return rapidjson::MemoryStream(reinterpret_cast<const char*>(data), size);
        };
        auto a = bytes(), b = bytes(), c = bytes();
        typed.ParseStream<rapidjson::kParseIterativeFlag>(a);
        text.ParseStream<kText>(b);
        NumbersFit numbers;
        rapidjson::Reader().Parse<kText>(c, numbers);
        valid = !typed.HasParseError() && typed.IsObject() && numbers.fit;
    }

    // The member object.name (or name at the top) when it is a number, typed and as text.
    std::optional<std::pair<const Value*, const char*>> number(const char* object,
                                                               const char* name) const {
        const Value* v = find(typed, object, name);
        if (!v || !v->IsNumber()) {
            return std::nullopt;
        }
        return std::make_pair(v, find(text, object, name)->GetString());
    }

private:
    static const Value* find(const Value& root, const char* object, const char* name) {
        const Value* parent = &root;
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
};

// An integer member holds what RapidJSON reads as an int32 inside the member's table, and
// nothing otherwise (a fraction, an exponent or a wider number).
void checkInteger(const Reference& ref, const char* object, const char* name,
                  const std::optional<int32_t>& got, bool (*valid)(int32_t) = nullptr) {
    std::optional<int32_t> expected;
    if (const auto n = ref.number(object, name)) {
        if (n->first->IsInt() && (!valid || valid(n->first->GetInt()))) {
            expected = n->first->GetInt();
        }
    }
    FUZZ_CHECK(got == expected, "%s.%s: read %s, expected %s", object ? object : "", name,
               got ? std::to_string(*got).c_str() : "nothing",
               expected ? std::to_string(*expected).c_str() : "nothing");
}

void checkNumbers(const uint8_t* data, size_t size, const StoreSettings& read) {
    const Reference ref(data, size);
    if (!ref.valid) {
        std::string written, empty;
        SettingsCodec::serialize(read, written);
        SettingsCodec::serialize(StoreSettings{}, empty);
        FUZZ_CHECK(written == empty && !read.isCapture,
                   "values read from a document that is not a valid object: %s", written.c_str());
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

    // An integer's value is exact in RapidJSON ("-0" is a zero without sign); any other number
    // is what strtod makes of its text, sign of zero included.
    std::optional<double> expected;
    if (const auto n = ref.number("audio", "filterWC")) {
        expected = n->first->IsDouble() ? std::strtod(n->second, nullptr) : n->first->GetDouble();
    }
    FUZZ_CHECK(read.filterWC == expected &&
                   (!expected || std::signbit(*read.filterWC) == std::signbit(*expected)),
               "filterWC: read %.17g, expected %.17g", read.filterWC.value_or(-1),
               expected.value_or(-1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StoreSettings read =
        SettingsCodec::parse(std::string(reinterpret_cast<const char*>(data), size));
    checkUsable(read);
    checkNumbers(data, size, read);

    // Written and read back, the values make the same file again.
    std::string written, again;
    FUZZ_CHECK(SettingsCodec::serialize(read, written), "values read could not be written");
    FUZZ_CHECK(SettingsCodec::serialize(SettingsCodec::parse(written), again) && again == written,
               "read back differently:\n    %s\n    %s", written.c_str(), again.c_str());
    return 0;
}
