#include "flux/InputRouter.h"

#include "engine/CursorState.h"
#include "flux/ActionDispatcher.h"
#include "flux/Actions.h"
#include "input/InputManager.h"
#include "platform/InputHooks.h"

InputRouter::InputRouter(ActionDispatcher& dispatcher, CursorState& cursor)
    : dispatcher_(dispatcher), cursor_(cursor) {}

InputRouter& InputRouter::instance() {
    static InputRouter* router =
        new InputRouter(ActionDispatcher::instance(), CursorState::instance());
    return *router;  // lives until the process ends, like the hooks that call it
}

InputManager& InputRouter::manager() {
    static InputManager* manager = new InputManager(platform::InputHooks::system(), instance());
    return *manager;  // lives until the process ends, like the hooks it owns
}

void InputRouter::keyDown(std::string keycode) {
    // The Store handles it before dispatch returns; the local outlives every listener's use.
    dispatcher_.dispatch(Action::HotkeyPressed, &keycode);
}

void InputRouter::mouseEvent(int32_t x, int32_t y, bool leftButtonDown) {
    cursor_.x.store(x);
    cursor_.y.store(y);
    cursor_.pressed.store(leftButtonDown ? 1 : 0);
}
