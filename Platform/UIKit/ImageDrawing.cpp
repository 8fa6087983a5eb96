#include <algorithm>

#include "Graphics/Context.h"
#include "UIKit/Image.h"

namespace ui {

namespace {

struct Slice {
  double src0, src1;  // in the image, points
  double dst0, dst1;  // in the target rect, from its origin
};

// Cap, one-point middle, rest: the middle stretches; a cap of 0 stretches the whole length.
std::vector<Slice> slices(double length, int cap, double target) {
  if (cap <= 0 || length <= cap) return {{0, length, 0, target}};
  double left = cap, right = std::max(0.0, length - cap - 1);
  double middle = target - left - right;
  if (middle < 0) {
    // Too small for both caps: shrink them in proportion, drop the middle.
    double f = target / (left + right);
    return {{0, left, 0, left * f}, {length - right, length, left * f, target}};
  }
  return {{0, left, 0, left},
          {left, left + 1, left, left + middle},
          {length - right, length, left + middle, target}};
}

// Both caps given: the part between them stretches (or, when they meet, the last point before the
// end cap).
std::vector<Slice> slices(double length, double cap, double endCap, double target) {
  double left = std::min(cap, length), right = std::min(endCap, std::max(0.0, length - left));
  double inner = length - left - right;
  if (inner <= 0) {
    if (left + right <= 0) return {{0, length, 0, target}};
    inner = std::min(1.0, left);
    left -= inner;
  }
  double middle = target - left - right;
  if (middle < 0) {
    double f = left + right > 0 ? target / (left + right) : 0;
    return {{0, left, 0, left * f}, {length - right, length, left * f, target}};
  }
  return {{0, left, 0, left},
          {left, left + inner, left, left + middle},
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
  auto all = image.pixels();
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
  auto horizontal = capInsets_ ? slices(s.width, capInsets_->left, capInsets_->right, rect.width())
                               : slices(s.width, leftCap_, rect.width());
  auto vertical = capInsets_ ? slices(s.height, capInsets_->top, capInsets_->bottom, rect.height())
                             : slices(s.height, topCap_, rect.height());
  for (const Slice& h : horizontal) {
    for (const Slice& v : vertical) {
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
