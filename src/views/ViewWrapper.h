#pragma once

#include <cstdint>

#include "flux/IActionListener.h"

// The view side: listens to the Store's notifications and turns them into window updates.
// The windows do not exist yet; for now it registers for its notifications and ignores them.
class ViewWrapper : public IActionListener {
public:
    // Registers for its notification ids.
    ViewWrapper();

    void onAction(int32_t actionId, void* payload) override;

    // Creates the long-lived windows, hidden. Returns true.
    bool initWindows(void* instance);
};
