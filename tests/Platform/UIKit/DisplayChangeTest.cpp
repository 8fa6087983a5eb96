// What a view draws changes only through calls that note a change, so a window that waits for the
// display generation to move misses no picture. Each case changes one thing a view draws and
// checks both that the picture changed (the case means something) and that the count moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "Graphics/Layer.h"
#include "Graphics/ShapeLayer.h"
#include "ScreenTestSupport.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/PickerView.h"
#include "UIKit/ProgressView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/Slider.h"
#include "UIKit/TableViewCell.h"
#include "UIKit/TextView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewRenderer.h"

namespace {

struct ChangeCase {
  const char* name;
  // Makes the view, which goes on a white page at (20, 40), and returns the change to make to it.
  std::function<std::function<void()>(std::shared_ptr<ui::View>&)> make;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class DisplayChangeTest : public ::testing::TestWithParam<ChangeCase> {};

bool samePixels(const cg::ImagePtr& a, const cg::ImagePtr& b) {
  return std::ranges::equal(a->pixels(), b->pixels());
}

TEST_P(DisplayChangeTest, AChangeToWhatAViewDrawsMovesTheDisplayGeneration) {
  testsupport::ScreenScope screen(ui::DeviceProfile::phone(1));
  auto root = std::make_shared<ui::ViewController>()->init();
  root->view()->setBackgroundColor(ui::Color::whiteColor());
  auto window = screen.showWindow(root);
  std::shared_ptr<ui::View> view;
  auto change = GetParam().make(view);
  ASSERT_TRUE(view);
  view->setFrame({20, 40, view->frame().width(), view->frame().height()});
  root->view()->addSubview(view);
  window->layoutIfNeeded();
  auto before = ui::renderView(window, 1);

  const auto generation = cg::displayGeneration();
  change();
  window->layoutIfNeeded();
  EXPECT_NE(cg::displayGeneration(), generation);
  EXPECT_FALSE(samePixels(before, ui::renderView(window, 1))) << "the case changes nothing drawn";
}

template <class V>
std::shared_ptr<V> sized(cg::Size size) {
  return std::make_shared<V>()->initWithFrame({0, 0, size.width, size.height});
}

class Wheel : public ui::PickerViewDataSource, public ui::PickerViewDelegate {
 public:
  int numberOfComponentsInPickerView(ui::PickerView&) override { return 1; }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int) override { return 5; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int) override {
    return "row " + std::to_string(row);
  }
};

INSTANTIATE_TEST_SUITE_P(
    Setters, DisplayChangeTest,
    ::testing::Values(
        ChangeCase{"label_text",
                   [](auto& view) {
                     auto label = sized<ui::Label>({200, 30});
                     view = label;
                     return [label] { label->setText("Фильмы"); };
                   }},
        ChangeCase{"label_colour",
                   [](auto& view) {
                     auto label = sized<ui::Label>({200, 30});
                     label->setText("Фильмы");
                     view = label;
                     return [label] { label->setTextColor(ui::Color::redColor()); };
                   }},
        ChangeCase{"image_arrives",
                   [](auto& view) {
                     auto image = sized<ui::ImageView>({20, 20});
                     view = image;
                     return [image] { image->setImage(ui::Image::imageNamed("starIphone_blue.png")); };
                   }},
        ChangeCase{"progress",
                   [](auto& view) {
                     auto bar = sized<ui::ProgressView>({200, 9});
                     view = bar;
                     return [bar] { bar->setProgress(0.5f); };
                   }},
        ChangeCase{"slider_value",
                   [](auto& view) {
                     auto slider = sized<ui::Slider>({200, 23});
                     view = slider;
                     return [slider] { slider->setValue(0.8f); };
                   }},
        ChangeCase{"search_text",
                   [](auto& view) {
                     auto field = sized<ui::SearchBar>({250, 44});
                     view = field;
                     return [field] { field->setText("поезд"); };
                   }},
        ChangeCase{"search_takes_the_keyboard",
                   [](auto& view) {
                     auto field = sized<ui::SearchBar>({250, 44});
                     view = field;
                     return [field] { field->becomeFirstResponder(); };
                   }},
        ChangeCase{"caret_blinks",
                   [](auto& view) {
                     auto field = sized<ui::SearchBar>({250, 44});
                     field->becomeFirstResponder();
                     ui::setCaretBlinkOn(true);
                     view = field;
                     return [] { ui::setCaretBlinkOn(false); };
                   }},
        ChangeCase{"text_view_text",
                   [](auto& view) {
                     auto editor = sized<ui::TextView>({250, 80});
                     view = editor;
                     return [editor] { editor->setText("Tom & Jerry"); };
                   }},
        ChangeCase{"picker_row",
                   [](auto& view) {
                     auto picker = sized<ui::PickerView>({280, 216});
                     static auto wheel = std::make_shared<Wheel>();
                     picker->setDelegate(wheel);
                     picker->setDataSource(wheel);
                     view = picker;
                     return [picker] { picker->selectRowInComponent(3, 0, false); };
                   }},
        ChangeCase{"toolbar_translucent",
                   [](auto& view) {
                     auto bar = sized<ui::Toolbar>({280, 44});
                     view = bar;
                     return [bar] { bar->setTranslucent(true); };
                   }},
        ChangeCase{"cell_checkmark",
                   [](auto& view) {
                     auto cell = std::make_shared<ui::TableViewCell>()->initWithStyle(
                         ui::TableViewCellStyle::defaultStyle, "cell");
                     cell->setFrame({0, 0, 280, 44});
                     view = cell;
                     return [cell] { cell->setAccessoryType(ui::TableViewCellAccessoryType::checkmark); };
                   }},
        ChangeCase{"spinner_starts",
                   [](auto& view) {
                     auto spinner =
                         std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
                             ui::ActivityIndicatorViewStyle::gray);
                     view = spinner;
                     return [spinner] { spinner->startAnimating(); };
                   }},
        ChangeCase{"shape_layer_colour",
                   [](auto& view) {
                     auto host = sized<ui::View>({40, 40});
                     auto shape = std::make_shared<cg::ShapeLayer>();
                     shape->setFrame({0, 0, 40, 40});
                     shape->setPath(cg::Path::roundedRect({0, 0, 40, 40}, 8));
                     host->layer()->addSublayer(shape);
                     view = host;
                     return [shape] { shape->setFillColor(cg::Color::rgba(1, 0, 0)); };
                   }},
        ChangeCase{"network_activity_in_the_status_bar",
                   [](auto& view) {
                     view = sized<ui::View>({10, 10});
                     return [] {
                       ui::Application::sharedApplication()->setNetworkActivityIndicatorVisible(true);
                     };
                   }},
        ChangeCase{"status_bar_style",
                   [](auto& view) {
                     view = sized<ui::View>({10, 10});
                     return [] {
                       ui::Application::sharedApplication()->setStatusBarStyle(
                           ui::StatusBarStyle::blackOpaque);
                     };
                   }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
