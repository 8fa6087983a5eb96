#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Graphics/Font.h"
#include "Graphics/Geometry.h"
#include "Graphics/Text.h"

// Internal to Graphics and its tests.
namespace cg::detail {

// How many characters of the text no installed font can draw (they would show as boxes).
int unknownGlyphCount(std::string_view text, const Font& font);

// The lines drawText shows of the text in the box, each as its characters, with "…" where an
// ellipsis stands.
std::vector<std::string> shownLines(std::string_view text, const Font& font, Size box, LineBreakMode mode);

}  // namespace cg::detail
