// A start of the client, headless with the clock skipping over timer waits, against the sample
// service in this process, until the home page has settled: cold (empty caches) and warm (posters
// cached). The floor is the same work done plainly: the requests the client made, with libcurl
// multi at the client's concurrency (6 connections to the host) and with the encodings it offers,
// the JSON bodies parsed with simdjson, the images decoded with the same codecs, and the same
// poster files encoded and written (cold) or read and decoded (warm). A client start ends with its
// first picture of the settled screen drawn, which decodes the posters read from its cache that
// the screen shows.
// The client's peak resident memory is measured per device in a process of its own (this program
// started again with --client), so the service, the floor and earlier runs are not counted.
#include <curl/curl.h>
#include <simdjson.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "App/AppDelegate.h"
#include "App/ClientProgram.h"
#include "Foundation/ClassRegistry.h"
#include "Graphics/Image.h"
#include "SampleServer.h"
#include "SelfProcess.h"
#include "UIKit/AlertView.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double peakMemoryMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Runs the client as the program does, with these options, until the script ends; its exit code.
// With draw, the settled screen is drawn once, as a window would show it.
int runProgram(std::vector<std::string> options, bool draw = false) {
  ui::Application::sharedApplication()->reset();
  ui::AlertView::dismissAll();
  ClientProgram program;
  options.insert(options.begin(), "--headless");
  if (program.configure(options)) return -1;
  bool drawn = !draw;
  if (draw)
    program.session()->setStepObserver([&drawn] {
      auto window = ui::Window::keyWindow();
      drawn = window && ui::renderView(window);
    });
  char name[] = "vcc";
  char* argv[] = {name, nullptr};
  int exitCode =
      ui::applicationMain(1, argv, "", ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>());
  return drawn ? exitCode : -1;
}

// One client run until the home page settles; the requests it made.
double runClient(sampleservice::Server& server, const std::string& script,
                 std::vector<sampleservice::ServiceRequest>& requests) {
  server.clearLog();
  auto start = Clock::now();
  int exitCode = runProgram({"--host", server.hostAndPort(), "--script", script}, true);
  double seconds = secondsSince(start);
  requests = server.requests();
  return exitCode == 0 ? seconds : -1;
}

// The child's side of a memory measurement: one start, then its own peak on stdout.
int clientMemoryMain(const std::vector<std::string>& options) {
  resetPeakMemory();
  int exitCode = runProgram(options);
  std::printf("peak %.1f\n", peakMemoryMB());
  return exitCode;
}

// The peak resident memory in MB of one start of the client in a process of its own; < 0 when it
// failed.
double clientPeakMemory(const std::vector<std::string>& options) {
  std::vector<std::string> arguments{"bench_startup", "--client"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  auto output = outputOfSelf(arguments);
  if (!output) return -1;
  const std::string& text = *output;
  auto at = text.rfind("peak ");
  return at == std::string::npos ? -1 : std::atof(text.c_str() + at + 5);
}

struct Fetched {
  std::string url;
  std::string body;
  std::string contentType;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// The requests again, with libcurl multi, six connections to the host at most.
std::vector<Fetched> fetchAll(sampleservice::Server& server,
                              const std::vector<sampleservice::ServiceRequest>& requests) {
  std::vector<Fetched> results(requests.size());
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 6L);
  std::vector<CURL*> handles;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const auto& r = requests[i];
    if (r.method != "GET") continue;
    results[i].url = server.url(r.path + (r.query.empty() ? "" : "?" + r.query));
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, results[i].url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // The client offers every encoding libcurl decodes, and the service compresses JSON for it.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &results[i].body);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &results[i]);
    curl_multi_add_handle(multi, easy);
    handles.push_back(easy);
  }
  int running = 0;
  do {
    curl_multi_perform(multi, &running);
    if (running) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  } while (running);
  for (CURL* easy : handles) {
    Fetched* f = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &f);
    char* type = nullptr;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
    if (f && type) f->contentType = type;
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
  }
  curl_multi_cleanup(multi);
  return results;
}

// Runs work(i) for i in [0, count) on as many threads as there are processors, as the client
// spreads its decoding and file work over its background queues.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < std::max(2u, std::thread::hardware_concurrency()); ++t)
    threads.emplace_back([&] {
      for (std::size_t i; (i = next++) < count;) work(i);
    });
  for (auto& thread : threads) thread.join();
}

