#include "UIKit/GestureRecognizer.h"

#include <cmath>

#include "UIKit/View.h"

namespace ui {

cg::Point GestureRecognizer::locationInView(const View* view) const {
  auto own = view_.lock();
  if (!view || !own) return location_;
  return view->convertPointFromView(location_, nullptr);
}

bool GestureRecognizer::shouldReceiveTouch(const View* touched) {
  auto d = delegate_.lock();
  return !d || d->gestureRecognizerShouldReceiveTouch(*this, touched);
}

bool GestureRecognizer::shouldBegin() {
  auto d = delegate_.lock();
  return !d || d->gestureRecognizerShouldBegin(*this);
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

std::shared_ptr<PinchGestureRecognizer> PinchGestureRecognizer::initWithAction(Action action) {
  action_ = std::move(action);
  return std::static_pointer_cast<PinchGestureRecognizer>(shared_from_this());
}

void PinchGestureRecognizer::update(GestureRecognizerState state, double scale, cg::Point rootLocation) {
  state_ = state;
  scale_ = scale;
  fire(rootLocation);
  if (state == GestureRecognizerState::ended || state == GestureRecognizerState::cancelled)
    state_ = GestureRecognizerState::possible;
}

std::shared_ptr<View> simulatePinch(const std::shared_ptr<View>& view, const std::vector<double>& scales) {
  if (!view) return nullptr;
  auto root = view;
  while (root->superview()) root = root->superview();
  cg::Rect b = view->bounds();
  cg::Point centre = view->convertPointToView(cg::Point{b.midX(), b.midY()}, nullptr);
  auto hit = root->hitTest(root->convertPointFromView(centre, nullptr), nullptr);
  if (!hit) return nullptr;
  std::vector<std::shared_ptr<PinchGestureRecognizer>> pinches;
  for (auto v = hit; v; v = v->superview())
    for (const auto& r : v->gestureRecognizers())
      if (auto pinch = std::dynamic_pointer_cast<PinchGestureRecognizer>(r))
        if (pinch->isEnabled() && pinch->shouldReceiveTouch(hit.get()) && pinch->shouldBegin())
          pinches.push_back(pinch);
  for (const auto& pinch : pinches) {
    pinch->update(GestureRecognizerState::began, 1, centre);
    for (double s : scales) pinch->update(GestureRecognizerState::changed, s, centre);
    pinch->update(GestureRecognizerState::ended, scales.empty() ? 1 : scales.back(), centre);
  }
  return hit;
}

}  // namespace ui
