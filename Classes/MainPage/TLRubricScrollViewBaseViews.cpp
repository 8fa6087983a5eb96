// What a rubric row puts on screen, shared by the twins: heading, scroll view, big-poster layout.
#include "Classes/MainPage/TLRubricScrollViewBase.h"
#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/Thread.h"
#include "UIKit/Font.h"

namespace {

bool has(const ns::Value& item, const char* key) { return !item[key].isNil(); }

}  // namespace

std::optional<std::string> TLRubricScrollViewBase::itemText(const ns::Value& item, const char* key) {
  if (const std::string* s = item[key].asString()) return *s;
  return std::nullopt;
}

void TLRubricScrollViewBase::onMainThread(std::function<void()> block, bool wait) {
  if (ns::Thread::isMainThread())
    block();
  else
    ns::performOnMainThread(std::move(block), wait);
}

void TLRubricScrollViewBase::createLabel(const cg::Rect& rect, const std::string& category) {
  Heading heading = headingFor(category);
  if (rubrikLabel_) rubrikLabel_->removeFromSuperview();
  rubrikLabel_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  auto& button = *rubrikLabel_;
  button.setTitleColor(ui::Color::colorWithRed(73 / 255.0, 123 / 255.0, 251 / 255.0, 1),
                       ui::ControlStateNormal);
  button.setTitleColor(ui::Color::lightGrayColor(), ui::ControlStateHighlighted);
  button.titleLabel()->setFont(ui::Font::boldSystemFontOfSize(14));
  button.setTitle(heading.text, ui::ControlStateNormal);
  if (auto image = ui::Image::imageNamed("rubricBTN.png"))
    button.setBackgroundImage(image->stretchableImageWithLeftCapWidth(7, 0), ui::ControlStateNormal);
  button.setContentHorizontalAlignment(ui::ControlContentHorizontalAlignment::center);

  auto label = button.titleLabel();
  cg::Size measured =
      ui::sizeWithFont(heading.text, label->font(), {geometry_.measuringWidth, 40}, label->lineBreakMode());
  cg::Rect frame = rect;
  if (measured.width > geometry_.headingThreshold) frame.size.width = measured.width + 20;
  button.setFrame(frame);

  button.setTag(heading.tag);
  if (isButtonEnabled_)
    button.addTarget(self<TLRubricScrollViewBase>(), &TLRubricScrollViewBase::TLScrollViewRubricClick,
                     ui::ControlEventTouchUpInside);
  if (!heading.enabled) button.setEnabled(false);
  addSubview(rubrikLabel_);
}

void TLRubricScrollViewBase::TLScrollViewRubricClick(ui::Control& sender) {
  if (sender.tag() <= 0) return;
  ns::NotificationCenter::defaultCenter()->postNotificationName(
      "TLShowCategory", ns::Dictionary{{"categoryId", ns::format("%d", sender.tag())}});
}

std::shared_ptr<ui::ImageView> TLRubricScrollViewBase::makeStripImage(double y, double width) {
  auto strip = std::make_shared<ui::ImageView>()->initWithFrame({0, y, width, 4});
  strip->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  strip->setImage(ui::Image::imageNamed("TLHorizScroll_bg.png"));
  strip->setContentMode(ui::ViewContentMode::center);
  return strip;
}

void TLRubricScrollViewBase::addScrollView() {
  cg::Size size = bounds().size;
  double width = static_cast<double>(filmsArray_.size()) * geometry_.elementWidth;
  if (isBIG_) width = static_cast<double>(static_cast<long>(width) / 2);
  scrollView_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, size.width, size.height});
  scrollView_->setContentSize({width, size.height});
  scrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  scrollView_->setBounces(true);
  addSubview(scrollView_);
  if (!geometry_.stripAndSpinner) return;
  bgImageView_ = makeStripImage(scrollView_->frame().height() + 6, scrollView_->frame().width());
  addSubview(bgImageView_);
  if (!activityView_) startActivityIndicator();
}

void TLRubricScrollViewBase::removeActivityIndicator() {
  if (!activityView_) return;
  activityView_->removeFromSuperview();
  activityView_.reset();
}

TLRubricScrollViewBase::TileBuild TLRubricScrollViewBase::tileBuild(int loadPriority) const {
  int selected = selectedIndex_ ? ns::Value(*selectedIndex_).intValue() : 0;
  return {scrollView_,     filmsArray_, loadPriority,        isLabelCenter_,
          isItemSelected_, selected,    sortString_ == "ser"};
}

void TLRubricScrollViewBase::setTileTexts(TLVideoItemPriviewBase& tile, const ns::Value& item) {
  tile.setTitle(itemText(item, "name"));
  tile.setDescription(itemText(item, "description"));
  tile.setID(item["id"]);
  tile.setUrl(itemText(item, "url"));
}

void TLRubricScrollViewBase::setTileRatingAndParent(TLVideoItemPriviewBase& tile, const ns::Value& item) {
  if (has(item, "rating")) tile.setRate(item["rating"].intValue());
  tile.setParent_id(has(item, "parent_id") ? itemText(item, "parent_id") : std::string());
}

void TLRubricScrollViewBase::addBigImages(const TileBuild& build, bool waitForBigTile) const {
  if (build.items.empty() || !build.scrollView) return;
  auto scroll = build.scrollView;
  auto add = [&scroll](std::shared_ptr<TLVideoItemPriviewBase> tile, bool wait) {
    onMainThread([scroll, tile = std::move(tile)] { scroll->addSubview(tile); }, wait);
  };

  const ns::Value& first = build.items.front();
  auto big = makeTile(geometry_.bigTileOrigin, 1);
  double W = static_cast<double>(static_cast<long>(big->frame().width()));
  big->setLoadPriority(build.loadPriority);
  big->setID(first["id"]);
  std::string poster = itemText(first, has(first, "image_big") ? "image_big" : "image").value_or("");
  bool fromSmall = poster.empty();
  if (fromSmall) {
    poster = itemText(first, "image").value_or("");
    big->setImageUrl(poster);
  }
  setTileTexts(*big, first);
  if (!(fromSmall && geometry_.bigPosterOnce)) big->setBigImageUrl(poster);
  setTileRatingAndParent(*big, first);
  if (build.labelCenter) centreTileLabel(*big);
  add(std::move(big), waitForBigTile);

  int columns[2] = {0, 0};  // upper, lower
  for (std::size_t i = 1; i < build.items.size(); ++i) {
    const ns::Value& item = build.items[i];
    bool upper = i % 2 == 1;
    int& column = columns[upper ? 0 : 1];
    double x = W + geometry_.bigTileGap + column++ * geometry_.elementWidth;
    auto tile = makeTile({x, upper ? geometry_.bigTileOrigin.y : geometry_.lowerRowY}, 0);
    tile->setLoadPriority(build.loadPriority);
    setTileTexts(*tile, item);
    tile->setImageUrl(itemText(item, "image"));
    setTileRatingAndParent(*tile, item);
    if (build.labelCenter) centreTileLabel(*tile);
    add(std::move(tile), true);
  }
  cg::Size size{columns[0] * geometry_.elementWidth + 25 + W, 0};
  onMainThread(
      [scroll, size]() mutable {
        scroll->setContentSize({size.width, scroll->frame().height()});
      },
      false);
}
