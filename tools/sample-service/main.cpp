// The sample service as a program: serves the catalogue until interrupted.
//   sample-service [--port N] [--bind ADDRESS] [--data FOLDER]
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "SampleServer.h"
#include "ToolUsage.h"

namespace {

constexpr const char* kArguments =
    "[--port N] [--bind ADDRESS] [--data FOLDER]\n"
    "  --port N          the port to serve on, 0 for a free one (default: 8080)\n"
    "  --bind ADDRESS    the address to listen on (default: 127.0.0.1)\n"
    "  --data FOLDER     the catalogue's folder (default: tools/sample-service/data of the checkout)";

// Reports what is wrong with the arguments, then the usage.
int refuse(const char* program, const std::string& problem) {
  std::fprintf(stderr, "sample-service: %s\n", problem.c_str());
  std::fputs(toolusage::usageLine(program, kArguments).c_str(), stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (auto exitCode = toolusage::checkArguments(argc, argv, kArguments, {"--port", "--bind", "--data"}))
    return *exitCode;
  int port = 8080;
  std::string address = "127.0.0.1";
  std::string data = sampleservice::defaultDataFolder();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg != "--port" && arg != "--bind" && arg != "--data")
      return refuse(argv[0], "unexpected argument " + arg);
    if (i + 1 >= argc) return refuse(argv[0], arg + " needs a value");
    if (arg == "--port") {
      char* end = nullptr;
      long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 0 || value > 65535)
        return refuse(argv[0], "bad port " + std::string(argv[i]));
      port = static_cast<int>(value);
    } else if (arg == "--bind") {
      address = argv[++i];
    } else {
      data = argv[++i];
    }
  }

  // Wait for the stop signals synchronously instead of in a handler.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  try {
    sampleservice::Server server(data);
    server.start(address, port);
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sample-service: %s\n", e.what());
    return 1;
  }
  return 0;
}
