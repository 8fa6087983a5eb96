#include "Classes/MainPage/TLVideoItemPriviewBase.h"

#include <algorithm>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "Foundation/Thread.h"
#include "UIKit/Font.h"

namespace {

using Tile = TLVideoItemPriviewBase;

constexpr double kStarGap = 4;

// Runs the block on the tile by the hand-over rule. Blocks that run later find the tile only while
// it lives; one whose tile has gone does nothing.
void handTo(const std::weak_ptr<Tile>& weak, Tile::Hand how, std::function<void(Tile&)> block) {
  switch (how) {
    case Tile::Hand::now:
      if (auto tile = weak.lock()) block(*tile);
      break;
    case Tile::Hand::mainThreadWaiting:
      ns::performOnMainThread(
          [&] {
            if (auto tile = weak.lock()) block(*tile);
          },
          true);
      break;
    case Tile::Hand::mainThreadLater:
      dispatch::async(dispatch::mainQueue(), [weak, block = std::move(block)] {
        if (auto tile = weak.lock()) block(*tile);
      });
      break;
  }
}

}  // namespace

const TLVideoItemPriviewBase::PriorityRule& TLVideoItemPriviewBase::Twin::rule(int priority) const {
  for (const PriorityRule& r : rules)
    if (r.priority == priority) return r;
  return otherPriorities;
}

void TLVideoItemPriviewBase::setUpWithFrame(const cg::Rect& frame, int style) {
  style_ = style;
  const Style& s = currentStyle();
  initWithFrame({frame.origin, s.size});
  setBackgroundColor(ui::Color::clearColor());
  isItemSelected_ = false;
  loadPriority_ = twin_.defaultLoadPriority;
  parent_id_ = std::string();

  bg_ = std::make_shared<ui::View>()->initWithFrame({0, 0, s.size.width, s.size.height - s.bgHeightCut});
  bg_->setBackgroundColor(ui::Color::blackColor());
  bg_->setAlpha(s.bgAlpha);
  addSubview(bg_);

  imageBt_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  imageBt_->setFrame({0, 0, s.size.width, s.posterHeight});
  imageBt_->addTarget(self<TLVideoItemPriviewBase>(), &TLVideoItemPriviewBase::selectVideo,
                      ui::ControlEventTouchUpInside);
  placePlaceholder(ui::Image::imageNamed(s.placeholder));
  addSubview(imageBt_);
}

void TLVideoItemPriviewBase::placePlaceholder(const std::shared_ptr<ui::Image>& image) {
  imageBt_->setImage(image, ui::ControlStateNormal);
}

void TLVideoItemPriviewBase::setLabelText(const std::shared_ptr<ui::Label>& label,
                                          const std::optional<std::string>& text) {
  if (!label || !text) return;
  if (currentRule().textsOnMainThread)
    ns::performOnMainThread([&] { label->setText(*text); }, true);
  else
    label->setText(*text);
}

void TLVideoItemPriviewBase::setTitle(std::optional<std::string> title) {
  title_ = std::move(title);
  const Style& s = currentStyle();
  if (!titleLabel_) {
    if (s.titleBandTop) {
      auto band = std::make_shared<ui::View>()->initWithFrame(
          {0, *s.titleBandTop, s.size.width, s.size.height - *s.titleBandTop});
      band->setBackgroundColor(ui::Color::blackColor());
      addSubview(band);
    }
    titleLabel_ = std::make_shared<ui::Label>()->initWithFrame(s.titleRect);
    titleLabel_->setFont(ui::Font::fontWithName(kFontName, s.titleFontSize));
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    titleLabel_->setTextColor(ui::Color::whiteColor());
    addSubview(titleLabel_);
  }
  setLabelText(titleLabel_, title_);
  titleDidChange();
}

void TLVideoItemPriviewBase::setDescription(std::optional<std::string> description) {
  description_ = std::move(description);
  if (!descriptionLabel_) {
    const Style& s = currentStyle();
    descriptionLabel_ = std::make_shared<ui::Label>()->initWithFrame(descriptionFrame());
    descriptionLabel_->setFont(ui::Font::fontWithName(kFontName, s.descriptionFontSize));
    descriptionLabel_->setBackgroundColor(ui::Color::clearColor());
    descriptionLabel_->setTextColor(ui::Color::lightGrayColor());
    addSubview(descriptionLabel_);
  }
  setLabelText(descriptionLabel_, description_);
  descriptionDidChange();
}

void TLVideoItemPriviewBase::setRate(int rate) {
  rate_ = rate;
  if (!rateView_) {
    const Style& s = currentStyle();
    rateView_ = std::make_shared<StarRatingView>();
    cg::Rect at{s.starOrigin, {0, 0}};
    if (s.bigStars)
      rateView_->initBigStyleWithFrame(at);
    else
      rateView_->initSmallStyleWithFrame(at);
    addSubview(rateView_);
    if (descriptionLabel_) descriptionLabel_->setFrame(descriptionFrame());
  }
  rateView_->setRating(rate_);
}

cg::Rect TLVideoItemPriviewBase::descriptionFrame() const {
  const Style& s = currentStyle();
  cg::Rect frame = s.descriptionRect;
  // Beside the stars, which share its baseline, the line ends a few points before them instead of
  // running under them; a tile without stars (the category grid's) gives it the title's width.
  if (rateView_)
    frame.size.width = std::min(frame.width(), s.starOrigin.x - kStarGap - frame.x());
  else
    frame.size.width = std::max(frame.width(), s.titleRect.maxX() - frame.x());
  return frame;
}

void TLVideoItemPriviewBase::setCategoryName(std::optional<std::string> name) {
  if (!description_ || ns::utf16Length(*description_) <= 2) return;
  categoryName_ = std::move(name);
  setLabelText(descriptionLabel_, description_);
}

