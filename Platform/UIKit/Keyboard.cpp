#include "UIKit/Keyboard.h"

#include <algorithm>
#include <vector>

#include "Graphics/Context.h"
#include "Graphics/Gradient.h"
#include "Graphics/Path.h"
#include "UIKit/Device.h"

namespace ui {

namespace {

// One key of a row: its width in key units, and whether it is a function key (shift, delete,
// return...), drawn darker.
struct Key {
  double units;
  bool function;
};
using Row = std::vector<Key>;

Row letters(int count) { return Row(std::size_t(count), Key{1, false}); }

Row joined(std::initializer_list<Row> parts) {
  Row row;
  for (const Row& part : parts) row.insert(row.end(), part.begin(), part.end());
  return row;
}

// The rows as the platform lays its letter keyboard out; the space bar is a letter key.
const std::vector<Row>& phoneRows() {
  static const std::vector<Row> rows{
      letters(10),
      letters(9),
      joined({{{1.4, true}}, letters(7), {{1.4, true}}}),
      {{2.5, true}, {5, false}, {2.5, true}},
  };
  return rows;
}

const std::vector<Row>& tabletRows() {
  static const std::vector<Row> rows{
      joined({letters(10), {{1.5, true}}}),
      joined({letters(9), {{2, true}}}),
      joined({{{1.25, true}}, letters(9), {{1.25, true}}}),
      {{1.5, true}, {7.5, false}, {1.5, true}, {1, true}},
  };
  return rows;
}

double rowUnits(const Row& row) {
  double units = 0;
  for (const Key& key : row) units += key.units;
  return units;
}

}  // namespace

std::shared_ptr<Keyboard> Keyboard::init() {
  View::initWithFrame({});
  setOpaque(true);
  setUserInteractionEnabled(false);
  return self<Keyboard>();
}

double Keyboard::heightFor(bool pad, bool landscape) {
  if (pad) return landscape ? 352 : 264;
  return landscape ? 162 : 216;
}

cg::Rect Keyboard::frameInBounds(const cg::Rect& bounds, bool pad) {
  double height = std::min(bounds.height(), heightFor(pad, bounds.width() > bounds.height()));
  return {bounds.x(), bounds.maxY() - height, bounds.width(), height};
}

void Keyboard::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  const cg::Rect b = bounds();
  ctx->saveGState();
  ctx->clipToRect(b);
  cg::Gradient panel{{cg::Color::rgba(0.60, 0.62, 0.67), cg::Color::rgba(0.42, 0.44, 0.50)}, {}};
  ctx->drawLinearGradient(panel, {b.x(), b.y()}, {b.x(), b.maxY()});
  ctx->setFillColor(cg::Color::white(0.25));
  ctx->fillRect({b.x(), b.y(), b.width(), 1});

  const auto& rows = isPad() ? tabletRows() : phoneRows();
  double widest = 0;
  for (const Row& row : rows) widest = std::max(widest, rowUnits(row));
  const double unit = b.width() / (widest + 0.2);
  const double gap = std::max(2.0, unit * 0.18);
  const double pitch = (b.height() - gap) / double(rows.size());
  const double radius = std::max(3.0, unit * 0.12);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Row& row = rows[r];
    double x = b.x() + (b.width() - rowUnits(row) * unit) / 2;
    const double y = b.y() + gap + pitch * double(r);
    for (const Key& key : row) {
      cg::Rect face{x + gap / 2, y, key.units * unit - gap, pitch - gap};
      ctx->setFillColor(cg::Color::white(0.15, 0.6));
      ctx->fillPath(cg::Path::roundedRect(face.offsetBy(0, 1), radius));
      ctx->setFillColor(key.function ? cg::Color::rgba(0.53, 0.56, 0.63) : cg::Color::white(0.96));
      ctx->fillPath(cg::Path::roundedRect(face, radius));
      x += key.units * unit;
    }
  }
  ctx->restoreGState();
}

}  // namespace ui
