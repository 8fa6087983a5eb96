#include <gtest/gtest.h>

#include <filesystem>

#include "MediaTestSupport.h"
#include "support/CaseName.h"
#include "support/ScriptedTCPServer.h"
#include "support/TempDir.h"

namespace {

using mediatest::MediaTest;
namespace fs = std::filesystem;

// Media that would play if it were opened: the sample programme's segments and file.
struct LocalMedia {
  testsupport::TempDir dir;
  LocalMedia() {
    const fs::path from = fs::path(sampleservice::defaultClipsFolder()) / "programme";
    for (const char* name : {"segment0.ts", "segment1.ts", "segment2.ts", "clip.mp4", "index.m3u8"})
      fs::copy_file(from / name, dir.path() / name);
  }
  std::string path(const char* name) const { return dir.file(name); }
  std::string fileURL(const char* name) const { return "file://" + path(name); }
};

struct RefusedCase {
  const char* name;
  // The URL, given the local media and the port of a listening TCP server.
  std::function<std::string(const LocalMedia&, int port)> url;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class RefusedMediaURLTest : public MediaTest, public ::testing::WithParamInterface<RefusedCase> {};

// Every scheme but http and https is refused before anything is opened: no file is read and no
// connection is made, whether the asset is looked at or an item played.
TEST_P(RefusedMediaURLTest, FailsWithUnsupportedURLBeforeOpeningAnything) {
  LocalMedia media;
  testsupport::ScriptedTCPServer listener;
  listener.setFallback(testsupport::ScriptStep::replyAndClose("HTTP/1.0 200 OK\r\n\r\n"));
  const std::string url = GetParam().url(media, listener.port());
  auto parsed = ns::URL::URLWithString(url);
  ASSERT_TRUE(parsed) << url;

  auto asset = av::URLAsset::URLAssetWithURL(*parsed);
  std::atomic<bool> loaded{false};
  asset->loadValuesAsynchronouslyForKeys({"tracks", "playable"}, [&] { loaded = true; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return loaded.load(); }));
  ns::ErrorPtr error;
  EXPECT_EQ(asset->statusOfValueForKey("playable", &error), av::KeyValueStatus::failed);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), ns::kURLErrorDomain);
  EXPECT_EQ(error->code(), ns::URLError::UnsupportedURL);
  EXPECT_FALSE(asset->isPlayable());

  auto item = av::PlayerItem::playerItemWithAsset(av::URLAsset::URLAssetWithURL(*parsed));
  auto player = av::Player::playerWithPlayerItem(item);
  ASSERT_TRUE(waitForStatus(item));
  EXPECT_EQ(item->status(), av::PlayerItemStatus::failed);
  ASSERT_TRUE(item->error());
  EXPECT_EQ(item->error()->code(), ns::URLError::UnsupportedURL);
  EXPECT_EQ(listener.connectionCount(), 0u);
}

std::vector<RefusedCase> refusedCases() {
  using M = const LocalMedia&;
  return {
      {"file", [](M m, int) { return m.fileURL("clip.mp4"); }},
      {"fileSegmentsPlaylist", [](M m, int) { return m.fileURL("index.m3u8"); }},
      {"barePath", [](M m, int) { return m.path("clip.mp4"); }},
      {"data", [](M, int) { return std::string("data:video/mp2t;base64,R0AREAAAsA0AAQ=="); }},
      {"concat", [](M m, int) { return "concat:" + m.path("segment0.ts"); }},
      {"subfile", [](M m, int) { return "subfile:,,start,0,end,0,,:" + m.path("clip.mp4"); }},
      {"tcp", [](M, int port) { return "tcp://127.0.0.1:" + std::to_string(port); }},
      {"gopher", [](M, int port) { return "gopher://127.0.0.1:" + std::to_string(port) + "/1GET%20/"; }},
      {"ftp", [](M, int port) { return "ftp://127.0.0.1:" + std::to_string(port) + "/clip.mp4"; }},
      {"udp", [](M, int port) { return "udp://127.0.0.1:" + std::to_string(port); }},
      {"cryptoOverHttp", [](M, int port) { return "crypto+http://127.0.0.1:" + std::to_string(port) + "/"; }},
      {"hlsOverHttp", [](M, int port) { return "hls+http://127.0.0.1:" + std::to_string(port) + "/"; }},
      {"httpWithoutHost", [](M, int) { return std::string("http:"); }},
  };
}

