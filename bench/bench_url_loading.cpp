// 2,000 small GETs at concurrency 8 through ns::URLConnection, against the same requests through a
// plain libcurl multi loop, in the same process against the same loopback server. Both sides keep
// at most 6 connections to the host, the limit the platform layer applies to every host. Prints
// requests per second, p50/p99 latency and the ratio of the wall times (ours / plain libcurl).
#include <curl/curl.h>
#include <httplib.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/RunLoop.h"
#include "Foundation/URLConnection.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequests = 2000;
constexpr int kConcurrency = 8;
constexpr long kConnectionsPerHost = 6;

struct Run {
  double seconds = 0;
  std::vector<double> latencies;  // seconds, one per request
  std::size_t bytes = 0;
};

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

std::string urlFor(int port, int i) {
  return "http://127.0.0.1:" + std::to_string(port) + "/item?id=" + std::to_string(i);
}

// The baseline: one thread, one multi handle, a handle per request slot reused for the next request.
Run plainCurl(int port, int count) {
  struct Slot {
    CURL* easy = nullptr;
    std::string body;
    Clock::time_point started;
  };
  Run run;
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kConnectionsPerHost);
  std::vector<Slot> slots(kConcurrency);
  auto write = +[](char* data, std::size_t size, std::size_t n, void* user) {
    static_cast<Slot*>(user)->body.append(data, size * n);
    return size * n;
  };
  int next = 0, done = 0;
  auto launch = [&](Slot& slot) {
    if (!slot.easy) {
      slot.easy = curl_easy_init();
      curl_easy_setopt(slot.easy, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(slot.easy, CURLOPT_WRITEFUNCTION, write);
      curl_easy_setopt(slot.easy, CURLOPT_WRITEDATA, &slot);
      curl_easy_setopt(slot.easy, CURLOPT_PRIVATE, &slot);
      // The same request as the platform layer sends: compressed bodies accepted.
      curl_easy_setopt(slot.easy, CURLOPT_ACCEPT_ENCODING, "");
    }
    std::string url = urlFor(port, next++);
    curl_easy_setopt(slot.easy, CURLOPT_URL, url.c_str());
    slot.body.clear();
    slot.started = Clock::now();
    curl_multi_add_handle(multi, slot.easy);
  };
  auto start = Clock::now();
  for (auto& slot : slots)
    if (next < count) launch(slot);
  while (done < count) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) continue;
      Slot* slot = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &slot);
      curl_multi_remove_handle(multi, slot->easy);
      run.latencies.push_back(std::chrono::duration<double>(Clock::now() - slot->started).count());
      run.bytes += slot->body.size();
      ++done;
      if (next < count) launch(*slot);
    }
    if (done < count) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (auto& slot : slots)
    if (slot.easy) curl_easy_cleanup(slot.easy);
  curl_multi_cleanup(multi);
  return run;
}

// Ours: connections whose delegate (this thread's run loop) starts the next request as one ends.
struct Loader : ns::URLConnectionDelegate, std::enable_shared_from_this<Loader> {
  int port = 0, count = 0, next = 0, done = 0;
  Run run;
  struct Pending {
    Clock::time_point started;
    std::string body;
  };
  std::vector<std::pair<const ns::URLConnection*, Pending>> inFlight;

  Pending* find(const ns::URLConnection* c) {
    for (auto& [key, pending] : inFlight)
      if (key == c) return &pending;
    return nullptr;
  }
  void launch() {
    auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(urlFor(port, next++)));
    auto connection = std::make_shared<ns::URLConnection>();
    inFlight.push_back({connection.get(), {Clock::now(), {}}});
    connection->initWithRequest(request, shared_from_this(), true);
  }
  void connectionDidReceiveData(const ns::URLConnectionPtr& c, const ns::Data& data) override {
    if (auto* p = find(c.get())) p->body.append(data.view());
  }
  void end(const ns::URLConnectionPtr& c) {
    auto it =
        std::find_if(inFlight.begin(), inFlight.end(), [&](const auto& e) { return e.first == c.get(); });
    if (it == inFlight.end()) return;
    run.latencies.push_back(std::chrono::duration<double>(Clock::now() - it->second.started).count());
    run.bytes += it->second.body.size();
    inFlight.erase(it);
    ++done;
    if (next < count) launch();
  }
  void connectionDidFinishLoading(const ns::URLConnectionPtr& c) override { end(c); }
  void connectionDidFailWithError(const ns::URLConnectionPtr& c, const ns::ErrorPtr& error) override {
    std::fprintf(stderr, "request failed: %s\n", error->localizedDescription().c_str());
    end(c);
  }
};

Run throughConnections(int port, int count) {
  auto loader = std::make_shared<Loader>();
  loader->port = port;
  loader->count = count;
  auto loop = ns::RunLoop::currentRunLoop();
  auto start = Clock::now();
  for (int i = 0; i < kConcurrency && loader->next < count; ++i) loader->launch();
  while (loader->done < count) loop->runOnce(1.0);
  loader->run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return loader->run;
}

void print(const char* name, const Run& run) {
  std::printf("%-28s %8.1f requests/s   wall %7.1f ms   p50 %6.3f ms   p99 %6.3f ms   %zu bytes\n", name,
              kRequests / run.seconds, run.seconds * 1e3, percentile(run.latencies, 0.5) * 1e3,
              percentile(run.latencies, 0.99) * 1e3, run.bytes);
}

const Run& best(const std::vector<Run>& runs) {
  return *std::min_element(runs.begin(), runs.end(),
                           [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(16); };
  server.set_tcp_nodelay(true);
  server.set_keep_alive_max_count(1000000);
  server.set_keep_alive_timeout(1);
  const std::string body(512, 'x');
  server.Get("/item", [&](const httplib::Request&, httplib::Response& response) {
    // A type the server does not compress: its compressor would dominate both figures.
    response.set_content(body, "application/octet-stream");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::yield();
  pthread_setname_np(pthread_self(), "bench.client");

  // Warm both sides up (connections, the network thread, caches), then alternate measured runs.
  plainCurl(port, 200);
  throughConnections(port, 200);
  std::vector<Run> baseline, ours;
  for (int round = 0; round < 7; ++round) {
    // Alternate which side goes first, so neither always follows the other.
    if (round % 2) ours.push_back(throughConnections(port, kRequests));
    baseline.push_back(plainCurl(port, kRequests));
    if (round % 2 == 0) ours.push_back(throughConnections(port, kRequests));
  }
  const Run& b = best(baseline);
  const Run& o = best(ours);
  std::printf("%d GETs of %zu bytes at concurrency %d, at most %ld connections, best of %zu runs each\n",
              kRequests, body.size(), kConcurrency, kConnectionsPerHost, baseline.size());
  print("plain libcurl multi:", b);
  print("ns::URLConnection:", o);

  server.stop();
  serving.join();
  std::printf("ratio url_loading_time = %.2f (target <= 1.2)\n", o.seconds / b.seconds);
  return 0;
}
