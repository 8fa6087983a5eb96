#pragma once

#include <optional>

#include "Graphics/Context.h"
#include "Graphics/Image.h"
#include "Graphics/Layer.h"
#include "Graphics/Path.h"

namespace cg {

// A layer that fills a path, by a fill rule, with a colour or with an image repeated as a
// pattern. Its transform applies about the layer's origin, to the path and the pattern alike.
class ShapeLayer final : public Layer {
 public:
  const std::optional<Path>& path() const { return path_; }
  void setPath(std::optional<Path> path) {
    path_ = std::move(path);
    contentDidChange();
  }
  FillRule fillRule() const { return fillRule_; }
  void setFillRule(FillRule rule) { change(fillRule_, rule); }
  const Color& fillColor() const { return fillColor_; }
  void setFillColor(const Color& color) { change(fillColor_, color); }
  // When set, the pattern fills in place of the colour; its tiles start at the layer's origin.
  const ImagePtr& fillPattern() const { return fillPattern_; }
  void setFillPattern(ImagePtr image) { change(fillPattern_, image); }
  const AffineTransform& transform() const { return transform_; }
  void setTransform(const AffineTransform& transform) { change(transform_, transform); }

  void drawInContext(Context& context) override;

 private:
  std::optional<Path> path_;
  FillRule fillRule_ = FillRule::Winding;
  Color fillColor_ = Color::black();
  ImagePtr fillPattern_;
  AffineTransform transform_;
};

}  // namespace cg
