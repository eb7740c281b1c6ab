#include "platform/TerminationSignals.h"

#include <windows.h>

#include <utility>

#include "platform/MessageLoop.h"

namespace platform {
namespace {

std::function<void()>& handler() {
    static std::function<void()> onRequest;
    return onRequest;
}

// Runs on a thread the system creates for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    MessageLoop::ui().post(handler());
    switch (event) {
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends as soon as this returns: hold on until the program has finished
            // its files and exits by itself (the system gives it a few seconds).
            Sleep(INFINITE);
            return TRUE;
        default:  // Ctrl+C, Ctrl+Break: handled, the program ends in its own time
            return TRUE;
    }
}

}  // namespace

void handleTerminationRequests(std::function<void()> onRequest) {
    handler() = std::move(onRequest);
    SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

}  // namespace platform
