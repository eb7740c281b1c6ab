#include "platform/ProcessArguments.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

namespace platform {

std::vector<std::wstring> processArguments(int, char**) {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (list == nullptr) {
        return args;
    }
    args.assign(list, list + count);
    LocalFree(list);
    return args;
}

}  // namespace platform
