// The keyboard's panel over the key window: where it lies on each device and orientation, and
// that it is drawn and takes the touches on it only while a text input holds the keyboard.
#include <gtest/gtest.h>

#include <functional>

#include "Graphics/Layer.h"
#include "ScreenTestSupport.h"
#include "UIKit/Keyboard.h"
#include "UIKit/SearchBar.h"
#include "UIKit/TextView.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/WebView.h"

namespace {

enum class Input { searchBar, textView, webViewWithoutField };

struct KeyboardCase {
  const char* name;
  ui::DeviceProfile profile;
  bool landscape;
  Input input;
  std::optional<cg::Rect> panel;  // none: the input brings up no keyboard
};

void PrintTo(const KeyboardCase& c, std::ostream* os) { *os << c.name; }

class KeyboardTest : public ::testing::TestWithParam<KeyboardCase> {};

// The red of the window's pixel at a point, drawn at scale 1.
double redAt(const cg::ImagePtr& image, cg::Point p) {
  std::uint32_t pixel = image->pixels()[static_cast<std::size_t>(int(p.y) * image->pixelWidth() + int(p.x))];
  return ((pixel >> 16) & 0xFF) / 255.0;
}

TEST_P(KeyboardTest, ThePanelLiesAcrossTheBottomAndTakesItsTouchesWhileAnInputHoldsTheKeyboard) {
  const KeyboardCase& c = GetParam();
  testsupport::ScreenScope screen(c.profile);
  auto root = std::make_shared<ui::ViewController>()->init();
  root->view()->setBackgroundColor(ui::Color::whiteColor());
  auto window = screen.showWindow(root);
  if (c.landscape) {
    ASSERT_TRUE(ui::simulateRotation(ui::InterfaceOrientation::landscapeLeft));
  }
  std::shared_ptr<ui::View> input;
  switch (c.input) {
    case Input::searchBar:
      input = std::make_shared<ui::SearchBar>()->initWithFrame({0, 40, 300, 44});
      break;
    case Input::textView:
      input = std::make_shared<ui::TextView>()->initWithFrame({0, 40, 300, 100});
      break;
    case Input::webViewWithoutField:
      input = std::make_shared<ui::WebView>()->initWithFrame({0, 40, 300, 100});
      break;
  }
  root->view()->addSubview(input);
  window->layoutIfNeeded();
  const cg::Rect bottom = ui::Keyboard::frameInBounds(window->bounds(), ui::isPad());
  // Just inside the panel's left edge, beside the keys, and just above it.
  const cg::Point inside{bottom.x() + 1, bottom.midY()}, above{bottom.x() + 1, bottom.y() - 2};

  EXPECT_EQ(window->keyboardFrame(), std::nullopt);
  auto before = ui::renderView(window, 1);
  EXPECT_GT(redAt(before, inside), 0.95) << "the page's white";

  const auto generation = cg::displayGeneration();
  ASSERT_TRUE(input->becomeFirstResponder());
  EXPECT_NE(cg::displayGeneration(), generation) << "a window waiting for a change hears of it";
  EXPECT_EQ(window->keyboardFrame(), c.panel);
  auto shown = ui::renderView(window, 1);
  if (c.panel) {
    EXPECT_LT(redAt(shown, {c.panel->x() + 1, c.panel->midY()}), 0.75) << "the panel's grey";
    EXPECT_LT(redAt(shown, {c.panel->x() + 1, c.panel->maxY() - 2}), 0.75);
  } else {
    EXPECT_GT(redAt(shown, inside), 0.95);
  }
  EXPECT_GT(redAt(shown, above), 0.95) << "nothing above the panel";
  // The panel takes the touches on it, as a device's keyboard does; those above reach the page.
  const auto page = root->view();
  EXPECT_EQ(window->hitTest(inside, nullptr), c.panel ? std::shared_ptr<ui::View>(window->keyboard()) : page);
  EXPECT_EQ(window->hitTest({inside.x, bottom.maxY() - 1}, nullptr),
            c.panel ? std::shared_ptr<ui::View>(window->keyboard()) : page);
  EXPECT_EQ(window->hitTest(above, nullptr), page);

  input->resignFirstResponder();
  EXPECT_EQ(window->keyboardFrame(), std::nullopt);
  EXPECT_GT(redAt(ui::renderView(window, 1), inside), 0.95) << "gone with the keyboard";
  EXPECT_EQ(window->hitTest(inside, nullptr), page) << "and so are its touches";
}

INSTANTIATE_TEST_SUITE_P(
    Devices, KeyboardTest,
    ::testing::Values(KeyboardCase{"tablet", ui::DeviceProfile::tablet(), false, Input::searchBar,
                                   cg::Rect{0, 760, 768, 264}},
                      KeyboardCase{"tablet_landscape", ui::DeviceProfile::tablet(), true, Input::textView,
                                   cg::Rect{0, 416, 1024, 352}},
                      KeyboardCase{"phone", ui::DeviceProfile::phone(), false, Input::textView,
                                   cg::Rect{0, 264, 320, 216}},
                      KeyboardCase{"phone_landscape", ui::DeviceProfile::phone(), true, Input::searchBar,
                                   cg::Rect{0, 158, 480, 162}},
                      KeyboardCase{"phone_tall", ui::DeviceProfile::phoneTall(), false, Input::searchBar,
                                   cg::Rect{0, 352, 320, 216}},
                      // A web page with no field in focus takes the first responder without the keyboard.
                      KeyboardCase{"web_page_without_field", ui::DeviceProfile::phone(), false,
                                   Input::webViewWithoutField, std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
