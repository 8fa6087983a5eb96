#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Graphics/Image.h"
#include "NTNetworking/ImageView+NTNetworking.h"
#include "NetworkingTestSupport.h"
#include "support/CompressedBody.h"
#include "support/LoopbackServer.h"
#include "support/RunLoopSpin.h"

namespace {

using testsupport::Reply;

std::string png(int side) {
  return cg::Image::fromPixels(side, side, std::vector<std::uint32_t>(side * side, 0xff336699u))
      ->pngData()
      .toString();
}

int shownSide(const std::shared_ptr<ui::ImageView>& view) {
  return view->image() ? view->image()->CGImage()->pixelWidth() : 0;
}

class ImageViewNTNetworkingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nt_sharedImageCache()->removeAllObjects();
    for (int side : {4, 8, 16}) {
      Reply r;
      r.contentType = "image/png";
      r.body = png(side);
      server.reply("/" + std::to_string(side) + ".png", r);
    }
    server.reply("/missing.png", Reply::text("no", 404));
  }
  void TearDown() override { nt_sharedImageCache()->removeAllObjects(); }

  ns::URL url(const std::string& path) const { return *ns::URL::URLWithString(server.url(path)); }
  std::shared_ptr<ui::ImageView> newView() const {
    return std::make_shared<ui::ImageView>()->initWithFrame({{0, 0}, {10, 10}});
  }
  static bool idle(const std::shared_ptr<ui::ImageView>& view) { return !nt_imageRequestOperation(*view); }

  testsupport::LoopbackServer server;
};

TEST_F(ImageViewNTNetworkingTest, OnlyTheLastOfTwoURLsReachesTheView) {
  auto view = newView();
  auto placeholder =
      ui::Image::imageWithCGImage(cg::Image::fromPixels(2, 2, std::vector<std::uint32_t>(4, 0)));
  setImageWithURL(view, url("/4.png"), placeholder);
  auto first = nt_imageRequestOperation(*view);
  ASSERT_TRUE(first);
  EXPECT_EQ(shownSide(view), 2);
  setImageWithURL(view, url("/8.png"));
  EXPECT_TRUE(first->isCancelled());
  EXPECT_EQ(view->image(), nullptr);  // no placeholder this time
  ASSERT_TRUE(testsupport::spinUntil([&] { return idle(view) && first->isFinished(); }));
  // Let any late callback of the first fetch run: it must not touch the view.
  auto marker = std::make_shared<bool>(false);
  dispatch::async(dispatch::mainQueue(), [marker] { *marker = true; });
  ASSERT_TRUE(testsupport::spinUntil([&] { return *marker; }));
  EXPECT_EQ(shownSide(view), 8);
  EXPECT_TRUE(server.requestsTo("/8.png").back().header("Accept").find("image/*") != std::string::npos);
}

TEST_F(ImageViewNTNetworkingTest, CachedImagesMakeNoRequestUnlessThePolicyBypassesTheCache) {
  auto view = newView();
  setImageWithURL(view, url("/16.png"));
  ASSERT_TRUE(testsupport::spinUntil([&] { return idle(view) && view->image(); }));
  EXPECT_EQ(server.requestsTo("/16.png").size(), 1u);

  struct Case {
    const char* name;
    ns::URLRequestCachePolicy policy;
    bool fetches;
  } cases[] = {
      {"default policy", ns::URLRequestCachePolicy::UseProtocolCachePolicy, false},
      {"return cache else load", ns::URLRequestCachePolicy::ReturnCacheDataElseLoad, false},
      {"reload ignoring local data", ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, true},
      {"reload ignoring local and remote data",
       ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData, true},
  };
  for (const auto& c : cases) {
    auto other = newView();
    auto before = server.requestsTo("/16.png").size();
    auto request = ns::URLRequest::requestWithURL(url("/16.png"));
    request->setCachePolicy(c.policy);
    int successes = 0;
    bool hadRequest = true;
    setImageWithURLRequest(
        other, request, nullptr,
        [&](const ns::URLRequestPtr& r, const ns::HTTPURLResponsePtr&,
            const std::shared_ptr<ui::Image>& image) {
          ++successes;
          hadRequest = r != nullptr;
          other->setImage(image);
        },
        nullptr);
    if (!c.fetches) {
      // At once, with no request and no response.
      EXPECT_EQ(successes, 1) << c.name;
      EXPECT_FALSE(hadRequest) << c.name;
      EXPECT_TRUE(idle(other)) << c.name;
    }
    ASSERT_TRUE(testsupport::spinUntil([&] { return successes == 1; })) << c.name;
    EXPECT_EQ(shownSide(other), 16) << c.name;
    EXPECT_EQ(server.requestsTo("/16.png").size(), before + (c.fetches ? 1 : 0)) << c.name;
  }
}

// The cache keeps an image for its whole URL: addresses differing only in their query are
// different pictures.
TEST_F(ImageViewNTNetworkingTest, URLsDifferingOnlyInTheirQueryAreCachedApart) {
  server.on("/sized", [](const testsupport::RecordedRequest& request) {
    Reply r;
    r.contentType = "image/png";
    r.body = png(std::stoi(request.params.at("side")));
    return r;
  });
  for (int side : {4, 8, 4}) {
    auto view = newView();
    setImageWithURL(view, url("/sized?side=" + std::to_string(side)));
    ASSERT_TRUE(testsupport::spinUntil([&] { return idle(view) && view->image(); })) << side;
    EXPECT_EQ(shownSide(view), side);
  }
  EXPECT_EQ(server.requestsTo("/sized").size(), 2u) << "the third is the first's, from the cache";
}

