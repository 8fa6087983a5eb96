#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

#include "FacebookPeer.h"
#include "Foundation/HTTPCookieStorage.h"
#include "support/RunLoopSpin.h"

namespace testsupport {

// Sets environment variables for one scope and puts the old values back after it.
class EnvironmentOverride {
 public:
  void set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.contains(name)) {
      const char* old = getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  ~EnvironmentOverride() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

// A suite sharing one in-process fake Facebook peer, which every origin of the client points at;
// each test starts with a reset peer and no cookies.
class FacebookPeerSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    peer_ = new socialpeers::FacebookPeer();
    peer_->start();
  }
  static void TearDownTestSuite() {
    delete peer_;
    peer_ = nullptr;
  }
  void SetUp() override {
    for (const char* name : {"VCC_FB_DIALOG_ORIGIN", "VCC_FB_GRAPH_ORIGIN", "VCC_FB_REST_ORIGIN",
                             "VCC_FB_VIDEO_ORIGIN", "VCC_FB_SITE_ORIGIN"})
      environment_.set(name, peer_->origin());
    peer_->reset();
    clearCookies();
  }
  // What a test set going (the logout's expireSession after its sheet has closed) reaches the
  // peers before the next test resets them.
  void TearDown() override {
    spinUntil(nothingLoadingOrRunning);
    clearCookies();
  }

  static void clearCookies() {
    auto storage = ns::HTTPCookieStorage::sharedHTTPCookieStorage();
    for (const auto& cookie : storage->cookies()) storage->deleteCookie(cookie);
  }

  EnvironmentOverride environment_;
  static inline socialpeers::FacebookPeer* peer_ = nullptr;
};

}  // namespace testsupport
