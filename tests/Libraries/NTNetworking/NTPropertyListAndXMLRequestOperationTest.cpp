#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/ClassRegistry.h"
#include "Foundation/PropertyList.h"
#include "Foundation/XMLParser.h"
#include "NTNetworking/NTPropertyListRequestOperation.h"
#include "NTNetworking/NTXMLRequestOperation.h"
#include "NetworkingTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

using ns::Value;
using nttest::withType;
using testsupport::Reply;

std::string xmlPlist() {
  return ns::PropertyListSerialization::dataWithPropertyList(
             Value(ns::Dictionary{{"id", 7}, {"title", "Ёлки"}}), ns::PropertyListFormat::XML)
      ->toString();
}

struct PlistOutcome {
  bool done = false, succeeded = false;
  Value value;
  ns::ErrorPtr error;
};

PlistOutcome fetchPlist(testsupport::LoopbackServer& server, const std::string& path, Reply reply) {
  server.reply(path, std::move(reply));
  auto outcome = std::make_shared<PlistOutcome>();
  auto operation = NTPropertyListRequestOperation::propertyListRequestOperationWithRequest(
      nttest::requestFor(server, path),
      [outcome](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const Value& plist) {
        outcome->succeeded = true;
        outcome->value = plist;
        outcome->done = true;
      },
      [outcome](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
                const Value& plist) {
        outcome->error = error;
        outcome->value = plist;
        outcome->done = true;
      });
  operation->start();
  EXPECT_TRUE(testsupport::spinUntil([&] { return outcome->done; }));
  return *outcome;
}

TEST(NTPropertyListRequestOperationTest, DecodesOrReportsWhyNot) {
  testsupport::LoopbackServer server;
  std::string binary = ns::PropertyListSerialization::dataWithPropertyList(Value(ns::Array{1, "b"}),
                                                                           ns::PropertyListFormat::Binary)
                           ->toString();
  struct Case {
    const char* name;
    Reply reply;
    bool succeeded;
    Value value;
    std::int64_t code;
  } cases[] = {
      {"XML property list", withType("application/x-plist", xmlPlist()), true,
       Value(ns::Dictionary{{"id", 7}, {"title", "Ёлки"}}), 0},
      {"binary property list", withType("application/x-plist", binary), true, Value(ns::Array{1, "b"}), 0},
      {"not a property list", withType("application/x-plist", "<plist><dict><key>a</key>"), false, Value(),
       ns::kPropertyListReadCorruptError},
      // The failure callback still gets the body decoded when it can be.
      {"wrong content type", withType("text/xml", xmlPlist()), false,
       Value(ns::Dictionary{{"id", 7}, {"title", "Ёлки"}}), ns::URLError::CannotDecodeContentData},
      {"status before content type", withType("text/html", "<html/>", 500), false, Value(),
       ns::URLError::BadServerResponse},
      {"property list error body", withType("application/x-plist", xmlPlist(), 404), false,
       Value(ns::Dictionary{{"id", 7}, {"title", "Ёлки"}}), ns::URLError::BadServerResponse},
      {"empty body", withType("application/x-plist", ""), true, Value(), 0},
  };
  int n = 0;
  for (const auto& c : cases) {
    auto outcome = fetchPlist(server, "/p" + std::to_string(n++), c.reply);
    EXPECT_EQ(outcome.succeeded, c.succeeded) << c.name;
    EXPECT_EQ(outcome.value, c.value) << c.name << ": " << outcome.value.describe();
    if (c.code) {
      ASSERT_NE(outcome.error, nullptr) << c.name;
      EXPECT_EQ(outcome.error->code(), c.code) << c.name;
    }
  }
}

