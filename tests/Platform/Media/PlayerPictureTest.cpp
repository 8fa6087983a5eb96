#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Foundation/Clock.h"
#include "Media/PlayerLayer.h"
#include "MediaTestSupport.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/CaseName.h"

namespace {

using mediatest::MediaTest;
using mediatest::seconds;

class PlayerView final : public ui::View {
 public:
  PlayerView() : ui::View(ui::layerClassOf<av::PlayerLayer>()) {}
  av::PlayerLayer& playerLayer() const { return static_cast<av::PlayerLayer&>(*layer()); }
};

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB
};

// The clip's picture at a time, decoded here with FFmpeg alone: the frame shown from that time
// on, counted from the first frame.
Picture decodeDirectly(const std::string& path, double at) {
  Picture out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
  avformat_find_stream_info(format, nullptr);
  int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVStream* stream = format->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(decoder, stream->codecpar);
  avcodec_open2(decoder, codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  AVFrame* kept = av_frame_alloc();
  double start = NAN;
  bool done = false;
  auto take = [&] {
    while (!done && avcodec_receive_frame(decoder, frame) >= 0) {
      double t = double(frame->best_effort_timestamp) * av_q2d(stream->time_base);
      if (std::isnan(start)) start = t;
      if (t - start > at + 1e-4) {
        done = true;
      } else {
        av_frame_unref(kept);
        av_frame_move_ref(kept, frame);
      }
      av_frame_unref(frame);
    }
  };
  while (!done && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    take();
  }
  avcodec_send_packet(decoder, nullptr);
  take();
  if (kept->width > 0) {
    out.width = kept->width;
    out.height = kept->height;
    out.pixels.resize(std::size_t(out.width) * std::size_t(out.height));
    SwsContext* scaler =
        sws_getContext(out.width, out.height, AVPixelFormat(kept->format), out.width, out.height,
                       AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    std::uint8_t* planes[4] = {reinterpret_cast<std::uint8_t*>(out.pixels.data()), nullptr, nullptr, nullptr};
    int strides[4] = {out.width * 4, 0, 0, 0};
    sws_scale(scaler, kept->data, kept->linesize, 0, out.height, planes, strides);
    sws_freeContext(scaler);
  }
  av_frame_free(&kept);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return out;
}

// Mean difference per colour channel, 0...255; 255 when the sizes differ.
double difference(const Picture& a, const cg::Image& b) {
  if (a.width != b.pixelWidth() || a.height != b.pixelHeight() || a.pixels.empty()) return 255;
  double sum = 0;
  auto pixels = b.pixels();
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift : {0, 8, 16})
      sum += std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((pixels[i] >> shift) & 0xFF));
  return sum / (3.0 * double(a.pixels.size()));
}

std::string programmeFile() { return sampleservice::defaultClipsFolder() + "/programme/clip.mp4"; }

class PlayerPictureTest : public MediaTest {
 protected:
  // A 320 x 180 view showing the player, drawn at scale 1: one point per pixel of the clip.
  std::shared_ptr<PlayerView> viewFor(const std::shared_ptr<av::Player>& player) {
    auto view = std::make_shared<PlayerView>();
    view->initWithFrame({0, 0, 320, 180});
    view->setBackgroundColor(ui::Color::blackColor());
    view->playerLayer().setPlayer(player);
    return view;
  }
  cg::ImagePtr shoot(const std::shared_ptr<PlayerView>& view) {
    EXPECT_TRUE(testsupport::spinUntil([&] { return view->playerLayer().isReadyForDisplay(); }));
    return ui::renderView(view, 1);
  }
};

