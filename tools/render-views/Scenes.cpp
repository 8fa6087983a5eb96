#include "Scenes.h"

#include <chrono>

#include "CategoryScenes.h"
#include "Classes/AKActivityButton.h"
#include "Classes/MainPage/CustomPageControl.h"
#include "Classes/MainPage/StarRatingView.h"
#include "Classes/SegmentedBTN/CustomSegmentedControl.h"
#include "FacebookScenes.h"
#include "Foundation/RunLoop.h"
#include "HomeScenes.h"
#include "Media/PlayerLayer.h"
#include "MenuScenes.h"
#include "PlayerBarScenes.h"
#include "PlayerControllerScenes.h"
#include "RowScenes.h"
#include "SampleServer.h"
#include "SearchScenes.h"
#include "ShareScenes.h"
#include "UIKit/Image.h"
#include "UIKit/ViewRenderer.h"

namespace scenes {

namespace {

std::shared_ptr<ui::View> backdrop(double w, double h) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, w, h});
  root->setBackgroundColor(ui::Color::colorWithWhite(0.12, 1));
  return root;
}

std::shared_ptr<ui::View> activityButtons() {
  auto root = backdrop(120, 64);
  for (int i = 0; i < 2; ++i) {
    auto b = AKActivityButton::buttonWithType(ui::ButtonType::custom);
    b->setFrame({10 + 56.0 * i, 10, 44, 44});
    b->setImage(ui::Image::imageNamed("reloadBt"));
    b->setActivitiImage(ui::Image::imageNamed("reloadBtBg"));
    if (i == 1) b->startAnimating();
    root->addSubview(b);
  }
  return root;
}

std::shared_ptr<ui::View> segmentedControl() {
  auto root = backdrop(302, 58);
  auto control = std::make_shared<CustomSegmentedControl>()->initWithSegmentCount(
      3, ns::Array{"Популярные", "Новые", ns::Value::null()},
      ns::Array{ns::Value::null(), ns::Value::null(), ns::Value::null()}, 38, ns::Array{110, 90, 80},
      ui::Image::imageNamed("black_divider"), 10, ui::Image::imageNamed("segment_button"),
      ui::Image::imageNamed("segment_button_pressed"), 9000, {});
  control->setFont(ui::Font::fontWithName("PF Square Sans Pro", 16));
  control->setCenter({151, 29});
  root->addSubview(control);
  return root;
}

std::shared_ptr<ui::View> starRatings() {
  auto root = backdrop(140, 86);
  int ratings[] = {0, 3, 5};
  for (int i = 0; i < 3; ++i) {
    auto stars = std::make_shared<StarRatingView>()->initBigStyleWithFrame({10, 6 + 24.0 * i, 0, 0});
    stars->setRating(ratings[i]);
    root->addSubview(stars);
  }
  auto small = std::make_shared<StarRatingView>()->initSmallStyleWithFrame({10, 76 - 4, 0, 0});
  small->setRating(4);
  root->addSubview(small);
  return root;
}

std::shared_ptr<ui::View> pageControl() {
  auto root = backdrop(120, 36);
  auto dots = std::make_shared<CustomPageControl>()->initWithFrame({10, 0, 100, 36});
  dots->setNumberOfPages(5);
  dots->setCurrentPage(2);
  root->addSubview(dots);
  return root;
}

// A view backed by a player layer, as the player's own view is.
class PlayerView final : public ui::View {
 public:
  PlayerView() : ui::View(ui::layerClassOf<av::PlayerLayer>()) {}
  av::PlayerLayer& playerLayer() const { return static_cast<av::PlayerLayer&>(*layer()); }
};

// Spins the main run loop until the condition holds or half a minute has passed.
bool spinUntil(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    ns::RunLoop::currentRunLoop()->runOnce(0.05);
  }
  return true;
}

