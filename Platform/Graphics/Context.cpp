#include "Graphics/Context.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <list>
#include <mutex>

#include "Graphics/ImageHeader.h"

namespace cg {
namespace {

cairo_operator_t cairoOperator(BlendMode mode) {
  switch (mode) {
    case BlendMode::Normal:
      return CAIRO_OPERATOR_OVER;
    case BlendMode::Multiply:
      return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen:
      return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Overlay:
      return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Darken:
      return CAIRO_OPERATOR_DARKEN;
    case BlendMode::Lighten:
      return CAIRO_OPERATOR_LIGHTEN;
    case BlendMode::ColorDodge:
      return CAIRO_OPERATOR_COLOR_DODGE;
    case BlendMode::ColorBurn:
      return CAIRO_OPERATOR_COLOR_BURN;
    case BlendMode::SoftLight:
      return CAIRO_OPERATOR_SOFT_LIGHT;
    case BlendMode::HardLight:
      return CAIRO_OPERATOR_HARD_LIGHT;
    case BlendMode::Difference:
      return CAIRO_OPERATOR_DIFFERENCE;
    case BlendMode::Exclusion:
      return CAIRO_OPERATOR_EXCLUSION;
    case BlendMode::Hue:
      return CAIRO_OPERATOR_HSL_HUE;
    case BlendMode::Saturation:
      return CAIRO_OPERATOR_HSL_SATURATION;
    case BlendMode::Color:
      return CAIRO_OPERATOR_HSL_COLOR;
    case BlendMode::Luminosity:
      return CAIRO_OPERATOR_HSL_LUMINOSITY;
    case BlendMode::Clear:
      return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Copy:
      return CAIRO_OPERATOR_SOURCE;
    case BlendMode::SourceIn:
      return CAIRO_OPERATOR_IN;
    case BlendMode::SourceOut:
      return CAIRO_OPERATOR_OUT;
    case BlendMode::SourceAtop:
      return CAIRO_OPERATOR_ATOP;
    case BlendMode::DestinationOver:
      return CAIRO_OPERATOR_DEST_OVER;
    case BlendMode::DestinationIn:
      return CAIRO_OPERATOR_DEST_IN;
    case BlendMode::DestinationOut:
      return CAIRO_OPERATOR_DEST_OUT;
    case BlendMode::DestinationAtop:
      return CAIRO_OPERATOR_DEST_ATOP;
    case BlendMode::XOR:
      return CAIRO_OPERATOR_XOR;
    case BlendMode::PlusLighter:
      return CAIRO_OPERATOR_ADD;
  }
  return CAIRO_OPERATOR_OVER;
}

// A Cairo view of an image's pixels, finished on destruction so that nothing can read them later.
class SourceSurface {
 public:
  explicit SourceSurface(const Image& image)
      : pixels_(image.pixelBuffer()),
        surface_(cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels_->data())),
            CAIRO_FORMAT_ARGB32, image.pixelWidth(), image.pixelHeight(), image.pixelWidth() * 4)) {}
  ~SourceSurface() {
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
  }
  SourceSurface(const SourceSurface&) = delete;
  SourceSurface& operator=(const SourceSurface&) = delete;
  cairo_surface_t* get() const { return surface_; }
  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }

 private:
  // Held while Cairo reads them, whatever purges happen meanwhile.
  std::shared_ptr<const std::vector<std::uint32_t>> pixels_;
  cairo_surface_t* surface_;
};

bool finite(const Rect& r) {
  return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
         std::isfinite(r.height());
}

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// One pass of a box blur of the given radius along rows (step 1) or columns (step = stride).
void boxBlur(unsigned char* data, int lines, int length, int lineStride, int step, int radius) {
  std::vector<unsigned char> line(static_cast<std::size_t>(length));
  int window = 2 * radius + 1;
  for (int l = 0; l < lines; ++l) {
    unsigned char* base = data + std::size_t(l) * std::size_t(lineStride);
    for (int i = 0; i < length; ++i) line[std::size_t(i)] = base[std::size_t(i) * std::size_t(step)];
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < length) ? line[std::size_t(i)] : 0;
    for (int i = 0; i < length; ++i) {
      base[std::size_t(i) * std::size_t(step)] = static_cast<unsigned char>(sum / window);
      int out = i - radius, in = i + radius + 1;
      if (out >= 0) sum -= line[std::size_t(out)];
      if (in < length) sum += line[std::size_t(in)];
    }
  }
}

