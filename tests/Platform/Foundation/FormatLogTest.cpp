// What a log line holds of the values it prints: a value from outside is cut, at a character
// boundary and with its full length said, while ns::format, which builds URLs and file names,
// keeps every byte.
#include <gtest/gtest.h>

#include <string>

#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "Foundation/URL.h"
#include "support/LogCapture.h"

namespace {

std::string repeat(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

std::string lastLine(const testsupport::LogCapture& log) {
  auto lines = log.lines();
  return lines.empty() ? std::string() : lines.back();
}

TEST(LogLineTest, LongValuesAreCutAtACharacterBoundaryAndSayTheirLength) {
  const std::size_t kLimit = ns::kLogValueLimit;
  struct Case {
    const char* name;
    std::string value;
    std::size_t kept;  // bytes of the value the line shows; all of them: not cut
  };
  const Case cases[] = {
      {"short", "1061 Ж", 7},
      {"exactly the limit", std::string(kLimit, 'a'), kLimit},
      {"one byte past it", std::string(kLimit + 1, 'a'), kLimit},
      {"a megabyte", std::string(1 << 20, '7'), kLimit},
      {"two-byte letters ending on the limit", repeat("ж", 600), kLimit},
      {"two-byte letters across the limit", "a" + repeat("ж", 600), kLimit - 1},
      {"four-byte characters, one byte in", "a" + repeat("\U0001F3AC", 300), kLimit - 3},
      {"four-byte characters, two bytes in", "ab" + repeat("\U0001F3AC", 300), kLimit - 2},
      {"four-byte characters, three bytes in", "abc" + repeat("\U0001F3AC", 300), kLimit - 1},
      {"four-byte characters ending on the limit", repeat("\U0001F3AC", 300), kLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool cut = c.kept < c.value.size();
    const std::string expected =
        "id \"" + c.value.substr(0, c.kept) +
        (cut ? "\u2026 (" + std::to_string(c.value.size()) + " bytes in all)" : std::string()) + "\" end";
    testsupport::LogCapture log;
    ns::log("id \"%@\" end", c.value);
    ns::log("id \"%s\" end", c.value.c_str());
    ns::log("id \"%@\" end", ns::Value(c.value));
    ASSERT_EQ(log.lines().size(), 3u);
    for (const std::string& line : log.lines()) {
      EXPECT_EQ(line, expected);
      EXPECT_TRUE(ns::isValidUTF8(line));
    }
    EXPECT_EQ(ns::textForLog(c.value), expected.substr(4, expected.size() - 9));
  }
}

TEST(LogLineTest, EveryValueOfALineIsBoundAndTheLineItself) {
  testsupport::LogCapture log;
  const std::string big(5 << 20, 'x');
  // Structured values are described first, then cut like any text.
  ns::Array list(200000, ns::Value(ns::Dictionary{{"id", "1"}}));
  ns::log("%@ | %@ | %s | %@", big, ns::Value(list), big.c_str(), list);
  auto url = ns::URL::URLWithString("http://h/?q=" + big);
  ASSERT_TRUE(url);
  ns::log("url %@", *url);
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_LE(log.lines()[0].size(), 4 * (ns::kLogValueLimit + 40));
  EXPECT_EQ(log.lines()[0].substr(0, 3), "xxx");
  EXPECT_NE(log.lines()[0].find(" bytes in all) | (\n"), std::string::npos);
  EXPECT_LE(log.lines()[1].size(), ns::kLogValueLimit + 40);

  // A precision asks for less than the bound and gets it; width and flags still apply.
  ns::log("[%.3s] [%-6s] [%4@]", big.c_str(), "ab", std::string("c"));
  EXPECT_EQ(lastLine(log), "[xxx] [ab    ] [   c]");

  // A message built whole elsewhere is bound as one line.
  ns::logLine("built: " + big);
  EXPECT_LE(lastLine(log).size(), ns::kLogLineLimit + 40);
  EXPECT_NE(lastLine(log).find("(" + std::to_string(big.size() + 7) + " bytes in all)"), std::string::npos);
}

// An object that counts how often a line asks it to describe itself.
class Counted final : public ns::Object {
 public:
  std::string describe() const override {
    ++described;
    return "<counted>";
  }
  static inline std::size_t described = 0;
};

// A line describes as much of a value as it shows: a million entries cost what a dozen cost.
TEST(LogLineTest, ALargeValueIsDescribedOnlyAsFarAsTheLineShowsIt) {
  auto counted = std::make_shared<Counted>();
  auto visitedFor = [&](std::size_t entries) {
    ns::Array list(entries, ns::Value(counted));
    ns::Dictionary nested{{"items", ns::Value(list)}, {"next", ns::Value(ns::Dictionary{{"a", counted}})}};
    testsupport::LogCapture log;
    Counted::described = 0;
    ns::log("reply %@", ns::Value(nested));
    ns::log("list %@", list);
    EXPECT_EQ(log.lines().size(), 2u);
    for (const std::string& line : log.lines()) EXPECT_LE(line.size(), ns::kLogValueLimit + 60);
    if (entries > 1000) {
      EXPECT_NE(lastLine(log).find("(" + std::to_string(entries) + " entries in all)"), std::string::npos);
    }
    return Counted::described;
  };
  const std::size_t small = visitedFor(300);
  const std::size_t large = visitedFor(1000000);
  EXPECT_GT(small, 0u);
  EXPECT_LE(large, small + 4);
  // A value that fits is described whole, as before.
  EXPECT_EQ(ns::formatForLog("%@", ns::Value(ns::Array{1, "a b"})), "(\n    1,\n    \"a b\"\n)");
}

// A long text deep in a value, as an entry or as a key, is copied only as far as the line shows it.
TEST(LogLineTest, ABoundedDescriptionCopiesOfALongTextOnlyWhatShows) {
  const std::string big(10 << 20, 'k');
  struct Case {
    const char* name;
    ns::Value value;
  };
  const Case cases[] = {
      {"a long entry", ns::Dictionary{{"a", big}}},
      {"a long key", ns::Dictionary{{big, 1}}},
      {"a long key further in", ns::Array{ns::Dictionary{{"a", ns::Dictionary{{big, "v"}}}}}},
  };
  for (const Case& c : cases) {
    bool cut = false;
    EXPECT_LE(c.value.describe(ns::kLogValueLimit, &cut).size(), ns::kLogValueLimit + 100) << c.name;
    EXPECT_TRUE(cut) << c.name;
  }
}

// Formats that build what a request or a file needs stay whole, however long.
TEST(LogLineTest, FormatsOutsideTheLogKeepEveryByte) {
  const std::string id(1 << 20, '5');
  EXPECT_EQ(ns::format("get_title&title_id=%@", id).size(), id.size() + 19);
  EXPECT_EQ(ns::format("%s", id.c_str()), id);
  EXPECT_EQ(ns::format("%@", ns::Value(id)), id);
  EXPECT_EQ(ns::formatForLog("%@", id), ns::textForLog(id));
}

}  // namespace
