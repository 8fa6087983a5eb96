// Fonts and text on Pango over fontconfig. Neither is safe to call from several threads in every
// function, so all of it runs under one lock, on one shared font map.
#include "Graphics/Text.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>

#include "Graphics/ImageHeader.h"
#include "Graphics/TextDetail.h"

namespace cg {
namespace detail {

extern const char* const kFontsConf;  // fonts.conf, built in

struct TextPainter {
  static bool drawsNothing(const Context& c) { return c.state_.degenerate; }
  static void applyFill(const Context& c) { c.applyColor(c.state_.fill); }
  static void composite(Context& c, const std::function<void()>& draw) { c.composite(draw); }
};

}  // namespace detail

namespace {

[[maybe_unused]] const int* const linkSanitizerHooks = &detail::kSanitizerHooks;

// Kept for the life of the process, like the fonts it guards: a worker may still be measuring
// text while the process exits.
std::mutex& textMutex() {
  static std::mutex* mutex = new std::mutex();
  return *mutex;
}

struct Metrics {
  double ascent, descent;
};

struct Layout {
  PangoLayout* layout = nullptr;
  int shownLines = 0;
  double width = 0;   // of the widest shown line
  double height = 0;  // down to the bottom of the last shown line
  Layout() = default;
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;
  ~Layout() {
    if (layout) g_object_unref(layout);
  }
};

// What a layout is made from: the same key gives the same layout. The Pango context stands for
// the drawing's transform and font options; a cached layout holds a reference to it, so the
// pointer cannot come back for another context while the entry lives.
struct LayoutKey {
  PangoContext* context;
  std::string text, family;
  bool bold;
  double pointSize, width, height;
  LineBreakMode mode;
  TextAlignment alignment;
  bool singleLine;
  bool operator==(const LayoutKey&) const = default;
};

struct LayoutKeyHash {
  std::size_t operator()(const LayoutKey& k) const {
    std::size_t h = std::hash<std::string>()(k.text);
    auto mix = [&](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
    mix(std::hash<const void*>()(k.context));
    mix(std::hash<std::string>()(k.family));
    mix(std::hash<double>()(k.pointSize));
    mix(std::hash<double>()(k.width));
    mix(std::hash<double>()(k.height));
    mix(std::size_t(k.mode) << 3 | std::size_t(k.alignment) << 1 | std::size_t(k.bold) << 6 |
        std::size_t(k.singleLine));
    return h;
  }
};

// The layouts used last, so that a text drawn again in the same box (every frame of a scroll)
// is not laid out again; the least recently used goes first when it is full.
class LayoutCache {
 public:
  explicit LayoutCache(std::size_t capacity) : capacity_(capacity) {}

  const Layout& get(LayoutKey key, const std::function<void(Layout&)>& make) {
    // A key that is not equal to itself could never be found nor dropped: it is not kept.
    if (!(key == key)) {
      scratch_ = std::make_unique<Layout>();
      make(*scratch_);
      return *scratch_;
    }
    if (auto found = index_.find(key); found != index_.end()) {
      entries_.splice(entries_.begin(), entries_, found->second);
      return *found->second->second;
    }
    auto layout = std::make_unique<Layout>();
    make(*layout);
    entries_.emplace_front(std::move(key), std::move(layout));
    index_.emplace(entries_.front().first, entries_.begin());
    if (entries_.size() > capacity_) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
    return *entries_.front().second;
  }

 private:
  using Entries = std::list<std::pair<LayoutKey, std::unique_ptr<Layout>>>;
  std::size_t capacity_;
  Entries entries_;
  std::unordered_map<LayoutKey, Entries::iterator, LayoutKeyHash> index_;
  std::unique_ptr<Layout> scratch_;
};

// Everything below is used only with textMutex() held.
struct Fonts {
  PangoFontMap* map = pango_cairo_font_map_new();
  PangoContext* measuring = nullptr;
  std::map<std::string, std::string> families;  // asked for -> the list handed to fontconfig
  // Asking Pango for a font's metrics costs a shaping of sample text; they never change.
  std::map<std::tuple<std::string, bool, double>, Metrics> metrics;
  // Contexts for drawing, one per transform (its linear part, as Pango keeps it) and target's font
  // options, which are all a drawing context takes from Cairo.
  std::map<std::tuple<double, double, double, double, unsigned long>, PangoContext*> drawing;
  LayoutCache layouts{kCachedLayouts};

