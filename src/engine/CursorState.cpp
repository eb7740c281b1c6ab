#include "engine/CursorState.h"

#include "engine/GDIBitmap.h"

CursorState::CursorState() = default;
CursorState::~CursorState() = default;

CursorState& CursorState::instance() {
    static CursorState* state = new CursorState();  // lives until the process ends
    return *state;
}