TEST(NTPropertyListRequestOperationTest, ReportsTheFormatAndClaimsByExtensionOrAccept) {
  testsupport::LoopbackServer server;
  server.reply("/list.plist", withType("application/x-plist", xmlPlist()));
  auto operation = std::make_shared<NTPropertyListRequestOperation>()->initWithRequest(
      nttest::requestFor(server, "/list.plist"));
  ASSERT_TRUE(nttest::runToEnd(operation));
  EXPECT_EQ(operation->responsePropertyList()["id"], Value(7));
  EXPECT_EQ(operation->propertyListFormat(), static_cast<std::uint64_t>(ns::PropertyListFormat::XML));

  auto plain = nttest::requestFor("http://h.example/list");
  EXPECT_FALSE(NTPropertyListRequestOperation::canProcessRequest(*plain));
  plain->setValueForHTTPHeaderField("text/html, application/x-plist;q=0.9", "Accept");
  EXPECT_TRUE(NTPropertyListRequestOperation::canProcessRequest(*plain));
  EXPECT_TRUE(
      NTPropertyListRequestOperation::canProcessRequest(*nttest::requestFor("http://h.example/a.plist")));
  EXPECT_FALSE(
      NTPropertyListRequestOperation::canProcessRequest(*nttest::requestFor("http://h.example/a.PLIST")));
  EXPECT_TRUE(NTXMLRequestOperation::canProcessRequest(*nttest::requestFor("http://h.example/feed.xml")));
}

// Records the elements a parser reports.
class Elements final : public ns::Object, public ns::XMLParserDelegate {
 public:
  std::vector<std::string> names;
  void parserDidStartElementNamespaceURIQualifiedNameAttributes(ns::XMLParser&, const std::string& name,
                                                                const std::string&, const std::string&,
                                                                const ns::Dictionary&) override {
    names.push_back(name);
  }
  void parserFoundCharacters(ns::XMLParser&, const std::string& text) override {
    names.push_back("'" + text + "'");
  }
};

struct XMLOutcome {
  bool done = false, succeeded = false;
  ns::XMLParserPtr parser;
  ns::ErrorPtr error;
};

XMLOutcome fetchXML(testsupport::LoopbackServer& server, const std::string& path, Reply reply) {
  server.reply(path, std::move(reply));
  auto outcome = std::make_shared<XMLOutcome>();
  auto operation = NTXMLRequestOperation::XMLParserRequestOperationWithRequest(
      nttest::requestFor(server, path),
      [outcome](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::XMLParserPtr& parser) {
        outcome->succeeded = true;
        outcome->parser = parser;
        outcome->done = true;
      },
      [outcome](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error,
                const ns::XMLParserPtr& parser) {
        outcome->error = error;
        outcome->parser = parser;
        outcome->done = true;
      });
  operation->start();
  EXPECT_TRUE(testsupport::spinUntil([&] { return outcome->done; }));
  return *outcome;
}

TEST(NTXMLRequestOperationTest, HandsOverAnUnstartedParser) {
  testsupport::LoopbackServer server;
  struct Case {
    const char* name;
    Reply reply;
    bool succeeded;
    bool parser;
    bool parses;
    std::int64_t code;
  } cases[] = {
      {"valid", withType("text/xml", "<feed><item>a</item></feed>"), true, true, true, 0},
      {"application/xml", withType("application/xml", "<a/>"), true, true, true, 0},
      {"malformed shows only when run", withType("text/xml", "<feed><item></feed>"), true, true, false, 0},
      {"empty body", withType("text/xml", ""), true, false, false, 0},
      {"wrong content type", withType("application/json", "<a/>"), false, true, true,
       ns::URLError::CannotDecodeContentData},
      {"error status", withType("text/xml", "<error/>", 503), false, true, true,
       ns::URLError::BadServerResponse},
  };
  int n = 0;
  for (const auto& c : cases) {
    auto outcome = fetchXML(server, "/x" + std::to_string(n++), c.reply);
    EXPECT_EQ(outcome.succeeded, c.succeeded) << c.name;
    EXPECT_EQ(outcome.parser != nullptr, c.parser) << c.name;
    if (c.code) {
      ASSERT_NE(outcome.error, nullptr) << c.name;
      EXPECT_EQ(outcome.error->code(), c.code) << c.name;
    }
    if (outcome.parser) {
      auto elements = std::make_shared<Elements>();
      outcome.parser->setDelegate(elements);
      EXPECT_EQ(outcome.parser->parse(), c.parses) << c.name;
    }
  }
}

