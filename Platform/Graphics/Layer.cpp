#include "Graphics/Layer.h"

#include <algorithm>
#include <atomic>

namespace cg {

namespace {
std::atomic<std::uint64_t> generation{0};
std::atomic<std::uint64_t> wholeGeneration{0};
std::atomic<std::uint64_t> versions{0};
}  // namespace

std::uint64_t displayGeneration() { return generation.load(std::memory_order_acquire); }

void noteDisplayChange() { generation.fetch_add(1, std::memory_order_acq_rel); }

void noteWholeDisplayChange() {
  wholeGeneration.fetch_add(1, std::memory_order_acq_rel);
  noteDisplayChange();
}

std::uint64_t wholeDisplayGeneration() { return wholeGeneration.load(std::memory_order_acquire); }

std::uint64_t nextDisplayVersion() { return versions.fetch_add(1, std::memory_order_relaxed) + 1; }

Color GradientLayer::colorAt(Point p) const {
  if (colors_.empty()) return Color::clear();
  if (colors_.size() == 1) return colors_.front();
  Rect b = bounds();
  double w = b.width() > 0 ? b.width() : 1, h = b.height() > 0 ? b.height() : 1;
  // Project the point onto the gradient axis, in unit coordinates.
  double ux = p.x / w, uy = p.y / h;
  double ax = endPoint_.x - startPoint_.x, ay = endPoint_.y - startPoint_.y;
  double len2 = ax * ax + ay * ay;
  double t = len2 > 0 ? ((ux - startPoint_.x) * ax + (uy - startPoint_.y) * ay) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);

  std::vector<double> stops = locations_;
  if (stops.size() != colors_.size()) {
    stops.clear();
    for (std::size_t i = 0; i < colors_.size(); ++i) stops.push_back(double(i) / double(colors_.size() - 1));
  }
  if (t <= stops.front()) return colors_.front();
  for (std::size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i]) {
      double span = stops[i] - stops[i - 1];
      double f = span > 0 ? (t - stops[i - 1]) / span : 1;
      const Color& a = colors_[i - 1];
      const Color& c = colors_[i];
      return {a.red + (c.red - a.red) * f, a.green + (c.green - a.green) * f, a.blue + (c.blue - a.blue) * f,
              a.alpha + (c.alpha - a.alpha) * f};
    }
  }
  return colors_.back();
}

}  // namespace cg
