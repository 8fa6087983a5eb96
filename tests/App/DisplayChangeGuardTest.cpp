// The window draws only when the display generation moves, so every change to what the pages
// show must move it. The clients walk their pages while each turn of the main run loop compares
// the key window's dump with the one before: whenever it changed, the generation must have moved.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ClientTestSupport.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Layer.h"
#include "UIKit/ViewDump.h"
#include "UIKit/Window.h"
#include "support/TempDir.h"

namespace {

struct WalkCase {
  const char* name;
  const char* device;
  const char* script;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

// The first line in which two dumps differ, as "before" / "after".
std::string firstDifference(const std::string& before, const std::string& after) {
  std::istringstream a(before), b(after);
  std::string x, y;
  for (;;) {
    bool moreA = bool(std::getline(a, x)), moreB = bool(std::getline(b, y));
    if (!moreA) x.clear();
    if (!moreB) y.clear();
    if (x != y || (!moreA && !moreB)) return "before: " + x + "\nafter:  " + y;
  }
}

class DisplayChangeGuardTest : public testsupport::ClientServiceSuite,
                               public ::testing::WithParamInterface<WalkCase> {};

TEST_P(DisplayChangeGuardTest, EveryChangeToTheTreeMovesTheDisplayGeneration) {
  const WalkCase& c = GetParam();
  testsupport::TempDir out;
  std::string last;
  std::uint64_t lastGeneration = 0;
  std::vector<std::string> missed;
  std::size_t looks = 0, changes = 0;
  auto loop = ns::RunLoop::mainRunLoop();
  auto observer = loop->addBeforeWaitingObserver([&] {
    auto window = ui::Window::keyWindow();
    if (!window) return;
    const auto generation = cg::displayGeneration();
    std::string dump = ui::dumpViewTree(window);
    ++looks;
    if (!last.empty() && dump != last) {
      ++changes;
      if (generation == lastGeneration && missed.size() < 5) missed.push_back(firstDifference(last, dump));
    }
    last = std::move(dump);
    // Read after the dump, which takes the application's status-bar state as drawing would.
    lastGeneration = cg::displayGeneration();
  });
  const int exitCode = testsupport::runClientInProcess(
      {"--headless", "--device", c.device, "--host", server_->hostAndPort(), "--out", out.str(), "--script",
       std::string(VCC_SCRIPTS_DIR) + "/" + c.script, "--time-limit", "300"});
  loop->removeBeforeWaitingObserver(observer);
  EXPECT_EQ(exitCode, 0);
  EXPECT_GT(changes, 10u) << "the walk changed the pages (" << looks << " looks)";
  for (const auto& line : missed) ADD_FAILURE() << "the tree changed, the generation did not:\n" << line;
}

INSTANTIATE_TEST_SUITE_P(Walks, DisplayChangeGuardTest,
                         ::testing::Values(WalkCase{"tablet", "tablet", "walk-tablet.vcc"},
                                           WalkCase{"phone", "phone", "walk-phone.vcc"},
                                           WalkCase{"category_tablet", "tablet", "category-tablet.vcc"},
                                           WalkCase{"category_phone", "phone", "category-phone.vcc"},
                                           WalkCase{"title_sections_phone", "phone", "title-sections.vcc"}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
