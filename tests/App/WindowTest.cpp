#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "ClientTestSupport.h"
#include "UIKit/PickerView.h"
#include "UIKit/ScrollView.h"
#include "UIKit/SearchBar.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/TempDir.h"

namespace {

// The client in its window through SDL's offscreen driver, driven a frame at a time: each stage
// runs at every frame until it says it is done, then the next; after the last the window closes.
class WindowSuite : public testsupport::ClientServiceSuite {
 protected:
  void SetUp() override {
    ClientServiceSuite::SetUp();
    if (const char* old = getenv("SDL_VIDEODRIVER")) previousDriver_ = old;
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  }
  void TearDown() override {
    if (previousDriver_)
      setenv("SDL_VIDEODRIVER", previousDriver_->c_str(), 1);
    else
      unsetenv("SDL_VIDEODRIVER");
    ClientServiceSuite::TearDown();
  }

  using Stage = std::function<bool()>;

  // Runs the client on the device with the window at the scale, the stages once it has settled.
  void run(const std::string& device, const std::string& scale, std::vector<Stage> stages) {
    testsupport::TempDir folder;
    std::ofstream(folder.file("wait.vcc")) << "wait\n";
    ClientProgram program;
    ASSERT_FALSE(program.configure({"--window", "--device", device, "--host", server_->hostAndPort(),
                                    "--script", folder.file("wait.vcc"), "--out", folder.str(),
                                    "--time-limit", "300", "--scale", scale}));
    host_ = program.window();
    ASSERT_TRUE(host_);
    pixelsPerPoint_ = program.options().device.scale * host_->windowScale();
    bool settled = false;
    program.session()->setStepObserver([&] { settled = true; });
    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    host_->setFrameObserver([&] {
      if (next > stages.size()) return;
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the window session stopped at stage " << next;
        next = stages.size() + 1;
        host_->postClose();
        return;
      }
      if (!settled || (next < stages.size() && !stages[next]())) return;
      if (++next == stages.size()) {
        next = stages.size() + 1;
        host_->postClose();
      }
    });
    char name[] = "vcc";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(0, ui::applicationMain(1, argv, "",
                                     ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>()));
    EXPECT_EQ(next, stages.size() + 1) << "every stage ran";
  }

  static std::shared_ptr<ui::View> find(const std::string& target) {
    std::vector<ScriptStep> steps;
    std::string error;
    if (!parseScript("tap " + target, steps, error) || steps.empty()) return nullptr;
    return findScriptView(ui::Window::keyWindow(), steps[0]);
  }
  // A point of the window, in the window's pixels.
  cg::Point pixels(cg::Point point) const { return {point.x * pixelsPerPoint_, point.y * pixelsPerPoint_}; }
  cg::Point centre(const std::shared_ptr<ui::View>& view) const {
    return pixels(view->convertPointToView(view->bounds().center(), ui::Window::keyWindow().get()));
  }
  void click(cg::Point at) {
    host_->postMouse(ClientWindowHost::Mouse::down, at.x, at.y);
    host_->postMouse(ClientWindowHost::Mouse::up, at.x, at.y);
  }
  // The mouse pressed at a point, moved by the distance in steps, released.
  void drag(cg::Point from, cg::Point by) {
    host_->postMouse(ClientWindowHost::Mouse::down, from.x, from.y);
    for (int i = 1; i <= 8; ++i)
      host_->postMouse(ClientWindowHost::Mouse::move, from.x + by.x * i / 8, from.y + by.y * i / 8);
    host_->postMouse(ClientWindowHost::Mouse::up, from.x + by.x, from.y + by.y);
  }

  std::shared_ptr<ClientWindowHost> host_;
  double pixelsPerPoint_ = 1;
  std::optional<std::string> previousDriver_;
};

struct WindowCase {
  const char* device;
  const char* scale;
  const char* menuButton;  // a script's way to the menu button
  const char* menuView;
  int width, height;  // the window in pixels
};

