#include "Graphics/Image.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/ImageHeader.h"

namespace cg {
namespace {

// Cairo draws nothing wider or taller than this.
constexpr int kMaxSide = 32767;

[[maybe_unused]] const int* const linkSanitizerHooks = &detail::kSanitizerHooks;

}  // namespace

namespace detail {
bool acceptablePixelSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= Image::kMaxPixels;
}
}  // namespace detail

Image::Image(int width, int height, std::shared_ptr<const std::vector<std::uint32_t>> pixels, double scale)
    : width_(width), height_(height), scale_(scale > 0 ? scale : 1), pixels_(std::move(pixels)) {}

ImagePtr Image::fromPixels(int pixelWidth, int pixelHeight, std::vector<std::uint32_t> pixels, double scale) {
  if (!detail::acceptablePixelSize(pixelWidth, pixelHeight) ||
      pixels.size() != std::size_t(pixelWidth) * std::size_t(pixelHeight))
    return nullptr;
  auto shared = std::make_shared<const std::vector<std::uint32_t>>(std::move(pixels));
  return std::make_shared<Image>(pixelWidth, pixelHeight, std::move(shared), scale);
}

ImagePtr Image::withScale(double scale) const {
  return std::make_shared<Image>(width_, height_, pixels_, scale);
}

ImagePtr Image::cropped(int x, int y, int width, int height) const {
  std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
  std::int64_t x1 = std::min<std::int64_t>(std::int64_t(x) + width, width_);
  std::int64_t y1 = std::min<std::int64_t>(std::int64_t(y) + height, height_);
  if (x1 <= x0 || y1 <= y0) return nullptr;
  std::vector<std::uint32_t> pixels;
  pixels.reserve(std::size_t((x1 - x0) * (y1 - y0)));
  for (std::int64_t row = y0; row < y1; ++row) {
    auto begin = pixels_->begin() + row * width_;
    pixels.insert(pixels.end(), begin + x0, begin + x1);
  }
  return fromPixels(int(x1 - x0), int(y1 - y0), std::move(pixels), scale_);
}

std::uint32_t Image::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return (*pixels_)[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
}

Color Image::colorAt(int x, int y) const { return colorFromPremultiplied(pixelAt(x, y)); }

bool Image::hasAlpha() const {
  return std::any_of(pixels_->begin(), pixels_->end(), [](std::uint32_t p) { return (p >> 24) != 0xFF; });
}

std::string Image::describe() const {
  return ns::format("<Image: %p> %dx%d pixels @%gx", static_cast<const void*>(this), width_, height_, scale_);
}

std::uint32_t premultipliedPixel(const Color& color) {
  auto channel = [](double v) { return std::uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  std::uint32_t a = channel(color.alpha);
  auto premultiply = [&](double v) { return (channel(v) * a + 127) / 255; };
  return a << 24 | premultiply(color.red) << 16 | premultiply(color.green) << 8 | premultiply(color.blue);
}

Color colorFromPremultiplied(std::uint32_t pixel) {
  std::uint32_t a = pixel >> 24;
  if (a == 0) return Color::clear();
  auto channel = [&](int shift) {
    std::uint32_t c = (pixel >> shift) & 0xFF;
    return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a) / 255.0;
  };
  return {channel(16), channel(8), channel(0), a / 255.0};
}

}  // namespace cg
