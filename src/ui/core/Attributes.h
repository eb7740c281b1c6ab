#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Geometry.h"
#include "ui/render/Size.h"

namespace ui {

// Readers for the values of layout attributes. Each returns false, leaving its output alone,
// when the text does not hold what it asks for.

// A decimal integer, optionally signed, with surrounding blanks allowed.
bool parseInt(std::string_view text, int32_t& value);
// "true" or "false".
bool parseBool(std::string_view text, bool& value);
// Up to `count` comma-separated integers; missing trailing ones become 0 ("5" is 5,0,0,0).
bool parseInts(std::string_view text, int32_t* values, size_t count);
// "l,t,r,b".
bool parseRect(std::string_view text, Rect& rect);
// "cx,cy".
bool parseSize(std::string_view text, Size& size);

// A style string of attributes, `name="value" name2='value2'`, in order; a malformed tail
// is dropped.
std::vector<std::pair<std::string, std::string>> parseAttributeList(std::string_view text);

}  // namespace ui
