#include "platform/ThreadPriority.h"

#include <windows.h>

#include <string>

#include "base/Utf8.h"

namespace platform {

bool raiseCurrentThreadPriority() {
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0 ||
           SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0;
}

void setCurrentThreadName(const char* name) {
    // SetThreadDescription exists from Windows 10 1607 on; looked up, so that older systems
    // still load the program.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (setDescription != nullptr) {
        setDescription(GetCurrentThread(), Utf8ToWide(name).c_str());
    }
}

}  // namespace platform