INSTANTIATE_TEST_SUITE_P(Schemes, RefusedMediaURLTest, ::testing::ValuesIn(refusedCases()),
                         testsupport::CaseName());

struct NestedCase {
  const char* name;
  // The playlist served for the programme, given the local media and the service's base URL.
  std::function<std::string(const LocalMedia&, const std::string& base)> playlist;
  const char* failingURLPart;
};

void PrintTo(const NestedCase& c, std::ostream* os) { *os << c.name; }

class NestedMediaURLTest : public MediaTest, public ::testing::WithParamInterface<NestedCase> {};

std::string playlistOf(const std::vector<std::string>& lines) {
  std::string text = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:4\n#EXT-X-MEDIA-SEQUENCE:0\n";
  for (const auto& line : lines) text += line + "\n";
  return text + "#EXT-X-ENDLIST\n";
}

// A playlist served over http cannot have its segments or keys read from anywhere but http: the
// item fails on the refused resource, and never plays what the file holds.
TEST_P(NestedMediaURLTest, APlaylistCannotReachBeyondHTTP) {
  const NestedCase& c = GetParam();
  LocalMedia media;
  sampleservice::Override playlist;
  playlist.contentType = "application/vnd.apple.mpegurl";
  playlist.body = c.playlist(media, server_->url("/video/1001/"));
  server_->setOverride("/video/1001/index.m3u8", playlist);

  auto item = av::PlayerItem::playerItemWithAsset(asset("/video/1001/index.m3u8"));
  auto player = av::Player::playerWithPlayerItem(item);
  bool wasReady = false;
  ASSERT_TRUE(testsupport::spinUntil([&] {
    wasReady = wasReady || item->status() == av::PlayerItemStatus::readyToPlay;
    return item->status() == av::PlayerItemStatus::failed;
  }));
  EXPECT_FALSE(wasReady);
  ASSERT_TRUE(item->error());
  EXPECT_EQ(item->error()->domain(), ns::kURLErrorDomain);
  EXPECT_EQ(item->error()->code(), ns::URLError::UnsupportedURL);
  auto failing = item->error()->userInfo()[ns::kURLErrorFailingURLStringErrorKey].asString();
  ASSERT_TRUE(failing);
  EXPECT_NE(failing->find(c.failingURLPart), std::string::npos) << *failing;
}

std::vector<NestedCase> nestedCases() {
  using M = const LocalMedia&;
  using B = const std::string&;
  return {
      {"fileSegments",
       [](M m, B) {
         return playlistOf(
             {"#EXTINF:4.0,", m.fileURL("segment0.ts"), "#EXTINF:4.0,", m.fileURL("segment1.ts")});
       },
       "file://"},
      {"fileSegmentAmongServedOnes",
       [](M m, B base) {
         return playlistOf({"#EXTINF:4.0,", m.fileURL("segment0.ts"), "#EXTINF:4.0,", base + "segment1.ts"});
       },
       "file://"},
      {"fileKey",
       [](M m, B base) {
         return playlistOf({"#EXT-X-KEY:METHOD=AES-128,URI=\"" + m.fileURL("segment2.ts") + "\"",
                            "#EXTINF:4.0,", base + "segment0.ts"});
       },
       "file://"},
      {"fileVariant",
       [](M m, B) {
         return std::string("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1000000\n") + m.fileURL("index.m3u8") +
                "\n";
       },
       "file://"},
  };
}

INSTANTIATE_TEST_SUITE_P(Playlists, NestedMediaURLTest, ::testing::ValuesIn(nestedCases()),
                         testsupport::CaseName());

// http and https are told apart from other schemes whatever their case.
TEST_F(MediaTest, TheSchemeOfAServedStreamMayBeInAnyCase) {
  std::string url = server_->url("/video/1001/clip.mp4");
  url.replace(0, 4, "HTTP");
  auto item =
      av::PlayerItem::playerItemWithAsset(av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString(url)));
  auto player = av::Player::playerWithPlayerItem(item);
  ASSERT_TRUE(waitForStatus(item));
  EXPECT_EQ(item->status(), av::PlayerItemStatus::readyToPlay)
      << (item->error() ? item->error()->describe() : "");
}

}  // namespace
