// Runs the fake Facebook peer until interrupted: social-peers [--facebook-port N] (default 8091,
// the port the client's default Facebook origins name).
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "FacebookPeer.h"

int main(int argc, char** argv) {
  int port = 8091;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--facebook-port") == 0 && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else {
      std::cerr << "usage: social-peers [--facebook-port N]\n";
      return 2;
    }
  }
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // the server threads inherit the mask

  socialpeers::FacebookPeer facebook;
  try {
    facebook.start(port);
  } catch (const std::exception& e) {
    std::cerr << "social-peers: " << e.what() << "\n";
    return 1;
  }
  std::cout << "social-peers: Facebook at " << facebook.origin() << std::endl;
  int received = 0;
  sigwait(&signals, &received);
  facebook.stop();
  return 0;
}