// The alpha of a pattern in device pixels, blurred by three box passes each way (close to a
// Gaussian of the given standard deviation).
cairo_surface_t* blurredAlpha(cairo_pattern_t* pattern, int width, int height, double sigma) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source(cr, pattern);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  int radius = std::max(1, int(std::lround(sigma)));
  if (data) {
    for (int pass = 0; pass < 3; ++pass) {
      boxBlur(data, height, width, stride, 1, radius);
      boxBlur(data, width, height, 1, stride, radius);
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// Pixel buffers of pictures the size of a screen, given back when their image goes. A window
// draws such a picture every frame, and memory fresh from the system costs a page fault for
// every page on its first write; a buffer drawn into before does not.
class BufferPool {
 public:
  using Buffer = std::unique_ptr<std::vector<std::uint32_t>>;
  // Smaller buffers come cheaply from the allocator; a few spare ones cover a window and a shot.
  static constexpr std::size_t kLeastPixels = 256 * 1024;
  static constexpr std::size_t kMostSpare = 2;

  static BufferPool& shared() {
    static auto* pool = new BufferPool;  // images may outlive static destruction
    return *pool;
  }

  // A buffer of count pixels, all zero.
  Buffer take(std::size_t count) {
    Buffer buffer;
    {
      std::lock_guard hold(lock_);
      auto found =
          std::find_if(spare_.begin(), spare_.end(), [&](const Buffer& b) { return b->size() == count; });
      if (found != spare_.end()) {
        buffer = std::move(*found);
        spare_.erase(found);
      }
    }
    if (!buffer) return std::make_unique<std::vector<std::uint32_t>>(count, 0u);
    std::fill(buffer->begin(), buffer->end(), 0u);
    return buffer;
  }

  void give(Buffer buffer) {
    std::lock_guard hold(lock_);
    // The newest stays: it has the size drawn now.
    if (spare_.size() >= kMostSpare) spare_.erase(spare_.begin());
    spare_.push_back(std::move(buffer));
  }

 private:
  std::mutex lock_;
  std::vector<Buffer> spare_;
};

// Pictures drawn scaled, kept at the size in device pixels they were drawn at: a page draws the
// same posters at the same sizes frame after frame, and scaling with a good filter costs far more
// than a copy. An entry goes with its image, when the room is needed, or on a purge.
class ScaledImages {
 public:
  static constexpr std::size_t kMostBytes = 8 << 20;

  static ScaledImages& shared() {
    static auto* images = new ScaledImages;  // images may outlive static destruction
    return *images;
  }

  // The image scaled to width x height pixels, sampled as drawImage samples it (a reference the
  // caller releases); nullptr when it is not kept.
  cairo_surface_t* get(const Image& image, int width, int height) {
    std::weak_ptr<const ns::Object> owner = image.weak_from_this();
    std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    if (owner.expired() || bytes > kMostBytes / 4) return nullptr;
    {
      std::lock_guard hold(lock_);
      // A live owner at the same address is the same image: a dead one's weak pointer has expired.
      for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->image == &image && it->width == width && it->height == height && !it->owner.expired()) {
          entries_.splice(entries_.begin(), entries_, it);
          return cairo_surface_reference(it->surface);
        }
    }
    cairo_surface_t* scaled = scale(image, width, height);
    if (!scaled) return nullptr;
    std::lock_guard hold(lock_);
    entries_.push_front({&image, std::move(owner), width, height, cairo_surface_reference(scaled), bytes});
    bytes_ += bytes;
    for (auto it = entries_.begin(); it != entries_.end();) {
      bool gone = it->owner.expired();
      it = gone ? drop(it) : std::next(it);
    }
    while (bytes_ > kMostBytes && entries_.size() > 1) drop(std::prev(entries_.end()));
    return scaled;
  }

  std::size_t purge() {
    std::lock_guard hold(lock_);
    std::size_t bytes = bytes_;
    while (!entries_.empty()) drop(entries_.begin());
    return bytes;
  }

 private:
  struct Entry {
    const Image* image;
    std::weak_ptr<const ns::Object> owner;
    int width, height;
    cairo_surface_t* surface;
    std::size_t bytes;
  };

  static cairo_surface_t* scale(const Image& image, int width, int height) {
    SourceSurface source(image);
    if (!source.ok()) return nullptr;
    cairo_surface_t* scaled = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(scaled);
    cairo_scale(cr, double(width) / image.pixelWidth(), double(height) / image.pixelHeight());
    cairo_set_source_surface(cr, source.get(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    if (ok) return scaled;
    cairo_surface_destroy(scaled);
    return nullptr;
  }

  std::list<Entry>::iterator drop(std::list<Entry>::iterator it) {
    bytes_ -= it->bytes;
    cairo_surface_destroy(it->surface);
    return entries_.erase(it);
  }

  std::mutex lock_;
  std::list<Entry> entries_;  // the most recently drawn first
  std::size_t bytes_ = 0;
};

}  // namespace

namespace detail {
std::size_t purgeScaledImages() { return ScaledImages::shared().purge(); }
}  // namespace detail

std::unique_ptr<Context> Context::makeBitmap(Size size, bool opaque, double scale) {
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
  if (!(size.width > 0) || !(size.height > 0) || !std::isfinite(size.width * scale) ||
      !std::isfinite(size.height * scale) || size.width * scale > 1e9 || size.height * scale > 1e9)
    return nullptr;
  // Rounded up, less a hair so that 100.0000001 points at scale 1 stay 100 pixels.
  auto pixels = [&](double points) { return std::int64_t(std::ceil(points * scale - 1e-6)); };
  std::int64_t width = pixels(size.width), height = pixels(size.height);
  if (!detail::acceptablePixelSize(width, height)) return nullptr;
  cairo_format_t format = opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
  std::unique_ptr<Context> context(new Context());
  std::size_t count = std::size_t(width) * std::size_t(height);
  cairo_surface_t* surface = nullptr;
  if (count >= BufferPool::kLeastPixels && cairo_format_stride_for_width(format, int(width)) == width * 4) {
    context->pixels_ = BufferPool::shared().take(count);
    surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(context->pixels_->data()),
                                                  format, int(width), int(height), int(width) * 4);
  } else {
    surface = cairo_image_surface_create(format, int(width), int(height));
  }
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    if (context->pixels_) BufferPool::shared().give(std::move(context->pixels_));
    return nullptr;
  }
  context->surface_ = surface;
  context->cr_ = cairo_create(surface);
  context->size_ = size;
  context->scale_ = scale;
  context->pixelWidth_ = int(width);
  context->pixelHeight_ = int(height);
  context->opaque_ = opaque;
  cairo_scale(context->cr_, scale, scale);
  cairo_set_line_width(context->cr_, 1);
  cairo_set_miter_limit(context->cr_, 10);
  return context;
}

