// A rubric row as the home page shows it, loaded from the sample service.
#include "RowScenes.h"

#include <chrono>

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Classes/TLSettings.h"
#include "Classes/iphone/MainPage/TLRubricScrollView_iphone.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "SampleServer.h"
#include "UIKit/Device.h"
#include "UIKit/Image.h"

namespace scenes {

namespace {

struct Loaded final : ns::Object, TLRubricScrollViewDelegate, TLRubricScrollViewDelegateIphone {
  bool done = false;
  void rubricViewDidLoadWithScrollView(bool, const std::shared_ptr<TLRubricScrollView>&) override {
    done = true;
  }
  void rubricViewDidLoadWithScrollView(bool, const std::shared_ptr<TLRubricScrollView_iphone>&) override {
    done = true;
  }
};

bool postersShown(const std::shared_ptr<ui::ScrollView>& scroll) {
  if (!scroll || scroll->subviews().empty()) return false;
  for (const auto& v : scroll->subviews())
    if (auto tile = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(v))
      if (!tile->imageBt()->backgroundImageForState(ui::ControlStateNormal)) return false;
  return true;
}

// Spins the main run loop until the condition holds or ten seconds have passed.
void spinUntil(const std::function<bool()>& condition) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition() && std::chrono::steady_clock::now() < until)
    ns::RunLoop::currentRunLoop()->runOnce(0.05);
}

}  // namespace

std::shared_ptr<ui::View> homeRubricRow() {
  sampleservice::Server server;
  server.start();
  // Headings name the category from the cached category list.
  ns::Array categories;
  for (const auto& c : server.catalogue().categories())
    categories.push_back(ns::Dictionary{{"id", c.id}, {"title", c.title}, {"url", ""}});
  ns::writePropertyListToFile(ns::Value(categories), TLSettings::cashedCategoriesFile());
  auto url = ns::URL::URLWithString(
      server.url("/api/mobile?platform=ios&method=get_category&category_id=1&popular_quantity=15"));

  bool phone = !ui::isPad();
  cg::Rect frame = phone ? cg::Rect{0, 0, 320, 320} : cg::Rect{0, 0, 1024, 410};
  auto root = std::make_shared<ui::View>()->initWithFrame(frame);
  if (auto bg = ui::Image::imageNamed("background.png"))
    root->setBackgroundColor(ui::Color::colorWithPatternImage(bg));
  auto loaded = std::make_shared<Loaded>();
  auto load = [&](auto row) {
    row->setRubricDelegate(loaded);
    root->addSubview(row);
    row->start();
    spinUntil([&] { return loaded->done; });
    return row->scrollView();
  };
  auto scroll =
      phone
          ? load(std::make_shared<TLRubricScrollView_iphone>()->initForMainPageWithUrl(url, frame, "popular"))
          : load(std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(url, frame, "popular"));
  spinUntil([&] { return postersShown(scroll); });
  return root;
}

}  // namespace scenes
