#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Foundation/Object.h"
#include "Graphics/Color.h"
#include "Graphics/Geometry.h"

namespace cg {

class Context;

// A count that goes up whenever something a renderer draws may have changed: a layer's or a
// view's geometry, look, content or place in its tree, or a picture that moves by itself. A
// window draws again only when it has moved since its last picture. Any thread.
std::uint64_t displayGeneration();
void noteDisplayChange();
// A change that no one view or layer holds (a setting several views draw): whoever redraws only
// what changed draws everything again. Notes a display change too.
void noteWholeDisplayChange();
std::uint64_t wholeDisplayGeneration();
// A number never handed out before: a version that tells a changed object from an unchanged one,
// and from another object that took its place.
std::uint64_t nextDisplayVersion();

// The drawing attributes a view keeps beside its own geometry: rounded corners, clipping,
// border, shadow and an optional mask layer. Views own one each; the view renderer reads them.
class Layer : public ns::Object {
 public:
  Layer() : version_(nextDisplayVersion()) {}
  // Changes whenever what the layer draws (its attributes, content, mask or sublayers) may have.
  std::uint64_t displayVersion() const { return version_; }
  // Geometry of a free-standing layer, such as a mask, in its host's coordinates.
  const Rect& frame() const { return frame_; }
  void setFrame(const Rect& frame) { change(frame_, frame); }
  Rect bounds() const { return Rect(0, 0, frame_.width(), frame_.height()); }
  // A view keeps its layer's bounds the size of its own.
  void setBounds(const Rect& bounds) { frame_.size = bounds.size; }

  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius) { change(cornerRadius_, radius); }
  bool masksToBounds() const { return masksToBounds_; }
  void setMasksToBounds(bool masks) { change(masksToBounds_, masks); }

  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double width) { change(borderWidth_, width); }
  const Color& borderColor() const { return borderColor_; }
  void setBorderColor(const Color& color) { change(borderColor_, color); }

  const Color& shadowColor() const { return shadowColor_; }
  void setShadowColor(const Color& color) { change(shadowColor_, color); }
  Size shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(Size offset) { change(shadowOffset_, offset); }
  double shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(double opacity) { change(shadowOpacity_, opacity); }
  double shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(double radius) { change(shadowRadius_, radius); }
  bool hasShadow() const { return shadowOpacity_ > 0 && shadowColor_.alpha > 0; }

  // The mask's alpha multiplies what the layer shows; it is placed by its own frame.
  const std::shared_ptr<Layer>& mask() const { return mask_; }
  void setMask(std::shared_ptr<Layer> mask) {
    mask_ = std::move(mask);
    contentDidChange();
  }

  bool needsDisplayOnBoundsChange() const { return needsDisplayOnBoundsChange_; }
  void setNeedsDisplayOnBoundsChange(bool needs) { needsDisplayOnBoundsChange_ = needs; }

  // Alpha of the layer's own content at a point of its bounds; 1 for a plain layer.
  virtual double alphaAt(Point) const { return 1; }
  // Draws the layer's own content (none for a plain layer) in its bounds' coordinates; the view
  // renderer calls it over the background, under the view's drawRect. Leaves the context's
  // graphics state as it found it.
  virtual void drawInContext(Context&) {}
  // The same as the screen shows it at a moment: in bounds of the given size, which is not the
  // layer's own while its view's size animates. Content that does not depend on the size ignores it.
  virtual void drawInContextAtSize(Context& context, Size) { drawInContext(context); }

  // Layers of their own drawn over this one's content, beneath its view's subviews, each placed
  // by its frame, in the order added.
  const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
  void addSublayer(std::shared_ptr<Layer> layer) {
    sublayers_.push_back(std::move(layer));
    contentDidChange();
  }

 protected:
  // Sets a drawn attribute, noting the change when there is one.
  template <class T>
  void change(T& attribute, const T& value) {
    if (attribute == value) return;
    attribute = value;
    contentDidChange();
  }
  // What the layer draws changed.
  void contentDidChange() {
    version_ = nextDisplayVersion();
    noteDisplayChange();
  }

 private:
  std::vector<std::shared_ptr<Layer>> sublayers_;
  std::uint64_t version_;
  Rect frame_;
  double cornerRadius_ = 0;
  bool masksToBounds_ = false;
  double borderWidth_ = 0;
  Color borderColor_ = Color::black();
  Color shadowColor_ = Color::black();
  Size shadowOffset_{0, -3};
  double shadowOpacity_ = 0;
  double shadowRadius_ = 3;
  std::shared_ptr<Layer> mask_;
  bool needsDisplayOnBoundsChange_ = false;
};

// A layer filled with a linear gradient from startPoint to endPoint, both in unit coordinates
// of its bounds ((0, 0) top left, (1, 1) bottom right).
class GradientLayer final : public Layer {
 public:
  const std::vector<Color>& colors() const { return colors_; }
  void setColors(std::vector<Color> colors) { change(colors_, colors); }
  // Stops in 0...1, one per colour; empty spreads the colours evenly.
  const std::vector<double>& locations() const { return locations_; }
  void setLocations(std::vector<double> locations) { change(locations_, locations); }
  Point startPoint() const { return startPoint_; }
  void setStartPoint(Point p) { change(startPoint_, p); }
  Point endPoint() const { return endPoint_; }
  void setEndPoint(Point p) { change(endPoint_, p); }

  // The gradient's colour at a point of the bounds (what a renderer or a test samples).
  Color colorAt(Point p) const;
  double alphaAt(Point p) const override { return colorAt(p).alpha; }

 private:
  std::vector<Color> colors_;
  std::vector<double> locations_;
  Point startPoint_{0.5, 0};
  Point endPoint_{0.5, 1};
};

}  // namespace cg