class WindowTest : public WindowSuite, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowTest, ClicksOpenTheMenuKeysTypeIntoTheSearchFieldAndTheWindowShowsWhatThePNGRendererDraws) {
  std::shared_ptr<ui::SearchBar> field;
  int width = 0, height = 0;
  std::vector<std::uint32_t> shown;
  cg::ImagePtr drawn;
  run(GetParam().device, GetParam().scale,
      {[&] {
         // Clicked where it is drawn, at the window's scale.
         auto button = find(GetParam().menuButton);
         if (button) click(centre(button));
         return button != nullptr;
       },
       [&] {
         field = std::dynamic_pointer_cast<ui::SearchBar>(find("SearchBar"));
         if (!find(GetParam().menuView) || !field) return false;
         click(centre(field));
         return true;
       },
       [&] {
         if (!field->isFirstResponder()) return false;
         host_->postText("поездк");
         host_->postKey(ClientWindowHost::Key::backspace);
         return true;
       },
       [&] {
         if (field->text() != "поезд") return false;
         // The frame has drawn the tree as it is now, as the screen shows it at the frame's moment,
         // the keyboard and the status bar over it.
         host_->readPixels(width, height, shown);
         drawn = ui::renderView(ui::Window::keyWindow(),
                                ui::RenderOptions{pixelsPerPoint_, host_->lastFrameTime()});
         return true;
       }});
  ASSERT_TRUE(drawn);
  EXPECT_EQ(GetParam().width, width);
  EXPECT_EQ(GetParam().height, height);
  ASSERT_EQ(static_cast<std::size_t>(drawn->pixelWidth()) * drawn->pixelHeight(), shown.size());
  std::size_t different = 0;
  for (std::size_t i = 0; i < shown.size(); ++i)
    different += (shown[i] | 0xFF000000u) != (drawn->pixels()[i] | 0xFF000000u);
  EXPECT_EQ(0u, different) << "pixels the window shows otherwise than the renderer draws";
}

INSTANTIATE_TEST_SUITE_P(
    Devices, WindowTest,
    ::testing::Values(WindowCase{"tablet", "1", "Button \"Навигация\"", "TLMenuView", 768, 1024},
                      // A window smaller than the device: the phone's 2x picture at 75 %.
                      WindowCase{"phone", "0.75", "Button \"menuBtIphone.png\"", "TLMenuView_iphone", 480,
                                 720}),
    [](const auto& p) { return std::string(p.param.device); });

struct Answers : ui::AlertViewDelegate {
  std::vector<int> buttons;
  void alertViewClickedButtonAtIndex(ui::AlertView&, int index) override { buttons.push_back(index); }
};

class WindowAlertTest : public WindowSuite {};

TEST_F(WindowAlertTest, AnAlertTakesEveryClickAndItsButtonsAndKeysAnswerIt) {
  auto answers = std::make_shared<Answers>();
  std::shared_ptr<ui::AlertView> alert;
  std::shared_ptr<ui::View> menuButton;
  std::shared_ptr<ui::View> ok;
  run("tablet", "1",
      {[&] {
         alert = std::make_shared<ui::AlertView>()->initWithTitle("Ошибка", "Нет соединения", answers, "OK",
                                                                  {"Повторить"});
         alert->show();
         // A click on the menu button beneath it reaches nothing.
         menuButton = find("Button \"Навигация\"");
         click(centre(menuButton));
         return true;
       },
       [&] {
         EXPECT_TRUE(alert->isVisible());
         EXPECT_EQ(find("TLMenuView"), nullptr) << "the menu did not open";
         ok = find("Button \"OK\"");
         if (!ok) return false;
         click(centre(ok));
         return true;
       },
       [&] {
         if (alert->isVisible()) return false;
         EXPECT_EQ(answers->buttons, (std::vector<int>{0}));
         // Return picks the other button, Escape the cancel button.
         alert->show();
         host_->postKey(ClientWindowHost::Key::returnKey);
         return true;
       },
       [&] {
         if (alert->isVisible()) return false;
         alert->show();
         host_->postKey(ClientWindowHost::Key::escape);
         return true;
       },
       [&] { return !alert->isVisible(); }});
  EXPECT_EQ(answers->buttons, (std::vector<int>{0, 1, 0}));
}

class WindowScrollTest : public WindowSuite {};

