#include "platform/Clock.h"

#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

namespace platform {
namespace {

// timeGetTime itself: milliseconds since the system started, wrapping after about 49.7 days.
class MultimediaClock final : public Clock {
public:
    uint32_t nowMs() const override { return static_cast<uint32_t>(timeGetTime()); }
};

}  // namespace

Clock& Clock::system() {
    static MultimediaClock clock;
    return clock;
}

}  // namespace platform
