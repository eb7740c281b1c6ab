#include "views/ViewWrapper.h"

#include "flux/ActionDispatcher.h"

ViewWrapper::ViewWrapper() {
    static const int32_t kNotifications[] = {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                                             30, 31, 32, 33, 51, 53, 56, 57, 59, 61, 63, 64,
                                             67};
    for (int32_t id : kNotifications) {
        ActionDispatcher::instance().addListener(id, this);
    }
}

void ViewWrapper::onAction(int32_t /*actionId*/, void* /*payload*/) {}

bool ViewWrapper::initWindows(void* /*instance*/) { return true; }
