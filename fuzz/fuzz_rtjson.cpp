// The Facebook client's JSON parser on arbitrary bytes, through both entries: nil exactly when the
// trace holds an error, and what parses, written with sorted keys and read again, writes the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Classes/SocialNetwork/JSON/RTJsonParser.h"
#include "Classes/SocialNetwork/JSON/RTJsonWriter.h"

namespace {

void check(RTJsonParser& parser, RTJsonWriter& writer, const ns::Value& value) {
  bool traced = parser.errorTrace() && !parser.errorTrace()->empty();
  if (value.isNil() != traced) std::abort();
  if (value.isNil()) return;
  auto text = writer.stringWithFragment(value);
  if (!text) std::abort();
  ns::Value again = parser.fragmentWithString(*text);
  if (again.isNil()) std::abort();
  auto textAgain = writer.stringWithFragment(again);
  if (!textAgain || *textAgain != *text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto parser = std::make_shared<RTJsonParser>()->init();
  static auto writer = [] {
    auto w = std::make_shared<RTJsonWriter>()->init();
    w->setSortKeys(true);
    return w;
  }();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  check(*parser, *writer, parser->objectWithString(text));
  check(*parser, *writer, parser->fragmentWithString(text));
  return 0;
}
