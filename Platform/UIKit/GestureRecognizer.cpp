#include "UIKit/GestureRecognizer.h"

#include <cmath>

#include "UIKit/View.h"

namespace ui {

cg::Point GestureRecognizer::locationInView(const View* view) const {
  auto own = view_.lock();
  if (!view || !own) return location_;
  return view->convertPointFromView(location_, nullptr);
}

void GestureRecognizer::fire(cg::Point rootLocation) {
  location_ = rootLocation;
  auto keep = shared_from_this();
  if (action_) action_(*this);
}

std::shared_ptr<TapGestureRecognizer> TapGestureRecognizer::initWithAction(Action action) {
  action_ = std::move(action);
  return std::static_pointer_cast<TapGestureRecognizer>(shared_from_this());
}

bool TapGestureRecognizer::recognizesTap(cg::Point from, cg::Point to) const {
  return std::hypot(to.x - from.x, to.y - from.y) <= kMaximumMovement;
}

}  // namespace ui
