#include <gtest/gtest.h>

#include <algorithm>

#include "Foundation/URLLoader.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "NetworkingTestSupport.h"
#include "Platform/Graphics/Fixtures.h"
#include "UIKit/Device.h"

namespace {

using nttest::requestFor;
using testsupport::LoopbackServer;
using testsupport::Reply;
using testsupport::spinUntil;

Reply image(std::string type, std::string bytes) {
  Reply r;
  r.contentType = std::move(type);
  r.body = std::move(bytes);
  return r;
}

struct Fetched {
  bool done = false;
  cg::ImagePtr image;
  ns::ErrorPtr error;
};

std::shared_ptr<Fetched> fetch(const LoopbackServer& server, const std::string& path,
                               NTImageRequestOperation::ImageProcessingBlock processing = nullptr) {
  auto fetched = std::make_shared<Fetched>();
  auto op = NTImageRequestOperation::imageRequestOperationWithRequest(
      requestFor(server, path), std::move(processing),
      [fetched](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const cg::ImagePtr& image) {
        fetched->image = image;
        fetched->done = true;
      },
      [fetched](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr& error) {
        fetched->error = error;
        fetched->done = true;
      });
  op->start();
  EXPECT_TRUE(spinUntil([&] { return fetched->done; })) << path;
  return fetched;
}

TEST(NTImageRequestOperationTest, EveryAcceptedTypeDecodesAtTheScaleAndUpright) {
  LoopbackServer server;
  struct Case {
    const char* name;
    Reply reply;
    int width, height;
  } cases[] = {
      {"png", image("image/png", fixtures::saved("png", 8, 4)), 8, 4},
      {"jpeg", image("image/jpeg", fixtures::saved("jpeg", 8, 4)), 8, 4},
      {"gif", image("image/gif", fixtures::gif(8, 4)), 8, 4},
      {"tiff", image("image/tiff", fixtures::saved("tiff", 8, 4)), 8, 4},
      {"bmp", image("image/bmp", fixtures::saved("bmp", 8, 4)), 8, 4},
      {"ico", image("image/x-icon", fixtures::saved("ico", 16, 16)), 16, 16},
      {"cur", image("image/ico", fixtures::cursor(16, 16)), 16, 16},
      {"jpeg, EXIF orientation 6",
       image("image/jpeg", fixtures::withExifOrientation(fixtures::saved("jpeg", 8, 4), 6)), 4, 8},
  };
  auto previous = ui::Device::setProfile(ui::DeviceProfile::phone(2));
  for (const auto& c : cases) {
    server.reply("/image", c.reply);
    auto fetched = fetch(server, "/image");
    ASSERT_TRUE(fetched->image) << c.name;
    EXPECT_EQ(fetched->image->pixelWidth(), c.width) << c.name;
    EXPECT_EQ(fetched->image->pixelHeight(), c.height) << c.name;
    EXPECT_EQ(fetched->image->scale(), 2) << c.name;
    EXPECT_EQ(fetched->image->size().width, c.width / 2.0) << c.name;
  }
  ui::Device::setProfile(previous);
}

TEST(NTImageRequestOperationTest, BytesThatAreNoImageSucceedWithoutOne) {
  LoopbackServer server;
  struct Case {
    const char* name;
    Reply reply;
  } cases[] = {
      {"text as png", image("image/png", "this is not a picture")},
      {"truncated png", image("image/png", fixtures::saved("png", 64, 64).substr(0, 100))},
      {"claims 100000 x 100000", image("image/png", fixtures::pngHeader(100000, 100000))},
      {"empty body", image("image/png", "")},
  };
  for (const auto& c : cases) {
    server.reply("/image", c.reply);
    auto fetched = fetch(server, "/image");
    EXPECT_FALSE(fetched->error) << c.name;
    EXPECT_FALSE(fetched->image) << c.name;
  }
}

TEST(NTImageRequestOperationTest, AnImageOfAnUnacceptedTypeFails) {
  LoopbackServer server;
  server.reply("/image", image("application/octet-stream", fixtures::saved("png", 4, 4)));
  auto fetched = fetch(server, "/image");
  ASSERT_TRUE(fetched->error);
  EXPECT_EQ(fetched->error->code(), ns::URLError::CannotDecodeContentData);
}

TEST(NTImageRequestOperationTest, ProcessingRunsBeforeTheCallbackAndTheShortFactoryHearsNoFailure) {
  LoopbackServer server;
  server.reply("/image", image("image/png", fixtures::saved("png", 8, 4)));
  server.reply("/missing", Reply::text("no", 404));
  auto fetched = fetch(server, "/image", [](const cg::ImagePtr& decoded) { return decoded->withScale(4); });
  ASSERT_TRUE(fetched->image);
  EXPECT_EQ(fetched->image->scale(), 4);

  int calls = 0;
  for (const char* path : {"/image", "/missing"}) {
    auto op = NTImageRequestOperation::imageRequestOperationWithRequest(
        requestFor(server, path), [&](const cg::ImagePtr&) { ++calls; });
    ASSERT_TRUE(nttest::runToEnd(op));
    op->waitUntilFinished();
  }
  auto marker = std::make_shared<bool>(false);
  // The success lands on the main queue through the image queue; wait until both are drained.
  dispatch::async(NTImageRequestOperation::processingQueue(),
                  [marker] { dispatch::async(dispatch::mainQueue(), [marker] { *marker = true; }); });
  ASSERT_TRUE(spinUntil([&] { return *marker && calls > 0; }));
  EXPECT_EQ(calls, 1);
}

TEST(NTImageRequestOperationTest, ANewScaleDecodesAgain) {
  LoopbackServer server;
  server.reply("/image", image("image/png", fixtures::saved("png", 8, 4)));
  auto op = std::make_shared<NTImageRequestOperation>()->initWithRequest(requestFor(server, "/image"));
  EXPECT_FALSE(op->responseImage());  // not finished yet
  ASSERT_TRUE(nttest::runToEnd(op));
  op->setImageScale(1);
  auto first = op->responseImage();
  ASSERT_TRUE(first);
  EXPECT_EQ(op->responseImage(), first);
  op->setImageScale(2);
  auto second = op->responseImage();
  ASSERT_TRUE(second);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->size().width, 4);
}

