#pragma once

#include <cstdint>

namespace ui {

// How a single line of text sits in its rectangle. One horizontal and one vertical value,
// or-ed; EndEllipsis shortens text that does not fit to end in "...".
namespace TextAlign {
constexpr uint32_t Left = 0;
constexpr uint32_t Center = 1;
constexpr uint32_t Right = 2;
constexpr uint32_t Top = 0;
constexpr uint32_t VCenter = 4;
constexpr uint32_t Bottom = 8;
constexpr uint32_t EndEllipsis = 0x8000;
}  // namespace TextAlign

}  // namespace ui
