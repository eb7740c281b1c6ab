#pragma once

namespace platform {

// Per-thread services the Windows build needs on its UI thread (COM, the input method
// switch). Where they do not exist they succeed and do nothing.
bool initializeComponents();
void uninitializeComponents();
void disableInputMethod();

}  // namespace platform
