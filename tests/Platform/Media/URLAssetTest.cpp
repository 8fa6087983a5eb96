#include <gtest/gtest.h>

#include <cmath>

#include "MediaTestSupport.h"
#include "support/CaseName.h"

namespace {

using mediatest::MediaTest;

struct AssetCase {
  const char* name;
  const char* path;
  std::optional<sampleservice::Override> bend;  // applied to each of `bentPaths`
  std::vector<std::string> bentPaths;
  av::KeyValueStatus status;
  std::int64_t errorCode;  // of the URL domain, when the keys fail
  const char* failingURLPart;
  bool playable;
  int tracks;
  double duration;  // seconds; infinity for indefinite
};

void PrintTo(const AssetCase& c, std::ostream* os) { *os << c.name; }

sampleservice::Override status404() {
  sampleservice::Override o;
  o.status = 404;
  return o;
}

sampleservice::Override htmlPage() {
  sampleservice::Override o;
  o.contentType = "text/html; charset=utf-8";
  o.body = "<!DOCTYPE html>\n<html><head><title>Not a video</title></head><body><p>Hello</p></body></html>\n";
  return o;
}

class URLAssetKeysTest : public MediaTest, public ::testing::WithParamInterface<AssetCase> {};

TEST_P(URLAssetKeysTest, LoadsTracksAndPlayableAsTheMediaAllows) {
  const AssetCase& c = GetParam();
  if (c.bend)
    for (const auto& path : c.bentPaths) server_->setOverride(path, *c.bend);
  auto asset = loadedAsset(c.path);
  for (const char* key : {"tracks", "playable"}) {
    ns::ErrorPtr error;
    EXPECT_EQ(asset->statusOfValueForKey(key, &error), c.status) << key;
    if (c.status == av::KeyValueStatus::failed) {
      ASSERT_TRUE(error) << key;
      EXPECT_EQ(error->domain(), ns::kURLErrorDomain);
      EXPECT_EQ(error->code(), c.errorCode);
      EXPECT_NE(error->userInfo()[ns::kURLErrorFailingURLStringErrorKey].asString()->find(c.failingURLPart),
                std::string::npos);
    } else {
      EXPECT_FALSE(error) << key;
    }
  }
  EXPECT_EQ(asset->isPlayable(), c.playable);
  EXPECT_EQ(int(asset->tracks().size()), c.tracks);
  av::Time duration = asset->duration();
  if (std::isinf(c.duration)) {
    EXPECT_TRUE(av::TimeIsIndefinite(duration));
  } else if (c.duration > 0) {
    EXPECT_NEAR(av::TimeGetSeconds(duration), c.duration, 0.1);
  }
}

// Keys that load, with what they find.
AssetCase loads(const char* name, const char* path, bool playable, int tracks, double duration,
                std::optional<sampleservice::Override> bend = {}) {
  std::vector<std::string> bent;
  if (bend) bent.push_back(path);
  return {name, path, bend, bent, av::KeyValueStatus::loaded, 0, "", playable, tracks, duration};
}

// Keys that fail with an error of the URL domain naming the resource that failed.
AssetCase fails(const char* name, const char* path, std::optional<sampleservice::Override> bend,
                std::vector<std::string> bentPaths, std::int64_t code, const char* failingURLPart) {
  return {name,  path, bend, std::move(bentPaths), av::KeyValueStatus::failed, code, failingURLPart,
          false, 0,    0};
}

std::vector<AssetCase> assetCases() {
  const std::vector<std::string> segments = {"/video/1001/segment0.ts", "/video/1001/segment1.ts",
                                             "/video/1001/segment2.ts"};
  return {loads("vod", "/video/1001/index.m3u8", true, 2, 12),
          loads("live", "/video/1001/live.m3u8", true, 2, INFINITY),
          loads("mp4", "/video/1001/clip.mp4", true, 2, 12),
          loads("advert", "/video/adv1/index.m3u8", true, 2, 8),
          fails("missing", "/video/999999/index.m3u8", {}, {}, ns::URLError::FileDoesNotExist,
                "/video/999999/index.m3u8"),
          fails("playlistStatus404", "/video/1001/index.m3u8", status404(), {"/video/1001/index.m3u8"},
                ns::URLError::FileDoesNotExist, "index.m3u8"),
          fails("segmentsMissing", "/video/1001/index.m3u8", status404(), segments,
                ns::URLError::FileDoesNotExist, "/video/1001/segment0.ts"),
          fails("oneSegmentMissing", "/video/1001/index.m3u8", status404(), {segments[1]},
                ns::URLError::FileDoesNotExist, "/video/1001/segment1.ts"),
          // A page where a stream was expected answers fine but is no media.
          loads("html", "/video/1001/index.m3u8", false, 0, 0, htmlPage()),
          // MPEG-2 video is media, but not a format the platform plays.
          loads("unsupportedCodec", "/video/unsupported/index.m3u8", false, 1, 4)};
}

INSTANTIATE_TEST_SUITE_P(Service, URLAssetKeysTest, ::testing::ValuesIn(assetCases()),
                         testsupport::CaseName());

TEST_F(MediaTest, AssetKeysFailWhenTheServerCannotBeReachedAndUnknownKeysFail) {
  // Nothing listens on port 1.
  auto asset =
      av::URLAsset::URLAssetWithURL(*ns::URL::URLWithString("http://127.0.0.1:1/video/1001/index.m3u8"));
  EXPECT_EQ(asset->statusOfValueForKey("tracks"), av::KeyValueStatus::unknown);
  std::atomic<int> handlers{0};
  asset->loadValuesAsynchronouslyForKeys({"tracks", "playable"}, [&] { ++handlers; });
  asset->loadValuesAsynchronouslyForKeys({"colour"}, [&] { ++handlers; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return handlers.load() == 2; }));
  ns::ErrorPtr error;
  EXPECT_EQ(asset->statusOfValueForKey("tracks", &error), av::KeyValueStatus::failed);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code(), ns::URLError::CannotConnectToHost);
  EXPECT_EQ(asset->statusOfValueForKey("colour", &error), av::KeyValueStatus::failed);
  ASSERT_TRUE(error);
  EXPECT_NE(error->domain(), ns::kURLErrorDomain);
  EXPECT_EQ(asset->statusOfValueForKey("duration"), av::KeyValueStatus::unknown);

  // Keys asked for again after the look are answered from it.
  std::atomic<bool> again{false};
  asset->loadValuesAsynchronouslyForKeys({"tracks"}, [&] { again = true; });
  EXPECT_TRUE(testsupport::spinUntil([&] { return again.load(); }));
}

TEST_F(MediaTest, TheAssetsTracksSayWhichTheyAre) {
  auto asset = loadedAsset("/video/1001/clip.mp4");
  std::vector<std::string> types;
  for (const auto& track : asset->tracks()) {
    types.push_back(track->mediaType());
    EXPECT_TRUE(track->isPlayable());
  }
  std::sort(types.begin(), types.end());
  EXPECT_EQ(types, (std::vector<std::string>{av::kMediaTypeAudio, av::kMediaTypeVideo}));
}

}  // namespace
