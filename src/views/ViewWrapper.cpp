#include "views/ViewWrapper.h"

#include <cstdio>

#include "base/Log.h"
#include "flux/ActionDispatcher.h"
#include "flux/ActionPayloads.h"
#include "flux/Actions.h"
#include "platform/MessageLoop.h"
#include "platform/Strings.h"

ViewWrapper::ViewWrapper() {
    static const int32_t kNotifications[] = {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
                                             30, 31, 32, 33, 51, 53, 56, 57, 59, 61, 63, 64,
                                             67};
    for (int32_t id : kNotifications) {
        ActionDispatcher::instance().addListener(id, this);
    }
}

void ViewWrapper::onAction(int32_t actionId, void* payload) {
    switch (actionId) {
        case Action::CountDownStart:
            startCountDown();
            break;
        case Action::RecordingEnded:
            // The files are finished when this arrives; the process ends with code 1.
            platform::MessageLoop::ui().quit(1);
            break;
        case Action::ShowMessage:
            showMessage(*static_cast<const wchar_t* const*>(payload));
            break;
        case Action::ShowMessageWithLink:
            showMessage(static_cast<const MessageWithLinkPayload*>(payload)->text);
            break;
        default:
            break;
    }
}

bool ViewWrapper::initWindows(void* /*instance*/) { return true; }

void ViewWrapper::startCountDown() {
    platform::MessageLoop& loop = platform::MessageLoop::ui();
    loop.setTimer(kCountDownTimer, kCountDownMs, [&loop] {
        loop.killTimer(kCountDownTimer);
        ActionDispatcher::instance().dispatch(Action::CountDownFinished, nullptr);
    });
}

void ViewWrapper::showMessage(const wchar_t* text) {
    const std::string narrow = WideToAnsi(text != nullptr ? text : L"");
    SC_LOG("ViewWrapper", "Message: %s", narrow.c_str());
    std::fprintf(stderr, "%s\n", narrow.c_str());
    std::fflush(stderr);
}
