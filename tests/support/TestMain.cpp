// The main of every test binary: one fresh application sandbox for the whole run, so no test
// writes into the user's real folders, then GoogleTest.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/TempDir.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::TempDir sandbox;
  setenv("VCC_SANDBOX_ROOT", sandbox.str().c_str(), 1);
  return RUN_ALL_TESTS();
}
