#include "flux/ActionDispatcher.h"

ActionDispatcher& ActionDispatcher::instance() {
    // Never destroyed: listeners and senders live until the process ends.
    static ActionDispatcher* dispatcher = new ActionDispatcher();
    return *dispatcher;
}

void ActionDispatcher::addListener(int32_t actionId, IActionListener* listener) {
    listeners_[actionId].push_back(listener);
}

void ActionDispatcher::dispatch(int32_t actionId, void* payload) {
    const auto it = listeners_.find(actionId);
    if (it == listeners_.end()) {
        return;
    }
    const std::vector<IActionListener*> copy = it->second;
    for (IActionListener* listener : copy) {
        listener->onAction(actionId, payload);
    }
}
