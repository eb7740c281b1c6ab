#include "platform/ThreadPriority.h"

#include <windows.h>

#include <string>

#include "base/Utf8.h"

namespace platform {

// The sound threads join the multimedia scheduler's "Playback" task, which keeps them running
// on time under load; avrt.dll is looked up, so that a system without the service still
// loads the program. The registration ends with the thread.
bool raiseCurrentThreadPriority() {
    using SetTask = HANDLE(WINAPI*)(LPCWSTR, LPDWORD);
    static const auto setTask = [] {
        HMODULE avrt = LoadLibraryW(L"avrt.dll");
        return avrt == nullptr ? nullptr
                               : reinterpret_cast<SetTask>(reinterpret_cast<void*>(
                                     GetProcAddress(avrt, "AvSetMmThreadCharacteristicsW")));
    }();
    DWORD taskIndex = 0;
    const bool task = setTask != nullptr && setTask(L"Playback", &taskIndex) != nullptr;
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0 ||
           SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST) != 0 || task;
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
