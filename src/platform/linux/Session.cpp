#include "platform/Session.h"

namespace platform {

// Nothing on Linux needs a per-thread component runtime or an input method switch.
bool initializeComponents() { return true; }
void uninitializeComponents() {}
void disableInputMethod() {}

}  // namespace platform
