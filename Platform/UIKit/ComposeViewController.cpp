#include "UIKit/ComposeViewController.h"

#include <atomic>

#include "Foundation/Format.h"

namespace ui {

namespace {
std::atomic<bool> available{true};
}  // namespace

bool ComposeViewController::isAvailable() { return available.load(); }

void ComposeViewController::setAvailable(bool value) { available.store(value); }

std::shared_ptr<ComposeViewController> ComposeViewController::composeViewControllerForServiceType(
    const std::string& type) {
  if (type != kServiceTypeFacebook && type != kServiceTypeTwitter) return nullptr;
  auto composer = std::make_shared<ComposeViewController>();
  composer->init();
  composer->serviceType_ = type;
  return composer;
}

bool ComposeViewController::setInitialText(std::string text) {
  initialText_ = std::move(text);
  return true;
}

bool ComposeViewController::addURL(const std::optional<ns::URL>& url) {
  if (!url) return false;
  urls_.push_back(*url);
  return true;
}

bool ComposeViewController::addImage(const std::shared_ptr<Image>& image) {
  if (!image) return false;
  images_.push_back(image);
  return true;
}

void ComposeViewController::appendDumpAttributes(std::string& line) const {
  ViewController::appendDumpAttributes(line);
  line += ns::format(" service=%@ text=\"%@\"", serviceType_, initialText_);
}

}  // namespace ui
