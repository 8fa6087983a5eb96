// Fonts and text on Pango over fontconfig. Neither is safe to call from several threads in every
// function, so all of it runs under one lock, on one shared font map.
#include "Graphics/Text.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "Graphics/ImageHeader.h"
#include "Graphics/TextDetail.h"

namespace cg {
namespace detail {

struct TextPainter {
  static bool drawsNothing(const Context& c) { return c.state_.degenerate; }
  static void applyFill(const Context& c) { c.applyColor(c.state_.fill); }
  static void composite(Context& c, const std::function<void()>& draw) { c.composite(draw); }
};

}  // namespace detail

namespace {

[[maybe_unused]] const int* const linkSanitizerHooks = &detail::kSanitizerHooks;

std::mutex& textMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string lowercase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Everything below is used only with textMutex() held.
struct Fonts {
  PangoFontMap* map = pango_cairo_font_map_new();
  PangoContext* measuring = nullptr;
  std::set<std::string> installed;  // lower-cased family names
  std::map<std::string, std::string> resolved;

  Fonts() {
    measuring = pango_font_map_create_context(map);
    configure(measuring);
    PangoFontFamily** families = nullptr;
    int count = 0;
    pango_font_map_list_families(map, &families, &count);
    for (int i = 0; i < count; ++i) installed.insert(lowercase(pango_font_family_get_name(families[i])));
    g_free(families);
  }

  // Unhinted metrics and unrounded positions, so that text measures the same at every scale.
  static void configure(PangoContext* context) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
  }