Context::~Context() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
  if (pixels_) BufferPool::shared().give(std::move(pixels_));
}

ImagePtr Context::makeImage() const {
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  int stride = cairo_image_surface_get_stride(surface_);
  std::vector<std::uint32_t> pixels;
  pixels.reserve(std::size_t(pixelWidth_) * std::size_t(pixelHeight_));
  for (int y = 0; y < pixelHeight_; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
    if (opaque_)
      std::transform(row, row + pixelWidth_, std::back_inserter(pixels),
                     [](std::uint32_t p) { return p | 0xFF000000u; });
    else
      pixels.insert(pixels.end(), row, row + pixelWidth_);
  }
  return Image::fromPixels(pixelWidth_, pixelHeight_, std::move(pixels), scale_);
}

ImagePtr Context::takeImage() {
  if (!pixels_) return makeImage();
  cairo_surface_finish(surface_);
  if (opaque_)
    for (std::uint32_t& p : *pixels_) p |= 0xFF000000u;
  // The image's pixels go back to the pool when the last holder lets them go.
  std::shared_ptr<const std::vector<std::uint32_t>> pixels(
      pixels_.release(), [](const std::vector<std::uint32_t>* p) {
        BufferPool::shared().give(BufferPool::Buffer(const_cast<std::vector<std::uint32_t>*>(p)));
      });
  return std::make_shared<Image>(pixelWidth_, pixelHeight_, std::move(pixels), scale_);
}

