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

// Lets the facade's trackers and dispatcher go and removes its store file, so the next use starts afresh.
void resetFacade();

// The pieces of a form body, split at "&".
std::vector<std::string> bodyPieces(const std::string& body);

// A program started as a separate process (not a fork of the threaded test binary), its standard
// output and error read through one pipe.
class ChildProcess {
 public:
  // Environment entries "NAME=value" are added to the test's own.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Reads output until it holds the text; false when the process ended or the time ran out first.
  bool waitForOutput(const std::string& text, double timeoutSeconds = 60);
  // Reads output until the process closes it, then reaps it. False when the time ran out.
  bool waitForExit(double timeoutSeconds = 60);
  void kill(int signal);
  const std::string& output() const { return output_; }
  // The wait status once reaped.
  int status() const { return status_; }

 private:
  enum class Read { data, ended, timedOut };
  Read readSome(double timeoutSeconds);
  int pid_ = -1;
  int fd_ = -1;
  std::string output_;
  int status_ = -1;
  bool reaped_ = false;
};

}  // namespace analyticstest
