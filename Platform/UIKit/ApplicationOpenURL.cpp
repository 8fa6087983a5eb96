#include <set>

#include "Foundation/String.h"
#include "UIKit/Application.h"

namespace ui {

namespace {

// One application object per process, so its installed schemes live beside it.
struct OpenURLState {
  std::mutex mutex;
  std::set<std::string> schemes;
  std::vector<std::string> queries;
};

OpenURLState& openURLState() {
  static OpenURLState state;
  return state;
}

}  // namespace

bool Application::canOpenURL(const ns::URL& url) const {
  auto& state = openURLState();
  std::lock_guard lock(state.mutex);
  state.queries.push_back(url.absoluteString());
  return url.scheme() && state.schemes.count(ns::lowercaseString(*url.scheme())) != 0;
}

void Application::setURLSchemeHandled(const std::string& scheme, bool handled) {
  auto& state = openURLState();
  std::lock_guard lock(state.mutex);
  if (handled)
    state.schemes.insert(ns::lowercaseString(scheme));
  else
    state.schemes.erase(ns::lowercaseString(scheme));
}

std::vector<std::string> Application::canOpenURLQueries() const {
  auto& state = openURLState();
  std::lock_guard lock(state.mutex);
  return state.queries;
}

}  // namespace ui