TEST_F(PlayerPictureTest, TheLayerShowsTheFrameOfTheCurrentTime) {
  auto player = readyPlayer("/video/1001/index.m3u8");
  auto view = viewFor(player);
  auto atStart = shoot(view);
  player->seekToTime(seconds(2.0));
  auto atTwo = shoot(view);
  ASSERT_TRUE(atStart && atTwo);

  Picture zero = decodeDirectly(programmeFile(), 0), one = decodeDirectly(programmeFile(), 1.0),
          two = decodeDirectly(programmeFile(), 2.0);
  EXPECT_LT(difference(zero, *atStart), 2.0);
  EXPECT_LT(difference(two, *atTwo), 2.0) << "the counter reads 00:02.00";
  EXPECT_GT(difference(one, *atTwo), 2.0) << "and not 00:01.00";
  EXPECT_GT(difference(zero, *atTwo), 2.0);
}

TEST_F(PlayerPictureTest, UnderTheManualClockDrawingWaitsForTheFrameOfTheMoment) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/clip.mp4");
  auto view = viewFor(player);
  player->play();
  double previous = 0;
  for (double t : {1.0, 2.5, 4.0}) {
    clock.advance(t - previous);
    previous = t;
    auto picture = ui::renderView(view, 1);  // no waiting here: the drawing itself waits
    ASSERT_TRUE(picture);
    EXPECT_LT(difference(decodeDirectly(programmeFile(), t), *picture), 2.0) << t;
  }
}

TEST_F(PlayerPictureTest, TheLayerSaysWhenItsPictureChangesNext) {
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/clip.mp4");
  auto view = viewFor(player);
  const av::PlayerLayer& layer = view->playerLayer();
  // Paused, with its own frame drawn, the picture stands still.
  shoot(view);
  EXPECT_EQ(layer.nextPictureChange(clock.now()), std::nullopt);
  // A seek while paused wants the new frame drawn: at once, or soon while it is decoded.
  player->seekToTime(seconds(2.0));
  auto afterSeek = layer.nextPictureChange(clock.now());
  ASSERT_TRUE(afterSeek);
  EXPECT_LE(*afterSeek - clock.now(), 0.05);
  // Once decoded, the new frame is wanted at once: it is not drawn yet.
  ASSERT_TRUE(testsupport::spinUntil([&] { return layer.isReadyForDisplay(); }));
  EXPECT_EQ(layer.nextPictureChange(clock.now()), clock.now()) << "the seek's frame decoded";
  auto still = shoot(view);
  EXPECT_EQ(layer.nextPictureChange(clock.now()), std::nullopt);

  // A seek back while paused: the frame queued and shown is past the new moment, and the picture
  // drawn at once is the new moment's. Only while the seek waits to be taken up is the old frame
  // still queued, so a few rounds make that moment likely to be met.
  for (auto [from, to] : {std::pair{2.0, 1.0}, {3.0, 1.5}, {2.5, 0.5}, {2.0, 1.0}}) {
    SCOPED_TRACE(to);
    player->seekToTime(seconds(from));
    shoot(view);
    player->seekToTime(seconds(to));
    EXPECT_NE(layer.nextPictureChange(clock.now()), std::nullopt) << "the seek back wants drawing";
    auto back = ui::renderView(view, 1);
    ASSERT_TRUE(back);
    EXPECT_LT(difference(decodeDirectly(programmeFile(), to), *back), 2.0);
  }
  player->seekToTime(seconds(2.0));
  still = shoot(view);
  EXPECT_EQ(layer.nextPictureChange(clock.now()), std::nullopt);

  // Playing, the next frame's moment: 25 frames a second.
  player->play();
  ASSERT_TRUE(testsupport::spinUntil([&] { return layer.nextPictureChange(clock.now()) > clock.now(); }));
  auto next = layer.nextPictureChange(clock.now());
  EXPECT_LE(*next - clock.now(), 0.04 + 1e-6);
  // The picture changes there, and not before.
  clock.advance(*next - clock.now() - 0.001);
  auto before = ui::renderView(view, 1);
  clock.advance(0.002);
  auto after = ui::renderView(view, 1);
  ASSERT_TRUE(before && after);
  EXPECT_TRUE(std::ranges::equal(still->pixels(), before->pixels()));
  EXPECT_FALSE(std::ranges::equal(before->pixels(), after->pixels()));
  EXPECT_LT(difference(decodeDirectly(programmeFile(), 2.04), *after), 2.0);

  player->pause();
  ui::renderView(view, 1);
  EXPECT_EQ(layer.nextPictureChange(clock.now()), std::nullopt) << "paused again";

}

