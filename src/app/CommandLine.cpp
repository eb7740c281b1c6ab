#include "app/CommandLine.h"

#include <climits>
#include <cwctype>

const wchar_t* const kNone = L"none";

CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& args) {
    CommandLineOptions options;
    if (args.size() < 2) {
        return options;
    }
    size_t i = 1;
    while (i < args.size()) {
        const std::wstring& arg = args[i];
        const bool isName = !arg.empty() && arg[0] == L'-';
        const bool hasValue = i + 1 < args.size() &&
                              (args[i + 1].empty() || args[i + 1][0] != L'-');
        if (isName && hasValue) {
            options[arg.substr(1)] = args[i + 1];
            i += 2;
        } else {
            ++i;
        }
    }
    return options;
}

int ParseInt(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;  // saturate; digits may go on
        }
        ++i;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

StartupOptions ReadStartupOptions(const CommandLineOptions& options) {
    StartupOptions result;
    for (const auto& [name, value] : options) {
        if (name == L"video") {
            result.videoPath = value;
        } else if (name == L"setting") {
            result.settingPath = value;
        } else if (name == L"camera") {
            result.cameraPath = value;
        } else if (name == L"lang") {
            result.languageIndex = ParseInt(value);
        } else if (name == L"log") {
            result.logPath = value;
        }
    }
    return result;
}
