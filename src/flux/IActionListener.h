#pragma once

#include <cstdint>

// Receives dispatched actions. The payload is owned by the sender and valid only during the
// call; a listener copies what it keeps.
class IActionListener {
public:
    virtual void onAction(int32_t actionId, void* payload) = 0;

protected:
    ~IActionListener() = default;
};
