#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Foundation/OperationQueue.h"
#include "Foundation/XMLParser.h"
#include "support/LoopbackServer.h"

namespace {

using ns::XMLParser;

// Writes every event as one line, so a run reads as a transcript.
class Recorder final : public ns::Object, public ns::XMLParserDelegate {
 public:
  std::vector<std::string> events;
  std::string abortAt;

  void parserDidStartDocument(XMLParser&) override { events.push_back("begin"); }
  void parserDidEndDocument(XMLParser&) override { events.push_back("end"); }
  void parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser& parser, const std::string& name,
                                                                const std::string&, const std::string&,
                                                                const ns::Dictionary& attributes) override {
    std::string line = "<" + name;
    for (const auto& [k, v] : attributes) line += " " + k + "=" + v.describe();
    events.push_back(line + ">");
    if (name == abortAt) parser.abortParsing();
  }
  void parserDidEndElementNamespaceURIQualifiedName(XMLParser&, const std::string& name, const std::string&,
                                                    const std::string&) override {
    events.push_back("</" + name + ">");
  }
  void parserFoundCharacters(XMLParser&, const std::string& text) override {
    events.push_back("text:" + text);
  }
  void parserFoundCDATA(XMLParser&, const ns::Data& block) override {
    events.push_back("cdata:" + block.toString());
  }
  void parserParseErrorOccurred(XMLParser&, const ns::ErrorPtr& error) override {
    events.push_back("error:" + std::to_string(error->code()));
  }
};

struct Run {
  bool ok;
  std::vector<std::string> events;
  ns::ErrorPtr error;
};

Run parse(const std::string& xml, const std::string& abortAt = {}) {
  auto parser = std::make_shared<XMLParser>()->initWithData(ns::Data(xml));
  auto recorder = std::make_shared<Recorder>();
  recorder->abortAt = abortAt;
  parser->setDelegate(recorder);
  bool ok = parser->parse();
  return {ok, recorder->events, parser->parserError()};
}

TEST(XMLParserTest, ReportsElementsAttributesTextAndCDATAInOrder) {
  auto run = parse(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<feed lang=\"ru\" id='7'><title>Ёлки &amp; "
      "палки</title><raw><![CDATA[<b>&x;</b>]]></raw><empty/></feed>");
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.events, (std::vector<std::string>{
                            "begin", "<feed id=7 lang=ru>", "<title>", "text:Ёлки & палки", "</title>",
                            "<raw>", "cdata:<b>&x;</b>", "</raw>", "<empty>", "</empty>", "</feed>", "end"}));
  EXPECT_EQ(run.error, nullptr);
}

TEST(XMLParserTest, MalformedDocumentsFailWithCodeAndPosition) {
  struct Case {
    const char* name;
    std::string xml;
    std::int64_t code;
    std::int64_t line;
  } cases[] = {
      {"empty", "", ns::XMLParserError::EmptyDocument, 1},
      {"unclosed", "<a><b></b>", ns::XMLParserError::PrematureDocumentEnd, 1},
      {"mismatch", "<a>\n<b></a>", ns::XMLParserError::TagNameMismatch, 2},
      {"undeclared entity", "<a>&nope;</a>", ns::XMLParserError::UndeclaredEntity, 1},
      {"junk after root", "<a/><b/>", ns::XMLParserError::PrematureDocumentEnd, 1},
      {"binary", std::string("<a>\x01</a>", 8), ns::XMLParserError::InvalidCharacter, 1},
  };
  for (const auto& c : cases) {
    auto run = parse(c.xml);
    EXPECT_FALSE(run.ok) << c.name;
    ASSERT_NE(run.error, nullptr) << c.name;
    EXPECT_EQ(run.error->domain(), ns::kXMLParserErrorDomain) << c.name;
    EXPECT_EQ(run.error->code(), c.code) << c.name;
    EXPECT_EQ(run.error->userInfo()[ns::kXMLParserErrorLineKey].integerValue(), c.line) << c.name;
    EXPECT_GE(run.error->userInfo()[ns::kXMLParserErrorColumnKey].integerValue(), 1) << c.name;
    EXPECT_EQ(run.events.back(), "error:" + std::to_string(c.code)) << c.name;
  }
}

TEST(XMLParserTest, NeverFetchesExternalEntitiesOrDTDs) {
  testsupport::LoopbackServer server;
  server.reply("/secret", testsupport::Reply::text("<x>leaked</x>"));
  std::string url = server.url("/secret");
  auto run = parse("<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"" + url + "\" [\n<!ENTITY e SYSTEM \"" +
                   url + "\">\n<!ENTITY % p SYSTEM \"" + url + "\">\n%p;\n]>\n<r>a&e;b</r>");
  EXPECT_TRUE(run.ok) << (run.error ? run.error->describe() : "");
  EXPECT_EQ(run.events, (std::vector<std::string>{"begin", "<r>", "text:ab", "</r>", "end"}));
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(XMLParserTest, ExponentialEntityExpansionIsRefused) {
  // Each entity refers to the one before ten times: 10^11 bytes if expanded.
  std::string xml = "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
  char previous = 'a';
  for (char name = 'b'; name <= 'k'; ++name, ++previous) {
    xml += std::string("<!ENTITY ") + name + " \"";
    for (int i = 0; i < 10; ++i) xml += std::string("&") + previous + ";";
    xml += "\">";
  }
  xml += "]><r>&k;</r>";
  auto run = parse(xml);
  EXPECT_FALSE(run.ok);
}

TEST(XMLParserTest, DelegateAbortStopsAtOnce) {
  auto run = parse("<a><b/><c/></a>", "b");
  EXPECT_FALSE(run.ok);
  ASSERT_NE(run.error, nullptr);
  EXPECT_EQ(run.error->code(), ns::XMLParserError::DelegateAbortedParse);
  EXPECT_EQ(run.events, (std::vector<std::string>{"begin", "<a>", "<b>", "error:512"}));
}

TEST(XMLParserTest, RunsOnAnotherThreadAndOnlyOnce) {
  auto parser = std::make_shared<XMLParser>()->initWithData(ns::Data::fromString("<a>x</a>"));
  auto recorder = std::make_shared<Recorder>();
  parser->setDelegate(recorder);
  bool ok = false;
  auto queue = std::make_shared<ns::OperationQueue>();
  queue->addOperations({ns::BlockOperation::blockOperationWithBlock([&] { ok = parser->parse(); })}, true);
  EXPECT_TRUE(ok);
  EXPECT_EQ(recorder->events.size(), 5u);
  EXPECT_FALSE(parser->parse());
}

TEST(XMLParserTest, ADelegateThatIsGoneHearsNothing) {
  auto parser = std::make_shared<XMLParser>()->initWithData(ns::Data::fromString("<a/>"));
  {
    auto recorder = std::make_shared<Recorder>();
    parser->setDelegate(recorder);
  }
  EXPECT_EQ(parser->delegate(), nullptr);
  EXPECT_TRUE(parser->parse());
}

}  // namespace
