#include "flux/SettingsFile.h"

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "base/Log.h"
#include "flux/LogLastError.h"
#include "flux/StoreTables.h"
#include "platform/FileReplacer.h"
#include "platform/Strings.h"

namespace {

using Value = rapidjson::Value;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The whole file, or nothing when it cannot be opened for reading (missing, no permission).
// A read error part-way gives what was read, which then does not parse.
std::optional<std::string> readWholeFile(const std::wstring& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(WideToAnsi(path).c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, n);
    }
    if (std::ferror(file.get())) {
        bytes.clear();
    }
    return bytes;
}

// Whether a number that a double cannot hold is too small rather than too large: its first
// significant digit stands at a negative power of ten. text is a valid JSON number.
bool belowDoubleRange(const char* text, const char* end) {
    const char* p = text;
    if (p < end && *p == '-') {
        ++p;
    }
    const char* integerPart = p;
    while (p < end && *p >= '0' && *p <= '9') {
        ++p;
    }
    const char* firstNonZero = std::find_if(integerPart, p, [](char c) { return c != '0'; });
    long long power = 0;  // of the first significant digit, before the exponent
    bool found = firstNonZero != p;
    if (found) {
        power = p - firstNonZero - 1;
    }
    if (p < end && *p == '.') {
        ++p;
        for (long long place = -1; p < end && *p >= '0' && *p <= '9'; ++p, --place) {
            if (!found && *p != '0') {
                found = true;
                power = place;
            }
        }
    }
    long long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) {
            ++p;
        }
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            exponent = std::min(exponent * 10 + (*p - '0'), static_cast<long long>(INT_MAX));
        }
        if (negative) {
            exponent = -exponent;
        }
    }
    return found && power + exponent < 0;
}

// Builds the document with every number converted from its text by std::from_chars, which is
// exact. RapidJSON 1.1.0's own exact conversion fails at the edges: "0e40" reads as a huge
// garbage value, "1.8e308" as NaN, "2e-324" rounds the wrong way. Integers become the same
// values RapidJSON makes; a number beyond the double range makes the document malformed (as
// RapidJSON does for "1e400"), one below it is a zero of its sign (as RapidJSON does for
// "1e-400").
class ExactNumbers {
  public:
    explicit ExactNumbers(rapidjson::Document& doc) : doc_(doc) {}

    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        const char* end = text + length;
        const bool integral =
            std::find_if(text, end, [](char c) { return c == '.' || c == 'e' || c == 'E'; }) == end;
        if (integral) {
            int64_t i = 0;
            if (converted(std::from_chars(text, end, i), end)) {
                return doc_.Int64(i);
            }
            uint64_t u = 0;
            if (converted(std::from_chars(text, end, u), end)) {
                return doc_.Uint64(u);
            }
        }
        double d = 0;
        const std::from_chars_result r = std::from_chars(text, end, d);
        if (converted(r, end)) {
            return doc_.Double(d);
        }
        if (r.ec == std::errc::result_out_of_range && r.ptr == end && belowDoubleRange(text, end)) {
            return doc_.Double(*text == '-' ? -0.0 : 0.0);
        }
        return false;
    }

    // Everything else goes to the document as it is.
    bool Null() { return doc_.Null(); }
    bool Bool(bool b) { return doc_.Bool(b); }
    bool Int(int i) { return doc_.Int(i); }
    bool Uint(unsigned u) { return doc_.Uint(u); }
    bool Int64(int64_t i) { return doc_.Int64(i); }
    bool Uint64(uint64_t u) { return doc_.Uint64(u); }
    bool Double(double d) { return doc_.Double(d); }
    bool String(const char* s, rapidjson::SizeType n, bool copy) { return doc_.String(s, n, copy); }
    bool StartObject() { return doc_.StartObject(); }
    bool Key(const char* s, rapidjson::SizeType n, bool copy) { return doc_.Key(s, n, copy); }
    bool EndObject(rapidjson::SizeType members) { return doc_.EndObject(members); }
    bool StartArray() { return doc_.StartArray(); }
    bool EndArray(rapidjson::SizeType elements) { return doc_.EndArray(elements); }

  private:
    static bool converted(const std::from_chars_result& r, const char* end) {
        return r.ec == std::errc() && r.ptr == end;
    }

    rapidjson::Document& doc_;
};

