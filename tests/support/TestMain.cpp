// The main of every test binary: one fresh application sandbox for the whole run, so no test
// writes into the user's real folders, then GoogleTest.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/TempDir.h"

#if defined(__SANITIZE_THREAD__)
// The loopback server's library is not built with the race detector, which therefore cannot see its
// threads synchronise. Weak, so a binary whose own components define the hook keeps theirs.
extern "C" __attribute__((weak)) const char* __tsan_default_suppressions() {
  return "race:libcpp-httplib.so\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::TempDir sandbox;
  setenv("VCC_SANDBOX_ROOT", sandbox.str().c_str(), 1);
  return RUN_ALL_TESTS();
}
