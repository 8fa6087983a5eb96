#include "UIKit/DamageTracker.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "Graphics/Layer.h"
#include "UIKit/Keyboard.h"
#include "UIKit/StatusBar.h"
#include "UIKit/ViewAnimationState.h"
#include "UIKit/Window.h"

namespace ui {

namespace {

// More than damage rects merge into one covering them all.
constexpr std::size_t kMostRects = 6;

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 31);
}

std::uint64_t mix(std::uint64_t h, double v) { return mix(h, std::bit_cast<std::uint64_t>(v)); }

// Unions that treat an empty rect as nothing.
cg::Rect join(const cg::Rect& a, const cg::Rect& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  return a.unionWith(b);
}

cg::Rect clipped(const cg::Rect& r, const cg::Rect& clip) {
  cg::Rect c = r.intersection(clip);
  return c.isEmpty() ? cg::Rect() : c;
}

}  // namespace

struct DamageTracker::Walk {
  std::unordered_map<const View*, Record>& seen;
  std::vector<const View*>& moving;

  // Notes a view drawn where `shown` places it in a space that `toWindow` maps to the window's,
  // under a clip in window points, and the views over it; adds what they draw to `tree`.
  void visit(View& view, const ViewPresentation& shown, const cg::AffineTransform& toWindow,
             const cg::Rect& clip, std::uint64_t above, cg::Rect& tree) {
    if (view.isHidden() || shown.alpha <= 0) return;
    const cg::Layer& layer = *view.layer();
    const cg::Rect b = shown.bounds;
    const cg::Rect own(0, 0, b.width(), b.height());
    const cg::AffineTransform m =
        cg::AffineTransform::makeTranslation(-b.width() / 2, -b.height() / 2)
            .concat(shown.transform)
            .concat(cg::AffineTransform::makeTranslation(shown.center.x, shown.center.y))
            .concat(toWindow);
    const cg::AffineTransform content = cg::AffineTransform::makeTranslation(-b.x(), -b.y()).concat(m);
    // What the view draws itself; the clip where that is not known.
    const auto drawn = view.visualRect(b);
    const cg::Rect extent = drawn ? clipped(content.apply(*drawn), clip) : clip;

    std::uint64_t stamp = mix(above, view.displayVersion());
    stamp = mix(stamp, layer.displayVersion());
    for (const auto& sublayer : layer.sublayers()) stamp = mix(stamp, sublayer->displayVersion());
    if (layer.mask()) stamp = mix(stamp, layer.mask()->displayVersion());
    for (double v : {b.x(), b.y(), b.width(), b.height(), shown.alpha}) stamp = mix(stamp, v);
    // Where the window shows the view, turned or mirrored by it and its ancestors: a change that
    // keeps its bounding box changes its picture all the same.
    for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty}) stamp = mix(stamp, v);

    const cg::Rect inside = layer.masksToBounds() ? clipped(clip, m.apply(own)) : clip;
    cg::Rect mine = extent;
    if (!inside.isEmpty())
      detail::forEachShownSubview(
          view, [&](View& sub, const ViewPresentation& p) { visit(sub, p, content, inside, stamp, mine); });
    // A picture that moves by itself differs from the last whenever it is looked at again.
    if (view.movesByItself()) {
      stamp = mix(stamp, cg::nextDisplayVersion());
      moving.push_back(&view);
    }
    seen[&view] = {stamp, extent, mine};
    tree = join(tree, mine);
  }
};

