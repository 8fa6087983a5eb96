#include "Foundation/NotificationCenter.h"
#include "Graphics/Layer.h"
#include "UIKit/SystemNotifications.h"
#include "UIKit/Touch.h"
#include "UIKit/View.h"

namespace ui {

namespace {
// Main thread only, as every view.
std::weak_ptr<Responder>& firstResponder() {
  static std::weak_ptr<Responder> current;
  return current;
}
// Set while the role passes from one responder to another: the keyboard stays up between two
// text inputs, so no will-hide goes out for the one giving it up.
bool handingOver = false;

void post(const char* name) { ns::NotificationCenter::defaultCenter()->postNotificationName(name); }

// Carets, focused fields and the keyboard show who has the role: the views taking and giving it
// are drawn again.
void roleDidMove(Responder* responder) {
  if (auto view = dynamic_cast<View*>(responder)) view->setNeedsDisplay();
  cg::noteDisplayChange();
}
}  // namespace

bool Responder::isFirstResponder() const { return firstResponder().lock().get() == this; }

std::shared_ptr<Responder> Responder::currentFirstResponder() { return firstResponder().lock(); }

bool Responder::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  bool wasShown = isKeyboardShown();
  if (auto current = firstResponder().lock()) {
    handingOver = true;
    bool resigned = current->resignFirstResponder();
    handingOver = false;
    if (!resigned) return false;
  }
  firstResponder() = std::static_pointer_cast<Responder>(shared_from_this());
  roleDidMove(this);
  if (!wasShown && showsKeyboard()) post(kKeyboardWillShowNotification);
  if (wasShown && !showsKeyboard()) post(kKeyboardWillHideNotification);
  return true;
}

bool Responder::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  bool wasShown = isKeyboardShown();
  firstResponder().reset();
  roleDidMove(this);
  if (wasShown && !handingOver) post(kKeyboardWillHideNotification);
  return true;
}

bool Responder::isKeyboardShown() {
  auto current = firstResponder().lock();
  return current && current->showsKeyboard();
}

}  // namespace ui
