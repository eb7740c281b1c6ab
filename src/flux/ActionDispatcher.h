#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "flux/IActionListener.h"

// Synchronous publish/subscribe keyed by action id. One per process, UI thread only, so it
// has no lock. Listeners are not owned and are never removed.
class ActionDispatcher {
public:
    static ActionDispatcher& instance();

    // Appends the listener to the id's list; the same listener added twice is called twice.
    void addListener(int32_t actionId, IActionListener* listener);

    // Calls every listener of the id, in the order added, on a copy of the list: a listener
    // added during the dispatch is first called by the next one. Nested dispatches are fine.
    // An exception from a listener propagates to the sender.
    void dispatch(int32_t actionId, void* payload);

    ActionDispatcher() = default;
    ActionDispatcher(const ActionDispatcher&) = delete;
    ActionDispatcher& operator=(const ActionDispatcher&) = delete;

private:
    std::map<int32_t, std::vector<IActionListener*>> listeners_;  // UI thread only
};
