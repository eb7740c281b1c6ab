#pragma once

#include <string>

// Narrow strings are in the system's code page (UTF-8 on Linux); wide strings are what the
// interface holds. Invalid input converts as far as it is valid and never throws.
std::string WideToAnsi(const std::wstring& wide);
std::wstring AnsiToWide(const std::string& narrow);
