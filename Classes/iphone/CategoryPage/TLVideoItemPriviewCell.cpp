#include "Classes/iphone/CategoryPage/TLVideoItemPriviewCell.h"

#include <algorithm>
#include <cmath>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/DataFile.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "UIKit/Font.h"

namespace {
constexpr const char* kFontName = "PF Square Sans Pro";
}

std::shared_ptr<TLVideoItemPriviewCell> TLVideoItemPriviewCell::initWithStyle(ui::TableViewCellStyle style,
                                                                              std::string reuseIdentifier) {
  ui::TableViewCell::initWithStyle(style, std::move(reuseIdentifier));
  loadPriority_ = -1;
  parent_id_.clear();
  return std::static_pointer_cast<TLVideoItemPriviewCell>(shared_from_this());
}

std::shared_ptr<TLVideoItemPriviewCell> TLVideoItemPriviewCell::cellFromInterfaceFile(
    const std::string& reuseIdentifier) {
  auto cell = std::make_shared<TLVideoItemPriviewCell>()->initWithStyle(ui::TableViewCellStyle::defaultStyle,
                                                                        reuseIdentifier);
  cell->buildViews();
  return cell;
}

void TLVideoItemPriviewCell::buildViews() {
  setFrame({0, 0, 320, kRowHeight});
  setSelectionStyle(ui::TableViewCellSelectionStyle::none);
  auto content = contentView();
  separatorView_ = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, 320, kRowHeight});
  separatorView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  setBackgroundView(separatorView_);

  posterView_ = std::make_shared<ui::ImageView>()->initWithFrame({{5, 5}, kPosterSize});
  posterView_->setClipsToBounds(true);
  posterView_->setImage(ui::Image::imageNamed("TLCinemaEmpty_.png"));
  content->addSubview(posterView_);

  placeHolder_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
      ui::ActivityIndicatorViewStyle::white);
  placeHolder_->setCenter({61, 40});
  content->addSubview(placeHolder_);

  auto label = [&](const cg::Rect& frame, double size, const ui::Color& colour) {
    auto l = std::make_shared<ui::Label>()->initWithFrame(frame);
    l->setBackgroundColor(std::nullopt);
    l->setFont(ui::Font::fontWithName(kFontName, size));
    l->setTextColor(colour);
    l->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    content->addSubview(l);
    return l;
  };
  titleLabel_ = label(kTitleFrame, 15, ui::Color::whiteColor());
  descriptionLabel_ = label({125, 29, 170, 22}, 12, ui::Color::colorWithWhite(0.6, 1));
  descriptionLabel_->setNumberOfLines(1);

  disclosureView_ = std::make_shared<ui::ImageView>()->initWithFrame({300, 32, 10, 16});
  disclosureView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  disclosureView_->setImage(ui::Image::imageNamed("disclosure.png"));
  content->addSubview(disclosureView_);
}

void TLVideoItemPriviewCell::setID(long long value) {
  ID_ = value;
  personRow_ = false;
}

void TLVideoItemPriviewCell::setTitle(std::string title) {
  title_ = std::move(title);
  if (titleLabel_) titleLabel_->setText(title_);
  layOutEpisodeTexts();
}

void TLVideoItemPriviewCell::setDescription(std::string description) {
  description_ = std::move(description);
  if (descriptionLabel_) descriptionLabel_->setText(description_);
  layOutEpisodeTexts();
}

void TLVideoItemPriviewCell::setCategoryName(std::string name) {
  if (ns::utf16Length(description_) <= 2) return;
  categoryName_ = std::move(name);
  if (!categoryName_.empty() && descriptionLabel_) descriptionLabel_->setText(categoryName_);
  layOutEpisodeTexts();
}

void TLVideoItemPriviewCell::setRate(int rate) {
  rate_ = rate;
  if (rate > 0 && !rateView_) {
    rateView_ = std::make_shared<StarRatingView>()->initSmallStyleWithFrame({kStarsOrigin, {100, 20}});
    contentView()->addSubview(rateView_);
  }
  // A reused row must not keep the stars of the title it showed before.
  if (rateView_) rateView_->setRating(rate > 0 ? rate : 0);
}

void TLVideoItemPriviewCell::setIsSelected(bool selected) {
  isSelected_ = selected;
  if (!selected) {
    if (bg_) bg_->removeFromSuperview();
    bg_ = nullptr;
    return;
  }
  if (bg_) return;
  bg_ = std::make_shared<ui::View>()->initWithFrame({0, 0, 400, bounds().height() - 1});
  bg_->setBackgroundColor(ui::Color::grayColor());
  bg_->setAlpha(0.8);
  insertSubviewAtIndex(bg_, 0);
}

void TLVideoItemPriviewCell::setTitleLinesForEpisodes() {
  episodeTitles_ = true;
  if (titleLabel_) titleLabel_->setNumberOfLines(2);
  layOutEpisodeTexts();
}