TEST_F(WindowScrollTest, DragsGoTheWayTheyStartAndTheWheelScrollsTheViewUnderThePointer) {
  std::shared_ptr<TLRubricScrollViewBase> row;
  std::shared_ptr<ui::ScrollView> page;
  double rowX = 0;
  run("tablet", "1",
      {[&] {
         row = std::dynamic_pointer_cast<TLRubricScrollViewBase>(find("TLRubricScrollView"));
         if (!row) return false;
         for (auto v = row->superview(); v && !page; v = v->superview())
           if (auto scroll = std::dynamic_pointer_cast<ui::ScrollView>(v);
               scroll && scroll->canScrollVertically())
             page = scroll;
         EXPECT_TRUE(page);
         if (!page) return true;
         // Mostly up, starting on the row: the page scrolls.
         drag(centre(row), {20, -300});
         return true;
       },
       [&] {
         if (!page || page->isDragging() || page->isDecelerating()) return false;
         EXPECT_GT(page->contentOffset().y, 200);
         EXPECT_EQ(row->scrollView()->contentOffset().x, 0) << "the row stays";
         rowX = row->scrollView()->contentOffset().x;
         // Sideways on the row: the row moves, the page does not.
         drag(centre(row), {-300, 20});
         return true;
       },
       [&] {
         if (row->scrollView()->isDecelerating()) return false;
         EXPECT_GT(row->scrollView()->contentOffset().x, rowX);
         // The wheel over the row, turned towards the user: the page goes on down, to its end at most.
         for (int i = 0; i < 400; ++i) host_->postWheel(centre(row).x, centre(row).y, 0, -1);
         return true;
       },
       [&] {
         // Once the wheel has rested the page settles at its end.
         if (page->contentOffset().y != page->maximumContentOffset().y) return false;
         for (int i = 0; i < 400; ++i) host_->postWheel(10, 500, 0, 1);
         return true;
       },
       [&] { return page->contentOffset().y == 0; }});
}

// Twenty rows a wheel, two wheels; hears where they rest.
struct PickerRows final : ui::PickerViewDataSource, ui::PickerViewDelegate {
  std::vector<std::pair<int, int>> picked;
  int numberOfComponentsInPickerView(ui::PickerView&) override { return 2; }
  int pickerViewNumberOfRowsInComponent(ui::PickerView&, int) override { return 20; }
  std::optional<std::string> pickerViewTitleForRowForComponent(ui::PickerView&, int row, int) override {
    return std::to_string(row);
  }
  void pickerViewDidSelectRowInComponent(ui::PickerView&, int row, int c) override {
    picked.emplace_back(c, row);
  }
};

class WindowPickerTest : public WindowSuite, public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowPickerTest, TheMouseDragsClicksAndWheelsEachWheelOnItsOwn) {
  auto rows = std::make_shared<PickerRows>();
  std::shared_ptr<ui::PickerView> picker;
  // A point of the window over a wheel, rows below the middle band's middle, in pixels.
  auto over = [&](int component, double rowsBelow) {
    double x = component == 0 ? 75 : 205;
    double y = 108 + rowsBelow * ui::PickerView::kRowHeight;
    return pixels(picker->convertPointToView(cg::Point{x, y}, ui::Window::keyWindow().get()));
  };
  auto resting = [&] { return !picker->isComponentMoving(0) && !picker->isComponentMoving(1); };
  run(GetParam(), "1",
      {[&] {
         picker = std::make_shared<ui::PickerView>()->initWithFrame({20, 100, 280, 216});
         picker->setDelegate(rows);
         picker->setDataSource(rows);
         ui::Window::keyWindow()->addSubview(picker);
         // Two rows up: the events come too close together to tell a speed, but a slow machine
         // may space them, so the wheel goes at least that far.
         drag(over(0, 0), {0, -88 * pixelsPerPoint_});
         return true;
       },
       [&] {
         if (!resting() || rows->picked.empty()) return false;
         EXPECT_EQ(rows->picked.size(), 1u) << "told once";
         EXPECT_GE(picker->selectedRowInComponent(0), 2);
         EXPECT_EQ(picker->selectedRowInComponent(1), 0);
         rows->picked.clear();
         click(over(1, 2));
         return true;
       },
       [&] {
         if (!resting() || rows->picked.empty()) return false;
         EXPECT_EQ(rows->picked, (std::vector<std::pair<int, int>>{{1, 2}}));
         rows->picked.clear();
         // Two notches turned towards the user: two rows on.
         host_->postWheel(over(1, 0).x, over(1, 0).y, 0, -1);
         host_->postWheel(over(1, 0).x, over(1, 0).y, 0, -1);
         return true;
       },
       [&] {
         if (!resting() || rows->picked.empty()) return false;
         EXPECT_EQ(rows->picked, (std::vector<std::pair<int, int>>{{1, 4}}));
         return true;
       }});
}

INSTANTIATE_TEST_SUITE_P(Devices, WindowPickerTest, ::testing::Values("tablet", "phone"),
                         [](const auto& p) { return std::string(p.param); });

}  // namespace
