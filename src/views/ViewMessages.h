#pragma once

#include "ui/core/Messages.h"

// The private messages the recorder's windows send each other.
constexpr uint32_t WM_VIEW_SHOW = ui::WM_USER + 1;           // show the window (see each one)
constexpr uint32_t WM_VIEW_HIDE = ui::WM_USER + 2;           // hide the window
constexpr uint32_t WM_BEGIN_DETECTION = ui::WM_USER + 4;     // to the toolbar: custom area
constexpr uint32_t WM_COUNTDOWN_FINISHED = ui::WM_USER + 6;  // to the toolbar: count-down over
constexpr uint32_t WM_MAGNIFIER_FRAME = ui::WM_USER + 7;     // to the overlay: a new magnifier view
