#pragma once

namespace platform {

// Best effort: asks for the highest scheduling priority the system grants the calling thread
// (real-time where permitted, else the lowest nice value). Returns whether anything was raised.
bool raiseCurrentThreadPriority();

// Names the calling thread for debuggers and ps (truncated to what the system keeps).
void setCurrentThreadName(const char* name);

}  // namespace platform
