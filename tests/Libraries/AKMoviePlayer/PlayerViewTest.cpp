// The view the picture is drawn in.
#include <gtest/gtest.h>

#include "AKMoviePlayer/AKMoviePlayerView.h"
#include "Media/Player.h"
#include "Media/PlayerLayer.h"

namespace {

TEST(PlayerViewTest, TheLayerKeepsThePlayerAndTakesTheFillMode) {
  auto view = std::make_shared<AKMoviePlayerView>();
  view->initWithFrame({0, 0, 320, 180});
  auto layer = std::dynamic_pointer_cast<av::PlayerLayer>(view->layer());
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->bounds(), cg::Rect(0, 0, 320, 180));
  EXPECT_FALSE(view->player());

  std::weak_ptr<av::Player> weak;
  {
    auto player = std::make_shared<av::Player>()->init();
    weak = player;
    view->setPlayer(player);
  }
  EXPECT_FALSE(weak.expired()) << "the layer keeps the player";
  EXPECT_EQ(layer->player(), weak.lock());
  EXPECT_EQ(view->player(), weak.lock());

  view->setVideoFillMode(av::kLayerVideoGravityResizeAspectFill);
  EXPECT_EQ(layer->videoGravity(), av::kLayerVideoGravityResizeAspectFill);
  view->setVideoFillMode(av::kLayerVideoGravityResizeAspect);
  EXPECT_EQ(layer->videoGravity(), av::kLayerVideoGravityResizeAspect);
  view->setPlayer(nullptr);
  EXPECT_TRUE(weak.expired());
}

}  // namespace
