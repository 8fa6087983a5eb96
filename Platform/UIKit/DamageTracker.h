#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Graphics/Context.h"
#include "Graphics/Geometry.h"

namespace ui {

class View;
class Window;

// Follows what the picture of a window shows from one render to the next, so that a picture kept
// from an earlier render need be drawn again only where it changed. Each look walks the views
// the renderer would draw (the keyboard's panel and the status bar too) and notes, in window
// coordinates, the rect each covers where it is shown (clipped as drawn); a view whose rect or
// look changed, or that came or went, damages what it covered before and what it covers now.
// A view's rect is what View::visualRect says it draws, which holds the rect the renderer clips
// its drawRect to. A view's look is its display version and its layer's, where (transform
// included) and how transparent it is shown, and the same of each view above it in the tree; a
// view whose picture moves by itself (a turning spinner, a playing video) is damaged at every
// look. While nothing changed (the display generation stands) and no animation runs, a look
// walks no views: only those that move by themselves are damaged, where the last walk saw them.
// Main thread only.
class DamageTracker final {
 public:
  // What differs between the picture of `window` at `time` (as renderView draws it; none for
  // the model values) and the one at the last look, in whole device pixels at `scale`, as a few
  // rects that do not overlap. The whole window the first time, after invalidate(), when the size
  // or the scale changed, or after a change no view holds. Empty when nothing changed.
  std::vector<cg::PixelRect> damage(Window& window, std::optional<double> time, double scale);
  // The next look damages the whole window (the picture was lost, or drawn by other means).
  void invalidate() { valid_ = false; }

  // Whether the view, or a view above it in the tree, draws into the rects of the last look, as
  // the last look saw them; true for a view it did not see.
  bool drawsInto(const View& view) const;

 private:
  struct Record {
    std::uint64_t stamp = 0;
    // What the view draws itself, and what it and the views over it draw, in window points.
    cg::Rect extent, treeExtent;
  };
  struct Walk;

  std::unordered_map<const View*, Record> records_;
  // The views of the last walk whose pictures move by themselves.
  std::vector<const View*> moving_;
  std::vector<cg::Rect> damagedPoints_;
  cg::Size size_;
  double scale_ = 0;
  std::uint64_t wholeGeneration_ = 0;
  // The display generation after the last look, and whether it drew a moment or the model.
  std::uint64_t generation_ = 0;
  bool timed_ = false;
  bool valid_ = false;
};

}  // namespace ui
