#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AKMoviePlayer/AKMovieLowerControllBar.h"
#include "AKMoviePlayer/AKMoviePreviewControllBar.h"
#include "AKMoviePlayer/AKMovieSocialControllBar.h"
#include "AKMoviePlayer/AKMovieUpperControllBar.h"
#include "Foundation/Format.h"
#include "Media/Time.h"
#include "UIKit/Application.h"
#include "UIKit/Device.h"

namespace testsupport {

using Log = std::vector<std::string>;

// One test's device and status-bar orientation; the application's settings are put back after.
class PlayerScreen {
 public:
  explicit PlayerScreen(const ui::DeviceProfile& profile = ui::DeviceProfile::tablet(),
                        ui::InterfaceOrientation orientation = ui::InterfaceOrientation::portrait)
      : previous_(ui::Device::setProfile(profile)) {
    ui::Application::sharedApplication()->reset();
    ui::Application::sharedApplication()->setStatusBarOrientation(orientation);
  }
  ~PlayerScreen() {
    ui::Application::sharedApplication()->reset();
    ui::Device::setProfile(previous_);
  }
  PlayerScreen(const PlayerScreen&) = delete;
  PlayerScreen& operator=(const PlayerScreen&) = delete;

 private:
  ui::DeviceProfile previous_;
};

// The player controller's part: writes every call of the four bars into one log.
class BarRecorder final : public ns::Object,
                          public AKMoviePreviewControllBarDelegate,
                          public AKMovieUpperControllBarDelegate,
                          public AKMovieLowerControllBarDelegate,
                          public AKMovieSocialControllBarDelegate {
 public:
  Log log;

  void AKMoviePreviewControllBarPlay(AKMoviePreviewControllBar& bar) override {
    log.push_back(std::string("play image=") + imageOf(*bar.playBt()));
  }
  void AKMoviePreviewControllBarPause(AKMoviePreviewControllBar& bar) override {
    log.push_back(std::string("pause image=") + imageOf(*bar.playBt()));
  }
  void AKMoviePreviewControllBarGoToFullscreen(AKMoviePreviewControllBar&) override {
    log.push_back("fullscreen");
  }
  void AKMoviePreviewControllBarBeginScrubbing(AKMoviePreviewControllBar&) override {
    log.push_back("begin");
  }
  void AKMoviePreviewControllBarScrub(AKMoviePreviewControllBar&, float) override { log.push_back("scrub"); }
  void AKMoviePreviewControllBarEndScrubbing(AKMoviePreviewControllBar&, float width) override {
    log.push_back(ns::format("end %g", double(width)));
  }

  void AKMovieUpperControllBarDone(AKMovieUpperControllBar&) override { log.push_back("done"); }
  void AKMovieUpperControllBarChangeVideoGravity(AKMovieUpperControllBar&,
                                                 const std::string& gravity) override {
    log.push_back(gravity);
  }
  void AKMovieUpperControllBarBeginScrubbing(AKMovieUpperControllBar&) override { log.push_back("begin"); }
  void AKMovieUpperControllBarScrub(AKMovieUpperControllBar&, float) override { log.push_back("scrub"); }
  void AKMovieUpperControllBarEndScrubbing(AKMovieUpperControllBar&, float width) override {
    log.push_back(ns::format("end %g", double(width)));
  }

  void AKMovieLowerControllBarPlay(AKMovieLowerControllBar& bar) override {
    log.push_back(ns::format("play tag=%d", bar.play()->tag()));
  }
  void AKMovieLowerControllBarPause(AKMovieLowerControllBar& bar) override {
    log.push_back(ns::format("pause tag=%d", bar.play()->tag()));
  }
  void AKMovieLowerControllBarBack30(AKMovieLowerControllBar&) override { log.push_back("back30"); }
  void AKMovieLowerControllBarPrevious(AKMovieLowerControllBar&) override { log.push_back("previous"); }
  void AKMovieLowerControllBarNext(AKMovieLowerControllBar&) override { log.push_back("next"); }
  void AKMovieLowerControllBarShowSocial(AKMovieLowerControllBar&) override { log.push_back("social"); }

  void AKMovieSocialControllBarFb(AKMovieSocialControllBar&) override { log.push_back("fb"); }
  void AKMovieSocialControllBarTw(AKMovieSocialControllBar&) override { log.push_back("tw"); }
  void AKMovieSocialControllBarVk(AKMovieSocialControllBar&) override { log.push_back("vk"); }

 private:
  static std::string imageOf(ui::Button& button) {
    auto image = button.imageForState(ui::ControlStateNormal);
    return image ? image->name() : "nil";
  }
};

// A root view for a bar to take touches in.
inline std::shared_ptr<ui::View> hostFor(const std::shared_ptr<ui::View>& bar, double w = 1100,
                                         double h = 1100) {
  auto root = std::make_shared<ui::View>()->initWithFrame({0, 0, w, h});
  root->addSubview(bar);
  return root;
}

inline av::Time seconds(double s) { return av::TimeMakeWithSeconds(s, 1'000'000'000); }

inline std::string imageName(const std::shared_ptr<ui::Image>& image) {
  return image ? image->name() : "nil";
}

}  // namespace testsupport
