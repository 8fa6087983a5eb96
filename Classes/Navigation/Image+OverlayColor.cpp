#include "Classes/Navigation/Image+OverlayColor.h"
#include "Graphics/Context.h"

std::shared_ptr<ui::Image> imageWithOverlayColor(const std::shared_ptr<ui::Image>& image,
                                                 const ui::Color& color) {
  if (!image) return nullptr;
  cg::Rect rect(0, 0, image->size().width, image->size().height);
  if (!cg::beginImageContext(rect.size, false, image->scale())) return nullptr;
  image->drawInRect(rect);
  cg::Context* ctx = cg::currentContext();
  ctx->setBlendMode(cg::BlendMode::SourceIn);
  ctx->setFillColor(color.cgColor());
  ctx->fillRect(rect);
  cg::ImagePtr result = cg::imageFromCurrentImageContext();
  cg::endImageContext();
  return ui::Image::imageWithCGImage(result);
}

std::shared_ptr<ui::Image> invertImageNamed(const std::string& name) {
  auto image = ui::Image::imageNamed(name);
  if (!image) return nullptr;
  return imageWithOverlayColor(image, ui::Color::colorWithRed(245 / 255.0, 245 / 255.0, 245 / 255.0, 1));
}
