#pragma once

#include <string_view>

#include "Graphics/Font.h"

// Internal to Graphics and its tests.
namespace cg::detail {

// How many characters of the text no installed font can draw (they would show as boxes).
int unknownGlyphCount(std::string_view text, const Font& font);

}  // namespace cg::detail
