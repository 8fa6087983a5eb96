#include "UIKit/ViewRenderer.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <typeinfo>

#include "UIKit/DamageTracker.h"
#include "UIKit/Image.h"
#include "UIKit/Keyboard.h"
#include "UIKit/Screen.h"
#include "UIKit/StatusBar.h"
#include "UIKit/ViewAnimationState.h"
#include "UIKit/Window.h"

namespace ui {

namespace {

cg::Path outline(const cg::Rect& r, double radius) {
  return radius > 0 ? cg::Path::roundedRect(r, radius) : cg::Path::rect(r);
}

void fillBackground(cg::Context& ctx, const Color& color, const cg::Rect& r, double radius) {
  ctx.saveGState();
  ctx.clipToPath(outline(r, radius));
  if (auto pattern = color.patternImage()) {
    ctx.drawTiledImage(*pattern->CGImage(), {r.origin, pattern->size()});
  } else {
    ctx.setFillColor(color.cgColor());
    ctx.fillRect(r);
  }
  ctx.restoreGState();
}

// The layer's shadow under the view's outline, blurred by stacking widening, fainter outlines.
void drawShadow(cg::Context& ctx, const cg::Layer& layer, const cg::Rect& r) {
  cg::Color c = layer.shadowColor();
  double opacity = std::clamp(layer.shadowOpacity(), 0.0, 1.0) * c.alpha;
  cg::Rect base = r.offsetBy(layer.shadowOffset().width, layer.shadowOffset().height);
  int steps = std::max(1, int(std::ceil(layer.shadowRadius())));
  ctx.saveGState();
  ctx.setAlpha(opacity);
  ctx.beginTransparencyLayer();
  for (int i = steps; i >= 1; --i) {
    double grow = layer.shadowRadius() * i / steps;
    ctx.setFillColor(c.withAlpha(1.0 / steps));
    ctx.fillPath(outline(base.insetBy(-grow + layer.shadowRadius() / 2, -grow + layer.shadowRadius() / 2),
                         layer.cornerRadius() + grow));
  }
  ctx.setFillColor(c.withAlpha(1));
  ctx.fillPath(
      outline(base.insetBy(layer.shadowRadius() / 2, layer.shadowRadius() / 2), layer.cornerRadius()));
  ctx.endTransparencyLayer();
  ctx.restoreGState();
}

// The mask layer's alpha over the view's rect, drawn into an image at the context's scale.
cg::ImagePtr maskImage(const cg::Layer& mask, cg::Size size, double scale) {
  auto ctx = cg::Context::makeBitmap(size, false, scale);
  if (!ctx) return nullptr;
  cg::Rect f = mask.frame();
  if (auto gradient = dynamic_cast<const cg::GradientLayer*>(&mask)) {
    cg::Gradient g{gradient->colors(), gradient->locations()};
    ctx->clipToRect(f);
    cg::Point s{f.x() + gradient->startPoint().x * f.width(), f.y() + gradient->startPoint().y * f.height()};
    cg::Point e{f.x() + gradient->endPoint().x * f.width(), f.y() + gradient->endPoint().y * f.height()};
    if (s == e) e.x += 1e-6;
    ctx->drawLinearGradient(g, s, e, true, true);
  } else {
    ctx->setFillColor(cg::Color::white(1));
    ctx->fillRect(f);
  }
  return ctx->makeImage();
}

// A rect in the view's own coordinates (own being its bounds there) outside which nothing the
// view draws shows (background, border, its layer's content and its subviews'), when one is known:
// a group of the view need be no larger.
std::optional<cg::Rect> shownExtent(const View& view, const cg::Rect& own) {
  const cg::Layer& layer = *view.layer();
  if (layer.masksToBounds()) return own;
  // The mask covers the bounds; only the smoothing of its edges, less than a point, reaches past.
  if (layer.mask()) return own.insetBy(-1, -1);
  // A plain layer draws nothing of its own; a view that neither draws nor holds others shows only
  // its background and border.
  if (typeid(layer) == typeid(cg::Layer) && layer.sublayers().empty() && view.subviews().empty() &&
      detail::ViewAnimations::departures(view).empty() && !view.drawsContent())
    return own;
  return std::nullopt;
}

// The device pixels a rect of user space touches.
cg::PixelRect pixelsCovering(const cg::Context& ctx, const cg::Rect& r) {
  const cg::Rect p = ctx.ctm().apply(r);
  const double s = ctx.scale();
  const double x0 = std::floor(p.minX() * s), y0 = std::floor(p.minY() * s);
  const double x1 = std::ceil(p.maxX() * s), y1 = std::ceil(p.maxY() * s);
  auto bound = [](double v) { return int(std::clamp(v, -1e8, 1e8)); };
  return {bound(x0), bound(y0), bound(x1 - x0), bound(y1 - y0)};
}

}  // namespace

namespace {

// Draws a view where `shown` places it; its subviews where theirs do.
void drawView(View& view, cg::Context& ctx, const ViewPresentation& shown);

}  // namespace

namespace detail {

ViewPresentation shownNow(const View& view) {
  if (auto time = renderPresentationTime()) return view.presentation(*time);
  return {view.center(), view.bounds(), view.transform(), view.alpha()};
}

void forEachShownSubview(View& view, const std::function<void(View&, const ViewPresentation&)>& visit) {
  auto time = renderPresentationTime();
  const auto& leaving = detail::ViewAnimations::departures(view);
  if (!time || leaving.empty()) {
    for (const auto& sub : view.subviews()) visit(*sub, shownNow(*sub));
    return;
  }
  auto departing = leaving;
  std::erase_if(departing,
                [&](const auto& d) { return d.view->superview() || *time >= d.begin + d.duration; });
  auto visitDepartures = [&](const View* sibling) {
    for (const auto& d : departing) {
      auto below = d.below.lock();
      bool placed = below && below->superview().get() == &view;
      if (sibling ? below.get() == sibling : !placed)
        visit(*d.view, detail::ViewAnimations::departurePresentation(d, *time));
    }
  };
  for (const auto& sub : view.subviews()) {
    visitDepartures(sub.get());
    visit(*sub, shownNow(*sub));
  }
  visitDepartures(nullptr);
}

}  // namespace detail

namespace {

using detail::shownNow;

void drawView(View& view, cg::Context& ctx, const ViewPresentation& shown);

// Draws a tree as renderView does, into a context the size of the root's bounds.
void drawTree(const std::shared_ptr<View>& root, std::optional<double> presentationTime, cg::Context& ctx) {
  detail::PresentationRenderScope presenting(presentationTime);
  // The root goes at the image's origin, whatever its own place and transform.
  ViewPresentation shown = shownNow(*root);
  shown.center = {shown.bounds.width() / 2, shown.bounds.height() / 2};
  shown.transform = cg::AffineTransform::identity();
  cg::pushContext(std::shared_ptr<cg::Context>(&ctx, [](cg::Context*) {}));
  drawView(*root, ctx, shown);
  // The screen shows the keyboard and the status bar over the key window.
  if (auto window = std::dynamic_pointer_cast<Window>(root); window && window->isKeyWindow()) {
    if (auto frame = window->keyboardFrame()) {
      auto& keyboard = window->keyboard();
      keyboard->setFrame(*frame);
      drawViewHierarchy(*keyboard, ctx);
    }
    auto& bar = window->statusBar();
    bar->followApplication();
    drawViewHierarchy(*bar, ctx);
  }
  cg::popContext();
}

}  // namespace

void drawViewHierarchy(View& view, cg::Context& ctx) { drawView(view, ctx, shownNow(view)); }

namespace {

// While a picture is drawn again only in part: what tells the views that draw nothing there.
// Only the canvas drawn again is culled: a view may draw others into pictures of its own.
struct Culling {
  const DamageTracker* tracker = nullptr;
  const cg::Context* canvas = nullptr;
};
thread_local Culling culling;

void drawView(View& view, cg::Context& ctx, const ViewPresentation& shown) {
  if (view.isHidden() || shown.alpha <= 0) return;
  if (culling.tracker && &ctx == culling.canvas && !culling.tracker->drawsInto(view)) return;
  const cg::Layer& layer = *view.layer();
  cg::Rect b = shown.bounds;
  cg::Rect own(0, 0, b.width(), b.height());
  const double alpha = shown.alpha;

  ctx.saveGState();
  ctx.translateCTM(shown.center.x, shown.center.y);
  if (!shown.transform.isIdentity()) ctx.concatCTM(shown.transform);
  ctx.translateCTM(-b.width() / 2, -b.height() / 2);

  if (layer.hasShadow()) drawShadow(ctx, layer, own);

  bool group = alpha < 1 || layer.mask();
  if (group) {
    ctx.setAlpha(alpha);
    if (auto extent = shownExtent(view, own))
      ctx.beginTransparencyLayer(*extent);
    else
      ctx.beginTransparencyLayer();
  }
  ctx.saveGState();
  if (layer.masksToBounds()) ctx.clipToPath(outline(own, layer.cornerRadius()));
  if (auto bg = view.backgroundColor(); bg && (bg->isPattern() || bg->cgColor().alpha > 0))
    fillBackground(ctx, *bg, own, layer.cornerRadius());
  view.layer()->drawInContextAtSize(ctx, own.size);
  for (const auto& sublayer : layer.sublayers()) {
    ctx.saveGState();
    ctx.translateCTM(sublayer->frame().x(), sublayer->frame().y());
    sublayer->drawInContext(ctx);
    ctx.restoreGState();
  }

  ctx.translateCTM(-b.x(), -b.y());
  if (view.drawsContent()) {
    // drawRect paints only where the view says it does, the rect damage trackers count; content
    // wholly outside what is drawn (rows scrolled away, a slider's other pages) is not drawn at
    // all: its pictures are not decoded nor its texts laid out.
    const cg::Rect reach = view.drawnRect(b);
    if (ctx.clipBoundingBox().intersects(reach)) {
      ctx.saveGState();
      ctx.clipToPixelRects({pixelsCovering(ctx, reach)});
      view.drawRect(b);
      ctx.restoreGState();
    }
  }
  view.didDisplay();
  detail::forEachShownSubview(view, [&](View& sub, const ViewPresentation& p) { drawView(sub, ctx, p); });
  ctx.restoreGState();

  if (layer.borderWidth() > 0) {
    double w = layer.borderWidth();
    ctx.saveGState();
    ctx.setStrokeColor(layer.borderColor());
    ctx.setLineWidth(w);
    ctx.strokePath(outline(own.insetBy(w / 2, w / 2), std::max(0.0, layer.cornerRadius() - w / 2)));
    ctx.restoreGState();
  }

  if (group) {
    cg::ImagePtr mask = layer.mask() ? maskImage(*layer.mask(), own.size, ctx.scale()) : nullptr;
    if (mask)
      ctx.endTransparencyLayer(*mask, own);
    else
      ctx.endTransparencyLayer();
  }
  ctx.restoreGState();
}

}  // namespace

cg::ImagePtr renderView(const std::shared_ptr<View>& root, double scale) {
  return renderView(root, RenderOptions{scale, std::nullopt});
}

cg::ImagePtr renderView(const std::shared_ptr<View>& root, const RenderOptions& options) {
  if (!root) return nullptr;
  double scale = options.scale > 0 ? options.scale : Screen::mainScreen()->scale();
  // A window's tree is laid out by its own pass: a screenshot must not change the app's state.
  if (!root->window()) root->layoutIfNeeded();
  auto ctx = cg::Context::makeBitmap(root->bounds().size, false, scale);
  if (!ctx) return nullptr;
  drawTree(root, options.presentationTime, *ctx);
  return ctx->takeImage();
}

void renderViewAgain(const std::shared_ptr<Window>& window, std::optional<double> presentationTime,
                     cg::Context& canvas, const std::vector<cg::PixelRect>& damage,
                     const DamageTracker& tracker) {
  if (!window || damage.empty()) return;
  canvas.saveGState();
  canvas.clipToPixelRects(damage);
  canvas.clearPixelRects(damage);
  culling = {&tracker, &canvas};
  drawTree(window, presentationTime, canvas);
  culling = {};
  canvas.restoreGState();
}

bool renderViewToPNG(const std::shared_ptr<View>& root, const std::string& path, double scale) {
  auto image = renderView(root, scale);
  if (!image) return false;
  ns::Data png = image->pngData();
  if (png.length() == 0) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png.bytes()), std::streamsize(png.length()));
  return bool(out);
}

}  // namespace ui
