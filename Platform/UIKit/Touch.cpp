#include "UIKit/Touch.h"

#include "UIKit/View.h"

namespace ui {

Touch::Touch(std::shared_ptr<View> view, cg::Point rootLocation, TouchPhase phase, int tapCount,
             double timestamp)
    : view_(view),
      location_(rootLocation),
      previous_(rootLocation),
      phase_(phase),
      tapCount_(tapCount),
      timestamp_(timestamp) {}

cg::Point Touch::convert(cg::Point rootPoint, const View* view) const {
  if (!view) return rootPoint;
  return view->convertPointFromView(rootPoint, nullptr);
}

cg::Point Touch::locationInView(const View* view) const { return convert(location_, view); }
cg::Point Touch::previousLocationInView(const View* view) const { return convert(previous_, view); }

void Touch::moveTo(cg::Point rootLocation, TouchPhase phase) {
  previous_ = location_;
  location_ = rootLocation;
  phase_ = phase;
}

void Responder::touchesBegan(const TouchSet& touches, const Event* event) {
  if (auto next = nextResponder()) next->touchesBegan(touches, event);
}
void Responder::touchesMoved(const TouchSet& touches, const Event* event) {
  if (auto next = nextResponder()) next->touchesMoved(touches, event);
}
void Responder::touchesEnded(const TouchSet& touches, const Event* event) {
  if (auto next = nextResponder()) next->touchesEnded(touches, event);
}
void Responder::touchesCancelled(const TouchSet& touches, const Event* event) {
  if (auto next = nextResponder()) next->touchesCancelled(touches, event);
}

}  // namespace ui
