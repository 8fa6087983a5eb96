#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/Object.h"
#include "Graphics/Geometry.h"
#include "Graphics/Image.h"

namespace ui {

// The platform's image: a bitmap with a scale, optionally stretchable with caps, remembering the
// resource name it was loaded by (dumps and tests show which picture a view uses).
class Image final : public ns::Object {
 public:
  Image(cg::ImagePtr bitmap, std::string name = {});

  // A resource of the application by name: the name as given, then with ".png"; at screen
  // scale 2 the "@2x" form of each is tried first. None when nothing matches. Images found are
  // cached by name and scale.
  static std::shared_ptr<Image> imageNamed(const std::string& name);
  // A picture larger than the box (in pixels) is decoded scaled down to it, keeping its size in
  // points (see cg::Image::PixelBox).
  static std::shared_ptr<Image> imageWithContentsOfFile(const std::string& path,
                                                        cg::Image::PixelBox box = {});
  // Undecodable data gives none.
  static std::shared_ptr<Image> imageWithData(const ns::Data& data, double scale = 1,
                                              cg::Image::PixelBox box = {});
  static std::shared_ptr<Image> imageWithCGImage(cg::ImagePtr bitmap);
  static std::shared_ptr<Image> imageWithCGImage(cg::ImagePtr bitmap, double scale);
  // Forgets the images imageNamed has cached (tests that swap the resources folder).
  static void clearNamedCache();

  // Size in points.
  cg::Size size() const { return bitmap_->size(); }
  double scale() const { return bitmap_->scale(); }
  const cg::ImagePtr& CGImage() const { return bitmap_; }
  const std::string& name() const { return name_; }
  // The name, or the size and scale for an image without one.
  std::string describeSource() const;
  std::string describe() const override;

  // A copy that stretches its middle when drawn larger: a left cap of leftCapWidth points and a
  // middle column one point wide (the rest is the right cap); the same vertically for a top cap.
  // A cap of 0 stretches the whole image along that axis.
  std::shared_ptr<Image> stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const;
  int leftCapWidth() const { return leftCap_; }
  int topCapHeight() const { return topCap_; }
  // A copy drawn in nine parts: the corners as they are, the edges stretched along their length
  // and the middle both ways. Caps of 0 on both sides of an axis stretch the whole image along it.
  std::shared_ptr<Image> resizableImageWithCapInsets(cg::EdgeInsets insets) const;
  // The caps in effect, in points (a stretchable image's as insets).
  const cg::EdgeInsets& capInsets() const { return capInsets_; }
  bool isStretchable() const { return capInsets_ != cg::EdgeInsets{}; }

  // Draws into the current graphics context, stretched to the rectangle by the caps.
  void drawInRect(const cg::Rect& rect) const;
  void drawInRect(const cg::Rect& rect, double alpha) const;
  void drawAtPoint(cg::Point point) const { drawInRect({point, size()}); }

 private:
  cg::ImagePtr bitmap_;
  std::string name_;
  int leftCap_ = 0;
  int topCap_ = 0;
  cg::EdgeInsets capInsets_;
};

// Encodings of an image's bitmap; empty data for none.
ns::Data ImagePNGRepresentation(const std::shared_ptr<Image>& image);
ns::Data ImageJPEGRepresentation(const std::shared_ptr<Image>& image, double quality);

// The folders imageNamed reads, in order: the main bundle's resources folder (VCC_RESOURCES_DIR
// when set), then, unless that variable is set, the placeholders the build draws.
std::vector<std::string> resourceDirectories();
// Makes imageNamed look in this one folder instead (an empty path restores the folders above) and
// forgets the images it has cached: for tests that bring pictures of their own.
void setResourceDirectoryOverride(const std::string& folder);

}  // namespace ui