void Context::saveGState() {
  cairo_save(cr_);
  saved_.push_back(state_);
}

void Context::restoreGState() {
  std::size_t floor = layers_.empty() ? 0 : layers_.back().savedDepth;
  if (saved_.size() <= floor) return;
  cairo_restore(cr_);
  state_ = saved_.back();
  saved_.pop_back();
}

void Context::concatCTM(const AffineTransform& t) {
  double det = t.a * t.d - t.b * t.c;
  if (!std::isfinite(det) || det == 0 || !std::isfinite(t.tx) || !std::isfinite(t.ty)) {
    // Cairo would put the whole context into an error state; draw nothing until restored instead.
    state_.degenerate = true;
    return;
  }
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  cairo_transform(cr_, &m);
}

void Context::translateCTM(double dx, double dy) { concatCTM(AffineTransform::makeTranslation(dx, dy)); }
void Context::scaleCTM(double sx, double sy) { concatCTM(AffineTransform::makeScale(sx, sy)); }
void Context::rotateCTM(double angle) { concatCTM(AffineTransform::makeRotation(angle)); }

AffineTransform Context::ctm() const {
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  AffineTransform device{m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
  return device.concat(AffineTransform::makeScale(1 / scale_, 1 / scale_));
}

void Context::setFillColor(const Color& color) { state_.fill = color; }
void Context::setStrokeColor(const Color& color) { state_.stroke = color; }
Color Context::fillColor() const { return state_.fill; }
void Context::setLineWidth(double width) {
  if (std::isfinite(width) && width >= 0) cairo_set_line_width(cr_, width);
}

void Context::setLineCap(LineCap cap) {
  cairo_set_line_cap(cr_, cap == LineCap::Round    ? CAIRO_LINE_CAP_ROUND
                          : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                   : CAIRO_LINE_CAP_BUTT);
}

void Context::setLineJoin(LineJoin join) {
  cairo_set_line_join(cr_, join == LineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                           : join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                     : CAIRO_LINE_JOIN_MITER);
}

void Context::setAlpha(double alpha) {
  state_.alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
}

void Context::setBlendMode(BlendMode mode) {
  state_.blend = mode;
  cairo_set_operator(cr_, cairoOperator(mode));
}

BlendMode Context::blendMode() const { return state_.blend; }

void Context::setShadow(Size offset, double blur, const Color& color) {
  bool usable = std::isfinite(offset.width) && std::isfinite(offset.height) && std::isfinite(blur);
  state_.shadowOffset = usable ? offset : Size{};
  state_.shadowBlur = usable ? std::clamp(blur, 0.0, 100.0) : 0;
  state_.shadowColor = usable ? color : Color::clear();
}

void Context::composite(const std::function<void()>& draw) {
  if (!(state_.shadowColor.alpha > 0)) return draw();
  // Drawn alone first, so that the shadow takes the shape of exactly what this operation draws.
  cairo_push_group(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
  draw();
  cairo_pattern_t* content = cairo_pop_group(cr_);
  paintWithShadow(content);
  cairo_pattern_destroy(content);
}

void Context::paintWithShadow(cairo_pattern_t* content) {
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  cairo_pattern_set_matrix(content, &identity);
  double dx = state_.shadowOffset.width * scale_, dy = state_.shadowOffset.height * scale_;
  const Color& c = state_.shadowColor;
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, std::clamp(c.alpha, 0.0, 1.0));
  if (state_.shadowBlur > 0) {
    cairo_surface_t* shape = blurredAlpha(content, pixelWidth_, pixelHeight_, state_.shadowBlur * scale_ / 2);
    cairo_mask_surface(cr_, shape, dx, dy);
    cairo_surface_destroy(shape);
  } else {
    cairo_matrix_t shifted;
    cairo_matrix_init_translate(&shifted, -dx, -dy);
    cairo_pattern_set_matrix(content, &shifted);
    cairo_mask(cr_, content);
    cairo_pattern_set_matrix(content, &identity);
  }
  cairo_set_source(cr_, content);
  cairo_paint(cr_);
  cairo_restore(cr_);
}

void Context::applyColor(const Color& c) const {
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, std::clamp(c.alpha, 0.0, 1.0) * state_.alpha);
}

