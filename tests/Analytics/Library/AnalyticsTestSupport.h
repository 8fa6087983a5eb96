#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "UIKit/Device.h"

namespace analyticstest {

// Sets (or, with nullptr, removes) an environment variable for its lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) previous_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (previous_)
      setenv(name_.c_str(), previous_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A Russian-speaking user on a tablet: the device facts every hit carries are then known.
class RussianTablet {
 public:
  RussianTablet() : previous_(ui::Device::setProfile(ui::DeviceProfile::tablet())) {}
  ~RussianTablet() { ui::Device::setProfile(previous_); }

 private:
  ScopedEnv all_{"LC_ALL", nullptr};
  ScopedEnv messages_{"LC_MESSAGES", nullptr};
  ScopedEnv lang_{"LANG", "ru_RU.UTF-8"};
  ScopedEnv language_{"LANGUAGE", "ru:en"};
  ui::DeviceProfile previous_;
};

// The pieces of a form body, split at "&".
std::vector<std::string> bodyPieces(const std::string& body);

}  // namespace analyticstest
