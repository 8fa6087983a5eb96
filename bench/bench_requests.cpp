// Request operations against plain libcurl multi, same process, same loopback server, same data:
// 2,000 JSON requests with 1 KB and with 200 KB bodies at concurrency 8 (the baseline parses each
// body with simdjson), and 5 downloads of 50 MB into files. Each side talks to a server of its own
// so the connections each client opened can be counted.
#include <curl/curl.h>
#include <simdjson.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Dispatch/Dispatch.h"
#include "Foundation/RunLoop.h"
#include "Foundation/Stream.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "support/LoopbackServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConcurrency = 8;
constexpr int kRequests = 2000;
constexpr int kDownloads = 5;
constexpr std::size_t kDownloadBytes = 50u << 20;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A JSON array of records, close to `bytes` long.
std::string makeJSON(std::size_t bytes) {
  std::string out = "[";
  for (int i = 0; out.size() + 120 < bytes; ++i) {
    if (i) out += ",";
    out += "{\"id\":" + std::to_string(i) + ",\"title\":\"Title " + std::to_string(i) +
           "\",\"rating\":4.5,\"genres\":[\"drama\",\"comedy\"],\"url\":\"/api/mobile?method=get_title&id=" +
           std::to_string(i) + "\"}";
  }
  return out + "]";
}

// Peak resident memory since the last reset, in MB (Linux keeps a resettable high-water mark).
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

double peakMemoryMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

struct Figures {
  double wallSeconds = 0;
  std::vector<double> latencies;  // seconds, one per request
  double peakMB = 0;
  std::size_t failures = 0;
};

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1,
                         static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

// Both sides ask for the body as it is: the test server would otherwise compress JSON (with
// brotli at its slowest setting) for whichever client offers to decode it.
constexpr const char* kIdentity = "identity";

// MARK: baseline

struct CurlTransfer {
  CURL* easy = nullptr;
  std::string body;
  std::FILE* file = nullptr;
  Clock::time_point started;
};

std::size_t collectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<CurlTransfer*>(user);
  if (transfer->file) return std::fwrite(data, size, count, transfer->file) * size;
  transfer->body.append(data, size * count);
  return size * count;
}

// The baseline client: one multi handle and its easy handles for the whole run, so that its
// connections are reused from run to run as the platform's are.
struct CurlClient {
  CURLM* multi = [] {
    CURLM* m = curl_multi_init();
    curl_multi_setopt(m, CURLMOPT_MAXCONNECTS, static_cast<long>(kConcurrency));
    return m;
  }();
  std::vector<CurlTransfer> transfers;
  ~CurlClient() {
    for (auto& t : transfers)
      if (t.easy) curl_easy_cleanup(t.easy);
    curl_multi_cleanup(multi);
  }
};

// Runs `count` GETs of urlFor(i) with `concurrency` transfers in flight over reused handles;
// done(i, transfer) runs for each finished one.
Figures runCurl(CurlClient& client, int count, int concurrency, const std::function<std::string(int)>& urlFor,
                const std::function<std::FILE*(int)>& fileFor,
                const std::function<bool(int, CurlTransfer&)>& done) {
  Figures figures;
  CURLM* multi = client.multi;
  std::vector<CurlTransfer>& transfers = client.transfers;
  if (transfers.size() < static_cast<std::size_t>(concurrency))
    transfers.resize(static_cast<std::size_t>(concurrency));
  std::vector<int> indexOf(transfers.size(), -1);
  int next = 0;
  int finished = 0;
  auto launch = [&](std::size_t slot) {
    CurlTransfer& t = transfers[slot];
    if (!t.easy) t.easy = curl_easy_init();
    curl_easy_setopt(t.easy, CURLOPT_URL, urlFor(next).c_str());
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(t.easy, CURLOPT_ACCEPT_ENCODING, kIdentity);
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_PRIVATE, reinterpret_cast<void*>(slot));
    t.body.clear();
    t.file = fileFor ? fileFor(next) : nullptr;
    t.started = Clock::now();
    indexOf[slot] = next++;
    curl_multi_add_handle(multi, t.easy);
  };
  auto start = Clock::now();
  for (std::size_t slot = 0; slot < static_cast<std::size_t>(concurrency) && next < count; ++slot)
    launch(slot);
  while (finished < count) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      void* privateSlot = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &privateSlot);
      auto slot = reinterpret_cast<std::size_t>(privateSlot);
      CurlTransfer& t = transfers[slot];
      CURLcode result = message->data.result;
      curl_multi_remove_handle(multi, t.easy);
      long status = 0;
      curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
      if (t.file) std::fclose(t.file);
      if (result != CURLE_OK || status != 200 || !done(indexOf[slot], t)) ++figures.failures;
      t.file = nullptr;
      figures.latencies.push_back(secondsSince(t.started));
      ++finished;
      if (next < count) launch(slot);
    }
    if (finished < count) curl_multi_poll(multi, nullptr, 0, 100, nullptr);
  }
  figures.wallSeconds = secondsSince(start);
  return figures;
}