// Cairo lets these modes change pixels outside the shape drawn; they are confined to it here.
bool Context::unbounded() const {
  switch (cairo_get_operator(cr_)) {
    case CAIRO_OPERATOR_IN:
    case CAIRO_OPERATOR_OUT:
    case CAIRO_OPERATOR_DEST_IN:
    case CAIRO_OPERATOR_DEST_ATOP:
      return true;
    default:
      return false;
  }
}

void Context::beginPath() { cairo_new_path(cr_); }
void Context::moveTo(Point p) { cairo_move_to(cr_, p.x, p.y); }
void Context::addLineTo(Point p) { cairo_line_to(cr_, p.x, p.y); }
void Context::addCurveTo(Point c1, Point c2, Point e) {
  cairo_curve_to(cr_, c1.x, c1.y, c2.x, c2.y, e.x, e.y);
}

void Context::addQuadCurveTo(Point c, Point e) {
  double x0 = c.x, y0 = c.y;
  if (cairo_has_current_point(cr_)) cairo_get_current_point(cr_, &x0, &y0);
  cairo_curve_to(cr_, x0 + 2.0 / 3 * (c.x - x0), y0 + 2.0 / 3 * (c.y - y0), e.x + 2.0 / 3 * (c.x - e.x),
                 e.y + 2.0 / 3 * (c.y - e.y), e.x, e.y);
}

void Context::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
  if (!(radius >= 0) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle))
    return;
  // Increasing angles turn clockwise on screen, y growing downwards.
  if (clockwise)
    cairo_arc(cr_, center.x, center.y, radius, startAngle, endAngle);
  else
    cairo_arc_negative(cr_, center.x, center.y, radius, startAngle, endAngle);
}

void Context::closePath() { cairo_close_path(cr_); }
void Context::addRect(const Rect& rect) { addPath(Path::rect(rect)); }
void Context::addEllipseInRect(const Rect& rect) { addPath(Path::ellipseInRect(rect)); }
void Context::addRoundedRect(const Rect& rect, double radius) { addPath(Path::roundedRect(rect, radius)); }

void Context::replay(const Path& path) {
  for (const auto& e : path.elements()) {
    switch (e.kind) {
      case Path::Kind::MoveTo:
        moveTo(e.points[0]);
        break;
      case Path::Kind::LineTo:
        addLineTo(e.points[0]);
        break;
      case Path::Kind::CurveTo:
        addCurveTo(e.points[0], e.points[1], e.points[2]);
        break;
      case Path::Kind::QuadCurveTo:
        addQuadCurveTo(e.points[0], e.points[1]);
        break;
      case Path::Kind::Arc:
        addArc(e.points[0], e.radius, e.startAngle, e.endAngle, e.clockwise);
        break;
      case Path::Kind::Close:
        closePath();
        break;
    }
  }
}

void Context::addPath(const Path& path) { replay(path); }

template <class Build, class Use>
void Context::withOwnPath(Build build, Use use) {
  cairo_path_t* current = cairo_copy_path(cr_);
  cairo_new_path(cr_);
  build();
  use();
  cairo_new_path(cr_);
  if (current->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr_, current);
  cairo_path_destroy(current);
}

