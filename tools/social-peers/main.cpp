// Runs the fake Facebook and VKontakte peers until interrupted:
// social-peers [--facebook-port N] [--vkontakte-port N] (defaults 8091 and 8092, the ports the
// client's default origins name).
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "FacebookPeer.h"
#include "ToolUsage.h"
#include "VkontaktePeer.h"

int main(int argc, char** argv) {
  constexpr const char* kArguments =
      "[--facebook-port N] [--vkontakte-port N]\n"
      "  --facebook-port N    the Facebook peer's port on 127.0.0.1, 0 for a free one (default: 8091)\n"
      "  --vkontakte-port N   the VKontakte peer's port on 127.0.0.1, 0 for a free one (default: 8092)";
  if (auto exitCode =
          toolusage::checkArguments(argc, argv, kArguments, {"--facebook-port", "--vkontakte-port"}))
    return *exitCode;
  int port = 8091;
  int vkontaktePort = 8092;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--facebook-port") == 0 && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--vkontakte-port") == 0 && i + 1 < argc) {
      vkontaktePort = std::atoi(argv[++i]);
    } else {
      std::cerr << toolusage::usageLine(argv[0], kArguments);
      return 2;
    }
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server threads inherit the mask

  socialpeers::FacebookPeer facebook;
  socialpeers::VkontaktePeer vkontakte;
  try {
    facebook.start(port);
    vkontakte.start(vkontaktePort);
  } catch (const std::exception& e) {
    std::cerr << "social-peers: " << e.what() << "\n";
    return 1;
  }
  std::cout << "social-peers: Facebook at " << facebook.origin() << std::endl;
  std::cout << "social-peers: VKontakte at " << vkontakte.origin() << std::endl;
  int received = 0;
  sigwait(&signals, &received);
  vkontakte.stop();
  facebook.stop();
  return 0;
}