Figures baselineJSON(CurlClient& client, const testsupport::LoopbackServer& server, const std::string& path) {
  simdjson::dom::parser parser;
  std::string url = server.url(path);
  return runCurl(
      client, kRequests, kConcurrency, [&](int) { return url; }, nullptr,
      [&](int, CurlTransfer& t) {
        simdjson::dom::element root;
        return parser.parse(t.body).get(root) == simdjson::SUCCESS && root.is_array();
      });
}

Figures baselineDownloads(CurlClient& client, const testsupport::LoopbackServer& server,
                          const std::filesystem::path& folder) {
  std::string url = server.url("/download");
  return runCurl(
      client, kDownloads, kDownloads, [&](int) { return url; },
      [&](int i) { return std::fopen((folder / ("curl-" + std::to_string(i))).c_str(), "wb"); },
      [&](int i, CurlTransfer&) {
        return std::filesystem::file_size(folder / ("curl-" + std::to_string(i))) == kDownloadBytes;
      });
}

// MARK: ours

// Keeps `concurrency` operations in flight, pumping the main run loop until all have called back.
Figures runOperations(int count, int concurrency,
                      const std::function<NTHTTPRequestOperationPtr(int, std::function<void(bool)>)>& make) {
  Figures figures;
  int next = 0;
  int finished = 0;
  std::function<void()> launch = [&] {
    int index = next++;
    auto started = Clock::now();
    auto operation = make(index, [&, started](bool ok) {
      figures.latencies.push_back(secondsSince(started));
      if (!ok) ++figures.failures;
      ++finished;
      if (next < count) launch();
    });
    operation->start();
  };
  auto start = Clock::now();
  for (int i = 0; i < concurrency && next < count; ++i) launch();
  auto loop = ns::RunLoop::mainRunLoop();
  while (finished < count) loop->runOnce(0.1);
  figures.wallSeconds = secondsSince(start);
  return figures;
}

Figures oursJSON(const testsupport::LoopbackServer& server, const std::string& path) {
  auto url = *ns::URL::URLWithString(server.url(path));
  return runOperations(kRequests, kConcurrency, [&](int, std::function<void(bool)> done) {
    auto request = ns::URLRequest::requestWithURL(url);
    request->setValueForHTTPHeaderField(kIdentity, "Accept-Encoding");
    return NTJSONRequestOperation::JSONRequestOperationWithRequest(
        request,
        [done](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
          done(JSON.isArray());
        },
        [done](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&,
               const ns::Value&) { done(false); });
  });
}

Figures oursDownloads(const testsupport::LoopbackServer& server, const std::filesystem::path& folder) {
  auto url = *ns::URL::URLWithString(server.url("/download"));
  return runOperations(kDownloads, kDownloads, [&](int i, std::function<void(bool)> done) {
    auto path = folder / ("ours-" + std::to_string(i));
    auto operation =
        std::make_shared<NTHTTPRequestOperation>()->initWithRequest(ns::URLRequest::requestWithURL(url));
    operation->setOutputStream(ns::OutputStream::outputStreamToFileAtPath(path.string(), false));
    operation->setCompletionBlockWithSuccess(
        [done, path](const NTHTTPRequestOperationPtr&, const ns::Value&) {
          done(std::filesystem::file_size(path) == kDownloadBytes);
        },
        [done](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr&) { done(false); });
    return operation;
  });
}