// The floor of one start: fetch, parse, decode, and write the posters (cold) or read them (warm).
double floorRun(sampleservice::Server& server, const std::vector<sampleservice::ServiceRequest>& requests,
                const fs::path& posters, bool cold) {
  auto start = Clock::now();
  auto fetched = fetchAll(server, requests);
  parallelFor(fetched.size(), [&](std::size_t i) {
    const Fetched& f = fetched[i];
    if (f.contentType.find("json") != std::string::npos) {
      simdjson::dom::parser parser;
      simdjson::dom::element root;
      if (parser.parse(f.body).get(root))
        std::fprintf(stderr, "bench_startup: bad JSON from %s\n", f.url.c_str());
    } else if (f.contentType.rfind("image/", 0) == 0) {
      auto image = cg::Image::decode(f.body.data(), f.body.size());
      if (image && cold) {
        auto png = image->pngData();
        std::ofstream(posters / (std::to_string(i) + ".png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.bytes()), static_cast<std::streamsize>(png.length()));
      }
    }
  });
  if (!cold) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(posters)) files.push_back(entry.path());
    parallelFor(files.size(), [&](std::size_t i) {
      std::ifstream in(files[i], std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!cg::Image::decode(bytes.data(), bytes.size()))
        std::fprintf(stderr, "bench_startup: cannot decode\n");
    });
  }
  return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--client")
    return clientMemoryMain(std::vector<std::string>(argv + 2, argv + argc));
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const fs::path root = fs::temp_directory_path() / ("bench-startup-" + std::to_string(::getpid()));
  fs::create_directories(root / "posters");
  { std::ofstream(root / "wait.vcc") << "wait\n"; }
  setenv("VCC_SANDBOX_ROOT", (root / "sandbox").c_str(), 1);
  setenv("VCC_COLLECT_URL", "http://127.0.0.1:9/collect", 1);
  sampleservice::Server server;
  server.start();
  const std::string script = (root / "wait.vcc").string();

  // A first start warms the process (fonts, code) and is not counted.
  std::vector<sampleservice::ServiceRequest> requests;
  runClient(server, script, requests);

  constexpr int kRounds = 3;
  double clientCold = 0, clientWarm = 0, floorCold = 0, floorWarm = 0;
  std::size_t coldRequests = 0, warmRequests = 0;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(root / "sandbox" / "Library" / "Caches");
    double cold = runClient(server, script, requests);
    coldRequests = requests.size();
    fs::remove_all(root / "posters");
    fs::create_directories(root / "posters");
    floorCold += floorRun(server, requests, root / "posters", true);
    double warm = runClient(server, script, requests);
    warmRequests = requests.size();
    floorWarm += floorRun(server, requests, root / "posters", false);
    if (cold < 0 || warm < 0) {
      std::fprintf(stderr, "bench_startup: the client did not settle\n");
      return 1;
    }
    clientCold += cold;
    clientWarm += warm;
  }

  // The client's own peak, cold and warm, on each device.
  struct DevicePeak {
    const char* device;
    double cold, warm;
  };
  std::vector<DevicePeak> peaks;
  for (const char* device : {"tablet", "phone"}) {
    const std::string data = (root / (std::string("memory-") + device)).string();
    const std::vector<std::string> options{"--host", server.hostAndPort(), "--device", device, "--data",
                                           data,     "--script",           script};
    double cold = clientPeakMemory(options);
    double warm = clientPeakMemory(options);
    if (cold < 0 || warm < 0) {
      std::fprintf(stderr, "bench_startup: the client on the %s did not settle\n", device);
      return 1;
    }
    peaks.push_back({device, cold, warm});
  }
  server.stop();
  fs::remove_all(root);

  std::printf("cold start: client %.3f s, floor %.3f s (%zu requests)\n", clientCold / kRounds,
              floorCold / kRounds, coldRequests);
  std::printf("warm start: client %.3f s, floor %.3f s (%zu requests)\n", clientWarm / kRounds,
              floorWarm / kRounds, warmRequests);
  for (const auto& p : peaks)
    std::printf("peak resident memory of the client on the %s: cold %.1f MB, warm %.1f MB (budget 150 MB)\n",
                p.device, p.cold, p.warm);
  std::printf("ratio startup_cold = %.2f (target <= 1.5)\n", clientCold / floorCold);
  std::printf("ratio startup_warm = %.2f (target <= 1.5)\n", clientWarm / floorWarm);
  for (const auto& p : peaks)
    std::printf("ratio startup_memory_%s = %.2f (target <= 1.0)\n", p.device,
                std::max(p.cold, p.warm) / 150.0);
  curl_global_cleanup();
  return 0;
}
