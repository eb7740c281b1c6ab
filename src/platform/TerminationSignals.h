#pragma once

#include <functional>

namespace platform {

// Turns the system's requests to end the program (SIGTERM, SIGINT, SIGHUP on POSIX; console
// close on Windows) into a call of `onRequest` on the UI thread, so the program can finish its
// files instead of dying mid-write. Call once at start-up, before any other thread exists.
void handleTerminationRequests(std::function<void()> onRequest);

}  // namespace platform