// MARK: report

void print(const char* label, const Figures& f, int requests) {
  std::printf("%-34s wall %7.3f s  %8.0f req/s  p50 %7.2f ms  p99 %7.2f ms  peak %6.1f MB  failures %zu\n",
              label, f.wallSeconds, requests / f.wallSeconds, percentile(f.latencies, 0.5) * 1e3,
              percentile(f.latencies, 0.99) * 1e3, f.peakMB, f.failures);
}

// Keeps the faster of two runs (by wall time), with the peak memory of the run it keeps.
void keepBest(Figures& best, const std::function<Figures()>& run) {
  resetPeakMemory();
  Figures f = run();
  f.peakMB = peakMemoryMB();
  if (best.latencies.empty() || f.wallSeconds < best.wallSeconds) best = std::move(f);
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  auto curlClient = std::make_unique<CurlClient>();
  CurlClient& curl = *curlClient;
  testsupport::LoopbackServer oursServer;
  testsupport::LoopbackServer curlServer;
  std::string small = makeJSON(1024);
  std::string large = makeJSON(200 * 1024);
  for (auto* server : {&oursServer, &curlServer}) {
    server->reply("/small", testsupport::Reply::json(small));
    server->reply("/large", testsupport::Reply::json(large));
    // Made piece by piece as it is sent: a 50 MB body held by the server (and copied for each
    // reply) would outweigh everything the clients use.
    testsupport::Reply file;
    file.contentType = "application/octet-stream";
    file.chunkSize = 256 * 1024;
    file.generatedLength = kDownloadBytes;
    file.generatedByte = [](std::size_t i) { return static_cast<char>(i * 31 + (i >> 12)); };
    server->reply("/download", std::move(file));
  }
  auto folder = std::filesystem::temp_directory_path() / ("bench_requests-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  // One round each to open connections and warm caches, not counted.
  oursJSON(oursServer, "/small");
  baselineJSON(curl, curlServer, "/small");
  // Sides alternate round by round, so that neither profits from a warmer machine; the best
  // round of each counts.
  Figures ourSmall, curlSmall, ourLarge, curlLarge, ourDownload, curlDownload;
  for (int round = 0; round < 3; ++round) {
    keepBest(ourSmall, [&] { return oursJSON(oursServer, "/small"); });
    keepBest(curlSmall, [&] { return baselineJSON(curl, curlServer, "/small"); });
    keepBest(ourLarge, [&] { return oursJSON(oursServer, "/large"); });
    keepBest(curlLarge, [&] { return baselineJSON(curl, curlServer, "/large"); });
    keepBest(ourDownload, [&] { return oursDownloads(oursServer, folder); });
    keepBest(curlDownload, [&] { return baselineDownloads(curl, curlServer, folder); });
  }
  std::filesystem::remove_all(folder);

  std::printf("bodies: %zu B and %zu B JSON, %zu MB downloads; concurrency %d\n", small.size(), large.size(),
              kDownloadBytes >> 20, kConcurrency);
  print("NTJSONRequestOperation 1 KB", ourSmall, kRequests);
  print("libcurl multi + simdjson 1 KB", curlSmall, kRequests);
  print("NTJSONRequestOperation 200 KB", ourLarge, kRequests);
  print("libcurl multi + simdjson 200 KB", curlLarge, kRequests);
  print("NTHTTPRequestOperation 50 MB file", ourDownload, kDownloads);
  print("libcurl multi 50 MB file", curlDownload, kDownloads);
  std::printf("connections accepted: ours %zu (the loader opens at most 6 per host), libcurl %zu (up to 8)\n",
              oursServer.connectionCount(), curlServer.connectionCount());
  std::printf("ratio json_1kb_time = %.2f (target <= 1.3)\n", ourSmall.wallSeconds / curlSmall.wallSeconds);
  std::printf("ratio json_200kb_time = %.2f (target <= 1.1)\n", ourLarge.wallSeconds / curlLarge.wallSeconds);
  std::printf("ratio download_50mb_time = %.2f (target <= 1.1)\n",
              ourDownload.wallSeconds / curlDownload.wallSeconds);
  curlClient.reset();
  curl_global_cleanup();
  return 0;
}
