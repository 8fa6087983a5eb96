#include <cstdio>
#include <cstdlib>

#include "App/AppDelegate.h"
#include "App/ClientProgram.h"
#include "Foundation/ClassRegistry.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  {
    ClientProgram program;
    if (auto early = program.configure(argc, argv)) return *early;
    exitCode =
        ui::applicationMain(argc, argv, {}, ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>());
  }
  // The platform's threads (network, workers) live as long as the process and may still be
  // finishing a request: the process ends here without tearing static objects down under them.
  std::fflush(nullptr);
  std::_Exit(exitCode);
}
