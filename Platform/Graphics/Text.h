#pragma once

#include <cmath>
#include <memory>
#include <string_view>
#include <utility>

#include "Graphics/Context.h"
#include "Graphics/Font.h"
#include "Graphics/Geometry.h"

namespace cg {

// How text that does not fit is broken. Every mode wraps onto as many lines as the height allows
// (at least one); word wrap breaks between words (inside a word only when it is longer than a
// line), char wrap anywhere; the truncating modes put an ellipsis into the last line, at its
// start, middle or end; clip cuts the last line off at the edge.
enum class LineBreakMode { WordWrap, CharWrap, Clip, TruncateHead, TruncateTail, TruncateMiddle };
enum class TextAlignment { Left, Center, Right };

// The size of the text on one line, newlines included as spaces, rounded up to whole points; a
// line wider than widthLimit measures widthLimit wide, and only its start is laid out.
Size measureText(std::string_view text, const Font& font, double widthLimit = INFINITY);
// The size the text takes inside a box: the widest line (at most the box's width) by the lines
// shown times the line height, rounded up to whole points. Text is UTF-8; invalid bytes are
// replaced, never read past. Lines are never hyphenated. Only as much of the text as the box can
// show is laid out, so a huge text costs what its box holds, not its length.
Size measureText(std::string_view text, const Font& font, Size constrainedTo, LineBreakMode mode);

// Draw in the context's fill colour, alpha and blend mode, from the top of the rect, laid out
// as measureText lays it out; return the size drawn.
Size drawText(Context& context, std::string_view text, const Rect& rect, const Font& font, LineBreakMode mode,
              TextAlignment alignment);
// One line with its top left at the point.
Size drawText(Context& context, std::string_view text, Point at, const Font& font);

// Text laid out once in a box, then measured and drawn as often as needed: a view that draws
// the same text every frame keeps one until its text, font or box changes. Laid out, measured
// and drawn as measureText and drawText do (a box height of 1e6 or more is unbounded).
class TextLayout final {
 public:
  TextLayout(std::string_view text, const Font& font, Size box, LineBreakMode mode, TextAlignment alignment);
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  Size size() const;
  // Draws with the box's top left at the origin, only the lines that reach into `visible`
  // (context coordinates).
  void draw(Context& context, Point origin, const Rect& visible) const;

  // Caret positions count the text's UTF-16 units, as text inputs keep them. The caret before the
  // character at a position, in the box's coordinates, zero wide and a line high; a position past
  // what was laid out stands after its last character.
  Rect caretRect(std::size_t position) const;
  // The position between two characters nearest a point in the box's coordinates.
  std::size_t positionAtPoint(Point point) const;
  // The start and end positions of the line the position lies on, without its newline or the
  // blank a wrapped line breaks at.
  std::pair<std::size_t, std::size_t> lineBounds(std::size_t position) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cg
