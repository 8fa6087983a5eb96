#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "App/AppDelegate.h"
#include "App/ClientProgram.h"
#include "Classes/HomeTestSupport.h"
#include "Foundation/ClassRegistry.h"
#include "UIKit/AlertView.h"

namespace testsupport {

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Lines of a dump that start, after their indentation, with the class name and a blank.
inline std::size_t countViews(const std::string& dump, const std::string& className) {
  std::size_t n = 0;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    auto start = line.find_first_not_of(' ');
    n += start != std::string::npos && line.compare(start, className.size() + 1, className + " ") == 0;
  }
  return n;
}

// The client program run in this process, as main runs it: options, then the application's main.
// The session, when there is one, can be given a step observer first, and tells why it failed.
inline int runClientInProcess(const std::vector<std::string>& arguments,
                              const std::function<void(ClientSession&)>& prepare = {},
                              std::string* failure = nullptr) {
  ClientProgram program;
  if (auto exitCode = program.configure(arguments)) return *exitCode;
  if (prepare && program.session()) prepare(*program.session());
  char name[] = "vcc";
  char* argv[] = {name, nullptr};
  int exitCode =
      ui::applicationMain(1, argv, "", ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>());
  if (failure && program.session()) *failure = program.session()->failure();
  return exitCode;
}

// Client runs against the suite's service from empty caches, each leaving the application, its
// alerts and every request it caused behind it.
class ClientServiceSuite : public CachedSampleServiceSuite {
 protected:
  void SetUp() override {
    CachedSampleServiceSuite::SetUp();
    ui::Application::sharedApplication()->reset();
    ui::AlertView::dismissAll();
  }
  void TearDown() override {
    releaseAllHeld();
    awaitPosterRequestsEnded();
    ui::AlertView::dismissAll();
    ui::Application::sharedApplication()->reset();
  }
};

}  // namespace testsupport
