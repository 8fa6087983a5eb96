#include <mutex>

#include "Foundation/String.h"
#include "UIKit/Application.h"

namespace ui {

namespace {

// One application object per process, so the record of handed-over URLs lives beside it.
struct OpenedURLs {
  std::mutex mutex;
  std::vector<std::string> urls;
};

OpenedURLs& openedURLRecord() {
  static OpenedURLs record;
  return record;
}

}  // namespace

bool Application::openURL(const ns::URL& url) {
  auto& record = openedURLRecord();
  {
    std::lock_guard lock(record.mutex);
    record.urls.push_back(url.absoluteString());
  }
  std::string scheme = ns::lowercaseString(url.scheme().value_or(""));
  return scheme == "http" || scheme == "https";
}

std::vector<std::string> Application::openedURLs() const {
  auto& record = openedURLRecord();
  std::lock_guard lock(record.mutex);
  return record.urls;
}

void Application::clearOpenedURLs() {
  auto& record = openedURLRecord();
  std::lock_guard lock(record.mutex);
  record.urls.clear();
}

}  // namespace ui
