#include "engine/CursorState.h"

CursorState& CursorState::instance() {
    static CursorState* state = new CursorState();  // lives until the process ends
    return *state;
}
