// URL parsing and resolution on arbitrary strings.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Foundation/URL.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto split = text.find('\n');
  auto url = ns::URL::URLWithString(text.substr(0, split));
  if (!url) return 0;
  (void)url->host(), (void)url->port(), (void)url->user(), (void)url->password(), (void)url->path();
  (void)url->pathComponents(), (void)url->pathExtension();
  (void)url->URLByAppendingPathComponent("x y");
  if (split != std::string_view::npos) {
    if (auto relative = ns::URL::URLWithString(text.substr(split + 1), *url)) (void)relative->path();
  }
  return 0;
}
