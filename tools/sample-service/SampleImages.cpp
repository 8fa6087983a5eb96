#include "SampleImages.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "Graphics/Context.h"
#include "Graphics/Text.h"

namespace sampleservice {

namespace {

// A stable colour from the seed (std::hash is not stable across builds, FNV-1a is).
cg::Color colourFor(const std::string& seed, unsigned salt, double dim = 1) {
  std::uint32_t h = 2166136261u ^ salt;
  for (unsigned char c : seed) h = (h ^ c) * 16777619u;
  auto channel = [&](int shift) { return (0.15 + ((h >> shift) & 0xFF) / 255.0 * 0.6) * dim; };
  return cg::Color::rgba(channel(0), channel(8), channel(16));
}

// "#RRGGBB" as a colour; none for anything else.
std::optional<cg::Color> hexColour(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return cg::Color::hex(value);
}

void drawPicture(cg::Context& context, const ImageRequest& request) {
  const double w = request.width, h = request.height;
  if (auto ground = hexColour(request.ground)) {
    cg::Color middle =
        cg::Color::rgba(std::min(1.0, ground->red * 1.6 + 0.06), std::min(1.0, ground->green * 1.6 + 0.06),
                        std::min(1.0, ground->blue * 1.6 + 0.06));
    context.drawLinearGradient({{*ground, middle, *ground}, {0, 0.5, 1}}, {0, 0}, {w, 0}, true, true);
  } else {
    context.drawLinearGradient({{colourFor(request.seed, 1), colourFor(request.seed, 2, 0.5)}, {}}, {0, 0},
                               {w * 0.3, h}, true, true);
  }

  context.setFillColor(colourFor(request.seed, 3).withAlpha(0.55));
  double r = std::min(w, h) * 0.25;
  context.fillEllipseInRect({{w * 0.75 - r, h * 0.3 - r}, {2 * r, 2 * r}});

  // Stripes whose count and slant come from the seed tell neighbouring pictures apart at a glance.
  std::uint32_t bits = 0;
  for (unsigned char c : request.seed) bits = bits * 31 + c;
  int stripes = 2 + bits % 5;
  double slant = (static_cast<int>((bits >> 4) % 7) - 3) * w * 0.05;
  context.setFillColor(cg::Color::white(1, 0.18));
  for (int i = 0; i < stripes; ++i) {
    double x = w * (i + 0.5) / stripes;
    context.beginPath();
    context.moveTo({x - w * 0.03, 0});
    context.addLineTo({x + w * 0.03, 0});
    context.addLineTo({x + w * 0.03 + slant, h});
    context.addLineTo({x - w * 0.03 + slant, h});
    context.closePath();
    context.fillPath();
  }

  if (request.caption.empty()) return;
  cg::Font font = cg::Font::boldSystemFont(std::max(6.0, std::min(w, h) * request.captionSize));
  cg::Size box{w * 0.9, h * 0.5};
  cg::Size text = cg::measureText(request.caption, font, box, cg::LineBreakMode::WordWrap);
  double top = request.captionTop ? h * *request.captionTop : std::max(0.0, h - text.height - h * 0.08);
  context.setFillColor(cg::Color::white(1));
  cg::drawText(context, request.caption, {{w * 0.05, top}, box}, font, cg::LineBreakMode::WordWrap,
               cg::TextAlignment::Center);
}

}  // namespace

std::optional<std::string> renderImage(const ImageRequest& request) {
  if (request.width <= 0 || request.height <= 0 || request.width > kMaxImageEdge ||
      request.height > kMaxImageEdge)
    return std::nullopt;
  auto context = cg::Context::makeBitmap({double(request.width), double(request.height)}, true, 1);
  if (!context) return std::nullopt;
  drawPicture(*context, request);
  auto image = context->makeImage();
  if (!image) return std::nullopt;
  ns::Data data = request.format == ImageFormat::png ? image->pngData() : image->jpegData(0.85);
  if (data.empty()) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(data.bytes()), data.length());
}

std::optional<std::string> ImageCache::get(const ImageRequest& request) {
  Key key{request.seed,
          request.caption,
          request.width,
          request.height,
          static_cast<int>(request.format),
          request.ground,
          request.captionTop.value_or(-1),
          request.captionSize};
  {
    std::lock_guard lock(mutex_);
    if (auto it = images_.find(key); it != images_.end()) return it->second;
  }
  auto bytes = renderImage(request);
  if (!bytes) return std::nullopt;
  std::lock_guard lock(mutex_);
  // A plain bound is enough for a development server: start over when full.
  if (bytes_ + bytes->size() > maxBytes_) {
    images_.clear();
    bytes_ = 0;
  }
  if (images_.emplace(key, *bytes).second) bytes_ += bytes->size();
  return bytes;
}

}  // namespace sampleservice