// Pictures, fetched as images or as poster bytes, never hold every connection to the service: while
// all of them wait on a slow server, the service's reply still comes, and the pictures past their
// share have not even been sent.
TEST(NTImageRequestOperationTest, PicturesLeaveTheServiceRepliesAConnection) {
  LoopbackServer server;
  nttest::Gate gate;
  auto held = gate.waiter();
  server.on("/poster.png", [held](const testsupport::RecordedRequest&) {
    held();
    return image("image/png", fixtures::saved("png", 2, 2));
  });
  server.reply("/api", nttest::withType("application/json", "{\"ok\":1}"));
  std::vector<NTURLConnectionOperationPtr> pictures;
  for (int i = 0; i < 7; ++i) {
    auto request = requestFor(server, "/poster.png?i=" + std::to_string(i));
    if (i % 2) {
      pictures.push_back(NTImageRequestOperation::imageRequestOperationWithRequest(request, nullptr));
    } else {
      auto poster = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
      poster->limitResponseToPicture();
      pictures.push_back(poster);
    }
    pictures.back()->start();
  }
  const std::size_t share = ns::URLLoader::kBackgroundConnectionsPerHost;
  ASSERT_TRUE(spinUntil([&] { return server.requestsTo("/poster.png").size() == share; }));
  bool replied = false;
  NTJSONRequestOperation::JSONRequestOperationWithRequest(
      requestFor(server, "/api"),
      [&](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value&) { replied = true; },
      nullptr)
      ->start();
  EXPECT_TRUE(spinUntil([&] { return replied; }, 30));
  EXPECT_EQ(server.requestsTo("/poster.png").size(), share);
  gate.open();
  EXPECT_TRUE(spinUntil([&] {
    return std::all_of(pictures.begin(), pictures.end(), [](const auto& op) { return op->isFinished(); });
  }));
  EXPECT_EQ(server.requestsTo("/poster.png").size(), pictures.size());

  // A picture that trickles in past its bound fails, so its view shows its fallback.
  testsupport::Reply drip = image("image/png", fixtures::saved("png", 64, 64, true));
  drip.chunkSize = 1;
  drip.dripIntervalSeconds = 0.05;
  server.reply("/slow.png", drip);
  NTURLConnectionOperation::setPictureTransferTimeout(0.5);
  auto slow = fetch(server, "/slow.png");
  NTURLConnectionOperation::setPictureTransferTimeout(60);
  ASSERT_NE(slow->error, nullptr);
  EXPECT_EQ(slow->error->code(), ns::URLError::TimedOut);
}

}  // namespace