void Context::paintShape(bool stroke, FillRule rule) {
  if (state_.degenerate) {
    cairo_new_path(cr_);
    return;
  }
  applyColor(stroke ? state_.stroke : state_.fill);
  cairo_set_fill_rule(cr_, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  composite([&] {
    if (!unbounded()) {
      stroke ? cairo_stroke(cr_) : cairo_fill(cr_);
      return;
    }
    cairo_save(cr_);
    if (stroke) {
      // A stroke cannot become a clip; its bounds confine it instead.
      double x1, y1, x2, y2;
      cairo_stroke_extents(cr_, &x1, &y1, &x2, &y2);
      cairo_path_t* path = cairo_copy_path(cr_);
      cairo_new_path(cr_);
      cairo_rectangle(cr_, x1, y1, x2 - x1, y2 - y1);
      cairo_clip(cr_);
      cairo_append_path(cr_, path);
      cairo_path_destroy(path);
      cairo_stroke(cr_);
    } else {
      cairo_clip(cr_);
      cairo_paint(cr_);
    }
    cairo_restore(cr_);
  });
  cairo_new_path(cr_);
}

void Context::fillPath(FillRule rule) { paintShape(false, rule); }
void Context::strokePath() { paintShape(true, FillRule::Winding); }

void Context::fillPath(const Path& path, FillRule rule) {
  withOwnPath([&] { replay(path); }, [&] { paintShape(false, rule); });
}

void Context::strokePath(const Path& path) {
  withOwnPath([&] { replay(path); }, [&] { paintShape(true, FillRule::Winding); });
}

void Context::fillRect(const Rect& rect) {
  if (finite(rect)) fillPath(Path::rect(rect));
}
void Context::strokeRect(const Rect& rect) {
  if (finite(rect)) strokePath(Path::rect(rect));
}
void Context::fillEllipseInRect(const Rect& rect) {
  if (finite(rect)) fillPath(Path::ellipseInRect(rect));
}
void Context::strokeEllipseInRect(const Rect& rect) {
  if (finite(rect)) strokePath(Path::ellipseInRect(rect));
}

void Context::clearRect(const Rect& rect) {
  if (state_.degenerate || !finite(rect)) return;
  withOwnPath([&] { replay(Path::rect(rect)); },
              [&] {
                cairo_save(cr_);
                cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
                cairo_fill(cr_);
                cairo_restore(cr_);
              });
}

void Context::clip(FillRule rule) {
  cairo_set_fill_rule(cr_, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  cairo_clip(cr_);
}

void Context::clipToRect(const Rect& rect) {
  if (!finite(rect)) return;
  withOwnPath([&] { replay(Path::rect(rect)); }, [&] { clip(); });
}

void Context::clipToPath(const Path& path, FillRule rule) {
  withOwnPath([&] { replay(path); }, [&] { clip(rule); });
}

Rect Context::clipBoundingBox() const {
  double x1, y1, x2, y2;
  cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
  return Rect(x1, y1, x2 - x1, y2 - y1);
}

void Context::clipToPixelRects(const std::vector<PixelRect>& rects) {
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  cairo_identity_matrix(cr_);
  cairo_new_path(cr_);
  for (const PixelRect& r : rects) cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  cairo_clip(cr_);
  cairo_set_matrix(cr_, &m);
}

void Context::clearPixelRects(const std::vector<PixelRect>& rects) {
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_new_path(cr_);
  for (const PixelRect& r : rects) cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
  cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

const std::uint32_t* Context::pixelData() const {
  cairo_surface_flush(surface_);
  return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface_));
}

int Context::pixelStride() const { return cairo_image_surface_get_stride(surface_); }

bool Context::drawScaledImage(const Image& image, const Rect& r) {
  // Only where the image lands on whole device pixels, unturned, does a copy of it scaled
  // beforehand give the very pixels that scaling it here would.
  cairo_matrix_t m;
  cairo_get_matrix(cr_, &m);
  if (m.xy != 0 || m.yx != 0 || !(m.xx > 0) || !(m.yy > 0)) return false;
  double x = m.xx * r.x() + m.x0, y = m.yy * r.y() + m.y0, w = m.xx * r.width(), h = m.yy * r.height();
  auto whole = [](double v) { return std::isfinite(v) && std::abs(v - std::round(v)) < 1e-6; };
  if (!whole(x) || !whole(y) || !whole(w) || !whole(h) || w < 1 || h < 1 || w > 32767 || h > 32767)
    return false;
  int width = int(std::lround(w)), height = int(std::lround(h));
  if (width == image.pixelWidth() && height == image.pixelHeight()) return false;
  cairo_surface_t* scaled = ScaledImages::shared().get(image, width, height);
  if (!scaled) return false;
  withOwnPath([] {},
              [&] {
                composite([&] {
                  cairo_save(cr_);
                  cairo_identity_matrix(cr_);
                  cairo_set_source_surface(cr_, scaled, std::round(x), std::round(y));
                  cairo_rectangle(cr_, std::round(x), std::round(y), width, height);
                  cairo_clip(cr_);
                  cairo_paint_with_alpha(cr_, state_.alpha);
                  cairo_restore(cr_);
                });
              });
  cairo_surface_destroy(scaled);
  return true;
}

void Context::drawImage(const Image& image, const Rect& rect) {
  Rect r = rect.standardized();
  if (state_.degenerate || !finite(r) || r.isEmpty()) return;
  if (drawScaledImage(image, r)) return;
  SourceSurface source(image);
  if (!source.ok()) return;
  withOwnPath([] {},
              [&] {
                composite([&] {
                  cairo_save(cr_);
                  cairo_translate(cr_, r.x(), r.y());
                  cairo_scale(cr_, r.width() / image.pixelWidth(), r.height() / image.pixelHeight());
                  cairo_set_source_surface(cr_, source.get(), 0, 0);
                  // Padding keeps the edges sharp when the image is scaled.
                  cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
                  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
                  cairo_rectangle(cr_, 0, 0, image.pixelWidth(), image.pixelHeight());
                  cairo_clip(cr_);
                  cairo_paint_with_alpha(cr_, state_.alpha);
                  cairo_restore(cr_);
                });
              });
}

void Context::drawImage(const Image& image, Point at) { drawImage(image, Rect(at, image.size())); }

void Context::drawTiledImage(const Image& image, const Rect& tile) {
  Rect t = tile.standardized();
  if (state_.degenerate || !finite(t) || t.isEmpty()) return;
  SourceSurface source(image);
  if (!source.ok()) return;
  composite([&] {
    cairo_save(cr_);
    cairo_translate(cr_, t.x(), t.y());
    cairo_scale(cr_, t.width() / image.pixelWidth(), t.height() / image.pixelHeight());
    cairo_set_source_surface(cr_, source.get(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_REPEAT);
    cairo_paint_with_alpha(cr_, state_.alpha);
    cairo_restore(cr_);
  });
}

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, bool extendBeforeStart,
                                 bool extendAfterEnd) {
  if (state_.degenerate || gradient.colors.empty() || !finite(start) || !finite(end)) return;
  double dx = end.x - start.x, dy = end.y - start.y, length = std::hypot(dx, dy);
  if (!(length > 0)) return;
  cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
  std::size_t n = gradient.colors.size();
  bool located = gradient.locations.size() == n;
  for (std::size_t i = 0; i < n; ++i) {
    double at = located  ? std::clamp(gradient.locations[i], 0.0, 1.0)
                : n == 1 ? 0.0
                         : double(i) / double(n - 1);
    const Color& c = gradient.colors[i];
    cairo_pattern_add_color_stop_rgba(pattern, at, c.red, c.green, c.blue,
                                      std::clamp(c.alpha, 0.0, 1.0) * state_.alpha);
  }
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);

  // The band between the perpendiculars through start and end, opened on the sides to extend.
  Rect box = clipBoundingBox();
  double far =
      2 * (std::hypot(box.width(), box.height()) + std::hypot(box.x() - start.x, box.y() - start.y)) + length;
  double ux = dx / length, uy = dy / length, nx = -uy * far, ny = ux * far;
  double sx = start.x - (extendBeforeStart ? ux * far : 0), sy = start.y - (extendBeforeStart ? uy * far : 0);
  double ex = end.x + (extendAfterEnd ? ux * far : 0), ey = end.y + (extendAfterEnd ? uy * far : 0);
  withOwnPath(
      [&] {
        cairo_move_to(cr_, sx + nx, sy + ny);
        cairo_line_to(cr_, sx - nx, sy - ny);
        cairo_line_to(cr_, ex - nx, ey - ny);
        cairo_line_to(cr_, ex + nx, ey + ny);
        cairo_close_path(cr_);
      },
      [&] {
        composite([&] {
          cairo_save(cr_);
          cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
          cairo_clip(cr_);
          cairo_set_source(cr_, pattern);
          cairo_paint(cr_);
          cairo_restore(cr_);
        });
      });
  cairo_pattern_destroy(pattern);
}

