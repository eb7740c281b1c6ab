#include "platform/Url.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <vector>

#include "base/Utf8.h"

namespace platform {

bool openUrl(const std::string& url) {
    // Values above 32 mean the shell started the handler.
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

std::string executableDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH);
    while (true) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return ".\\";
        }
        if (n < buffer.size()) {
            std::wstring path(buffer.data(), n);
            return WideToUtf8(path.substr(0, path.find_last_of(L'\\') + 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform
