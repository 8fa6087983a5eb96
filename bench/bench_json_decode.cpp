// Decoding a realistic catalogue reply into ns::Value, against simdjson's own DOM parse of the same
// bytes. Prints both timings and the ratio (ours / simdjson).
#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Foundation/JSONSerialization.h"

namespace {

// An array of title records shaped like the service's category replies, with Russian texts.
std::string makeReply(std::size_t targetBytes) {
  const char* words[] = {"Фильм", "приключения", "комедия", "Москва", "история", "любовь", "сезон", "серия",
                         "детектив", "семья", "зима", "путешествие", "друзья", "тайна", "город", "музыка"};
  std::mt19937 random(42);
  auto phrase = [&](int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
      if (i) s += ' ';
      s += words[random() % 16];
    }
    return s;
  };
  std::string out = "[";
  for (int id = 1; out.size() < targetBytes; ++id) {
    if (id > 1) out += ',';
    char buffer[512];
    std::snprintf(buffer, sizeof buffer,
                  "{\"id\":%d,\"parent_id\":\"%s\",\"url\":\"http:\\/\\/api.example.test\\/api\\/mobile?platform=ios&"
                  "method=get_title&title_id=%d\",\"image\":\"http:\\/\\/img.example.test\\/posters\\/%d.jpg\","
                  "\"rating\":%.1f,\"year\":%d,\"is_serial\":%s,\"duration\":%d,",
                  id, id % 7 == 0 ? "12" : "", id, id, (random() % 100) / 10.0, 1950 + static_cast<int>(random() % 70),
                  id % 5 == 0 ? "true" : "false", 3600 + static_cast<int>(random() % 3600));
    out += buffer;
    out += "\"title\":\"" + phrase(3) + "\",\"description\":\"" + phrase(40) + "\",\"genres\":[\"" + phrase(1) +
           "\",\"" + phrase(1) + "\"],\"persons\":[{\"id\":" + std::to_string(id * 3) + ",\"title\":\"" + phrase(2) +
           "\"},{\"id\":" + std::to_string(id * 3 + 1) + ",\"title\":\"" + phrase(2) + "\"}]}";
  }
  out += "]";
  return out;
}

// Best time of `rounds` runs. What a run returns is destroyed after the clock stops: the figure is
// the decoding, not the freeing of the result.
template <class F>
double bestSeconds(int rounds, F&& run) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    [[maybe_unused]] auto result = run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  std::string reply = makeReply(1 << 20);
  ns::Data data(reply);
  simdjson::padded_string padded(reply);
  simdjson::dom::parser parser;

  std::size_t sink = 0;
  const int rounds = 200;
  double ours = bestSeconds(rounds, [&] {
    ns::Value value = ns::JSONSerialization::JSONObjectWithData(data);
    sink += value.count();
    return value;
  });
  double baseline = bestSeconds(rounds, [&] {
    simdjson::dom::element root = parser.parse(padded).value();
    sink += root.get_array().size();
    return root;
  });

  std::printf("reply: %zu bytes, %zu records\n", reply.size(), sink / (2 * rounds));
  std::printf("ns::JSONSerialization into ns::Value: %.3f ms (best of %d)\n", ours * 1e3, rounds);
  std::printf("simdjson DOM parse:                   %.3f ms (best of %d)\n", baseline * 1e3, rounds);
  std::printf("ratio json_decode_time = %.2f (target <= 2)\n", ours / baseline);
  return 0;
}