const Value* member(const Value* object, const char* name) {
    if (!object || !object->IsObject()) {
        return nullptr;
    }
    const auto it = object->FindMember(name);
    return it == object->MemberEnd() ? nullptr : &it->value;
}

const Value* objectMember(const Value* object, const char* name) {
    const Value* v = member(object, name);
    return v && v->IsObject() ? v : nullptr;
}

// A number without fraction or exponent that fits 32 signed bits.
std::optional<int32_t> intMember(const Value* object, const char* name) {
    const Value* v = member(object, name);
    if (v && v->IsInt()) {
        return v->GetInt();
    }
    return std::nullopt;
}

// Only values inside the table are taken, so nothing downstream indexes past one.
std::optional<int32_t> intMemberIn(const Value* object, const char* name, bool (*valid)(int32_t)) {
    const std::optional<int32_t> v = intMember(object, name);
    return v && valid(*v) ? v : std::nullopt;
}

// true/false, or an integer where 1 and above means on.
std::optional<bool> flagMember(const Value* object, const char* name) {
    const Value* v = member(object, name);
    if (v && v->IsBool()) {
        return v->GetBool();
    }
    if (v && v->IsInt()) {
        return v->GetInt() >= 1;
    }
    return std::nullopt;
}

std::optional<double> numberMember(const Value* object, const char* name) {
    const Value* v = member(object, name);
    if (v && v->IsNumber()) {
        return v->GetDouble();
    }
    return std::nullopt;
}

// The only codes a key press can produce: three modifier flags and three decimal digits. Any
// other string could never match a key and would break the code's display text.
bool isKeycode(const Value& v) {
    if (!v.IsString() || v.GetStringLength() != 6) {
        return false;
    }
    const char* s = v.GetString();
    for (int i = 0; i < 3; ++i) {
        if (s[i] != '0' && s[i] != '1') {
            return false;
        }
    }
    for (int i = 3; i < 6; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
    }
    return true;
}

// The shortest text that reads back as the same double, with ".0" after an integral value so
// that it stays a double when read again (1.0, not 1). JSON has no NaN or infinity.
bool shortestDouble(double value, std::string& text) {
    if (!std::isfinite(value)) {
        return false;
    }
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (r.ec != std::errc()) {
        return false;
    }
    text.assign(buffer, r.ptr);
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return true;
}

}  // namespace

SettingsFile::SettingsFile(std::wstring path) : path_(std::move(path)) {}

StoreSettings SettingsFile::parse(const std::string& bytes) {
    StoreSettings out;
    rapidjson::Document doc;
    // Iterative parsing, so a deeply nested file cannot exhaust the stack; numbers as text, so
    // that every double is converted exactly and reads back as the one written. The plain
    // memory stream does not skip a byte-order mark (the encoded streams would), and like a
    // file stream it ends at a NUL.
    rapidjson::MemoryStream stream(bytes.data(), bytes.size());
    ExactNumbers numbers(doc);
    rapidjson::Reader reader;
    auto fill = [&](rapidjson::Document&) {
        constexpr unsigned kFlags =
            rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
        return !reader.Parse<kFlags>(stream, numbers).IsError();
    };
    doc.Populate(fill);  // the document stays null when the text does not parse
    if (!doc.IsObject()) {
        return out;
    }
    const Value* root = &doc;

    out.quality = intMemberIn(root, "quality", &StoreTables::isQuality);

    if (const Value* mouse = objectMember(root, "mouse")) {
        out.pointStyle = intMemberIn(mouse, "pointStyle", &StoreTables::isStyle);
        out.pressStyle = intMemberIn(mouse, "pressStyle", &StoreTables::isStyle);
        out.shapeStyle = intMemberIn(mouse, "shapeStyle", &StoreTables::isStyle);
    }

    if (const Value* video = objectMember(root, "video")) {
        out.isCapture = flagMember(video, "isCapture");
        if (const Value* rect = objectMember(video, "captureRect")) {
            Rect r;
            r.left = intMember(rect, "left").value_or(0);
            r.top = intMember(rect, "top").value_or(0);
            r.right = intMember(rect, "right").value_or(0);
            r.bottom = intMember(rect, "bottom").value_or(0);
            out.captureRect = r;
        }
        out.videoBitrate = intMember(video, "bitrate");
        out.fps = intMemberIn(video, "fps", &StoreTables::isFrameRateIndex);
        out.captureMethod = intMember(video, "captureMethod");
    }

    if (const Value* audio = objectMember(root, "audio")) {
        out.sampleRate = intMember(audio, "sampleRate");
        out.audioBitrate = intMember(audio, "bitrate");
        out.channels = intMember(audio, "channels");
        out.bits = intMember(audio, "bits");
        out.captureMicrophone = flagMember(audio, "captureMicrophone");
        out.capturePlayback = flagMember(audio, "capturePlayback");
        out.filterMic = flagMember(audio, "filterMic");
        out.filterWC = numberMember(audio, "filterWC");
    }

    if (const Value* camera = objectMember(root, "camera")) {
        out.isCaptureCamera = flagMember(camera, "isCaptureCamera");
        out.isOnlyCaptureCamera = flagMember(camera, "isOnlyCaptureCamera");
        out.device = intMember(camera, "device");
    }

    const Value* hotkeys = member(root, "hotkey");
    if (hotkeys && hotkeys->IsArray()) {
        for (const Value& element : hotkeys->GetArray()) {
            const std::optional<int32_t> action = intMember(&element, "action");
            const Value* keycode = member(&element, "keycode");
            if (action && keycode && isKeycode(*keycode)) {
                out.hotkeys.push_back(HotkeyPayload{*action, keycode->GetString()});
            }
        }
    }
    return out;
}

