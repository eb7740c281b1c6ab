#pragma once

#include <cstdint>
#include <string>

#include "base/Geometry.h"
#include "ui/render/Color.h"
#include "ui/render/Font.h"
#include "ui/render/Size.h"

namespace ui {

class Canvas;

// Single lines of text through the FontLibrary (UI thread). Needs no display.

// The width of the line and the font's line height.
Size measureText(const std::wstring& text, const FontSpec& font);

// Draws one line inside the rectangle, placed by TextAlign flags, anti-aliased, in the
// colour; nothing lands outside the rectangle or the canvas's clip.
void drawText(Canvas& canvas, const Rect& rect, const std::wstring& text, const FontSpec& font,
              Argb colour, uint32_t align);

}  // namespace ui