std::vector<cg::PixelRect> DamageTracker::damage(Window& window, std::optional<double> time, double scale) {
  detail::PresentationRenderScope presenting(time);
  const cg::Rect bounds(0, 0, window.bounds().width(), window.bounds().height());
  const int width = int(std::ceil(bounds.width() * scale - 1e-6));
  const int height = int(std::ceil(bounds.height() * scale - 1e-6));
  // What the picture's pixels cover: at a fractional scale its last column and row reach past the
  // window's bounds, and a view there, outside the bounds, still tints them.
  const cg::Rect covered = scale > 0 ? cg::Rect(0, 0, width / scale, height / scale) : bounds;
  // What the renderer settles before it draws the panel and the bar, settled first.
  const bool key = window.isKeyWindow();
  std::optional<cg::Rect> panel = key ? window.keyboardFrame() : std::nullopt;
  if (panel) window.keyboard()->setFrame(*panel);
  if (key) window.statusBar()->followApplication();

  const bool whole =
      !valid_ || scale != scale_ || bounds.size != size_ || cg::wholeDisplayGeneration() != wholeGeneration_;
  std::vector<cg::Rect> rects;
  auto add = [&](const cg::Rect& r) {
    if (!r.isEmpty()) rects.push_back(r);
  };
  // Nothing changed since the last look, and nothing shows other than its model at any moment:
  // the pictures that move by themselves are all that differ, where they were.
  const bool still = !whole && cg::displayGeneration() == generation_ && time.has_value() == timed_ &&
                     !detail::ViewAnimations::anyRunning();
  if (still) {
    for (const View* view : moving_) add(records_[view].extent);
  } else {
    std::unordered_map<const View*, Record> seen;
    seen.reserve(records_.size());
    std::vector<const View*> moving;
    Walk walk{seen, moving};
    cg::Rect all;
    ViewPresentation root = detail::shownNow(window);
    root.center = {root.bounds.width() / 2, root.bounds.height() / 2};
    root.transform = cg::AffineTransform::identity();
    walk.visit(window, root, cg::AffineTransform::identity(), covered, 0, all);
    if (panel) walk.visit(*window.keyboard(), detail::shownNow(*window.keyboard()), {}, covered, 1, all);
    if (key) walk.visit(*window.statusBar(), detail::shownNow(*window.statusBar()), {}, covered, 2, all);
    if (whole) {
      add(covered);
    } else {
      for (const auto& [view, now] : seen) {
        auto before = records_.find(view);
        if (before == records_.end()) {
          add(now.extent);
        } else if (before->second.stamp != now.stamp || before->second.extent != now.extent) {
          add(before->second.extent);
          add(now.extent);
        }
      }
      for (const auto& [view, before] : records_)
        if (!seen.count(view)) add(before.extent);
    }
    records_ = std::move(seen);
    moving_ = std::move(moving);
  }
  valid_ = true;
  scale_ = scale;
  size_ = bounds.size;
  wholeGeneration_ = cg::wholeDisplayGeneration();
  generation_ = cg::displayGeneration();
  timed_ = time.has_value();

  // Whole pixels, a pixel more each way for the filtering of pictures at their edges; rects
  // that touch or overlap are merged, and many become one; none reaches past the picture.
  struct Box {
    int x0, y0, x1, y1;
  };
  std::vector<Box> boxes;
  for (const cg::Rect& r : rects) {
    Box box{std::max(0, int(std::floor(r.minX() * scale)) - 1),
            std::max(0, int(std::floor(r.minY() * scale)) - 1),
            std::min(width, int(std::ceil(r.maxX() * scale)) + 1),
            std::min(height, int(std::ceil(r.maxY() * scale)) + 1)};
    if (box.x0 >= box.x1 || box.y0 >= box.y1) continue;
    for (bool merged = true; merged;) {
      merged = false;
      for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        if (it->x0 > box.x1 || box.x0 > it->x1 || it->y0 > box.y1 || box.y0 > it->y1) continue;
        box = {std::min(box.x0, it->x0), std::min(box.y0, it->y0), std::max(box.x1, it->x1),
               std::max(box.y1, it->y1)};
        boxes.erase(it);
        merged = true;
        break;
      }
    }
    boxes.push_back(box);
  }
  if (boxes.size() > kMostRects) {
    Box box = boxes.front();
    for (const Box& b : boxes)
      box = {std::min(box.x0, b.x0), std::min(box.y0, b.y0), std::max(box.x1, b.x1), std::max(box.y1, b.y1)};
    boxes = {box};
  }
  std::vector<cg::PixelRect> out;
  damagedPoints_.clear();
  for (const Box& b : boxes) {
    out.push_back({b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0});
    damagedPoints_.push_back(
        cg::Rect(b.x0 / scale, b.y0 / scale, (b.x1 - b.x0) / scale, (b.y1 - b.y0) / scale));
  }
  return out;
}

bool DamageTracker::drawsInto(const View& view) const {
  auto it = records_.find(&view);
  if (it == records_.end()) return true;
  const cg::Rect& tree = it->second.treeExtent;
  // A hair of slack: the rects in points are the pixels' divided by the scale.
  return std::any_of(damagedPoints_.begin(), damagedPoints_.end(),
                     [&](const cg::Rect& r) { return tree.intersects(r.insetBy(-0.5, -0.5)); });
}

}  // namespace ui
