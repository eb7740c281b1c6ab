#pragma once

#include <cstdint>

namespace platform {

// Millisecond clock with timeGetTime semantics: 32 bits, monotonic, wraps after about 49.7
// days. Readers take differences with unsigned arithmetic so the wrap is harmless.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t nowMs() const = 0;

    // The system's monotonic clock; lives for the whole process.
    static Clock& system();
};

}  // namespace platform
