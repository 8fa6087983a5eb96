#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Media/MediaError.h"
#include "MediaTestSupport.h"
#include "support/CaseName.h"

namespace {

using mediatest::MediaTest;

std::string clipFile(const std::string& name) {
  std::ifstream in(sampleservice::defaultClipsFolder() + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct BadCase {
  const char* name;
  const char* path;
  std::function<std::optional<sampleservice::Override>()> bend;  // for each of `bentPaths`
  std::vector<std::string> bentPaths;
  const char* domain;
  std::int64_t code;
  bool neverReady;  // else it may play what arrived before failing
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class BadMediaTest : public MediaTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(BadMediaTest, TheItemFailsWithAnErrorAndNothingBreaks) {
  const BadCase& c = GetParam();
  if (auto bend = c.bend())
    for (const auto& path : c.bentPaths) server_->setOverride(path, *bend);
  int before = mediatest::settledMediaThreads();
  auto item = av::PlayerItem::playerItemWithAsset(asset(c.path));
  auto player = av::Player::playerWithPlayerItem(item);
  bool wasReady = false;
  ASSERT_TRUE(testsupport::spinUntil([&] {
    wasReady = wasReady || item->status() == av::PlayerItemStatus::readyToPlay;
    return item->status() == av::PlayerItemStatus::failed;
  }));
  if (c.neverReady) {
    EXPECT_FALSE(wasReady);
  }
  ASSERT_TRUE(item->error());
  EXPECT_EQ(item->error()->domain(), c.domain);
  EXPECT_EQ(item->error()->code(), c.code);
  EXPECT_FALSE(item->error()->localizedDescription().empty());
  EXPECT_TRUE(mediatest::mediaThreadsFallTo(before)) << "a failed item's workers have stopped";
  // The failed item stays failed; playing it does nothing.
  player->play();
  EXPECT_EQ(item->status(), av::PlayerItemStatus::failed);
}

std::optional<sampleservice::Override> none() { return std::nullopt; }

// The second segment stops halfway through, after announcing its full length.
std::optional<sampleservice::Override> truncatedSegment() {
  sampleservice::Override o;
  o.dropAfterBytes = clipFile("programme/segment1.ts").size() / 2;
  return o;
}

// The file's type box, then bytes that are no boxes at all.
std::optional<sampleservice::Override> corruptMp4() {
  std::string bytes = clipFile("programme/clip.mp4").substr(0, 32);
  bytes += std::string(64 * 1024, '\x5A');
  sampleservice::Override o;
  o.body = bytes;
  o.contentType = "video/mp4";
  return o;
}

// The file cut off two thirds of the way in: its index promises more than arrives.
std::optional<sampleservice::Override> truncatedMp4() {
  sampleservice::Override o;
  o.dropAfterBytes = clipFile("programme/clip.mp4").size() * 2 / 3;
  return o;
}

// Segments that answer with a page instead of video.
std::optional<sampleservice::Override> pageForSegment() {
  sampleservice::Override o;
  o.body = "<html><body>maintenance</body></html>";
  o.contentType = "text/html";
  return o;
}

BadCase failsWith(const char* name, const char* path, decltype(BadCase::bend) bend,
                  std::vector<std::string> bentPaths, const char* domain, std::int64_t code,
                  bool neverReady) {
  return {name, path, std::move(bend), std::move(bentPaths), domain, code, neverReady};
}

std::vector<BadCase> badCases() {
  const std::vector<std::string> segments = {"/video/1001/segment0.ts", "/video/1001/segment1.ts",
                                             "/video/1001/segment2.ts"};
  const std::vector<std::string> mp4 = {"/video/1001/clip.mp4"};
  return {failsWith("truncatedSegment", "/video/1001/index.m3u8", truncatedSegment, {segments[1]},
                    ns::kURLErrorDomain, ns::URLError::NetworkConnectionLost, false),
          failsWith("truncatedMp4", "/video/1001/clip.mp4", truncatedMp4, mp4, ns::kURLErrorDomain,
                    ns::URLError::NetworkConnectionLost, false),
          failsWith("corruptMp4", "/video/1001/clip.mp4", corruptMp4, mp4, av::kMediaErrorDomain,
                    av::kMediaErrorFileFormatNotRecognized, true),
          failsWith("unsupportedCodec", "/video/unsupported/index.m3u8", none, {}, av::kMediaErrorDomain,
                    av::kMediaErrorDecoderNotFound, true),
          failsWith("pageForSegments", "/video/1001/index.m3u8", pageForSegment, segments,
                    av::kMediaErrorDomain, av::kMediaErrorFileFormatNotRecognized, true)};
}

INSTANTIATE_TEST_SUITE_P(Cases, BadMediaTest, ::testing::ValuesIn(badCases()), testsupport::CaseName());

TEST_F(MediaTest, AStalledServerDoesNotHoldUpReleasingThePlayer) {
  sampleservice::Override stall;
  stall.delaySeconds = 20;
  server_->setOverride("/video/1001/segment0.ts", stall);
  int before = mediatest::settledMediaThreads();
  auto start = std::chrono::steady_clock::now();
  {
    auto item = av::PlayerItem::playerItemWithAsset(asset("/video/1001/index.m3u8"));
    auto player = av::Player::playerWithPlayerItem(item);
    testsupport::spinUntil([&] { return server_->requestCount() >= 2; });
    EXPECT_EQ(item->status(), av::PlayerItemStatus::unknown);
  }
  EXPECT_TRUE(mediatest::mediaThreadsFallTo(before));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

}  // namespace
