#include "UIKit/AlertView.h"

#include <algorithm>

#include "Foundation/Format.h"
#include "UIKit/Window.h"

namespace ui {

std::shared_ptr<AlertView> AlertView::initWithTitle(std::string title, std::string message,
                                                    std::weak_ptr<AlertViewDelegate> delegate,
                                                    std::string cancelButtonTitle,
                                                    std::vector<std::string> otherButtonTitles) {
  initWithFrame({});
  title_ = std::move(title);
  message_ = std::move(message);
  delegate_ = std::move(delegate);
  if (!cancelButtonTitle.empty()) cancelButtonIndex_ = addButtonWithTitle(std::move(cancelButtonTitle));
  for (auto& other : otherButtonTitles) addButtonWithTitle(std::move(other));
  dimming_ = std::make_shared<View>()->initWithFrame({});
  dimming_->setBackgroundColor(Color::colorWithWhite(0, 0.45));
  dimming_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
  return self<AlertView>();
}

int AlertView::addButtonWithTitle(std::string title) {
  buttonTitles_.push_back(std::move(title));
  return numberOfButtons() - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const {
  return index >= 0 && index < numberOfButtons() ? buttonTitles_[index] : std::string();
}

int AlertView::firstOtherButtonIndex() const {
  for (int i = 0; i < numberOfButtons(); ++i)
    if (i != cancelButtonIndex_) return i;
  return -1;
}

int AlertView::returnKeyButtonIndex() const {
  int other = firstOtherButtonIndex();
  return other >= 0 ? other : cancelButtonIndex_;
}

std::mutex& AlertView::listMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::shared_ptr<AlertView>>& AlertView::shownList() {
  static std::vector<std::shared_ptr<AlertView>> list;
  return list;
}

void AlertView::show() {
  {
    std::lock_guard lock(listMutex());
    auto& list = shownList();
    if (std::find(list.begin(), list.end(), shared_from_this()) != list.end()) return;
    list.push_back(self<AlertView>());
  }
  presentFrontAlert();
}

bool AlertView::isVisible() const {
  std::lock_guard lock(listMutex());
  const auto& list = shownList();
  return std::any_of(list.begin(), list.end(), [this](const auto& alert) { return alert.get() == this; });
}

void AlertView::takeOffScreen() {
  if (dimming_) dimming_->removeFromSuperview();
  removeFromSuperview();
}

void AlertView::dismissWithClickedButtonIndex(int, bool) {
  auto keep = self<AlertView>();
  {
    std::lock_guard lock(listMutex());
    auto& list = shownList();
    auto it = std::find(list.begin(), list.end(), keep);
    if (it == list.end()) return;
    list.erase(it);
  }
  takeOffScreen();
  presentFrontAlert();
}

bool AlertView::tapButtonAtIndex(int buttonIndex) {
  if (buttonIndex < 0 || buttonIndex >= numberOfButtons() || !isVisible()) return false;
  auto keep = self<AlertView>();  // the delegate may drop its last reference
  if (auto delegate = delegate_.lock()) delegate->alertViewClickedButtonAtIndex(*this, buttonIndex);
  dismissWithClickedButtonIndex(buttonIndex, true);
  return true;
}

std::vector<std::shared_ptr<AlertView>> AlertView::visibleAlerts() {
  std::lock_guard lock(listMutex());
  return shownList();
}

std::shared_ptr<AlertView> AlertView::frontAlert() {
  std::lock_guard lock(listMutex());
  const auto& list = shownList();
  return list.empty() ? nullptr : list.front();
}

void AlertView::dismissAll() {
  std::vector<std::shared_ptr<AlertView>> gone;
  {
    std::lock_guard lock(listMutex());
    gone.swap(shownList());
  }
  for (const auto& alert : gone) alert->takeOffScreen();
}

void AlertView::presentFrontAlert() {
  auto alert = frontAlert();
  auto window = Window::keyWindow();
  if (!alert || !window || alert->superview() == window) return;
  alert->buildPanel();
  alert->placeInBounds(window->bounds());
  window->addSubview(alert->dimming_);
  window->addSubview(alert);
}

void AlertView::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += ns::format(" title=\"%@\" message=\"%@\" buttons=%d", title_, message_, numberOfButtons());
}

}  // namespace ui