bool SettingsFile::serialize(const StoreSettings& v, std::string& out) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    bool ok = true;
    auto key = [&](const char* name) { ok = w.Key(name) && ok; };
    // Integers are written signed even where only non-negative values make sense, so that a
    // negative value reads back as itself instead of as a number above 2^31 that is then
    // ignored; for every other value the bytes are the same.
    auto integer = [&](const char* name, const std::optional<int32_t>& x) {
        if (x) {
            key(name);
            ok = w.Int(*x) && ok;
        }
    };
    auto numberFlag = [&](const char* name, const std::optional<bool>& x) {
        if (x) {
            key(name);
            ok = w.Int(*x ? 1 : 0) && ok;
        }
    };
    auto boolean = [&](const char* name, const std::optional<bool>& x) {
        if (x) {
            key(name);
            ok = w.Bool(*x) && ok;
        }
    };
    auto real = [&](const char* name, const std::optional<double>& x) {
        if (x) {
            key(name);
            std::string text;
            ok = shortestDouble(*x, text) && ok;
            ok = w.RawValue(text.data(), text.size(), rapidjson::kNumberType) && ok;
        }
    };

    w.StartObject();
    integer("quality", v.quality);

    key("mouse");
    w.StartObject();
    integer("pointStyle", v.pointStyle);
    integer("pressStyle", v.pressStyle);
    integer("shapeStyle", v.shapeStyle);
    w.EndObject();

    key("video");
    w.StartObject();
    if (v.captureRect) {
        key("captureRect");
        w.StartObject();
        integer("left", v.captureRect->left);
        integer("top", v.captureRect->top);
        integer("right", v.captureRect->right);
        integer("bottom", v.captureRect->bottom);
        w.EndObject();
    }
    integer("bitrate", v.videoBitrate);
    integer("fps", v.fps);
    integer("captureMethod", v.captureMethod);
    w.EndObject();

    key("audio");
    w.StartObject();
    integer("sampleRate", v.sampleRate);
    integer("bitrate", v.audioBitrate);
    integer("channels", v.channels);
    integer("bits", v.bits);
    numberFlag("captureMicrophone", v.captureMicrophone);
    numberFlag("capturePlayback", v.capturePlayback);
    numberFlag("filterMic", v.filterMic);
    real("filterWC", v.filterWC);
    w.EndObject();

    key("camera");
    w.StartObject();
    boolean("isCaptureCamera", v.isCaptureCamera);
    boolean("isOnlyCaptureCamera", v.isOnlyCaptureCamera);
    integer("device", v.device);
    w.EndObject();

    std::vector<HotkeyPayload> hotkeys = v.hotkeys;
    std::stable_sort(
        hotkeys.begin(), hotkeys.end(),
        [](const HotkeyPayload& a, const HotkeyPayload& b) { return a.action < b.action; });
    key("hotkey");
    w.StartArray();
    for (const HotkeyPayload& h : hotkeys) {
        w.StartObject();
        integer("action", h.action);
        key("keycode");
        ok = w.String(h.keycode.data(), static_cast<rapidjson::SizeType>(h.keycode.size())) && ok;
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();

    if (!ok || !w.IsComplete()) {
        return false;
    }
    out.assign(buffer.GetString(), buffer.GetSize());
    return true;
}

