#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "UIKit/SearchBar.h"
#include "UIKit/ViewRenderer.h"
#include "UIKit/Window.h"
#include "support/TempDir.h"

namespace {

struct WindowCase {
  const char* device;
  const char* menuButton;  // a script's way to the menu button
  const char* menuView;
  int width, height;  // the window in pixels
};

class WindowTest : public testsupport::ClientServiceSuite, public ::testing::WithParamInterface<WindowCase> {
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
  std::optional<std::string> previousDriver_;
};

std::shared_ptr<ui::View> find(const std::string& line) {
  std::vector<ScriptStep> steps;
  std::string error;
  if (!parseScript(line, steps, error) || steps.empty()) return nullptr;
  return findScriptView(ui::Window::keyWindow(), steps[0]);
}

// The mouse goes down and up at the centre of a view, in window pixels.
void click(ClientWindowHost& host, const std::shared_ptr<ui::View>& view, double scale) {
  cg::Point p = view->convertPointToView(view->bounds().center(), ui::Window::keyWindow().get());
  host.postMouse(ClientWindowHost::Mouse::down, p.x * scale, p.y * scale);
  host.postMouse(ClientWindowHost::Mouse::up, p.x * scale, p.y * scale);
}

TEST_P(WindowTest, MouseOpensTheMenuAKeyTypesIntoTheSearchFieldAndTheWindowShowsWhatThePNGRendererDraws) {
  testsupport::TempDir folder;
  std::ofstream(folder.file("wait.vcc")) << "wait\n";
  ClientProgram program;
  ASSERT_FALSE(program.configure({"--window", "--device", GetParam().device, "--host", server_->hostAndPort(),
                                  "--script", folder.file("wait.vcc"), "--out", folder.str(), "--time-limit", "300"}));
  auto host = program.window();
  ASSERT_TRUE(host);
  const double scale = program.options().device.scale;

  bool settled = false;
  program.session()->setStepObserver([&] { settled = true; });
  enum { waiting, menuAsked, fieldAsked, typed, done } phase = waiting;
  std::shared_ptr<ui::SearchBar> field;
  int width = 0, height = 0;
  std::vector<std::uint32_t> shown;
  cg::ImagePtr drawn;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  host->setFrameObserver([&] {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the window session did not get through its steps";
      phase = done;
      host->postClose();
    }
    switch (phase) {
      case waiting:
        if (!settled) return;
        if (auto button = find(std::string("tap ") + GetParam().menuButton)) {
          click(*host, button, scale);
          phase = menuAsked;
        }
        return;
      case menuAsked: {
        auto menu = find(std::string("tap ") + GetParam().menuView);
        field = std::dynamic_pointer_cast<ui::SearchBar>(find("tap SearchBar"));
        if (!menu || !field) return;
        click(*host, field, scale);
        phase = fieldAsked;
        return;
      }
      case fieldAsked:
        if (!field->isFirstResponder()) return;
        host->postText("поезд");
        phase = typed;
        return;
      case typed:
        if (field->text() != "поезд") return;
        // The frame has drawn the tree as it is now.
        host->readPixels(width, height, shown);
        drawn = ui::renderView(ui::Window::keyWindow(), scale);
        phase = done;
        host->postClose();
        return;
      case done:
        return;
    }
  });
  char name[] = "vcc";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(
      0, ui::applicationMain(1, argv, "", ns::ClassRegistry::shared().registerClassIfNeeded<AppDelegate>()));

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
    ::testing::Values(WindowCase{"tablet", "Button \"Навигация\"", "TLMenuView", 768, 1024},
                      WindowCase{"phone", "Button \"menuBtIphone.png\"", "TLMenuView_iphone", 640, 960}),
    [](const auto& p) { return std::string(p.param.device); });

}  // namespace
