#include "app/CommandLine.h"

#include <climits>
#include <cwctype>

const wchar_t* const kNone = L"none";

const char* const kUsage =
    "Usage: screen-capturer -video FILE [-camera FILE] [-setting FILE] [-lang N] [-log FILE]\n"
    "\n"
    "Records the screen with its sound (and the camera) into FILE. A toolbar chooses the area,\n"
    "the sound sources, the camera and the settings; the program exits once the files are\n"
    "finished.\n"
    "\n"
    "  -video FILE    the video file to write (.mp4, .mov, .mkv, .flv or .avi); required\n"
    "  -camera FILE   record the camera into this file of its own\n"
    "  -setting FILE  settings file (JSON): read at start, written when a recording starts\n"
    "  -lang N        interface language: 0 English (default), any other number Chinese\n"
    "  -log FILE      append a trace of the run to FILE\n"
    "  -h, --help     print this text and exit\n"
    "\n"
    "A FILE of \"none\" means no file. Options not listed here are ignored.\n"
    "Hotkeys (changed in the settings): F8 start, F9 pause or resume, F10 end.\n"
    "\n"
    "Exit status: 1 when a recording ended and its files are finished; 0 without -video\n"
    "or when it ended without recording; -1 (255) when start-up failed.\n";

bool AsksForHelp(const std::vector<std::wstring>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == L"-h" || args[i] == L"--help") {
            return true;
        }
    }
    return false;
}

CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& args) {
    CommandLineOptions options;
    if (args.size() < 2) {
        return options;
    }
    size_t i = 1;
    while (i < args.size()) {
        const std::wstring& arg = args[i];
        const bool isName = !arg.empty() && arg[0] == L'-';
        const bool hasValue =
            i + 1 < args.size() && (args[i + 1].empty() || args[i + 1][0] != L'-');
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
