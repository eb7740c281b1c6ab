#include "platform/Strings.h"

#include "base/Utf8.h"

// UTF-8 is the code page of a Linux desktop; the conversions do not depend on the process
// locale.

std::string WideToAnsi(const std::wstring& wide) {
    return WideToUtf8(wide);
}

std::wstring AnsiToWide(const std::string& narrow) {
    return Utf8ToWide(narrow);
}
