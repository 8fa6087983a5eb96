#include <gtest/gtest.h>

#include "Graphics/Context.h"
#include "UIKit/View.h"
#include "UIKit/ViewRenderer.h"

namespace {

// A layer that paints its own content: a red square in its top-left quarter.
struct QuarterLayer : cg::Layer {
  int draws = 0;
  void drawInContext(cg::Context& context) override {
    ++draws;
    cg::Rect b = bounds();
    context.saveGState();
    context.setFillColor(cg::Color::rgba(1, 0, 0));
    context.fillRect({0, 0, b.width() / 2, b.height() / 2});
    context.restoreGState();
  }
};

struct QuarterView : ui::View {
  QuarterView() : ui::View(ui::layerClassOf<QuarterLayer>()) {}
};

TEST(LayerClassTest, AViewClassChoosesItsLayerWhichKeepsTheViewsBoundsAndDrawsOverTheBackground) {
  auto view = std::make_shared<QuarterView>();
  view->initWithFrame({10, 10, 40, 20});
  auto layer = std::dynamic_pointer_cast<QuarterLayer>(view->layer());
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->bounds(), cg::Rect(0, 0, 40, 20));
  view->setFrame({0, 0, 60, 30});
  EXPECT_EQ(layer->bounds(), cg::Rect(0, 0, 60, 30));
  // A plain view keeps a plain layer, sized the same way.
  auto plain = std::make_shared<ui::View>()->initWithFrame({0, 0, 8, 6});
  EXPECT_EQ(typeid(*plain->layer()), typeid(cg::Layer));
  EXPECT_EQ(plain->layer()->bounds(), cg::Rect(0, 0, 8, 6));

  view->setBackgroundColor(ui::Color::blueColor());
  auto image = ui::renderView(view, 1);
  ASSERT_TRUE(image);
  EXPECT_EQ(layer->draws, 1);
  EXPECT_EQ(image->colorAt(5, 5), cg::Color::rgba(1, 0, 0));
  EXPECT_EQ(image->colorAt(45, 25), cg::Color::rgba(0, 0, 1));
}

}  // namespace
