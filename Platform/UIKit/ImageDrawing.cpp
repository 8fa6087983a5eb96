#include <algorithm>

#include "Graphics/Context.h"
#include "UIKit/Image.h"

namespace ui {

namespace {

struct Slice {
  double src0, src1;  // in the image, points
  double dst0, dst1;  // in the target rect, from its origin
};

// Near cap, middle, far cap: the middle stretches. No caps, or caps that leave no middle, stretch
// the whole length.
std::vector<Slice> slices(double length, double nearCap, double farCap, double target) {
  if ((nearCap <= 0 && farCap <= 0) || nearCap + farCap >= length) return {{0, length, 0, target}};
  double left = nearCap, right = farCap;
  double middle = target - left - right;
  if (middle < 0) {
    // Too small for both caps: shrink them in proportion, drop the middle.
    double f = target / (left + right);
    return {{0, left, 0, left * f}, {length - right, length, left * f, target}};
  }
  return {{0, left, 0, left},
          {left, length - right, left, left + middle},
          {length - right, length, left + middle, target}};
}

// A part of a bitmap as a bitmap of its own, so that stretching it pads with its own edge pixels
// rather than blending in its neighbours.
cg::ImagePtr crop(const cg::Image& image, double x0, double y0, double x1, double y1) {
  double s = image.scale();
  int px0 = int(std::lround(x0 * s)), py0 = int(std::lround(y0 * s));
  int px1 = std::min(image.pixelWidth(), int(std::lround(x1 * s)));
  int py1 = std::min(image.pixelHeight(), int(std::lround(y1 * s)));
  if (px1 <= px0 || py1 <= py0) return nullptr;
  std::vector<std::uint32_t> pixels;
  pixels.reserve(std::size_t(px1 - px0) * std::size_t(py1 - py0));
  auto held = image.pixelBuffer();
  const auto& all = *held;
  for (int y = py0; y < py1; ++y)
    for (int x = px0; x < px1; ++x)
      pixels.push_back(all[std::size_t(y) * std::size_t(image.pixelWidth()) + std::size_t(x)]);
  return cg::Image::fromPixels(px1 - px0, py1 - py0, std::move(pixels), s);
}

}  // namespace

void Image::drawInRect(const cg::Rect& rect) const { drawInRect(rect, 1); }

void Image::drawInRect(const cg::Rect& rectIn, double alpha) const {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect rect = rectIn.standardized();
  if (rect.isEmpty()) return;
  ctx->saveGState();
  if (alpha < 1) ctx->setAlpha(alpha);
  if (!isStretchable()) {
    ctx->drawImage(*bitmap_, rect);
    ctx->restoreGState();
    return;
  }
  cg::Size s = size();
  const cg::EdgeInsets& caps = capInsets_;
  for (const Slice& h : slices(s.width, caps.left, caps.right, rect.width())) {
    for (const Slice& v : slices(s.height, caps.top, caps.bottom, rect.height())) {
      double srcW = h.src1 - h.src0, srcH = v.src1 - v.src0;
      double dstW = h.dst1 - h.dst0, dstH = v.dst1 - v.dst0;
      if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) continue;
      if (auto part = crop(*bitmap_, h.src0, v.src0, h.src1, v.src1))
        ctx->drawImage(*part, cg::Rect(rect.x() + h.dst0, rect.y() + v.dst0, dstW, dstH));
    }
  }
  ctx->restoreGState();
}

}  // namespace ui
