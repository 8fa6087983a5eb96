// Saves batches of hits into a hit store until killed, reporting each save on standard output.
//   analytics-store-writer <store path>
// Every hit carries "batch", "index" and a "payload" whose length and letters follow from them, so a
// reader can tell whole hits and whole batches from torn ones.
#include <cstdio>
#include <string>

#include "Analytics/Library/MAIDataStore.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <store path>\n", argv[0]);
    return 2;
  }
  auto store = MAIDataStore::dataStoreWithPath(std::string(argv[1]), nullptr);
  if (!store) return 1;
  for (int batch = 0; batch < 1000000; ++batch) {
    for (int index = 0; index < 5; ++index) {
      auto hit = store->addHit(nullptr);
      if (!hit) return 1;
      hit->setTimestamp(ns::Date(1e9 + batch * 5 + index));
      hit->setDispatchUrl(std::string("http://127.0.0.1/collect"));
      hit->setParameters(
          MAIParameters{{"batch", std::to_string(batch)},
                        {"index", std::to_string(index)},
                        {"payload", std::string(1000 + batch % 97, static_cast<char>('a' + index))}});
    }
    if (!store->save(nullptr)) return 1;
    std::printf("saved %d\n", batch + 1);
    std::fflush(stdout);
  }
  return 0;
}