TEST(NTXMLRequestOperationTest, ExternalEntitiesInAReplyAreNeverFetched) {
  testsupport::LoopbackServer server;
  server.reply("/secret", Reply::text("<x>secret</x>"));
  std::string secret = server.url("/secret");
  auto outcome =
      fetchXML(server, "/doc.xml",
               withType("text/xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"" + secret +
                                        "\" [<!ENTITY e SYSTEM \"" + secret + "\">]>\n<r>[&e;]</r>"));
  ASSERT_TRUE(outcome.parser);
  auto elements = std::make_shared<Elements>();
  outcome.parser->setDelegate(elements);
  EXPECT_TRUE(outcome.parser->parse());
  EXPECT_EQ(elements->names, (std::vector<std::string>{"r", "'[]'"}));
  EXPECT_TRUE(server.requestsTo("/secret").empty());
}

TEST(NTXMLRequestOperationTest, CancellingTakesTheDelegateAwayFromItsParser) {
  testsupport::LoopbackServer server;
  server.reply("/a.xml", withType("text/xml", "<a/>"));
  auto operation =
      std::make_shared<NTXMLRequestOperation>()->initWithRequest(nttest::requestFor(server, "/a.xml"));
  EXPECT_EQ(operation->responseXMLParser(), nullptr);  // not before it finished
  ASSERT_TRUE(nttest::runToEnd(operation));
  auto parser = operation->responseXMLParser();
  ASSERT_TRUE(parser);
  EXPECT_EQ(operation->responseXMLParser(), parser);
  auto elements = std::make_shared<Elements>();
  parser->setDelegate(elements);
  operation->cancel();
  EXPECT_EQ(parser->delegate(), nullptr);
  EXPECT_EQ(operation->error(), nullptr);
}

// Subclasses that also take their format served as plain text.
class PlainPropertyListOperation : public NTPropertyListRequestOperation {};
class PlainXMLOperation : public NTXMLRequestOperation {};

TEST(NTPropertyListAndXMLRequestOperationTest, TheFactoriesMakeTheClassTheyAreAskedFor) {
  NTPropertyListRequestOperation::registerClass();
  NTXMLRequestOperation::registerClass();
  auto& registry = ns::ClassRegistry::shared();
  registry.registerClass<PlainPropertyListOperation>("PlainPropertyListOperation",
                                                     "NTPropertyListRequestOperation");
  registry.registerClass<PlainXMLOperation>("PlainXMLOperation", "NTXMLRequestOperation");
  for (const char* cls : {"PlainPropertyListOperation", "PlainXMLOperation"})
    NTHTTPRequestOperation::addAcceptableContentTypes(cls, {"text/plain"});
  testsupport::LoopbackServer server;
  server.reply("/plain", Reply::text(xmlPlist()));

  // Starts an operation of the named class from the factory; nullopt when none was made, else
  // whether it succeeded.
  using Factory = std::function<std::optional<bool>(std::string_view cls)>;
  auto run = [&](const NTHTTPRequestOperationPtr& op, const std::shared_ptr<std::optional<bool>>& outcome) {
    if (!op) return std::optional<bool>();
    op->start();
    EXPECT_TRUE(testsupport::spinUntil([&] { return outcome->has_value(); }));
    return *outcome;
  };
  Factory plist = [&](std::string_view cls) {
    auto outcome = std::make_shared<std::optional<bool>>();
    return run(NTPropertyListRequestOperation::propertyListRequestOperationWithRequest(
                   cls, nttest::requestFor(server, "/plain"), [outcome](auto&&...) { *outcome = true; },
                   [outcome](auto&&...) { *outcome = false; }),
               outcome);
  };
  Factory xml = [&](std::string_view cls) {
    auto outcome = std::make_shared<std::optional<bool>>();
    return run(NTXMLRequestOperation::XMLParserRequestOperationWithRequest(
                   cls, nttest::requestFor(server, "/plain"), [outcome](auto&&...) { *outcome = true; },
                   [outcome](auto&&...) { *outcome = false; }),
               outcome);
  };
  struct Case {
    const char* name;
    Factory factory;
    const char* cls;
    std::optional<bool> succeeded;
  } cases[] = {
      {"property list", plist, "NTPropertyListRequestOperation", false},
      {"property list", plist, "PlainPropertyListOperation", true},
      {"property list", plist, "PlainXMLOperation", std::nullopt},
      {"XML", xml, "NTXMLRequestOperation", false},
      {"XML", xml, "PlainXMLOperation", true},
      {"XML", xml, "NoSuchClass", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(c.factory(c.cls), c.succeeded) << c.name << " made as " << c.cls;
}

}  // namespace