void Context::beginTransparencyLayer() {
  layers_.push_back({state_, saved_.size(), false});
  cairo_push_group(cr_);
  state_.alpha = 1;
  state_.shadowColor = Color::clear();
  setBlendMode(BlendMode::Normal);
}

void Context::beginTransparencyLayer(const Rect& rect) {
  Rect r = rect.standardized();
  if (!finite(r)) return beginTransparencyLayer();
  // The group's surface takes the size of the clip: a clip to the rect's box in whole device
  // pixels keeps it small and, falling on pixel edges, leaves the pixels inside untouched.
  double xs[4] = {r.minX(), r.maxX(), r.maxX(), r.minX()}, ys[4] = {r.minY(), r.minY(), r.maxY(), r.maxY()};
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr_, &xs[i], &ys[i]);
    x0 = std::min(x0, xs[i]), x1 = std::max(x1, xs[i]);
    y0 = std::min(y0, ys[i]), y1 = std::max(y1, ys[i]);
  }
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
    return beginTransparencyLayer();
  cairo_save(cr_);
  withOwnPath(
      [&] {
        cairo_matrix_t m;
        cairo_get_matrix(cr_, &m);
        cairo_identity_matrix(cr_);
        cairo_rectangle(cr_, std::floor(x0), std::floor(y0), std::ceil(x1) - std::floor(x0),
                        std::ceil(y1) - std::floor(y0));
        cairo_set_matrix(cr_, &m);
      },
      [&] { cairo_clip(cr_); });
  layers_.push_back({state_, saved_.size(), true});
  cairo_push_group(cr_);
  state_.alpha = 1;
  state_.shadowColor = Color::clear();
  setBlendMode(BlendMode::Normal);
}