void TLVideoItemPriviewBase::setImageUrl(std::optional<std::string> url) {
  imageUrl_ = url;
  loadPoster(url, false);
}

void TLVideoItemPriviewBase::setBigImageUrl(std::optional<std::string> url) {
  bigImageUrl_ = url;
  loadPoster(url, true);
}

long long TLVideoItemPriviewBase::ID() const { return TLSettings::longFromObject(ns::Value(idText())); }

std::string TLVideoItemPriviewBase::idText() const {
  std::lock_guard<std::mutex> lock(idLock_);
  return idText_;
}

void TLVideoItemPriviewBase::setID(long long value) { setID(ns::Value(value)); }

void TLVideoItemPriviewBase::setID(const ns::Value& id) {
  std::string text = TLSettings::idFromObject(id);
  std::lock_guard<std::mutex> lock(idLock_);
  idText_ = std::move(text);
}

std::optional<std::string> TLVideoItemPriviewBase::posterPath(bool big) const {
  long long id = ID();
  // Every tile without an id of its own would share "0.png".
  if (id <= 0) return std::nullopt;
  bool episode = typeIsEpisode_.load();
  if (big) return episode ? TLSettings::posterBigForEpisode(id) : TLSettings::posterBigForBaseVideo(id);
  return episode ? TLSettings::posterForEpisode(id) : TLSettings::posterForBaseVideo(id);
}

void TLVideoItemPriviewBase::loadPoster(const std::optional<std::string>& url, bool big) {
  auto path = posterPath(big);
  if (path && TLImageFetch::fileExists(*path)) return showCachedPoster(path, big);
  std::string target = url.value_or("");
  // A big poster without a URL goes on as if its file were there: nothing is read, the
  // placeholder goes.
  if (big && target.empty()) return showCachedPoster(path, big);
  fetchPoster(target, path, big);
}

cg::PixelBox TLVideoItemPriviewBase::posterBox() const {
  const Style& s = currentStyle();
  return TLImageFetch::pixelBox({s.size.width, s.posterHeight});
}

void TLVideoItemPriviewBase::showCachedPoster(const std::optional<std::string>& path, bool big) {
  CachedPosterRule rule = big ? currentRule().cachedBig : currentRule().cachedSmall;
  auto read = [path, box = posterBox()] {
    return path ? ui::Image::imageWithContentsOfFile(*path, box) : nullptr;
  };
  std::weak_ptr<TLVideoItemPriviewBase> weak = self<TLVideoItemPriviewBase>();
  if (rule.readInBackground) {
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_BACKGROUND), [weak, read, rule] {
      auto image = read();
      handTo(weak, rule.set, [image](Tile& tile) { tile.setImageForButton(image); });
    });
    return;
  }
  auto image = read();
  handTo(weak, rule.set, [image](Tile& tile) { tile.setImageForButton(image); });
}

void TLVideoItemPriviewBase::fetchPoster(const std::string& url, const std::optional<std::string>& path,
                                         bool big) {
  FetchedPosterRule rule = currentRule().fetched;
  std::weak_ptr<TLVideoItemPriviewBase> weak = self<TLVideoItemPriviewBase>();
  // The body is decoded where it arrives, off the main thread, at the poster's own pixels, and
  // the cache file holds the picture as decoded; a big poster's file is also the title header's,
  // and is kept at the larger of the two. The fetch is never cancelled: a tile gone from the
  // screen still leaves the file for the next.
  const cg::PixelBox box = posterBox();
  const cg::PixelBox fileBox = big ? TLImageFetch::largerBox(box, TLImageFetch::titleHeaderBox()) : box;
  TLImageFetch::get(
      url,
      [weak, path, rule, box, fileBox](const ns::Data& body) {
        auto image = ui::Image::imageWithData(body, 1, box);
        if (path && image) {
          auto kept = TLImageFetch::imageForFile(body, image, box, fileBox);
          if (rule.writeInBackground)
            dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                            [file = *path, kept] { TLImageFetch::savePNG(file, kept); });
          else
            TLImageFetch::savePNG(*path, kept);
        }
        dispatch::async(dispatch::mainQueue(), [weak, rule, image] {
          handTo(weak, rule.set, [image](Tile& tile) { tile.setImageForButton(image); });
        });
      },
      dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT));
}

void TLVideoItemPriviewBase::setImageForButton(const std::shared_ptr<ui::Image>& image) {
  imageBt_->setImage(nullptr, ui::ControlStateNormal);
  imageBt_->setBackgroundImage(image, ui::ControlStateNormal);
}

void TLVideoItemPriviewBase::hideButton(bool hidden) { imageBt_->setHidden(hidden); }

void TLVideoItemPriviewBase::selectVideo() {
  // A tile that does not know its item has nothing to open.
  if (!url_ || url_->empty()) return;
  ns::Dictionary info;
  info.set("id", TLSettings::titleInfoIdFromObject(ns::Value(idText())));
  // The record ends at its first unset value.
  const std::pair<const char*, ns::Value> rest[] = {
      {"url", *url_},
      {"title", title_ ? ns::Value(*title_) : ns::Value()},
      {"description", description_.value_or("")},
      {"parent_id", parent_id_ ? ns::Value(*parent_id_) : ns::Value()},
      {"image", imageUrl_ ? ns::Value(*imageUrl_) : ns::Value()},
      {"item_index", itemIndex_},
  };
  for (const auto& [key, value] : rest) {
    if (value.isNil()) break;
    info.set(key, value);
  }
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLOpenVideoItem",
                                                                ns::Value(std::move(info)));
}