void TLVideoItemPriviewCell::layOutEpisodeTexts() {
  if (!episodeTitles_ || !titleLabel_ || !descriptionLabel_) return;
  // The episode lists' title frame: 8 lower than a plain row's, and 15 taller for a second line,
  // or as much taller as two lines of the face need.
  cg::Rect title = titleLabel_->frame();
  double twoLines = std::ceil(2 * titleLabel_->font()->lineHeight() - 1e-6);
  title = {title.x(), kTitleFrame.y() + 8, title.width(), std::max(kTitleFrame.height() + 15, twoLines)};
  titleLabel_->setFrame(title);
  double titleBottom = title.y() + titleLabel_->textRectForBounds(titleLabel_->bounds()).maxY();
  // The description's first line starts under the title's last, and both end above the stars,
  // moving up together as far as that takes.
  cg::Rect description = descriptionLabel_->frame();
  cg::Rect text = descriptionLabel_->textRectForBounds(descriptionLabel_->bounds());
  double y = titleBottom - text.y();
  double lift = std::max(0.0, std::ceil(y + text.maxY() - kStarsOrigin.y - 1e-6));
  titleLabel_->setFrame(title.offsetBy(0, -lift));
  descriptionLabel_->setFrame({description.x(), y - lift, description.width(), description.height()});
}

void TLVideoItemPriviewCell::setTitleLinesForRoles() {
  if (!titleLabel_) return;
  titleLabel_->setNumberOfLines(2);
  titleLabel_->setFrame({90, 29, bounds().width() - 95, 20});
}

void TLVideoItemPriviewCell::setRolesImageStyle() {
  personRow_ = true;
  if (!posterView_) return;
  posterView_->setFrame({20, 1, 57, 76});
  posterView_->setImage(ui::Image::imageNamed("actorEmpty"));
}

std::string TLVideoItemPriviewCell::posterPath(bool big) const {
  // Person photos and entries without an id would all share one file with some title's poster.
  if (personRow_ || ID_ <= 0) return "";
  if (big)
    return typeIsEpisode_ ? TLSettings::posterBigForEpisode(ID_) : TLSettings::posterBigForBaseVideo(ID_);
  return typeIsEpisode_ ? TLSettings::posterForEpisode(ID_) : TLSettings::posterForBaseVideo(ID_);
}

void TLVideoItemPriviewCell::setImageUrl(std::string url) {
  imageUrl_ = std::move(url);
  showPoster(imageUrl_, posterPath(false), false);
}

void TLVideoItemPriviewCell::setBigImageUrl(std::string url) {
  bigImageUrl_ = std::move(url);
  showPoster(bigImageUrl_, posterPath(true), true);
}

void TLVideoItemPriviewCell::showPoster(const std::string& url, const std::string& path, bool big) {
  unsigned generation = ++posterGeneration_;
  const cg::PixelBox box = posterBox();
  if (!path.empty() && TLImageFetch::fileExists(path)) {
    if (loadPriority_ != -1) return showIfCurrent(generation, ui::Image::imageWithContentsOfFile(path, box));
    std::weak_ptr<TLVideoItemPriviewCell> weak =
        std::static_pointer_cast<TLVideoItemPriviewCell>(shared_from_this());
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                    [weak, generation, path, box] {
                      auto image = ui::Image::imageWithContentsOfFile(path, box);
                      dispatch::async(dispatch::mainQueue(), [weak, generation, image] {
                        if (auto cell = weak.lock()) cell->showIfCurrent(generation, image);
                      });
                    });
    return;
  }
  if (big && url.empty()) return;
  loadImageWithUrl(url, path, big);
}

void TLVideoItemPriviewCell::showIfCurrent(unsigned generation, const std::shared_ptr<ui::Image>& image) {
  if (generation != posterGeneration_) return;
  setImageForButton(image);
}

void TLVideoItemPriviewCell::setImageForButton(const std::shared_ptr<ui::Image>& image) {
  if (!posterView_) return;
  posterView_->setImage(image);
}

void TLVideoItemPriviewCell::loadImageWithUrl(const std::string& url, const std::string& path, bool big) {
  unsigned generation = posterGeneration_;
  std::weak_ptr<TLVideoItemPriviewCell> weak =
      std::static_pointer_cast<TLVideoItemPriviewCell>(shared_from_this());
  auto show = [weak, generation](std::shared_ptr<ui::Image> image) {
    dispatch::async(dispatch::mainQueue(), [weak, generation, image] {
      if (auto cell = weak.lock()) cell->showIfCurrent(generation, image);
    });
  };
  // The reply arrives off the main thread and is decoded there, once. The cache file appears
  // whole or not at all: a reply that is not an image (an error page, a cut-off body) never
  // reaches it, and other rows of the same title never read a half-written poster. A big
  // poster's file is the title header's too, and is kept at the larger of the two.
  const cg::PixelBox box = posterBox();
  const cg::PixelBox fileBox = big ? TLImageFetch::largerBox(box, TLImageFetch::titleHeaderBox()) : box;
  TLImageFetch::get(
      url,
      [path, show, box, fileBox](const ns::Data& body) {
        auto image = ui::Image::imageWithData(body, 1, box);
        if (!image) return;
        if (!path.empty()) {
          ns::Data file =
              TLImageFetch::cacheBytes(body, TLImageFetch::imageForFile(body, image, box, fileBox));
          ns::ErrorPtr error;
          if (file.empty() || !ns::writeDataToFile(file, path, true, &error))
            ns::log("Cannot write the poster %@: %@", path, error);
        }
        show(image);
      },
      dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT));
}

cg::PixelBox TLVideoItemPriviewCell::posterBox() const { return TLImageFetch::pixelBox(kPosterSize); }

void TLVideoItemPriviewCell::selectVideo() {
  ns::Dictionary info;
  info.set("id", ID_);
  info.set("url", url_);
  info.set("title", title_);
  info.set("description", description_);
  info.set("parent_id", parent_id_);
  info.set("image", imageUrl_);
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLOpenVideoItem",
                                                                ns::Value(std::move(info)));
}
