#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics/Context.h"
#include "Graphics/Image.h"
#include "UIKit/View.h"

namespace ui {

class DamageTracker;
class Window;

// Draws a view tree into a new transparent image the size of the root's bounds, at a scale
// (0 for the screen's): backgrounds and pattern colours, shadows, corner radius and clipping,
// each view's drawRect (images by content mode, text, custom drawing), borders, alpha and
// gradient masks, subviews in order, hidden views skipped. Over the key window it draws what the
// screen shows over it: the keyboard's panel while a text input holds the keyboard, and the status
// bar. Lays out a tree that is in no window first. None when the root is empty.
cg::ImagePtr renderView(const std::shared_ptr<View>& root, double scale = 0);

struct RenderOptions {
  // Pixels per point; 0 for the screen's.
  double scale = 0;
  // Draw what the screen shows at this moment (process clock): animations part of the way,
  // spinners turned. None draws the model values, as headless shots and dumps see them.
  std::optional<double> presentationTime;
};
cg::ImagePtr renderView(const std::shared_ptr<View>& root, const RenderOptions& options);
// Draws the key window's picture at a moment again into a canvas that holds the picture drawn
// at the tracker's last look before (a picture the window's size, at the canvas's scale), only
// inside the damage the tracker has just given for this moment, and only the views that draw
// there: the pixels come out as a whole new render would make them.
void renderViewAgain(const std::shared_ptr<Window>& window, std::optional<double> presentationTime,
                     cg::Context& canvas, const std::vector<cg::PixelRect>& damage,
                     const DamageTracker& tracker);
// The same, written as a PNG file; false when there is nothing to draw or the file cannot be written.
bool renderViewToPNG(const std::shared_ptr<View>& root, const std::string& path, double scale = 0);

// Draws a view and its subviews into a context whose user space is the view's superview's
// bounds coordinates: the model values, or what the screen shows during a presentation render.
void drawViewHierarchy(View& view, cg::Context& context);

}  // namespace ui
