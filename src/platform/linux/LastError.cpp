#include "platform/LastError.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string lastErrorText() {
    const int error = errno;
    char buffer[256] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

}  // namespace platform
