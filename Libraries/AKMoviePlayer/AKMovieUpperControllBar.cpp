#include "AKMoviePlayer/AKMovieUpperControllBar.h"

#include "Media/PlayerLayer.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/BarButtonItem.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

namespace {

constexpr double kBarHeight = 44;
constexpr double kFadeDuration = 0.3;

// The bar's width for the device and the status bar's orientation.
double barWidth() {
  bool landscape = ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
  if (ui::isPad()) return landscape ? 1024 : 768;
  if (!landscape) return 320;
  return ui::Screen::mainScreen()->bounds().height() == 568 ? 568 : 480;
}

std::shared_ptr<ui::BarButtonItem> item(std::shared_ptr<ui::View> view) {
  return std::make_shared<ui::BarButtonItem>()->initWithCustomView(std::move(view));
}

}  // namespace

std::shared_ptr<AKMovieUpperControllBar> AKMovieUpperControllBar::initWithWidth(float) {
  bool pad = ui::isPad();
  double w = barWidth();
  initWithFrame({0, 10, w, kBarHeight});
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  auto me = self<AKMovieUpperControllBar>();

  // Made with the bar's own frame, so it sits 10 points below the bar's top edge.
  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame(frame());
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setAlpha(1.0);
  toolbar_->setBackgroundImage(ui::Image::imageNamed("AKMovieImages.bundle/toolbarBg"),
                               ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
  addSubview(toolbar_);

  std::vector<std::shared_ptr<ui::BarButtonItem>> items;
  if (!pad) {
    auto space = std::make_shared<ui::BarButtonItem>()->initWithBarButtonSystemItem(
        ui::BarButtonSystemItem::fixedSpace);
    space->setWidth(-5);
    items.push_back(space);
  }

  doneBt_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  doneBt_->setFrame(pad ? cg::Rect{0, 0, 68, 30} : cg::Rect{0, 0, 61, 30});
  doneBt_->setBackgroundImage(ui::Image::imageNamed(pad ? "tbBack" : "tmBackIphone"), ui::ControlStateNormal);
  doneBt_->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(12));
  doneBt_->titleLabel()->setShadowOffset({0, -1});
  // Done answers the finger going down, not its lifting.
  doneBt_->addTarget(me, &AKMovieUpperControllBar::doneAction, ui::ControlEventTouchDown);
  items.push_back(item(doneBt_));

  setCurrentTime(timeLabel({80, 12, 35, 20}, ui::TextAlignment::Right));
  items.push_back(item(currentTime()));

  makeScrubber({125, 11, w - 210 - (pad ? 45 : 25), 20});
  items.push_back(item(scrubber()));

  setLeftTime(timeLabel({w - 95, 12, 40, 20}, ui::TextAlignment::Left));
  leftTime()->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  items.push_back(item(leftTime()));

  videoSizeBt_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  videoSizeBt_->setFrame({0, 0, 43, 30});
  videoSizeBt_->setSelected(false);
  std::string suffix = pad ? "" : "_iPhone";
  videoSizeBt_->setBackgroundImage(
      ui::Image::imageNamed("AKMovieImages.bundle/videoGravityResizeAspect" + suffix),
      ui::ControlStateNormal);
  videoSizeBt_->setBackgroundImage(
      ui::Image::imageNamed("AKMovieImages.bundle/videoGravityResizeAspectFill" + suffix),
      ui::ControlStateSelected);
  videoSizeBt_->addTarget(me, &AKMovieUpperControllBar::changeVideoGravity, ui::ControlEventTouchDown);
  items.push_back(item(videoSizeBt_));

  toolbar_->setItems(std::move(items));
  return me;
}

void AKMovieUpperControllBar::widenTimeLabels(double played, double left) {
  // Widths only: the toolbar places the items.
  auto scrub = scrubber();
  if (played > 0) {
    cg::Rect f = currentTime()->frame();
    currentTime()->setFrame({f.x(), f.y(), f.width() + played, f.height()});
    cg::Rect s = scrub->frame();
    scrub->setFrame({s.x(), s.y(), s.width() - played, s.height()});
  }
  if (left > 0) {
    cg::Rect f = leftTime()->frame();
    leftTime()->setFrame({f.x(), f.y(), f.width() + left, f.height()});
    cg::Rect s = scrub->frame();
    scrub->setFrame({s.x(), s.y(), s.width() - left, s.height()});
  }
  toolbar_->setNeedsLayout();
}

void AKMovieUpperControllBar::setLoading(bool loading) {
  loading_ = loading;
  currentTime()->setHidden(loading);
  leftTime()->setHidden(loading);
  scrubber()->setHidden(loading);
  videoSizeBt_->setEnabled(!loading);
  if (!loading) {
    if (activityView_) activityView_->removeFromSuperview();
    return;
  }
  scrubber()->bufferSize()->setProgress(0);
  scrubber()->setValue(0);
  if (activityView_ && activityView_->superview()) return;
  cg::Rect b = bounds();
  activityView_ =
      std::make_shared<ui::View>()->initWithFrame({(b.width() - 110) / 2, b.height() - 20, 110, 20});
  activityView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin |
                                     ui::ViewAutoresizingFlexibleTopMargin);
  auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithFrame({0, 0, 20, 20});
  spinner->startAnimating();
  activityView_->addSubview(spinner);
  auto label = std::make_shared<ui::Label>()->initWithFrame({30, 0, 80, 20});
  label->setText("Загрузка...");
  label->setFont(ui::Font::boldSystemFontOfSize(14));
  label->setTextColor(ui::Color::whiteColor());
  label->setBackgroundColor(ui::Color::clearColor());
  activityView_->addSubview(label);
  addSubview(activityView_);
}

void AKMovieUpperControllBar::didSetNewItem() { videoSizeBt_->setSelected(false); }

void AKMovieUpperControllBar::doneAction() {
  if (auto d = delegate()) d->AKMovieUpperControllBarDone(*this);
}

void AKMovieUpperControllBar::changeVideoGravity() {
  auto keep = self<AKMovieUpperControllBar>();
  if (auto d = delegate())
    d->AKMovieUpperControllBarChangeVideoGravity(*this, videoSizeBt_->isSelected()
                                                            ? av::kLayerVideoGravityResizeAspect
                                                            : av::kLayerVideoGravityResizeAspectFill);
  videoSizeBt_->setSelected(!videoSizeBt_->isSelected());
}

void AKMovieUpperControllBar::beginScrubbing() {
  if (auto d = delegate()) d->AKMovieUpperControllBarBeginScrubbing(*this);
}

void AKMovieUpperControllBar::scrub(float value) {
  if (auto d = delegate()) d->AKMovieUpperControllBarScrub(*this, value);
}

void AKMovieUpperControllBar::endScrubbing(float width) {
  if (auto d = delegate()) d->AKMovieUpperControllBarEndScrubbing(*this, width);
}

void AKMovieUpperControllBar::show() {
  ui::Application::sharedApplication()->setStatusBarHidden(false, true);
  fader_.fadeIn(*this, kFadeDuration);
}

void AKMovieUpperControllBar::hide() {
  ui::Application::sharedApplication()->setStatusBarHidden(true, true);
  fader_.fadeOut(self<View>(), kFadeDuration);
}
