#include "SampleImages.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace sampleservice {

namespace {

struct Rgb {
  double r, g, b;
};

// A stable colour from the seed (std::hash is not stable across builds, FNV-1a is).
Rgb colourFor(const std::string& seed, unsigned salt) {
  std::uint32_t h = 2166136261u ^ salt;
  for (unsigned char c : seed) h = (h ^ c) * 16777619u;
  return {0.15 + (h & 0xFF) / 255.0 * 0.6, 0.15 + ((h >> 8) & 0xFF) / 255.0 * 0.6,
          0.15 + ((h >> 16) & 0xFF) / 255.0 * 0.6};
}

void drawPicture(cairo_t* cr, const ImageRequest& request) {
  const double w = request.width, h = request.height;
  Rgb top = colourFor(request.seed, 1), bottom = colourFor(request.seed, 2);
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, w * 0.3, h);
  cairo_pattern_add_color_stop_rgb(gradient, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(gradient, 1, bottom.r * 0.5, bottom.g * 0.5, bottom.b * 0.5);
  cairo_set_source(cr, gradient);
  cairo_paint(cr);
  cairo_pattern_destroy(gradient);

  Rgb accent = colourFor(request.seed, 3);
  cairo_set_source_rgba(cr, accent.r, accent.g, accent.b, 0.55);
  cairo_arc(cr, w * 0.75, h * 0.3, std::min(w, h) * 0.25, 0, 6.283185307179586);
  cairo_fill(cr);

  // Stripes whose count and slant come from the seed tell neighbouring posters apart at a glance.
  // (No text: fontconfig keeps state that the leak checker of the sanitizer builds reports.)
  std::uint32_t bits = 0;
  for (unsigned char c : request.seed) bits = bits * 31 + c;
  int stripes = 2 + bits % 5;
  double slant = (static_cast<int>((bits >> 4) % 7) - 3) * w * 0.05;
  cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
  for (int i = 0; i < stripes; ++i) {
    double x = w * (i + 0.5) / stripes;
    cairo_move_to(cr, x - w * 0.03, 0);
    cairo_line_to(cr, x + w * 0.03, 0);
    cairo_line_to(cr, x + w * 0.03 + slant, h);
    cairo_line_to(cr, x - w * 0.03 + slant, h);
    cairo_close_path(cr);
  }
  cairo_fill(cr);
}

}  // namespace

std::optional<std::string> renderImage(const ImageRequest& request) {
  if (request.width <= 0 || request.height <= 0 || request.width > kMaxImageEdge || request.height > kMaxImageEdge)
    return std::nullopt;
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, request.width, request.height), cairo_surface_destroy);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return std::nullopt;
  cairo_t* cr = cairo_create(surface.get());
  drawPicture(cr, request);
  cairo_destroy(cr);
  cairo_surface_flush(surface.get());

  // Cairo keeps native-endian 0xXXRRGGBB words; the encoder wants packed RGB bytes.
  const int w = request.width, h = request.height;
  const unsigned char* src = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  std::vector<guchar> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(src + static_cast<std::size_t>(y) * stride);
    guchar* out = rgb.data() + static_cast<std::size_t>(y) * w * 3;
    for (int x = 0; x < w; ++x) {
      out[3 * x] = (row[x] >> 16) & 0xFF;
      out[3 * x + 1] = (row[x] >> 8) & 0xFF;
      out[3 * x + 2] = row[x] & 0xFF;
    }
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, w, h, w * 3, nullptr, nullptr);
  if (!pixbuf) return std::nullopt;
  gchar* buffer = nullptr;
  gsize size = 0;
  GError* error = nullptr;
  gboolean ok = request.format == ImageFormat::png
                    ? gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", &error, nullptr)
                    : gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", &error, "quality", "85", nullptr);
  g_object_unref(pixbuf);
  if (!ok) {
    if (error) g_error_free(error);
    return std::nullopt;
  }
  std::string bytes(buffer, size);
  g_free(buffer);
  return bytes;
}

std::optional<std::string> ImageCache::get(const ImageRequest& request) {
  Key key{request.seed, request.width, request.height, static_cast<int>(request.format)};
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
