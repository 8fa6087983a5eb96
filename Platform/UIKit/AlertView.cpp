#include "UIKit/AlertView.h"

#include <algorithm>

#include "Foundation/Format.h"

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
  return self<AlertView>();
}

int AlertView::addButtonWithTitle(std::string title) {
  buttonTitles_.push_back(std::move(title));
  return numberOfButtons() - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const {
  return index >= 0 && index < numberOfButtons() ? buttonTitles_[index] : std::string();
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
  std::lock_guard lock(listMutex());
  auto& list = shownList();
  if (std::find(list.begin(), list.end(), shared_from_this()) == list.end())
    list.push_back(self<AlertView>());
}

bool AlertView::isVisible() const {
  std::lock_guard lock(listMutex());
  const auto& list = shownList();
  return std::any_of(list.begin(), list.end(), [this](const auto& alert) { return alert.get() == this; });
}

void AlertView::dismissWithClickedButtonIndex(int, bool) {
  std::shared_ptr<AlertView> keep;  // released outside the lock
  std::lock_guard lock(listMutex());
  auto& list = shownList();
  auto it = std::find_if(list.begin(), list.end(), [this](const auto& alert) { return alert.get() == this; });
  if (it == list.end()) return;
  keep = std::move(*it);
  list.erase(it);
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

void AlertView::dismissAll() {
  std::vector<std::shared_ptr<AlertView>> gone;
  std::lock_guard lock(listMutex());
  gone.swap(shownList());
}

void AlertView::appendDumpAttributes(std::string& line) const {
  View::appendDumpAttributes(line);
  line += ns::format(" title=\"%@\" message=\"%@\" buttons=%d", title_, message_, numberOfButtons());
}

}  // namespace ui