  const std::string& resolve(const std::string& family) {
    auto found = resolved.find(family);
    if (found != resolved.end()) return found->second;
    std::string name = installed.count(lowercase(family)) ? family : Font::kFallbackFamily;
    return resolved.emplace(family, name).first->second;
  }
};

Fonts& fonts() {
  static Fonts* shared = new Fonts();  // kept for the life of the process
  return *shared;
}

constexpr double kUnconstrained = 1e6;

struct Description {
  PangoFontDescription* desc;
  explicit Description(const Font& font) : desc(pango_font_description_new()) {
    pango_font_description_set_family(desc, fonts().resolve(font.familyName()).c_str());
    pango_font_description_set_weight(desc, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    double size =
        std::isfinite(font.pointSize()) ? std::clamp(font.pointSize(), 1.0, 5000.0) : Font::kSystemFontSize;
    pango_font_description_set_absolute_size(desc, size * PANGO_SCALE);
  }
  ~Description() { pango_font_description_free(desc); }
  Description(const Description&) = delete;
  Description& operator=(const Description&) = delete;
};

struct Metrics {
  double ascent, descent;
};

Metrics metricsLocked(const Font& font) {
  Description description(font);
  PangoFontMetrics* metrics = pango_context_get_metrics(fonts().measuring, description.desc, nullptr);
  Metrics m{double(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE,
            double(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE};
  pango_font_metrics_unref(metrics);
  return m;
}

Metrics metricsOf(const Font& font) {
  std::lock_guard lock(textMutex());
  return metricsLocked(font);
}

struct Layout {
  PangoLayout* layout = nullptr;
  int shownLines = 0;
  double width = 0;   // of the widest shown line
  double height = 0;  // down to the bottom of the last shown line
  ~Layout() {
    if (layout) g_object_unref(layout);
  }
};

void setValidText(PangoLayout* layout, std::string_view text) {
  gchar* valid = g_utf8_make_valid(text.data(), gssize(text.size()));
  pango_layout_set_text(layout, valid, -1);
  g_free(valid);
}

// Lays the text out (with textMutex() held) in a box (width or height at or past kUnconstrained, or not
// finite, means none in that direction); a box width <= 0 lays out nothing.
void layOut(Layout& out, PangoContext* context, std::string_view text, const Font& font, Size box,
            LineBreakMode mode, TextAlignment alignment, bool singleLine) {
  out.layout = pango_layout_new(context);
  setValidText(out.layout, text);
  Description description(font);
  pango_layout_set_font_description(out.layout, description.desc);
  pango_layout_set_alignment(out.layout, alignment == TextAlignment::Center  ? PANGO_ALIGN_CENTER
                                         : alignment == TextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                                             : PANGO_ALIGN_LEFT);
  if (singleLine) pango_layout_set_single_paragraph_mode(out.layout, TRUE);
  bool boundedWidth = std::isfinite(box.width) && box.width < kUnconstrained;
  bool boundedHeight = std::isfinite(box.height) && box.height < kUnconstrained;
  if (boundedWidth && !singleLine) {
    pango_layout_set_width(out.layout, int(box.width * PANGO_SCALE));
    pango_layout_set_wrap(out.layout,
                          mode == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
  }
  int maxLines = 0;
  if (boundedHeight && !singleLine) {
    Metrics metrics = metricsLocked(font);
    double lineHeight = metrics.ascent + metrics.descent;
    maxLines = std::max(1, int(std::floor(box.height / lineHeight + 1e-6)));
  }
  if (boundedWidth && !singleLine &&
      (mode == LineBreakMode::TruncateHead || mode == LineBreakMode::TruncateMiddle ||
       mode == LineBreakMode::TruncateTail)) {
    pango_layout_set_ellipsize(out.layout, mode == LineBreakMode::TruncateHead     ? PANGO_ELLIPSIZE_START
                                           : mode == LineBreakMode::TruncateMiddle ? PANGO_ELLIPSIZE_MIDDLE
                                                                                   : PANGO_ELLIPSIZE_END);
    pango_layout_set_height(out.layout, maxLines > 0 ? -maxLines : -1000000);
  }
  int lines = pango_layout_get_line_count(out.layout);
  out.shownLines = maxLines > 0 ? std::min(lines, maxLines) : lines;
  PangoLayoutIter* iter = pango_layout_get_iter(out.layout);
  int index = 0;
  do {
    if (index >= out.shownLines) break;
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
    out.width = std::max(out.width, double(logical.width) / PANGO_SCALE);
    out.height = double(logical.y + logical.height) / PANGO_SCALE;
    ++index;
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
  if (boundedWidth && !singleLine) out.width = std::min(out.width, box.width);
}

double roundUp(double v) { return std::ceil(v - 1e-6); }

Size measured(const Layout& layout) { return {roundUp(layout.width), roundUp(layout.height)}; }

Size drawLayout(Context& context, std::string_view text, const Rect& rect, const Font& font,
                LineBreakMode mode, TextAlignment alignment, bool singleLine) {
  if (text.empty() || !std::isfinite(rect.x()) || !std::isfinite(rect.y())) return {};
  if (!singleLine && !(rect.width() > 0 && rect.height() > 0)) return {};
  std::lock_guard lock(textMutex());
  cairo_t* cr = context.cairo();
  PangoContext* pango = pango_font_map_create_context(fonts().map);
  Fonts::configure(pango);
  pango_cairo_update_context(cr, pango);
  Layout layout;
  layOut(layout, pango, text, font, rect.size, mode, alignment, singleLine);
  if (!detail::TextPainter::drawsNothing(context)) {
    cairo_save(cr);
    if (mode == LineBreakMode::Clip && !singleLine) {
      cairo_new_path(cr);
      cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
      cairo_clip(cr);
    }
    detail::TextPainter::applyFill(context);
    detail::TextPainter::composite(context, [&] {
      PangoLayoutIter* iter = pango_layout_get_iter(layout.layout);
      int index = 0;
      do {
        if (index++ >= layout.shownLines) break;
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iter, nullptr, &logical);
        double x = rect.x() + double(logical.x) / PANGO_SCALE;
        double baseline = rect.y() + double(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
        cairo_new_path(cr);
        cairo_move_to(cr, x, baseline);
        pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
      } while (pango_layout_iter_next_line(iter));
      pango_layout_iter_free(iter);
    });
    cairo_new_path(cr);
    cairo_restore(cr);
  }
  Size size = measured(layout);
  g_object_unref(pango);
  return size;
}

}  // namespace

Font::Font(std::string familyName, double pointSize, bool bold)
    : familyName_(std::move(familyName)), pointSize_(pointSize), bold_(bold) {}

std::string Font::resolvedFamily() const {
  std::lock_guard lock(textMutex());
  return fonts().resolve(familyName_);
}

double Font::ascender() const { return metricsOf(*this).ascent; }
double Font::descender() const { return -metricsOf(*this).descent; }
double Font::lineHeight() const {
  Metrics m = metricsOf(*this);
  return m.ascent + m.descent;
}

Size measureText(std::string_view text, const Font& font) {
  if (text.empty()) return {};
  std::lock_guard lock(textMutex());
  Layout layout;
  layOut(layout, fonts().measuring, text, font, {kUnconstrained, kUnconstrained}, LineBreakMode::Clip,
         TextAlignment::Left, true);
  return measured(layout);
}

Size measureText(std::string_view text, const Font& font, Size constrainedTo, LineBreakMode mode) {
  if (text.empty() || !(constrainedTo.width > 0) || !(constrainedTo.height > 0)) return {};
  std::lock_guard lock(textMutex());
  Layout layout;
  layOut(layout, fonts().measuring, text, font, constrainedTo, mode, TextAlignment::Left, false);
  return measured(layout);
}

Size drawText(Context& context, std::string_view text, const Rect& rect, const Font& font, LineBreakMode mode,
              TextAlignment alignment) {
  return drawLayout(context, text, rect.standardized(), font, mode, alignment, false);
}

Size drawText(Context& context, std::string_view text, Point at, const Font& font) {
  return drawLayout(context, text, Rect(at, {kUnconstrained, kUnconstrained}), font, LineBreakMode::Clip,
                    TextAlignment::Left, true);
}

namespace detail {

int unknownGlyphCount(std::string_view text, const Font& font) {
  std::lock_guard lock(textMutex());
  Layout layout;
  layOut(layout, fonts().measuring, text, font, {kUnconstrained, kUnconstrained}, LineBreakMode::Clip,
         TextAlignment::Left, true);
  return pango_layout_get_unknown_glyphs_count(layout.layout);
}

}  // namespace detail
}  // namespace cg
