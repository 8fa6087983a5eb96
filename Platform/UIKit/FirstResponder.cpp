#include "UIKit/Touch.h"

namespace ui {

namespace {
// Main thread only, as every view.
std::weak_ptr<Responder>& firstResponder() {
  static std::weak_ptr<Responder> current;
  return current;
}
}  // namespace

bool Responder::isFirstResponder() const { return firstResponder().lock().get() == this; }

std::shared_ptr<Responder> Responder::currentFirstResponder() { return firstResponder().lock(); }

bool Responder::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  if (auto current = firstResponder().lock(); current && !current->resignFirstResponder()) return false;
  firstResponder() = std::static_pointer_cast<Responder>(shared_from_this());
  return true;
}

bool Responder::resignFirstResponder() {
  if (isFirstResponder()) firstResponder().reset();
  return true;
}

bool Responder::isKeyboardShown() {
  auto current = firstResponder().lock();
  return current && current->showsKeyboard();
}

}  // namespace ui