// The programme's stream from an in-process sample service, paused at a time.
std::shared_ptr<ui::View> playerAt(double seconds) {
  static auto server = [] {
    auto s = std::make_unique<sampleservice::Server>();
    s->start();
    return s;
  }();
  auto url = ns::URL::URLWithString(server->url("/video/1001/index.m3u8"));
  auto item = av::PlayerItem::playerItemWithAsset(av::URLAsset::URLAssetWithURL(*url));
  auto player = av::Player::playerWithPlayerItem(item);
  auto root = backdrop(360, 220);
  auto view = std::make_shared<PlayerView>();
  view->initWithFrame({20, 20, 320, 180});
  view->setBackgroundColor(ui::Color::blackColor());
  view->playerLayer().setPlayer(player);
  root->addSubview(view);
  if (!spinUntil([&] { return item->status() != av::PlayerItemStatus::unknown; }) ||
      item->status() != av::PlayerItemStatus::readyToPlay)
    return nullptr;
  player->seekToTime(av::TimeMakeWithSeconds(seconds, 1'000'000'000));
  if (!spinUntil([&] { return view->playerLayer().isReadyForDisplay(); })) return nullptr;
  return root;
}

}  // namespace

const std::vector<Scene>& all() {
  static const std::vector<Scene> list = {
      {"activity-button", ui::DeviceProfile::tablet(), activityButtons},
      {"segmented-control", ui::DeviceProfile::tablet(), segmentedControl},
      {"star-rating", ui::DeviceProfile::tablet(), starRatings},
      {"page-control-pad", ui::DeviceProfile::tablet(), pageControl},
      {"page-control-phone", ui::DeviceProfile::phone(), pageControl},
      {"menu-pad", ui::DeviceProfile::tablet(), openMenuOverHomePage},
      {"menu-phone", ui::DeviceProfile::phone(), openMenuOverHomePage},
      {"home-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return homePage(ui::InterfaceOrientation::portrait); }},
      {"home-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return homePage(ui::InterfaceOrientation::landscapeLeft); }},
      {"home-phone", ui::DeviceProfile::phone(), [] { return homePage(ui::InterfaceOrientation::portrait); }},
      {"rubric-row-pad", ui::DeviceProfile::tablet(), homeRubricRow},
      {"rubric-row-phone", ui::DeviceProfile::phone(), homeRubricRow},
      {"facebook-login-pad", ui::DeviceProfile::tablet(), facebookLoginDialog},
      {"facebook-login-phone", ui::DeviceProfile::phone(), facebookLoginDialog},
      {"vkontakte-login-pad", ui::DeviceProfile::tablet(), vkontakteLoginSheet},
      {"vkontakte-login-phone", ui::DeviceProfile::phone(), vkontakteLoginSheet},
      {"vkontakte-editor-pad", ui::DeviceProfile::tablet(), vkontakteEditorSheet},
      {"vkontakte-editor-phone", ui::DeviceProfile::phone(), vkontakteEditorSheet},
      {"facebook-editor-pad", ui::DeviceProfile::tablet(), facebookEditorSheet},
      {"facebook-editor-phone", ui::DeviceProfile::phone(), facebookEditorSheet},
      {"player-0s", ui::DeviceProfile::tablet(), [] { return playerAt(0); }},
      {"player-3s", ui::DeviceProfile::tablet(), [] { return playerAt(3); }},
      {"player-inline-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return inlinePlayerBar(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-inline-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return inlinePlayerBar(ui::InterfaceOrientation::portrait); }},
      {"player-inline-phone", ui::DeviceProfile::phone(),
       [] { return inlinePlayerBar(ui::InterfaceOrientation::portrait); }},
      {"player-inline-phone568", ui::DeviceProfile::phoneTall(),
       [] { return inlinePlayerBar(ui::InterfaceOrientation::portrait); }},
      {"player-fullscreen-adv-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-fullscreen-adv-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation::portrait); }},
      {"player-fullscreen-adv-phone", ui::DeviceProfile::phone(),
       [] { return fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-fullscreen-adv-phone568", ui::DeviceProfile::phoneTall(),
       [] { return fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-fullscreen-loading-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return fullscreenBarsLoading(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-fullscreen-loading-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return fullscreenBarsLoading(ui::InterfaceOrientation::portrait); }},
      {"player-fullscreen-loading-phone", ui::DeviceProfile::phone(),
       [] { return fullscreenBarsLoading(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-fullscreen-loading-phone568", ui::DeviceProfile::phoneTall(),
       [] { return fullscreenBarsLoading(ui::InterfaceOrientation::landscapeLeft); }},
      {"player-start-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return playerStartButton(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-start-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return playerStartButton(ui::InterfaceOrientation::landscapeLeft); }, endPlayerScene},
      {"player-start-phone", ui::DeviceProfile::phone(),
       [] { return playerStartButton(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-advertisement-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return playerAdvertisement(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-advertisement-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return playerAdvertisement(ui::InterfaceOrientation::landscapeLeft); }, endPlayerScene},
      {"player-advertisement-phone", ui::DeviceProfile::phone(),
       [] { return playerAdvertisement(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-programme-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return playerProgrammeInline(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-programme-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return playerProgrammeInline(ui::InterfaceOrientation::landscapeLeft); }, endPlayerScene},
      {"player-fullscreen-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return playerFullscreen(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-fullscreen-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return playerFullscreen(ui::InterfaceOrientation::landscapeLeft); }, endPlayerScene},
      {"player-fullscreen-phone", ui::DeviceProfile::phone(),
       [] { return playerFullscreen(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"player-vkontakte-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return playerVkontakteSheet(ui::InterfaceOrientation::landscapeLeft); }, endPlayerScene},
      {"player-vkontakte-phone", ui::DeviceProfile::phone(),
       [] { return playerVkontakteSheet(ui::InterfaceOrientation::portrait); }, endPlayerScene},
      {"category-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return categoryPage(ui::InterfaceOrientation::portrait, CategoryExtra::none); }},
      {"category-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return categoryPage(ui::InterfaceOrientation::landscapeLeft, CategoryExtra::none); }},
      {"category-pad-genres", ui::DeviceProfile::tablet(),
       [] { return categoryPage(ui::InterfaceOrientation::portrait, CategoryExtra::genres); }},
      {"category-pad-years-landscape", ui::DeviceProfile::tablet(),
       [] { return categoryPage(ui::InterfaceOrientation::landscapeLeft, CategoryExtra::years); }},
      {"category-pad-nothing-found", ui::DeviceProfile::tablet(),
       [] { return categoryPage(ui::InterfaceOrientation::portrait, CategoryExtra::nothingFound); }},
      {"search-pad-portrait", ui::DeviceProfile::tablet(),
       [] { return searchPage("город", ui::InterfaceOrientation::portrait); }},
      {"search-pad-landscape", ui::DeviceProfile::tablet(),
       [] { return searchPage("город", ui::InterfaceOrientation::landscapeLeft); }},
      {"search-phone", ui::DeviceProfile::phone(),
       [] { return searchPage("город", ui::InterfaceOrientation::portrait); }},
      {"search-phone-nothing", ui::DeviceProfile::phone(),
       [] { return searchPage("zzzzzz", ui::InterfaceOrientation::portrait); }},
      {"category-phone", ui::DeviceProfile::phone(), [] { return phoneCategoryPage(false); }},
      {"category-phone-panel", ui::DeviceProfile::phone(), [] { return phoneCategoryPage(true); }},
      {"picker-overlay", ui::DeviceProfile::phone(), dressedPicker},
  };
  return list;
}

const Scene* find(const std::string& name) {
  for (const Scene& s : all())
    if (s.name == name) return &s;
  return nullptr;
}

bool renderScene(const Scene& scene, const std::string& path) {
  ui::DeviceProfile previous = ui::Device::setProfile(scene.device);
  bool ok = false;
  {
    auto root = scene.build();
    ok = root && ui::renderViewToPNG(root, path, scene.device.scale);
  }
  if (scene.finish) scene.finish();
  ui::Device::setProfile(previous);
  return ok;
}

}  // namespace scenes
