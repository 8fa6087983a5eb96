// Percent unescaping on arbitrary strings; what escaping produces must unescape to the original.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Foundation/PercentEscapes.h"
#include "Foundation/String.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)ns::removePercentEncoding(text);
  (void)ns::removePercentEncoding(text, ns::WindowsCP1251StringEncoding);
  if (ns::isValidUTF8(text)) {
    auto escaped = ns::addPercentEscapes(text, "", "@");
    if (!escaped || ns::removePercentEncoding(*escaped) != std::string(text)) std::abort();
  }
  return 0;
}