struct GravityCase {
  const char* name;
  const char* gravity;
  cg::Rect expected;
};

void PrintTo(const GravityCase& c, std::ostream* os) { *os << c.name; }

class PlayerLayerGravityTest : public MediaTest, public ::testing::WithParamInterface<GravityCase> {};

TEST_P(PlayerLayerGravityTest, PlacesThePictureByTheGravity) {
  auto player = readyPlayer("/video/1001/clip.mp4");
  auto view = std::make_shared<PlayerView>();
  view->initWithFrame({0, 0, 200, 200});
  view->playerLayer().setPlayer(player);
  view->playerLayer().setVideoGravity(GetParam().gravity);
  cg::Rect r = view->playerLayer().videoRect();
  EXPECT_NEAR(r.x(), GetParam().expected.x(), 0.01);
  EXPECT_NEAR(r.y(), GetParam().expected.y(), 0.01);
  EXPECT_NEAR(r.width(), GetParam().expected.width(), 0.01);
  EXPECT_NEAR(r.height(), GetParam().expected.height(), 0.01);
  // The picture never spills over the layer's bounds.
  ASSERT_TRUE(testsupport::spinUntil([&] { return view->playerLayer().isReadyForDisplay(); }));
  view->setBackgroundColor(ui::Color::redColor());
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, 240, 240});
  root->setBackgroundColor(ui::Color::blueColor());
  view->setFrame({20, 20, 200, 200});
  root->addSubview(view);
  auto image = ui::renderView(root, 1);
  EXPECT_EQ(image->colorAt(10, 120), cg::Color::rgba(0, 0, 1));
  EXPECT_EQ(image->colorAt(230, 120), cg::Color::rgba(0, 0, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Gravities, PlayerLayerGravityTest,
    ::testing::Values(GravityCase{"aspect", av::kLayerVideoGravityResizeAspect, {0, 43.75, 200, 112.5}},
                      GravityCase{
                          "aspectFill", av::kLayerVideoGravityResizeAspectFill, {-77.78, 0, 355.56, 200}},
                      GravityCase{"resize", av::kLayerVideoGravityResize, {0, 0, 200, 200}},
                      GravityCase{"unknownFits", "sideways", {0, 43.75, 200, 112.5}}),
    testsupport::CaseName());

// The box of a picture's pixels that are neither of two plain paints (the view's and the window's).
cg::Rect paintedBox(const cg::ImagePtr& image, cg::Color viewPaint, cg::Color windowPaint) {
  int minX = image->pixelWidth(), minY = image->pixelHeight(), maxX = -1, maxY = -1;
  for (int y = 0; y < image->pixelHeight(); ++y)
    for (int x = 0; x < image->pixelWidth(); ++x) {
      cg::Color c = image->colorAt(x, y);
      if (c == viewPaint || c == windowPaint) continue;
      minX = std::min(minX, x), minY = std::min(minY, y), maxX = std::max(maxX, x), maxY = std::max(maxY, y);
    }
  if (maxX < 0) return {};
  return {double(minX), double(minY), double(maxX - minX + 1), double(maxY - minY + 1)};
}

struct MovingLayerCase {
  const char* name;
  cg::Rect from, to;
  const char* gravity;
  cg::Rect halfWay;  // where the 16:9 picture lies half-way through the move
};

void PrintTo(const MovingLayerCase& c, std::ostream* os) { *os << c.name; }

class PlayerLayerMovingTest : public MediaTest, public ::testing::WithParamInterface<MovingLayerCase> {};

// While its view's frame animates (a player going to full screen and back), the screen shows the
// picture fitted to the size the view has at that moment, centred in it.
TEST_P(PlayerLayerMovingTest, ThePictureFitsTheFrameShownPartOfTheWay) {
  const MovingLayerCase& c = GetParam();
  ns::ManualClock clock;
  auto player = readyPlayer("/video/1001/clip.mp4");
  auto window = std::make_shared<ui::Window>();
  window->initWithFrame({0, 0, 320, 480});
  window->setBackgroundColor(ui::Color::redColor());
  auto view = std::make_shared<PlayerView>();
  view->initWithFrame(c.from);
  view->setBackgroundColor(ui::Color::blueColor());
  view->playerLayer().setPlayer(player);
  view->playerLayer().setVideoGravity(c.gravity);
  window->addSubview(view);
  ASSERT_TRUE(testsupport::spinUntil([&] { return view->playerLayer().isReadyForDisplay(); }));

  ui::View::animateWithDuration(1, [&] { view->setFrame(c.to); });
  auto half = ui::renderView(window, ui::RenderOptions{1, clock.now() + 0.5});
  ASSERT_TRUE(half);
  cg::Rect box = paintedBox(half, cg::Color::rgba(0, 0, 1), cg::Color::rgba(1, 0, 0));
  EXPECT_NEAR(box.x(), c.halfWay.x(), 1.5);
  EXPECT_NEAR(box.y(), c.halfWay.y(), 1.5);
  EXPECT_NEAR(box.width(), c.halfWay.width(), 2);
  EXPECT_NEAR(box.height(), c.halfWay.height(), 2);
  // At the end it lies where the layer says, in the view's final frame.
  cg::Rect end = paintedBox(ui::renderView(window, ui::RenderOptions{1, clock.now() + 1}),
                            cg::Color::rgba(0, 0, 1), cg::Color::rgba(1, 0, 0));
  cg::Rect expected = view->playerLayer().videoRect().offsetBy(c.to.x(), c.to.y()).intersection(c.to);
  EXPECT_NEAR(end.y(), expected.y(), 1.5);
  EXPECT_NEAR(end.height(), expected.height(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, PlayerLayerMovingTest,
    ::testing::Values(
        // Half-way from 320 x 180 at y 100 to the whole 320 x 480: 320 x 330 at y 50.
        MovingLayerCase{"growing",
                        {0, 100, 320, 180},
                        {0, 0, 320, 480},
                        av::kLayerVideoGravityResizeAspect,
                        {0, 125, 320, 180}},
        MovingLayerCase{"shrinking",
                        {0, 0, 320, 480},
                        {0, 100, 320, 180},
                        av::kLayerVideoGravityResizeAspect,
                        {0, 125, 320, 180}},
        // From 160 x 90 at (0, 0) to 320 x 480: 240 x 285 at (0, 0), the picture 240 x 135 in its middle.
        MovingLayerCase{"growing from a corner",
                        {0, 0, 160, 90},
                        {0, 0, 320, 480},
                        av::kLayerVideoGravityResizeAspect,
                        {0, 75, 240, 135}},
        // Filling: 320 x 330 shown cut from a 586.67 x 330 picture.
        MovingLayerCase{"filling",
                        {0, 100, 320, 180},
                        {0, 0, 320, 480},
                        av::kLayerVideoGravityResizeAspectFill,
                        {0, 50, 320, 330}}),
    testsupport::CaseName());

TEST_F(MediaTest, ALayerWithoutAPlayerShowsNothing) {
  auto layer = std::make_shared<av::PlayerLayer>();
  EXPECT_FALSE(layer->isReadyForDisplay());
  EXPECT_EQ(layer->videoRect(), cg::Rect());
  EXPECT_EQ(layer->videoGravity(), av::kLayerVideoGravityResizeAspect);
}

}  // namespace