  static constexpr std::size_t kCachedLayouts = 512;
  static constexpr std::size_t kMostDrawingContexts = 16;

  Fonts() {
    loadConfiguration();
    measuring = pango_font_map_create_context(map);
    configure(measuring);
  }

  // The system's font configuration with the project's on top, for this font map alone.
  void loadConfiguration() {
    if (!PANGO_IS_FC_FONT_MAP(map)) return;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return;
    FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(detail::kFontsConf), FcTrue);
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
    FcConfigDestroy(config);  // the map keeps its own reference
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

  // A context for drawing on cr, set up for its transform and target. It is set up once, when made
  // for them: Pango counts every setting of a transform other than the identity as a change, even
  // to the same one, and lays every layout of the context out again after a change.
  PangoContext* drawingContext(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_surface_get_font_options(cairo_get_target(cr), options);
    auto key = std::make_tuple(m.xx, m.yx, m.xy, m.yy, cairo_font_options_hash(options));
    cairo_font_options_destroy(options);
    auto found = drawing.find(key);
    if (found == drawing.end()) {
      // Transforms that change every frame (an animated rotation) would pile up contexts; the
      // layouts cached with a dropped one keep it alive until they go.
      if (drawing.size() >= kMostDrawingContexts) {
        for (auto& [k, context] : drawing) g_object_unref(context);
        drawing.clear();
      }
      PangoContext* context = pango_font_map_create_context(map);
      configure(context);
      pango_cairo_update_context(cr, context);
      found = drawing.emplace(key, context).first;
    }
    return found->second;
  }

