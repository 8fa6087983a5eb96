#include "App/AppDelegate.h"
#include "App/ClientProgram.h"
#include "Foundation/ClassRegistry.h"

int main(int argc, char** argv) {
  ClientProgram program;
  if (auto exitCode = program.configure(argc, argv)) return *exitCode;
  return ui::applicationMain(argc, argv, {},
                             ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>());
}