TEST_F(ImageViewNTNetworkingTest, FailuresReachTheFailureCallbackAndLeaveThePlaceholder) {
  auto view = newView();
  auto placeholder =
      ui::Image::imageWithCGImage(cg::Image::fromPixels(3, 3, std::vector<std::uint32_t>(9, 0)));
  ns::ErrorPtr failure;
  setImageWithURLRequest(
      view, ns::URLRequest::requestWithURL(url("/missing.png")), placeholder, nullptr,
      [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr& response, const ns::ErrorPtr& e) {
        failure = e;
        EXPECT_EQ(response->statusCode(), 404);
      });
  ASSERT_TRUE(testsupport::spinUntil([&] { return failure != nullptr; }));
  EXPECT_EQ(failure->code(), ns::URLError::BadServerResponse);
  EXPECT_TRUE(idle(view));
  EXPECT_EQ(shownSide(view), 3);
  EXPECT_FALSE(
      nt_sharedImageCache()->cachedImageForRequest(*ns::URLRequest::requestWithURL(url("/missing.png"))));
}

// A compressed picture whose stream stops short failed to arrive, however many of its bytes did and
// whatever the decoder makes of them: the placeholder stays and nothing is cached.
TEST_F(ImageViewNTNetworkingTest, ACompressedPictureCutShortIsAFailureAndIsNotCached) {
  const std::string picture = png(64);
  const std::size_t whole = testsupport::gzippedReply("image/png", picture).generatedLength;
  struct Case {
    const char* name;
    std::size_t keep;
  } cases[] = {{"half the stream", whole / 2}, {"all but its trailer", whole - 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.reply("/cut.png", testsupport::gzippedReply("image/png", picture, c.keep));
    auto view = newView();
    ns::ErrorPtr failure;
    bool succeeded = false;
    auto request = ns::URLRequest::requestWithURL(url("/cut.png"));
    setImageWithURLRequest(
        view, request, nullptr,
        [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const std::shared_ptr<ui::Image>&) {
          succeeded = true;
        },
        [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& e) { failure = e; });
    ASSERT_TRUE(testsupport::spinUntil([&] { return failure || succeeded; }));
    EXPECT_FALSE(succeeded);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), ns::URLError::CannotDecodeRawData);
    EXPECT_EQ(shownSide(view), 0);
    EXPECT_FALSE(nt_sharedImageCache()->cachedImageForRequest(*request));
  }
}

TEST_F(ImageViewNTNetworkingTest, AFetchTheViewNoLongerWaitsForStillFillsTheCache) {
  auto view = newView();
  auto request = ns::URLRequest::requestWithURL(url("/8.png"));
  int called = 0;
  setImageWithURLRequest(
      view, request, nullptr,
      [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const std::shared_ptr<ui::Image>&) {
        ++called;
      },
      nullptr);
  auto operation = nt_imageRequestOperation(*view);
  // The main thread waits without running its loop, so the fetch's callbacks are still to come
  // when the view moves on to another URL.
  operation->waitUntilFinished();
  setImageWithURL(view, url("/16.png"));
  ASSERT_TRUE(testsupport::spinUntil(
      [&] { return idle(view) && nt_sharedImageCache()->cachedImageForRequest(*request) != nullptr; }));
  EXPECT_EQ(called, 0);
  EXPECT_EQ(shownSide(view), 16);
  // A cache key is the URL alone.
  auto post = ns::URLRequest::requestWithURL(url("/8.png"));
  post->setHTTPMethod("POST");
  post->setValueForHTTPHeaderField("x", "X-Other");
  EXPECT_EQ(NTImageCacheKeyFromURLRequest(*post), url("/8.png").absoluteString());
  EXPECT_TRUE(nt_sharedImageCache()->cachedImageForRequest(*post));
}

}  // namespace

namespace {

TEST(NTImageCacheTest, ImagesCostTheirBitmapSoTheBudgetBoundsTheCache) {
  auto cache = std::make_shared<NTImageCache>();
  auto image = [](int side) {
    return ui::Image::imageWithCGImage(
        cg::Image::fromPixels(side, side, std::vector<std::uint32_t>(side * side, 0)));
  };
  auto request = [](const char* path) {
    return ns::URLRequest::requestWithURL(ns::URL::URLWithString(path));
  };
  cache->setMemoryBudget(16 * 16 * 4 + 8 * 8 * 4 - 1);
  cache->cacheImage(image(16), request("http://h.example/a"));
  EXPECT_EQ(cache->totalCost(), 16u * 16 * 4);
  cache->cacheImage(image(8), request("http://h.example/b"));
  EXPECT_FALSE(cache->cachedImageForRequest(*request("http://h.example/a")));
  EXPECT_TRUE(cache->cachedImageForRequest(*request("http://h.example/b")));
  cache->cacheImage(nullptr, request("http://h.example/c"));
  cache->cacheImage(image(1), nullptr);
  EXPECT_EQ(cache->count(), 1u);
}

}  // namespace
