#include "flux/Store.h"

#include "app/Log.h"
#include "flux/ActionDispatcher.h"

Store& Store::instance() {
    static Store* store = new Store();
    return *store;
}

Store::Store() {
    // The order of registration is part of the contract with the dispatcher.
    static const int32_t kRequests[] = {17, 39, 40, 44, 41, 42, 43, 1,  2,  3,  4,  5,  6,
                                        7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 46, 48, 49,
                                        50, 58, 60, 62, 66, 45};
    for (int32_t id : kRequests) {
        ActionDispatcher::instance().addListener(id, this);
    }
}

void Store::onAction(int32_t /*actionId*/, void* /*payload*/) {
    // Requests are accepted but not yet acted on.
}

void Store::init() {}
