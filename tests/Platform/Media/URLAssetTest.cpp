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

INSTANTIATE_TEST_SUITE_P(
    Service, URLAssetKeysTest,
    ::testing::Values(
        AssetCase{"vod", "/video/1001/index.m3u8", {}, {}, av::KeyValueStatus::loaded, 0, "", true, 2, 12},
        AssetCase{
            "live", "/video/1001/live.m3u8", {}, {}, av::KeyValueStatus::loaded, 0, "", true, 2, INFINITY},
        AssetCase{"mp4", "/video/1001/clip.mp4", {}, {}, av::KeyValueStatus::loaded, 0, "", true, 2, 12},
        AssetCase{"advert", "/video/adv1/index.m3u8", {}, {}, av::KeyValueStatus::loaded, 0, "", true, 2, 8},
        AssetCase{"missing",
                  "/video/999999/index.m3u8",
                  {},
                  {},
                  av::KeyValueStatus::failed,
                  ns::URLError::FileDoesNotExist,
                  "/video/999999/index.m3u8",
                  false,
                  0,
                  0},
        AssetCase{"playlistStatus404",
                  "/video/1001/index.m3u8",
                  status404(),
                  {"/video/1001/index.m3u8"},
                  av::KeyValueStatus::failed,
                  ns::URLError::FileDoesNotExist,
                  "index.m3u8",
                  false,
                  0,
                  0},
        AssetCase{"segmentsMissing",
                  "/video/1001/index.m3u8",
                  status404(),
                  {"/video/1001/segment0.ts", "/video/1001/segment1.ts", "/video/1001/segment2.ts"},
                  av::KeyValueStatus::failed,
                  ns::URLError::FileDoesNotExist,
                  "/video/1001/segment0.ts",
                  false,
                  0,
                  0},
        AssetCase{"oneSegmentMissing",
                  "/video/1001/index.m3u8",
                  status404(),
                  {"/video/1001/segment1.ts"},
                  av::KeyValueStatus::failed,
                  ns::URLError::FileDoesNotExist,
                  "/video/1001/segment1.ts",
                  false,
                  0,
                  0},
        // A page where a stream was expected answers fine but is no media.
        AssetCase{"html",
                  "/video/1001/index.m3u8",
                  htmlPage(),
                  {"/video/1001/index.m3u8"},
                  av::KeyValueStatus::loaded,
                  0,
                  "",
                  false,
                  0,
                  0},
        // MPEG-2 video is media, but not a format the platform plays.
        AssetCase{"unsupportedCodec",
                  "/video/unsupported/index.m3u8",
                  {},
                  {},
                  av::KeyValueStatus::loaded,
                  0,
                  "",
                  false,
                  1,
                  4}),
    testsupport::CaseName());

TEST_F(MediaTest, AssetKeysFailWhenTheServerCannotBeReachedAndUnknownKeysFail) {
  // A port nothing listens on: the service's own, once it is stopped, would race other suites.
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