void SettingsFile::apply(const StoreSettings& v, ISettingsTarget& t) {
    if (v.quality) {
        t.setQuality(*v.quality);
    }

    if (v.isCapture) {
        t.setIsCapture(*v.isCapture);
    }
    if (v.captureRect) {
        t.setLoadedRect(*v.captureRect);
    }
    if (v.videoBitrate) {
        t.setVideoBitrate(*v.videoBitrate);
    }
    if (v.fps) {
        t.setFrameRate(*v.fps);
    }
    if (v.captureMethod) {
        t.setCaptureMethod(*v.captureMethod);
    }

    if (v.sampleRate) {
        t.setSampleRate(*v.sampleRate);
    }
    if (v.audioBitrate) {
        t.setAudioBitrate(*v.audioBitrate);
    }
    if (v.channels) {
        t.setChannels(*v.channels);
    }
    if (v.bits) {
        t.setBits(*v.bits);
    }
    if (v.captureMicrophone) {
        t.setCaptureMicrophone(*v.captureMicrophone);
    }
    if (v.capturePlayback) {
        t.setCapturePlayback(*v.capturePlayback);
    }
    if (v.filterMic) {
        t.setFilterMic(*v.filterMic);
    }
    if (v.filterWC) {
        t.setFilterCoefficient(*v.filterWC);
    }

    if (v.isCaptureCamera) {
        t.setCaptureCamera(*v.isCaptureCamera);
    }
    if (v.isOnlyCaptureCamera) {
        t.setOnlyCaptureCamera(*v.isOnlyCaptureCamera);
    }
    if (v.device) {
        t.selectCameraDevice(*v.device);
    }

    for (const HotkeyPayload& h : v.hotkeys) {
        t.setHotkey(h);
    }

    if (v.pointStyle) {
        t.setPointStyle(*v.pointStyle);
    }
    if (v.shapeStyle) {
        t.setShapeStyle(*v.shapeStyle);
    }
    if (v.pressStyle) {
        t.setPressStyle(*v.pressStyle);
    }
}

StoreSettings SettingsFile::read() const {
    if (isNone()) {
        return {};
    }
    try {
        const std::optional<std::string> bytes = readWholeFile(path_);
        return bytes ? parse(*bytes) : StoreSettings{};
    } catch (...) {
        // Out of memory on an absurd file: keep the defaults.
        return {};
    }
}

void SettingsFile::load(ISettingsTarget& target) const {
    if (isNone()) {
        return;
    }
    StoreSettings values;
    try {
        const std::optional<std::string> bytes = readWholeFile(path_);
        if (!bytes) {
            return;  // a missing file is not an error: the defaults stay
        }
        SC_LOG("Store", "Start reading setting");
        values = parse(*bytes);
    } catch (...) {
        return;
    }
    apply(values, target);
    SC_LOG("Store", "Complete reading setting");
}

int32_t SettingsFile::save(const StoreSettings& values) const {
    if (isNone()) {
        return kNothingDone;
    }
    try {
        SC_LOG("Store", "Start saving setting");
        std::string bytes;
        if (!serialize(values, bytes)) {
            SC_LOG("Store", "Setting not saved: a value cannot be written");
            return kFailed;
        }

        // The new content goes to a file of its own first; only a complete one replaces the
        // old file, so a failure at any step leaves the previous settings readable.
        platform::FileReplacer file(path_);
        LogLastError("1");
        const bool opened = file.begin();
        LogLastError("2");
        if (!opened) {
            SC_LOG("Store", "Setting not saved: cannot create a file next to it");
            return kFailed;
        }
        LogLastError("3");
        LogLastError("4");
        const bool written = file.write(bytes.data(), bytes.size());
        LogLastError("5");
        const bool committed = written && file.commit();
        LogLastError("6");
        if (!committed) {
            SC_LOG("Store", "Setting not saved: the old file is kept");
            return kFailed;
        }
        SC_LOG("Store", "Complete saving setting");
        return kOk;
    } catch (...) {
        SC_LOG("Store", "%s", "");
        return kFailed;
    }
}
