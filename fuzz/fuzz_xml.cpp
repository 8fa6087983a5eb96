// The XML event parser on arbitrary bytes, with a delegate that listens to every event and
// sometimes stops the parse from inside one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "Foundation/XMLParser.h"

namespace {

class Listener final : public ns::Object, public ns::XMLParserDelegate {
 public:
  explicit Listener(std::size_t abortAfter) : abortAfter_(abortAfter) {}
  void parserDidStartElementNamespaceURIQualifiedNameAttributes(ns::XMLParser& parser, const std::string& name,
                                                                const std::string&, const std::string&,
                                                                const ns::Dictionary& attributes) override {
    seen_ += name.size() + attributes.size();
    if (abortAfter_ && ++events_ == abortAfter_) parser.abortParsing();
  }
  void parserFoundCharacters(ns::XMLParser&, const std::string& text) override { seen_ += text.size(); }
  void parserFoundCDATA(ns::XMLParser&, const ns::Data& block) override { seen_ += block.length(); }
  std::size_t seen_ = 0;

 private:
  std::size_t abortAfter_;
  std::size_t events_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t abortAfter = size ? data[0] % 8 : 0;
  auto parser = std::make_shared<ns::XMLParser>()->initWithData(ns::Data(data, size));
  auto listener = std::make_shared<Listener>(abortAfter);
  parser->setDelegate(listener);
  bool ok = parser->parse();
  if (ok != (parser->parserError() == nullptr)) std::abort();
  return 0;
}