void Context::endTransparencyLayer() { endLayer(nullptr, Rect()); }
void Context::endTransparencyLayer(const Image& mask, const Rect& maskRect) { endLayer(&mask, maskRect); }

void Context::endLayer(const Image* mask, const Rect& maskRect) {
  if (layers_.empty()) return;
  while (saved_.size() > layers_.back().savedDepth) restoreGState();
  cairo_pattern_t* group = cairo_pop_group(cr_);
  if (layers_.back().bounded) cairo_restore(cr_);
  state_ = layers_.back().state;
  layers_.pop_back();
  Rect r = maskRect.standardized();
  if (!state_.degenerate && (!mask || (finite(r) && !r.isEmpty()))) {
    if (!mask) {
      composite([&] {
        cairo_set_source(cr_, group);
        cairo_paint_with_alpha(cr_, state_.alpha);
      });
    } else {
      SourceSurface source(*mask);
      cairo_push_group(cr_);
      cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
      cairo_set_source(cr_, group);
      cairo_save(cr_);
      cairo_translate(cr_, r.x(), r.y());
      cairo_scale(cr_, r.width() / mask->pixelWidth(), r.height() / mask->pixelHeight());
      cairo_mask_surface(cr_, source.get(), 0, 0);
      cairo_restore(cr_);
      cairo_pop_group_to_source(cr_);
      composite([&] { cairo_paint_with_alpha(cr_, state_.alpha); });
    }
  }
  cairo_set_source_rgb(cr_, 0, 0, 0);
  cairo_pattern_destroy(group);
}

namespace {

struct StackEntry {
  std::shared_ptr<Context> context;
  bool imageContext;
};

thread_local std::vector<StackEntry> contextStack;

}  // namespace

Context* currentContext() { return contextStack.empty() ? nullptr : contextStack.back().context.get(); }

void pushContext(std::shared_ptr<Context> context) { contextStack.push_back({std::move(context), false}); }

void popContext() {
  if (!contextStack.empty()) contextStack.pop_back();
}

bool beginImageContext(Size size, bool opaque, double scale) {
  std::shared_ptr<Context> context = Context::makeBitmap(size, opaque, scale);
  if (!context) return false;
  contextStack.push_back({std::move(context), true});
  return true;
}

ImagePtr imageFromCurrentImageContext() {
  if (contextStack.empty() || !contextStack.back().imageContext) return nullptr;
  return contextStack.back().context->makeImage();
}

void endImageContext() {
  if (!contextStack.empty() && contextStack.back().imageContext) contextStack.pop_back();
}

}  // namespace cg
