#pragma once

#include <map>
#include <string>
#include <vector>

// Options from the process arguments: "-name value" pairs; see ParseCommandLine.
using CommandLineOptions = std::map<std::wstring, std::wstring>;

// args[0] is the program. An argument that begins with '-' and is followed by one that does
// not is an option (one leading '-' removed); anything else is skipped; a later value wins.
CommandLineOptions ParseCommandLine(const std::vector<std::wstring>& args);

// Decimal like _wtoi: leading blanks, an optional sign and digits; anything else gives 0;
// values past the int32 range are clamped to it.
int ParseInt(const std::wstring& text);

// What start-up takes from the options. "none" means the file is not wanted.
struct StartupOptions {
    std::wstring videoPath = L"none";
    std::wstring settingPath = L"none";
    std::wstring cameraPath = L"none";
    std::wstring logPath = L"none";
    int languageIndex = 0;
};

StartupOptions ReadStartupOptions(const CommandLineOptions& options);

// True when an argument is "-h" or "--help". Such an argument is never a value (values do not
// begin with '-'), so no command line that names the files is taken for a request for help.
bool AsksForHelp(const std::vector<std::wstring>& args);

// What "-h" prints: the options, the default hotkeys and the exit codes.
extern const char* const kUsage;

extern const wchar_t* const kNone;
