#include "flux/LogLastError.h"

#include <string>

#include "base/Log.h"
#include "platform/LastError.h"

void LogLastError(const char* marker) {
    // Taken first: writing the marker may itself change the last error.
    const std::string text = platform::lastErrorText();
    SC_LOG("Store", "%s", marker);
    SC_LOG("Store", "%s", text.c_str());
}
