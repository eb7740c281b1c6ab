// The command line comes from whoever starts the recorder. The input is split at NUL bytes into
// arguments, each converted as the program converts its argv. Checked: the rules of the option
// walk (a value never begins with '-', the later value wins, a stray argument changes nothing),
// what start-up takes from the options, and the number reading against two references.

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/CommandLine.h"
#include "platform/Strings.h"

namespace {

std::string narrow(const std::wstring& text) {
    return WideToAnsi(text);
}

std::string describe(const CommandLineOptions& options) {
    std::string out;
    for (const auto& [name, value] : options) {
        out += "[" + narrow(name) + "=" + narrow(value) + "] ";
    }
    return out;
}

std::vector<std::wstring> splitArguments(const uint8_t* data, size_t size) {
    std::vector<std::wstring> args;
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(AnsiToWide(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(AnsiToWide(current));
    return args;
}

void checkWalk(const std::vector<std::wstring>& args, const CommandLineOptions& options) {
    if (args.size() < 2) {
        FUZZ_CHECK(options.empty(), "%zu arguments gave %s", args.size(),
                   describe(options).c_str());
        return;
    }
    for (const auto& [name, value] : options) {
        FUZZ_CHECK(value.empty() || value[0] != L'-', "value of %s begins with '-': %s",
                   narrow(name).c_str(), narrow(value).c_str());
        // It came from an argument "-name" directly followed by the value.
        const std::wstring argument = L"-" + name;
        bool found = false;
        for (size_t i = 1; i + 1 < args.size() && !found; ++i) {
            found = args[i] == argument && args[i + 1] == value;
        }
        FUZZ_CHECK(found, "option %s=%s has no source", narrow(name).c_str(),
                   narrow(value).c_str());
    }
}

// A pair added at the end wins over everything before it; a pair added at the front loses to
// any later one; a stray argument at the front changes nothing. No earlier argument can take
// "-name" as its value, so none of these shifts how the rest pairs up.
void checkOrder(const std::vector<std::wstring>& args, const CommandLineOptions& options) {
    if (args.empty()) {
        return;
    }
    std::set<std::wstring> names = {L"video", L"-"};
    if (!options.empty()) {
        names.insert(options.begin()->first);
        names.insert(options.rbegin()->first);
    }
    const std::wstring value = L"later.mp4";
    for (const std::wstring& name : names) {
        std::vector<std::wstring> appended = args;
        appended.push_back(L"-" + name);
        appended.push_back(value);
        CommandLineOptions expected = options;
        expected[name] = value;
        const CommandLineOptions got = ParseCommandLine(appended);
        FUZZ_CHECK(got == expected, "appending -%s: %s instead of %s", narrow(name).c_str(),
                   describe(got).c_str(), describe(expected).c_str());

        std::vector<std::wstring> prepended = {args[0], L"-" + name, value};
        prepended.insert(prepended.end(), args.begin() + 1, args.end());
        expected = options;
        expected.emplace(name, value);  // only where no later pair names it
        const CommandLineOptions front = ParseCommandLine(prepended);
        FUZZ_CHECK(front == expected, "prepending -%s: %s instead of %s", narrow(name).c_str(),
                   describe(front).c_str(), describe(expected).c_str());
    }
    std::vector<std::wstring> stray = {args[0], L"stray"};
    stray.insert(stray.end(), args.begin() + 1, args.end());
    const CommandLineOptions withStray = ParseCommandLine(stray);
    FUZZ_CHECK(withStray == options, "a stray argument changed %s into %s",
               describe(options).c_str(), describe(withStray).c_str());
}

void checkStartup(const CommandLineOptions& options) {
    const StartupOptions startup = ReadStartupOptions(options);
    const auto expect = [&options](const wchar_t* name) {
        const auto it = options.find(name);
        return it == options.end() ? std::wstring(L"none") : it->second;
    };
    FUZZ_CHECK(startup.videoPath == expect(L"video"), "video");
    FUZZ_CHECK(startup.settingPath == expect(L"setting"), "setting");
    FUZZ_CHECK(startup.cameraPath == expect(L"camera"), "camera");
    FUZZ_CHECK(startup.logPath == expect(L"log"), "log");
    const auto lang = options.find(L"lang");
    const int language = lang == options.end() ? 0 : ParseInt(lang->second);
    FUZZ_CHECK(startup.languageIndex == language, "lang %d, expected %d", startup.languageIndex,
               language);
}

// Blanks, a sign and digits read as the decimal number they spell, clamped to int32; the
// clamping done by comparing digit strings rather than by arithmetic.
int referenceParseInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    std::string digits;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (!digits.empty() || text[i] != L'0') {
            digits.push_back(static_cast<char>(text[i]));
        }
    }
    const std::string limit = negative ? "2147483648" : "2147483647";
    if (digits.size() > limit.size() || (digits.size() == limit.size() && digits >= limit)) {
        return negative ? INT_MIN : INT_MAX;
    }
    long long value = 0;
    for (char d : digits) {
        value = value * 10 + (d - '0');
    }
    return static_cast<int>(negative ? -value : value);
}

// The C library's reading of the same text, clamped to int32.
int libraryParseInt(const std::wstring& text) {
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

void checkParseInt(const std::wstring& text) {
    const int got = ParseInt(text);
    FUZZ_CHECK(got == referenceParseInt(text), "ParseInt(%s) = %d, reference %d",
               narrow(text).c_str(), got, referenceParseInt(text));
    FUZZ_CHECK(got == libraryParseInt(text), "ParseInt(%s) = %d, wcstol %d", narrow(text).c_str(),
               got, libraryParseInt(text));
}

// Every wide character value, not only those a conversion produces.
std::wstring rawWide(const uint8_t* data, size_t size) {
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> args = splitArguments(data, size);
    const CommandLineOptions options = ParseCommandLine(args);
    checkWalk(args, options);
    checkOrder(args, options);
    checkStartup(options);
    for (const std::wstring& arg : args) {
        checkParseInt(arg);
    }
    checkParseInt(rawWide(data, size));
    return 0;
}
