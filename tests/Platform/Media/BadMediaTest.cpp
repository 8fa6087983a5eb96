#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Media/MediaError.h"
#include "MediaTestSupport.h"
#include "support/CaseName.h"
#include "support/CompressedBody.h"
#include "support/LoopbackServer.h"

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

testsupport::Reply playlist(std::string text) {
  testsupport::Reply r = testsupport::Reply::text(std::move(text));
  r.contentType = "application/vnd.apple.mpegurl";
  return r;
}

testsupport::Reply chunked(testsupport::Reply r) {
  r.chunked = true;
  return r;
}

// A media playlist of `segments` entries, made as it is sent.
testsupport::Reply endlessPlaylist(std::size_t segments) {
  static const std::string head = "#EXTM3U\n#EXT-X-TARGETDURATION:4\n";
  static const std::string entry = "#EXTINF:4,\nseg.ts\n";
  testsupport::Reply r = playlist("");
  r.chunked = true;
  r.generatedLength = head.size() + entry.size() * segments;
  r.generatedByte = [](std::size_t offset) {
    return offset < head.size() ? head[offset] : entry[(offset - head.size()) % entry.size()];
  };
  return r;
}

// Playlists that name themselves, nest, or hold more than any video's are refused as soon as they
// are read: the item fails with its error after a request or two, not after thousands.
TEST(HostilePlaylistTest, APlaylistPastItsBoundsFailsTheItemAtOnce) {
  const std::string media = "#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4,\nz.ts\n#EXT-X-ENDLIST\n";
  std::string comments = "#EXTM3U\n";
  while (comments.size() < (9u << 20)) comments += "#EXT-X-PADDING:0123456789abcdef0123456789abcdef\n";
  struct Case {
    const char* name;
    std::map<std::string, testsupport::Reply> replies;
    const char* domain;
    std::int64_t code;
    std::size_t requests;  // at most
  } cases[] = {
      {"a master that lists itself",
       {{"/p.m3u8", playlist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\np.m3u8\n")}},
       av::kMediaErrorDomain,
       av::kMediaErrorFileFormatNotRecognized,
       1},
      {"two masters that list each other",
       {{"/p.m3u8", playlist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\nq.m3u8\n")},
        {"/q.m3u8", playlist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\np.m3u8\n")}},
       av::kMediaErrorDomain,
       av::kMediaErrorFileFormatNotRecognized,
       2},
      {"a million segments",
       {{"/p.m3u8", endlessPlaylist(1'000'000)}},
       av::kMediaErrorDomain,
       av::kMediaErrorFileFormatNotRecognized,
       1},
      {"a compressed playlist of no stated length inflating past the bound",
       {{"/p.m3u8", chunked(testsupport::gzippedReply("application/vnd.apple.mpegurl", comments))}},
       ns::kURLErrorDomain,
       ns::URLError::DataLengthExceedsMaximum,
       1},
      {"a compressed segment inflating past its length",
       {{"/p.m3u8", playlist(media)}, {"/z.ts", testsupport::gzippedZerosReply("video/mp2t", 64)}},
       ns::kURLErrorDomain,
       ns::URLError::DataLengthExceedsMaximum,
       2},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::LoopbackServer server;
    for (auto& [path, reply] : c.replies) server.reply(path, reply);
    int before = mediatest::settledMediaThreads();
    {
      auto item = av::PlayerItem::playerItemWithAsset(
          av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString(server.url("/p.m3u8"))));
      auto player = av::Player::playerWithPlayerItem(item);
      // A loop shows itself in the request count well before any time-out.
      ASSERT_TRUE(testsupport::spinUntil(
          [&] { return item->status() == av::PlayerItemStatus::failed || server.requestCount() > 10; }));
      EXPECT_LE(server.requestCount(), c.requests);
      EXPECT_EQ(item->status(), av::PlayerItemStatus::failed);
      if (!item->error()) {
        ADD_FAILURE() << "no error";
        continue;
      }
      EXPECT_EQ(item->error()->domain(), c.domain) << item->error()->describe();
      EXPECT_EQ(item->error()->code(), c.code) << item->error()->describe();
    }
    EXPECT_TRUE(mediatest::mediaThreadsFallTo(before));
  }
}

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
