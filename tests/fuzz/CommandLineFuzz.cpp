// The command line comes from whoever starts the recorder. The input is split at NUL bytes into
// arguments, each converted as the program converts its argv. Checked: the rules of the option
// walk (a value never begins with '-', the later value wins, a stray argument changes nothing)
// and the number reading against the C library's.

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "app/CommandLine.h"
#include "platform/Strings.h"

namespace {

using Args = std::vector<std::wstring>;

std::string describe(const CommandLineOptions& options) {
    std::string out;
    for (const auto& [name, value] : options) {
        out += "[" + WideToAnsi(name) + "=" + WideToAnsi(value) + "] ";
    }
    return out;
}

void expectParsed(const Args& args, const CommandLineOptions& expected, const char* change) {
    const CommandLineOptions got = ParseCommandLine(args);
    FUZZ_CHECK(got == expected, "%s: %s instead of %s", change, describe(got).c_str(),
               describe(expected).c_str());
}

void checkWalk(const Args& args, const CommandLineOptions& options) {
    for (const auto& [name, value] : options) {
        FUZZ_CHECK(value.empty() || value[0] != L'-', "value of %s begins with '-': %s",
                   WideToAnsi(name).c_str(), WideToAnsi(value).c_str());
        // It came from an argument "-name" (not the program's) directly followed by the value.
        bool found = false;
        for (size_t i = 1; i + 1 < args.size() && !found; ++i) {
            found = args[i] == L"-" + name && args[i + 1] == value;
        }
        FUZZ_CHECK(found, "option %s=%s has no source", WideToAnsi(name).c_str(),
                   WideToAnsi(value).c_str());
    }
}

// A pair added at the end wins over everything before it; a pair added at the front loses to
// any later one; a stray argument at the front changes nothing. No earlier argument can take
// "-name" as its value, so none of these shifts how the rest pairs up.
void checkOrder(const Args& args, const CommandLineOptions& options) {
    std::set<std::wstring> names = {L"video", L"-"};
    if (!options.empty()) {
        names.insert(options.begin()->first);
        names.insert(options.rbegin()->first);
    }
    const std::wstring value = L"later.mp4";
    for (const std::wstring& name : names) {
        Args appended = args;
        appended.insert(appended.end(), {L"-" + name, value});
        CommandLineOptions expected = options;
        expected[name] = value;
        expectParsed(appended, expected, "appending a pair");

        Args prepended = {args[0], L"-" + name, value};
        prepended.insert(prepended.end(), args.begin() + 1, args.end());
        expected = options;
        expected.emplace(name, value);  // only where no later pair names it
        expectParsed(prepended, expected, "prepending a pair");
    }
    Args stray = {args[0], L"stray"};
    stray.insert(stray.end(), args.begin() + 1, args.end());
    expectParsed(stray, options, "a stray argument");
}

// ParseInt reads as the C library does, clamped to int32.
void checkParseInt(const std::wstring& text) {
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    const int expected = value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
    FUZZ_CHECK(ParseInt(text) == expected, "ParseInt(%s) = %d, wcstol %d", WideToAnsi(text).c_str(),
               ParseInt(text), expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Args args;
    const std::string all(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
        end = all.find('\0', start);
        args.push_back(AnsiToWide(all.substr(start, end - start)));
    }
    const CommandLineOptions options = ParseCommandLine(args);
    checkWalk(args, options);
    checkOrder(args, options);
    for (const std::wstring& arg : args) {
        checkParseInt(arg);
    }
    // Every wide character value, not only those a conversion produces.
    std::wstring raw(size / sizeof(wchar_t), L'\0');
    std::memcpy(raw.data(), data, raw.size() * sizeof(wchar_t));
    checkParseInt(raw);
    return 0;
}
