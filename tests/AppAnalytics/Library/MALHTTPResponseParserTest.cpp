#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AppAnalytics/Library/MALHTTPResponseParser.h"
#include "support/ScriptedTCPServer.h"

namespace {

// What the parser reported, in order: "ok" or "ok-close" per response, "error <status>".
struct Recorder final : MALHTTPResponseParserDelegate {
  std::vector<std::string> events;
  std::function<void(MALHTTPResponseParser&)> onResponse;
  void responseParsed(MALHTTPResponseParser& parser, bool persistent) override {
    events.push_back(persistent ? "ok" : "ok-close");
    if (onResponse) onResponse(parser);
  }
  void parseError(MALHTTPResponseParser&, int status) override {
    events.push_back("error " + std::to_string(status));
  }
};

struct Parser {
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
  MALHTTPResponseParserPtr parser = std::make_shared<MALHTTPResponseParser>()->initWithDelegate(recorder);
  void feed(const std::string& bytes) {
    parser->parseResponse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
};

std::vector<std::string> parseWhole(const std::string& bytes) {
  Parser p;
  p.feed(bytes);
  return p.recorder->events;
}

const std::string kOk = testsupport::ScriptedTCPServer::ok();
const std::string kThree = kOk + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n" +
                           testsupport::ScriptedTCPServer::ok("Connection: close\r\n");

TEST(MALHTTPResponseParserTest, ResponsesSplitAtAnyByteReadAsInOnePiece) {
  const std::vector<std::string> whole = parseWhole(kThree);
  ASSERT_EQ(whole, (std::vector<std::string>{"ok", "ok", "ok-close"}));
  for (std::size_t cut = 1; cut < kThree.size(); ++cut) {
    Parser p;
    p.feed(kThree.substr(0, cut));
    p.feed(kThree.substr(cut));
    ASSERT_EQ(p.recorder->events, whole) << "cut at " << cut;
  }
  Parser bytewise;
  for (char c : kThree) bytewise.feed(std::string(1, c));
  EXPECT_EQ(bytewise.recorder->events, whole);
}

TEST(MALHTTPResponseParserTest, StatusLinesDecideSuccessAndTheConnectionsFuture) {
  struct Case {
    std::string response;
    std::vector<std::string> events;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\n", {"ok"}},
      {"HTTP/1.0 200 OK\r\n\r\n", {"ok-close"}},
      {"HTTP/1.1 200 \r\n\r\n", {"ok"}},
      {"\r\nHTTP/1.1 200 OK\r\n\r\n", {"ok"}},
      {"HTTP/1.1 503 Service Unavailable\r\n\r\n", {"error 503"}},
      {"HTTP/1.1 500 Internal Server Error\r\n\r\n" + kOk, {"error 500"}},
      {"HTTP/1.1 200\r\n\r\n", {"error 500"}},
      {"garbage\r\n\r\n", {"error 500"}},
      {"HTTP/1.1 2000 OK\r\n\r\n", {"ok"}},
      {"HTTP/1.1 204 No Content\r\n\r\n", {"error 204"}},
      {"HTTP/1.1 200 OK\r\nconnection:  Close \r\n\r\n", {"ok-close"}},
      {"HTTP/1.1 200 OK\r\nConnection: keep-alive\r\n\r\n", {"ok"}},
      {"HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\nabcHTTP/1.1 200 OK\r\n\r\n", {"ok", "ok"}},
      {"HTTP/1.1 200 OK\r\nX-Long-Header-Name-Beyond-Thirty-One-Chars: " + std::string(100, 'v') + "\r\n\r\n",
       {"ok"}},
  };
  for (const auto& c : cases) EXPECT_EQ(parseWhole(c.response), c.events) << c.response;
}

TEST(MALHTTPResponseParserTest, UntrustedLengthsAndEndlessLinesAreErrorsNotCrashes) {
  const int bad = kMALMalformedResponseStatus;
  for (const std::string length : {"-1", "abc", "12x", "", "99999999999999999999", "1000000"}) {
    EXPECT_EQ(parseWhole("HTTP/1.1 200 OK\r\nContent-Length: " + length + "\r\n\r\n"),
              std::vector<std::string>{"error " + std::to_string(bad)})
        << length;
  }
  // A body below the cap is fine; a line that never ends stops at the cap.
  std::string body(MALHTTPResponseParser::kMaxBufferedBytes / 2, 'b');
  EXPECT_EQ(
      parseWhole("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body),
      std::vector<std::string>{"ok"});
  Parser endless;
  std::string chunk(1024, 'x');
  for (int i = 0; i < 100; ++i) endless.feed(chunk);
  EXPECT_EQ(endless.recorder->events, std::vector<std::string>{"error " + std::to_string(bad)});

  // A line feed with nothing before it, at the very start: nothing is read before the buffer.
  EXPECT_TRUE(parseWhole("\n\n\r").empty());
}

TEST(MALHTTPResponseParserTest, AfterAnErrorNothingIsReadUntilReset) {
  Parser p;
  p.feed("HTTP/1.1 503 Busy\r\n\r\n" + kOk);
  p.feed(kOk);
  EXPECT_EQ(p.recorder->events, std::vector<std::string>{"error 503"});
  p.parser->reset();
  p.feed(kOk);
  EXPECT_EQ(p.recorder->events, (std::vector<std::string>{"error 503", "ok"}));
  // reset keeps what the server said about the connection.
  p.feed("HTTP/1.0 200 OK\r\n\r\n");
  p.parser->reset();
  p.feed(kOk);
  EXPECT_EQ(p.recorder->events.back(), "ok-close");
  EXPECT_FALSE(p.parser->persistentConnection());
}

TEST(MALHTTPResponseParserTest, AResetFromTheDelegateDropsTheRestOfTheChunk) {
  Parser p;
  p.recorder->onResponse = [](MALHTTPResponseParser& parser) { parser.reset(); };
  p.feed(kOk + kOk + kOk);
  EXPECT_EQ(p.recorder->events, std::vector<std::string>{"ok"});
  p.feed(kOk);
  EXPECT_EQ(p.recorder->events, (std::vector<std::string>{"ok", "ok"}));
}

}  // namespace
