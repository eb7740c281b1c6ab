#include "platform/windows/ThreadComponents.h"

#include <objbase.h>

namespace platform {

void ensureThreadComponents() {
    struct ThreadComponents {
        bool owned = false;
        ThreadComponents() { owned = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
        ~ThreadComponents() {
            if (owned) {
                CoUninitialize();
            }
        }
    };
    thread_local ThreadComponents components;
}

}  // namespace platform
