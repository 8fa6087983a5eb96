// The main of every test binary: one fresh application sandbox for the whole run, so no test
// writes into the user's real folders, then GoogleTest. Background work the tests started (a
// section still building its tiles, a decode) is let finish before the process exits: a worker
// must not be running while exit tears down the libraries it uses.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>

#include "Foundation/RunLoop.h"
#include "Foundation/WorkerPool.h"
#include "support/TempDir.h"

namespace {

bool backgroundWorkFinished(std::chrono::seconds bound) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  auto loop = ns::RunLoop::currentRunLoop();
  while (ns::WorkerPool::shared().unfinishedJobCount() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    loop->runOnce(0.005);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::TempDir sandbox;
  setenv("VCC_SANDBOX_ROOT", sandbox.str().c_str(), 1);
  int result = RUN_ALL_TESTS();
  if (!backgroundWorkFinished(std::chrono::seconds(60))) {
    std::fprintf(stderr, "background work still running 60 s after the last test\n");
    return 1;
  }
  return result;
}
