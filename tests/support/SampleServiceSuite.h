#pragma once

#include <gtest/gtest.h>

#include "SampleServer.h"

namespace testsupport {

// A test suite sharing one in-process sample service on a free port, started before its first
// test and stopped after its last; every test starts with no overrides and an empty request log.
// Test binaries using it link SampleService.
class SampleServiceSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new sampleservice::Server();
    server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    server_->clearOverrides();
    server_->clearLog();
  }

  static inline sampleservice::Server* server_ = nullptr;
};

}  // namespace testsupport
