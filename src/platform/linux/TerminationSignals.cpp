#include "platform/TerminationSignals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>
#include <utility>

#include "platform/MessageLoop.h"

namespace platform {

void handleTerminationRequests(std::function<void()> onRequest) {
    // Blocked here, before other threads exist, the signals stay blocked in every thread made
    // later (they inherit the mask), so only the waiting thread below ever takes them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A file that reaches the size limit must fail the write (the recorder then finishes the
    // file) rather than end the process on the spot.
    signal(SIGXFSZ, SIG_IGN);

    std::thread([set, onRequest = std::move(onRequest)] {
        pthread_setname_np(pthread_self(), "signals");
        while (true) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) {
                MessageLoop::ui().post(onRequest);
            }
        }
    }).detach();
}

}  // namespace platform