  // The family, then the last fallback: a family that is neither installed nor mapped by the
  // configuration draws in the fallback, not in whatever the system prefers.
  const std::string& familyList(const std::string& family) {
    auto found = families.find(family);
    if (found != families.end()) return found->second;
    std::string name = family;
    std::replace(name.begin(), name.end(), ',', ' ');  // a comma would start another family
    std::string list = name.find_first_not_of(' ') == std::string::npos ? std::string(Font::kFallbackFamily)
                                                                        : name + "," + Font::kFallbackFamily;
    return families.emplace(family, std::move(list)).first->second;
  }
};

Fonts& fonts() {
  static Fonts* shared = new Fonts();  // kept for the life of the process
  return *shared;
}

constexpr double kUnconstrained = 1e6;

double pointSizeOf(const Font& font) {
  return std::isfinite(font.pointSize()) ? std::clamp(font.pointSize(), 1.0, 5000.0) : Font::kSystemFontSize;
}

struct Description {
  PangoFontDescription* desc;
  explicit Description(const Font& font) : desc(pango_font_description_new()) {
    pango_font_description_set_family(desc, fonts().familyList(font.familyName()).c_str());
    pango_font_description_set_weight(desc, font.isBold() ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(desc, pointSizeOf(font) * PANGO_SCALE);
  }
  ~Description() { pango_font_description_free(desc); }
  Description(const Description&) = delete;
  Description& operator=(const Description&) = delete;
};

Metrics metricsLocked(const Font& font) {
  auto key = std::make_tuple(font.familyName(), font.isBold(), pointSizeOf(font));
  if (auto found = fonts().metrics.find(key); found != fonts().metrics.end()) return found->second;
  Description description(font);
  PangoFontMetrics* metrics = pango_context_get_metrics(fonts().measuring, description.desc, nullptr);
  Metrics m{double(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE,
            double(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE};
  pango_font_metrics_unref(metrics);
  if (fonts().metrics.size() >= 1024) fonts().metrics.clear();
  fonts().metrics.emplace(std::move(key), m);
  return m;
}

Metrics metricsOf(const Font& font) {
  std::lock_guard lock(textMutex());
  return metricsLocked(font);
}

// How much of a text is handed to Pango. Laying out costs the whole text, whatever the box
// shows, so a text is first cut to the most characters its box can show: every line full of
// characters no narrower than a tenth of an em, plus the line's break. Without a width bound a
// line holds at most what keeps its width within Pango's units (about two million points, at
// three ems a character); without a height bound the text keeps at most kMostCharacters.
constexpr double kNarrowestAdvance = 0.1;
constexpr double kLongestLine = 600000;  // points over ems
constexpr double kMostCharacters = 65536;
// Pango looks ahead for a word break to the end of an unbreakable run on every line it wraps,
// which costs the square of the run's length; a run longer than this many characters gets a
// zero-width break opportunity after each character instead, and wraps where a character wrap
// would.
constexpr std::size_t kLongestRun = 64;
constexpr const char* kZeroWidthSpace = "\u200B";

std::size_t characterLimit(double pointSize, double boxWidth, int maxLines) {
  double perLine = boxWidth > 0 ? std::ceil(boxWidth / (kNarrowestAdvance * pointSize)) + 1
                                : std::floor(kLongestLine / pointSize);
  double limit = maxLines > 0 ? perLine * maxLines : kMostCharacters;
  return std::size_t(std::clamp(limit, 1.0, kMostCharacters));
}

std::string validUTF8(std::string_view bytes) {
  gchar* valid = g_utf8_make_valid(bytes.data(), gssize(bytes.size()));
  std::string s(valid);
  g_free(valid);
  return s;
}

// The first or last `count` characters of the text, valid UTF-8; a character takes at most four
// bytes, so only that many are looked at.
std::string headOf(std::string_view text, std::size_t count) {
  std::string s = validUTF8(text.substr(0, std::min(text.size(), count * 4)));
  if (std::size_t(g_utf8_strlen(s.c_str(), gssize(s.size()))) > count)
    s.resize(std::size_t(g_utf8_offset_to_pointer(s.c_str(), glong(count)) - s.c_str()));
  return s;
}

std::string tailOf(std::string_view text, std::size_t count) {
  std::size_t from = text.size() > count * 4 ? text.size() - count * 4 : 0;
  while (from < text.size() && from > 0 && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
  std::string s = validUTF8(text.substr(from));
  glong length = g_utf8_strlen(s.c_str(), gssize(s.size()));
  if (std::size_t(length) > count)
    s.erase(0, std::size_t(g_utf8_offset_to_pointer(s.c_str(), length - glong(count)) - s.c_str()));
  return s;
}

bool joinsWithPrevious(gunichar c) { return g_unichar_ismark(c) || c == 0x200D; }

std::string breakLongRuns(std::string text) {
  std::string out;
  std::size_t runStart = 0, runLength = 0;
  bool copied = false;
  auto endRun = [&](std::size_t end) {
    if (runLength > kLongestRun) {
      if (!copied) out.assign(text, 0, runStart), copied = true;
      const char* p = text.c_str() + runStart;
      const char* stop = text.c_str() + end;
      gunichar previous = 0;
      while (p < stop) {
        gunichar c = g_utf8_get_char(p);
        const char* next = g_utf8_next_char(p);
        if (previous && !joinsWithPrevious(c) && previous != 0x200D) out += kZeroWidthSpace;
        out.append(p, std::size_t(next - p));
        previous = c;
        p = next;
      }
    } else if (copied) {
      out.append(text, runStart, end - runStart);
    }
    runLength = 0;
  };
  const char* begin = text.c_str();
  for (const char* p = begin; *p;) {
    gunichar c = g_utf8_get_char(p);
    const char* next = g_utf8_next_char(p);
    std::size_t at = std::size_t(p - begin);
    if (g_unichar_isspace(c) || c == 0x200B) {
      endRun(at);
      if (copied) out.append(p, std::size_t(next - p));
      runStart = std::size_t(next - begin);
    } else {
      ++runLength;
    }
    p = next;
  }
  endRun(text.size());
  return copied ? out : text;
}

bool truncates(LineBreakMode mode) {
  return mode == LineBreakMode::TruncateHead || mode == LineBreakMode::TruncateMiddle ||
         mode == LineBreakMode::TruncateTail;
}

// The part of the text a box can show: its head, or its tail where the start is cut off, or
// both ends where the middle is.
std::string shownText(std::string_view text, std::size_t limit, LineBreakMode mode, bool ellipsized) {
  if (ellipsized && mode == LineBreakMode::TruncateHead) return tailOf(text, limit);
  if (ellipsized && mode == LineBreakMode::TruncateMiddle && text.size() > limit * 4)
    return headOf(text, limit) + tailOf(text, limit);
  return headOf(text, limit);
}

bool isBlank(const char* p) { return g_unichar_isspace(g_utf8_get_char(p)); }

// The run Pango put its ellipsis in, if any.
const PangoItem* ellipsisItem(PangoLayout* layout) {
  for (GSList* l = pango_layout_get_lines_readonly(layout); l; l = l->next)
    for (GSList* run = static_cast<PangoLayoutLine*>(l->data)->runs; run; run = run->next) {
      const PangoItem* item = static_cast<PangoGlyphItem*>(run->data)->item;
      if (item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS) return item;
    }
  return nullptr;
}

// Pango keeps the blanks beside its ellipsis ("как юная …"); the platform's ellipsis follows the
// last character shown. The text is laid out again with the ellipsis written in: shorter than
// before, it wraps as before and fits.
void dropBlanksBesideEllipsis(PangoLayout* layout) {
  const PangoItem* item = ellipsisItem(layout);
  if (!item) return;
  std::string laidOut = pango_layout_get_text(layout);
  const char* text = laidOut.c_str();
  const char* end = text + laidOut.size();
  const char* gapStart = text + item->offset;
  const char* gapEnd = gapStart + item->length;
  const char* from = gapStart;
  while (from > text) {
    const char* previous = g_utf8_find_prev_char(text, from);
    if (!previous || !isBlank(previous)) break;
    from = previous;
  }
  const char* to = gapEnd;
  while (to < end && isBlank(to)) to = g_utf8_next_char(to);
  if (from == gapStart && to == gapEnd) return;
  std::string shown = std::string(text, from) + "\u2026" + std::string(to, end);
  pango_layout_set_text(layout, shown.data(), int(shown.size()));
}

// Lays the text out (with textMutex() held) in a box (width or height at or past kUnconstrained, or not
// finite, means none in that direction).
void layOut(Layout& out, PangoContext* context, std::string_view text, const Font& font, Size box,
            LineBreakMode mode, TextAlignment alignment, bool singleLine) {
  // One line does not wrap: a width bound only limits how much of it is laid out and measured.
  double widthBound = std::isfinite(box.width) && box.width < kUnconstrained ? std::max(box.width, 0.0) : 0;
  bool boundedWidth = !singleLine && widthBound > 0;
  bool boundedHeight = !singleLine && std::isfinite(box.height) && box.height < kUnconstrained;
  int maxLines = singleLine ? 1 : 0;
  if (boundedHeight) {
    Metrics metrics = metricsLocked(font);
    double lineHeight = metrics.ascent + metrics.descent;
    maxLines = std::max(1, int(std::min(1e6, std::floor(box.height / lineHeight + 1e-6))));
  }
  bool ellipsized = boundedWidth && truncates(mode);
  std::string shown =
      shownText(text, characterLimit(pointSizeOf(font), widthBound, maxLines), mode, ellipsized);
  if (boundedWidth && mode != LineBreakMode::CharWrap) shown = breakLongRuns(std::move(shown));

  out.layout = pango_layout_new(context);
  pango_layout_set_text(out.layout, shown.data(), int(shown.size()));
  // The platform never hyphenates: a wrapped line ends where the break falls.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  pango_layout_set_attributes(out.layout, attributes);
  pango_attr_list_unref(attributes);
  Description description(font);
  pango_layout_set_font_description(out.layout, description.desc);
  pango_layout_set_alignment(out.layout, alignment == TextAlignment::Center  ? PANGO_ALIGN_CENTER
                                         : alignment == TextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                                             : PANGO_ALIGN_LEFT);
  if (singleLine) pango_layout_set_single_paragraph_mode(out.layout, TRUE);
  if (boundedWidth) {
    pango_layout_set_width(out.layout, int(box.width * PANGO_SCALE));
    pango_layout_set_wrap(out.layout,
                          mode == LineBreakMode::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
  }
  if (ellipsized) {
    pango_layout_set_ellipsize(out.layout, mode == LineBreakMode::TruncateHead     ? PANGO_ELLIPSIZE_START
                                           : mode == LineBreakMode::TruncateMiddle ? PANGO_ELLIPSIZE_MIDDLE
                                                                                   : PANGO_ELLIPSIZE_END);
    pango_layout_set_height(out.layout, boundedHeight ? -maxLines : -1000000);
    if (pango_layout_is_ellipsized(out.layout)) dropBlanksBesideEllipsis(out.layout);
  }
  int lines = pango_layout_get_line_count(out.layout);
  out.shownLines = boundedHeight ? std::min(lines, maxLines) : lines;
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
  if (widthBound > 0) out.width = std::min(out.width, widthBound);
}

// The layout of the text as layOut makes it, from the cache when it was made lately.
const Layout& cachedLayout(PangoContext* context, std::string_view text, const Font& font, Size box,
                           LineBreakMode mode, TextAlignment alignment, bool singleLine) {
  LayoutKey key{context,           std::string(text), font.familyName(), font.isBold(),
                pointSizeOf(font), box.width,         box.height,        mode,
                alignment,         singleLine};
  return fonts().layouts.get(std::move(key), [&](Layout& layout) {
    layOut(layout, context, text, font, box, mode, alignment, singleLine);
  });
}

double roundUp(double v) { return std::ceil(v - 1e-6); }

Size measured(const Layout& layout) { return {roundUp(layout.width), roundUp(layout.height)}; }

// Draws the shown lines with the layout's top left at the origin, skipping those wholly outside
// `visible` when it is given.
void drawLines(cairo_t* cr, const Layout& layout, Point origin, const Rect* visible) {
  PangoLayoutIter* iter = pango_layout_get_iter(layout.layout);
  int index = 0;
  do {
    if (index++ >= layout.shownLines) break;
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(iter, nullptr, &logical);
    double top = origin.y + double(logical.y) / PANGO_SCALE;
    double bottom = top + double(logical.height) / PANGO_SCALE;
    if (visible && bottom < visible->minY()) continue;
    if (visible && top > visible->maxY()) break;
    double x = origin.x + double(logical.x) / PANGO_SCALE;
    double baseline = origin.y + double(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
    cairo_new_path(cr);
    cairo_move_to(cr, x, baseline);
    pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(iter));
  } while (pango_layout_iter_next_line(iter));
  pango_layout_iter_free(iter);
}

// Draws the laid-out text in the context's fill colour, alpha, shadow and blend mode; clip mode
// cuts at the box.
void paint(Context& context, const Layout& layout, const Rect& box, LineBreakMode mode, bool singleLine,
           const Rect* visible) {
  if (detail::TextPainter::drawsNothing(context)) return;
  cairo_t* cr = context.cairo();
  cairo_save(cr);
  if (mode == LineBreakMode::Clip && !singleLine) {
    cairo_new_path(cr);
    cairo_rectangle(cr, box.x(), box.y(), box.width(), box.height());
    cairo_clip(cr);
  }
  detail::TextPainter::applyFill(context);
  detail::TextPainter::composite(context, [&] { drawLines(cr, layout, box.origin, visible); });
  cairo_new_path(cr);
  cairo_restore(cr);
}

Size drawLayout(Context& context, std::string_view text, const Rect& rect, const Font& font,
                LineBreakMode mode, TextAlignment alignment, bool singleLine) {
  if (text.empty() || !std::isfinite(rect.x()) || !std::isfinite(rect.y())) return {};
  if (!singleLine && !(rect.width() > 0 && rect.height() > 0)) return {};
  std::lock_guard lock(textMutex());
  PangoContext* pango = fonts().drawingContext(context.cairo());
  const Layout& layout = cachedLayout(pango, text, font, rect.size, mode, alignment, singleLine);
  paint(context, layout, rect, mode, singleLine, nullptr);
  return measured(layout);
}

}  // namespace

Font::Font(std::string familyName, double pointSize, bool bold)
    : familyName_(std::move(familyName)), pointSize_(pointSize), bold_(bold) {}

std::string Font::resolvedFamily() const {
  std::lock_guard lock(textMutex());
  Description description(*this);
  PangoFont* font = pango_font_map_load_font(fonts().map, fonts().measuring, description.desc);
  if (!font) return Font::kFallbackFamily;
  PangoFontDescription* described = pango_font_describe(font);
  const char* family = pango_font_description_get_family(described);
  std::string name = family ? family : Font::kFallbackFamily;
  pango_font_description_free(described);
  g_object_unref(font);
  return name;
}

double Font::ascender() const { return metricsOf(*this).ascent; }
double Font::descender() const { return -metricsOf(*this).descent; }
double Font::lineHeight() const {
  Metrics m = metricsOf(*this);
  return m.ascent + m.descent;
}

Size measureText(std::string_view text, const Font& font, double widthLimit) {
  if (text.empty()) return {};
  std::lock_guard lock(textMutex());
  return measured(cachedLayout(fonts().measuring, text, font, {widthLimit, kUnconstrained},
                               LineBreakMode::Clip, TextAlignment::Left, true));
}

Size measureText(std::string_view text, const Font& font, Size constrainedTo, LineBreakMode mode) {
  if (text.empty() || !(constrainedTo.width > 0) || !(constrainedTo.height > 0)) return {};
  std::lock_guard lock(textMutex());
  return measured(
      cachedLayout(fonts().measuring, text, font, constrainedTo, mode, TextAlignment::Left, false));
}

Size drawText(Context& context, std::string_view text, const Rect& rect, const Font& font, LineBreakMode mode,
              TextAlignment alignment) {
  return drawLayout(context, text, rect.standardized(), font, mode, alignment, false);
}

Size drawText(Context& context, std::string_view text, Point at, const Font& font) {
  return drawLayout(context, text, Rect(at, {kUnconstrained, kUnconstrained}), font, LineBreakMode::Clip,
                    TextAlignment::Left, true);
}

struct TextLayout::Impl {
  Layout layout;
  Size box;
  LineBreakMode mode;
  // The text as given (made valid): the laid-out text may hold breaks put in between the
  // characters of a long run, which caret positions do not count.
  std::string source;
  double lineHeight = 0;

  // The laid-out byte index of a caret position.
  int layoutIndex(std::size_t position) const {
    const char* shown = pango_layout_get_text(layout.layout);
    const char* p = shown;
    const char* s = source.c_str();
    std::size_t units = 0;
    while (*p && *s) {
      gunichar cp = g_utf8_get_char(p), cs = g_utf8_get_char(s);
      if (cp == 0x200B && cs != 0x200B) {
        p = g_utf8_next_char(p);
        continue;
      }
      std::size_t width = cs > 0xFFFF ? 2 : 1;
      if (units + width > position) break;
      units += width;
      p = g_utf8_next_char(p);
      s = g_utf8_next_char(s);
    }
    return int(p - shown);
  }
  // The caret position of a laid-out byte index.
  std::size_t positionOf(int index) const {
    const char* shown = pango_layout_get_text(layout.layout);
    const char* p = shown;
    const char* stop = shown + index;
    const char* s = source.c_str();
    std::size_t units = 0;
    while (*p && *s && p < stop) {
      gunichar cp = g_utf8_get_char(p), cs = g_utf8_get_char(s);
      p = g_utf8_next_char(p);
      if (cp == 0x200B && cs != 0x200B) continue;
      units += cs > 0xFFFF ? 2 : 1;
      s = g_utf8_next_char(s);
    }
    return units;
  }
};

TextLayout::TextLayout(std::string_view text, const Font& font, Size box, LineBreakMode mode,
                       TextAlignment alignment)
    : impl_(std::make_unique<Impl>()) {
  impl_->box = box;
  impl_->mode = mode;
  std::lock_guard lock(textMutex());
  Metrics metrics = metricsLocked(font);
  impl_->lineHeight = metrics.ascent + metrics.descent;
  if (text.empty() || !(box.width > 0) || !(box.height > 0)) return;
  impl_->source = validUTF8(text);
  layOut(impl_->layout, fonts().measuring, text, font, box, mode, alignment, false);
}

TextLayout::~TextLayout() {
  // The layout belongs to the shared font map: let it go under the lock.
  std::lock_guard lock(textMutex());
  impl_.reset();
}

Size TextLayout::size() const { return impl_->layout.layout ? measured(impl_->layout) : Size{}; }

void TextLayout::draw(Context& context, Point origin, const Rect& visible) const {
  if (!impl_->layout.layout || !std::isfinite(origin.x) || !std::isfinite(origin.y)) return;
  std::lock_guard lock(textMutex());
  paint(context, impl_->layout, Rect(origin, impl_->box), impl_->mode, false, &visible);
}

Rect TextLayout::caretRect(std::size_t position) const {
  if (!impl_->layout.layout) return {0, 0, 0, impl_->lineHeight};
  std::lock_guard lock(textMutex());
  PangoRectangle strong;
  pango_layout_get_cursor_pos(impl_->layout.layout, impl_->layoutIndex(position), &strong, nullptr);
  return {double(strong.x) / PANGO_SCALE, double(strong.y) / PANGO_SCALE, 0,
          double(strong.height) / PANGO_SCALE};
}

std::size_t TextLayout::positionAtPoint(Point point) const {
  if (!impl_->layout.layout || !std::isfinite(point.x) || !std::isfinite(point.y)) return 0;
  std::lock_guard lock(textMutex());
  PangoLayout* layout = impl_->layout.layout;
  const double limit = 1e6;
  int index = 0, trailing = 0;
  pango_layout_xy_to_index(layout, int(std::clamp(point.x, -limit, limit) * PANGO_SCALE),
                           int(std::clamp(point.y, -limit, limit) * PANGO_SCALE), &index, &trailing);
  const char* shown = pango_layout_get_text(layout);
  const char* at = shown + index;
  for (; trailing > 0 && *at; --trailing) at = g_utf8_next_char(at);
  return impl_->positionOf(int(at - shown));
}

std::pair<std::size_t, std::size_t> TextLayout::lineBounds(std::size_t position) const {
  if (!impl_->layout.layout) return {0, 0};
  std::lock_guard lock(textMutex());
  PangoLayout* layout = impl_->layout.layout;
  int line = 0, x = 0;
  pango_layout_index_to_line_x(layout, impl_->layoutIndex(position), FALSE, &line, &x);
  PangoLayoutLine* laid = pango_layout_get_line_readonly(layout, line);
  if (!laid) return {position, position};
  const char* shown = pango_layout_get_text(layout);
  int end = laid->start_index + laid->length;
  // A wrapped line ends before the blank it broke at, so that the caret stays on the line.
  const bool wrapped = line + 1 < pango_layout_get_line_count(layout) && shown[end] != '\n' &&
                       shown[end] != '\0' && end > laid->start_index;
  if (wrapped) {
    const char* last = g_utf8_find_prev_char(shown, shown + end);
    if (last && g_unichar_isspace(g_utf8_get_char(last))) end = int(last - shown);
  }
  return {impl_->positionOf(laid->start_index), impl_->positionOf(end)};
}

namespace detail {

std::vector<std::string> shownLines(std::string_view text, const Font& font, Size box, LineBreakMode mode) {
  std::vector<std::string> lines;
  if (text.empty() || !(box.width > 0) || !(box.height > 0)) return lines;
  std::lock_guard lock(textMutex());
  Layout layout;
  layOut(layout, fonts().measuring, text, font, box, mode, TextAlignment::Left, false);
  const char* all = pango_layout_get_text(layout.layout);
  int index = 0;
  for (GSList* l = pango_layout_get_lines_readonly(layout.layout); l && index < layout.shownLines;
       l = l->next, ++index) {
    std::string line;
    for (GSList* run = static_cast<PangoLayoutLine*>(l->data)->runs; run; run = run->next) {
      const PangoItem* item = static_cast<PangoGlyphItem*>(run->data)->item;
      if (item->analysis.flags & PANGO_ANALYSIS_FLAG_IS_ELLIPSIS)
        line += "\u2026";
      else
        line.append(all + item->offset, std::size_t(item->length));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

int unknownGlyphCount(std::string_view text, const Font& font) {
  std::lock_guard lock(textMutex());
  Layout layout;
  layOut(layout, fonts().measuring, text, font, {kUnconstrained, kUnconstrained}, LineBreakMode::Clip,
         TextAlignment::Left, true);
  return pango_layout_get_unknown_glyphs_count(layout.layout);
}

}  // namespace detail
}  // namespace cg
