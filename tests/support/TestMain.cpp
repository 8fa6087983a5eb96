// The main of every test binary: names are looked up on the loopback only, one fresh application
// sandbox serves the whole run, so no test writes into the user's real folders, then GoogleTest. Background
// work the tests started (a section still building its tiles, a decode) is let finish before the process
// exits: a worker must not be running while exit tears down the libraries it uses.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "Foundation/WorkerPool.h"
#include "support/LoopbackResolver.h"
#include "support/RunLoopSpin.h"
#include "support/TempDir.h"

int main(int argc, char** argv) {
  testsupport::keepNameLookupsOnTheLoopback();
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::TempDir sandbox;
  setenv("VCC_SANDBOX_ROOT", sandbox.str().c_str(), 1);
  int result = RUN_ALL_TESTS();
  if (!testsupport::spinUntil([] { return ns::WorkerPool::shared().unfinishedJobCount() == 0; }, 60))
    return 1;
  return result;
}
