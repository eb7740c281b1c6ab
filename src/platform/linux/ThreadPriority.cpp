#include "platform/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

bool raiseCurrentThreadPriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) {
        return true;
    }
    // Not permitted: lower the thread's nice value as far as the limits allow.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    for (int nice = -20; nice < 0; ++nice) {
        if (setpriority(PRIO_PROCESS, tid, nice) == 0) {
            return true;
        }
    }
    return false;
}

void setCurrentThreadName(const char* name) {
    char shortName[16] = {};
    for (int i = 0; i < 15 && name[i] != '\0'; ++i) {
        shortName[i] = name[i];
    }
    pthread_setname_np(pthread_self(), shortName);
}

}  // namespace platform
