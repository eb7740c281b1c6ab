#pragma once

#include <cstdint>

#include "flux/IActionListener.h"

// The view side: listens to the Store's notifications and turns them into window updates.
//
// Stand-in until the windows exist: it completes the flow the toolbar and the count-down
// window will own. On CountDownStart it waits three seconds on a UI-loop timer and sends
// CountDownFinished; on RecordingEnded it ends the process with exit code 1; messages meant for
// the alert window go to the log and to standard error. Other notifications are ignored.
class ViewWrapper : public IActionListener {
public:
    // Registers for its notification ids.
    ViewWrapper();

    void onAction(int32_t actionId, void* payload) override;

    // Creates the long-lived windows, hidden. Returns true.
    bool initWindows(void* instance);

    static constexpr uint32_t kCountDownTimer = 1;
    static constexpr uint32_t kCountDownMs = 3000;

private:
    void startCountDown();
    void showMessage(const wchar_t* text);
};
