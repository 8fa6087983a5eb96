#include "Graphics/ShapeLayer.h"

namespace cg {

void ShapeLayer::drawInContext(Context& context) {
  if (!path_ || path_->isEmpty()) return;
  context.saveGState();
  context.concatCTM(transform_);
  if (fillPattern_) {
    context.clipToPath(*path_, fillRule_);
    Size tile = fillPattern_->size();
    if (tile.width > 0 && tile.height > 0)
      context.drawTiledImage(*fillPattern_, Rect(0, 0, tile.width, tile.height));
  } else {
    context.setFillColor(fillColor_);
    context.fillPath(*path_, fillRule_);
  }
  context.restoreGState();
}

}  // namespace cg
