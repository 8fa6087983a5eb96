#include "Classes/MainPage/MainSliderBase.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/Locale.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/RunLoop.h"
#include "Foundation/String.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "NTNetworking/NTJSONRequestOperation.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"

namespace {

constexpr double kPosterTimeout = 30.0;
constexpr double kRefillDelay = 0.3;

}  // namespace

MainSliderBase::~MainSliderBase() {
  if (sliderTimer_) sliderTimer_->invalidate();
}

void MainSliderBase::guarded(const char* format, const std::function<void()>& block) {
  try {
    block();
  } catch (const std::exception& e) {
    ns::log(format, e.what());
  }
}

std::shared_ptr<ui::Label> MainSliderBase::addPanelLabel(const std::shared_ptr<ui::View>& parent,
                                                         const cg::Rect& frame, double fontSize,
                                                         const ui::Color& colour) {
  auto label = std::make_shared<ui::Label>()->initWithFrame(frame);
  label->setFont(ui::Font::fontWithName("PF Square Sans Pro", fontSize));
  label->setTextColor(colour);
  label->setBackgroundColor(ui::Color::clearColor());
  parent->addSubview(label);
  return label;
}

ns::Value MainSliderBase::recordAt(int index) const {
  if (index < 0 || index >= recordCount()) return {};
  return filmList_[static_cast<std::size_t>(index)];
}

std::optional<int> MainSliderBase::slotForOffset(double x, double width) {
  if (!(width >= 1)) return std::nullopt;
  long long span = static_cast<long long>(std::trunc(2 * width));
  return static_cast<int>(static_cast<long long>(std::trunc(2 * x + width)) / span);
}

// MARK: Creation

void MainSliderBase::setUpSlider(const cg::Rect& frame, ns::Array films) {
  initWithFrame(frame);
  isLayout_ = false;
  isLoadedJSON_ = false;
  filmList_ = std::move(films);
  fillPageViewsWithCount(recordCount());
  getJsonPostersWithUrl(ns::URL::URLWithString(posterListURL()));
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  curPage_ = 0;
  addScrollView(recordCount());
  addPageControll();
  loadVisiblePages();
  setBackgroundColor(ui::Color::clearColor());
}

std::string MainSliderBase::posterListURL() const { return TLSettings::getPostersURL(); }

void MainSliderBase::layoutSlider(cg::Size size, double dotsCentre, double belowPages) {
  guarded("Exception: %@", [&] {
    // The offset changes below are the slider's own, not a move to answer.
    setIsLayout(true);
    int pages = pageControl_->numberOfPages();
    cg::Rect dots = pageControl_->frame();
    dots.origin.x = dotsCentre - 8.0 * pages;
    setFrame({frame().origin, size});
    auto slot = slotForOffset(scrollView_->contentOffset().x, laidOutWidth_);
    pageControl_->setFrame(dots);
    if (!slot) {
      setIsLayout(false);
      return;
    }
    int n = recordCount();
    int page = std::clamp(*slot, 1, std::max(n, 1));
    setPageForLayout(page);
    scrollView_->setBackgroundColor(fromHexToRGBColor(recordAt(page - 1)["bgColor"]));
    double width = scrollView_->bounds().width();
    scrollView_->setContentSize({(n + 2) * width, bounds().height() - belowPages});
    scrollView_->setContentOffset({page * bounds().width(), 0}, false);
    purgePages();
    if (sliderPanelImageView_) {
      cg::Rect panelImage = sliderPanelImageView_->frame();
      panelImage.size.width = width;
      sliderPanelImageView_->setFrame(panelImage);
    }
    laidOutWidth_ = width;
    setIsLayout(false);
    std::weak_ptr<MainSliderBase> weak = self<MainSliderBase>();
    // The pending refill is tagged with a token, not the slider: it must not keep a dropped slider.
    ns::performAfterDelay(
        refillToken_, "loadVisiblePages",
        [weak] {
          if (auto slider = weak.lock()) slider->loadVisiblePages();
        },
        kRefillDelay);
  });
}

void MainSliderBase::addScrollView(int count) {
  auto scroll = std::make_shared<ui::ScrollView>()->initWithFrame(scrollViewFrame());
  scroll->setBackgroundColor(ui::Color::blackColor());
  scroll->setPagingEnabled(true);
  scroll->setShowsHorizontalScrollIndicator(false);
  scroll->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  cg::Size page = scroll->bounds().size;
  scroll->setContentSize({page.width * count, page.height});
  scroll->setDelegate(std::static_pointer_cast<ui::ScrollViewDelegate>(self<MainSliderBase>()));
  scroll->setBounces(scrollViewBounces());
  addSubview(scroll);
  scrollView_ = scroll;
  laidOutWidth_ = page.width;
}

// MARK: Installing a list

void MainSliderBase::loadJSONArray(ns::Array list) {
  guarded("Exception: %@", [&] {
    if (list.size() > kMaxPosters) list.resize(kMaxPosters);
    filmList_ = std::move(list);
    int n = recordCount();
    loadTimer();
    fillPageViewsWithCount(n);
    cg::Size page = scrollView_->bounds().size;
    scrollView_->setContentSize({page.width * (n + 2), page.height});
    laidOutWidth_ = page.width;
    loadVisiblePages();
    pageControl_->setNumberOfPages(n);
    pageControl_->setHidden(false);
    didSetNumberOfPages(n);
    reportLoaded(true);
    layoutSubviews();
  });
}

// MARK: Pages

void MainSliderBase::fillPageViewsWithCount(int count) {
  // The pages of the list replaced leave with their slots, or they would stay in the scroll view
  // under the new ones, their play buttons still taking taps.
  purgePages();
  pageViews_.assign(static_cast<std::size_t>(std::max(count, 0) + 2), nullptr);
  playButtons_.assign(pageViews_.size(), nullptr);
}

void MainSliderBase::purgePages() {
  // Last added first: the scroll view lets go of its newest subviews at no cost.
  for (std::size_t i = pageViews_.size(); i-- > 0;) {
    if (playButtons_[i]) playButtons_[i]->removeFromSuperview();
    if (pageViews_[i]) pageViews_[i]->removeFromSuperview();
    pageViews_[i] = nullptr;
    playButtons_[i] = nullptr;
  }
}

void MainSliderBase::loadVisiblePages() {
  guarded("Exception: %@", [&] {
    pageControl_->setCurrentPage(curPage_);
    purgePages();
    loadPages();
    double width = bounds().width();
    if (scrollView_->contentOffset().x < width) scrollView_->setContentOffset({width, 0}, false);
    reloadSliderInfo();
  });
}

void MainSliderBase::loadPages() {
  int n = recordCount();
  // Without records there is nothing to put in the copies either.
  if (n == 0) return;
  cg::Size page = scrollView_->bounds().size;
  auto posterOf = [&](int i) {
    return TLSettings::stringFromObject(recordAt(i == 0 ? n - 1 : i == n + 1 ? 0 : i - 1)["poster"]);
  };
  // The cached posters of the empty slots are read side by side first; a record that cannot be
  // read stops the list there, and the loop below fails at the same slot.
  std::vector<std::optional<std::string>> cached(static_cast<std::size_t>(n) + 2);
  std::vector<std::string> files;
  try {
    for (int i = 0; i < n + 2; ++i) {
      auto slot = static_cast<std::size_t>(i);
      if (slot >= pageViews_.size() || pageViews_[slot]) continue;
      std::string poster = posterOf(i);
      auto path = poster.empty() ? std::nullopt : posterFilePath(poster);
      if (!path || !TLImageFetch::fileExists(*path)) continue;
      cached[slot] = *path;
      files.push_back(*path);
    }
  } catch (...) {
  }
  auto images = TLImageFetch::readImages(files, TLImageFetch::pixelBox(largestPageSize()));
  std::size_t nextImage = 0;
  for (int i = 0; i < n + 2; ++i) {
    auto slot = static_cast<std::size_t>(i);
    if (slot >= pageViews_.size() || pageViews_[slot]) continue;
    ns::Value record = recordAt(i == 0 ? n - 1 : i == n + 1 ? 0 : i - 1);
    std::string poster = TLSettings::stringFromObject(record["poster"]);
    std::string bgColor = TLSettings::stringFromObject(record["bgColor"]);

    auto spinner = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        bgColor == "#000000" ? ui::ActivityIndicatorViewStyle::white : ui::ActivityIndicatorViewStyle::gray);
    spinner->setFrame({page.width / 2 - 10, page.height / 2 - 10, 20, 20});
    spinner->setTag(kSpinnerTag);
    cg::Rect frame{i * page.width, 0, page.width, page.height};
    auto imageView = std::make_shared<ui::ImageView>()->initWithFrame(frame);
    imageView->setContentMode(ui::ViewContentMode::scaleAspectFit);
    pageViews_[slot] = imageView;
    scrollView_->addSubview(imageView);

    if (cached[slot]) {
      imageView->setImage(images[nextImage++]);
    } else if (!poster.empty()) {
      imageView->addSubview(spinner);
      spinner->startAnimating();
      loadImageFromURLToCache(poster, imageView);
    }
    addPlayButtonWithFrame(frame);
    playButtons_[slot] = playButton_;
    imageView->setBackgroundColor(fromHexToRGBColor(record["bgColor"]));
  }
}

cg::Size MainSliderBase::largestPageSize() const { return scrollView_->bounds().size; }

std::optional<std::string> MainSliderBase::posterFilePath(const std::string& posterURL) {
  if (posterURL.empty()) return std::nullopt;
  // Two posters whose addresses end alike must not share a file, so the name carries a digest
  // of the whole address; the readable part is the last path component's stem, cut to letters,
  // digits, '_' and '-', so no name can leave the folder or hide a dot.
  std::string path = posterURL.substr(0, posterURL.find_first_of("?#"));
  auto slash = path.rfind('/');
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string stem = last.substr(0, last.rfind('.'));
  std::string name;
  for (unsigned char c : stem) {
    if (name.size() == kMaxPosterStemLength) break;
    name += std::isalnum(c) || c == '_' || c == '-' ? static_cast<char>(c) : '_';
  }
  if (!name.empty()) name += '-';
  name += ns::md5Hex(posterURL) + ".jpg";
  return ns::stringByAppendingPathComponent(TLSettings::sliderPostersPath(), name);
}

void MainSliderBase::loadImageFromURLToCache(const std::string& url,
                                             const std::shared_ptr<ui::ImageView>& imageView) {
  std::weak_ptr<MainSliderBase> weak = self<MainSliderBase>();
  std::weak_ptr<ui::ImageView> weakView = imageView;
  auto arrived = [weak, weakView, url](const cg::ImagePtr& bitmap) {
    if (auto slider = weak.lock()) slider->posterDownloaded(url, bitmap, weakView);
  };
  // Only web addresses are fetched: a reply must not make the client read a local file. A poster
  // that cannot be asked for ends as a failed download, or its spinner would turn for ever.
  auto target = TLImageFetch::fetchableURL(url);
  if (!target) return arrived(nullptr);
  auto request = ns::URLRequest::requestWithURL(target);
  request->setCachePolicy(ns::URLRequestCachePolicy::UseProtocolCachePolicy);
  request->setTimeoutInterval(kPosterTimeout);
  // A failed download, a body too long among them, ends like a body that is no picture: the
  // page stops its spinner and keeps no poster.
  auto operation = NTImageRequestOperation::imageRequestOperationWithRequest(
      request, nullptr,
      [arrived](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const cg::ImagePtr& bitmap) {
        arrived(bitmap);
      },
      [arrived](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&) {
        arrived(nullptr);
      });
  if (!operation) return arrived(nullptr);
  operation->limitResponseLength(TLImageFetch::kMaxPictureLength);
  operation->limitResponseToPicture();
  operation->setPixelBox(TLImageFetch::pixelBox(largestPageSize()));
  operation->start();
}

void MainSliderBase::posterDownloaded(const std::string& url, const cg::ImagePtr& bitmap,
                                      const std::weak_ptr<ui::ImageView>& weakView) {
  if (stopped_) return;
  auto image = bitmap ? ui::Image::imageWithCGImage(bitmap) : nullptr;
  auto show = [image, weakView] {
    auto view = weakView.lock();
    if (!view) return;
    if (auto spinner = std::dynamic_pointer_cast<ui::ActivityIndicatorView>(view->viewWithTag(kSpinnerTag)))
      spinner->stopAnimating();
    view->setImage(image);
  };
  auto path = posterFilePath(url);
  // Nothing to keep: the slide shows its fallback at once.
  if (!image || !path) return show();
  dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_BACKGROUND), [image, path, show] {
    // An empty file would be shown as the poster for ever: write only a real encoding, whole.
    ns::Data jpeg = ui::ImageJPEGRepresentation(image, 1.0);
    if (!jpeg.empty()) ns::writeDataToFile(jpeg, *path, true);
    dispatch::async(dispatch::mainQueue(), show);
  });
}

// MARK: Scrolling and the timer

void MainSliderBase::scrollViewDidScroll(ui::ScrollView&) {
  if (isLayout_) {
    isLayout_ = false;
    return;
  }
  guarded("Exception:scrol did scroll %@", [&] {
    int n = recordCount();
    if (n == 0) return;
    double x = scrollView_->contentOffset().x;
    double w = scrollView_->bounds().width();
    auto slot = slotForOffset(x, w);
    if (!slot) return;
    double d = x - w * *slot;
    int shown = *slot;
    if (*slot == 0) {
      shown = n;
      scrollView_->setContentOffset({std::trunc(w * n + d), 0}, false);
    } else if (*slot > n) {
      shown = 1;
      scrollView_->setContentOffset({d + std::trunc(w), 0}, false);
    }
    int page = shown - 1;
    if (page < 0 || page > n - 1) page = 0;
    curPage_ = page;
    pageControl_->setCurrentPage(page);
    scrollView_->setBackgroundColor(fromHexToRGBColor(recordAt(page)["bgColor"]));
    loadTimer();
    reloadSliderInfo();
  });
}

void MainSliderBase::loadTimer() {
  if (stopped_ || recordCount() < 2) return;
  if (sliderTimer_) {
    sliderTimer_->invalidate();
    sliderTimer_ = nullptr;
  }
  sliderTimer_ = ns::Timer::scheduledTimerWithTimeInterval(kAdvanceInterval, self<MainSliderBase>(),
                                                           &MainSliderBase::timerMethodPush, {}, true);
}

void MainSliderBase::timerMethodPush() {
  if (stopped_) {
    if (sliderTimer_) sliderTimer_->invalidate();
    sliderTimer_ = nullptr;
    return;
  }
  guarded("Exception:timer %@", [&] {
    int page = ++curPage_;
    scrollView_->setContentOffset({(page + 1) * scrollView_->bounds().width(), 0}, false);
    if (curPage_ == recordCount()) --curPage_;
    reloadSliderInfo();
    pageControl_->setCurrentPage(curPage_);
  });
}

void MainSliderBase::stopAsync() {
  stopped_ = true;
  forgetDelegate();
  if (sliderTimer_) sliderTimer_->invalidate();
  sliderTimer_ = nullptr;
  ns::cancelPreviousPerformRequestsWithTarget(refillToken_.get());
}

// MARK: The poster list

void MainSliderBase::getJsonPostersWithUrl(const std::optional<ns::URL>& url) {
  auto request = ns::URLRequest::requestWithURL(url);
  request->setCachePolicy(ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  std::weak_ptr<MainSliderBase> weak = self<MainSliderBase>();
  // The handlers hold the slider weakly: a slider its page has dropped hears nothing more.
  auto operation = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request,
      [weak](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
        auto slider = weak.lock();
        if (slider && !slider->stopped_) slider->handleReply(JSON);
      },
      [weak](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&, const ns::Value&) {
        auto slider = weak.lock();
        if (slider && !slider->stopped_) slider->reportLoaded(false);
      });
  if (operation) operation->start();
}

void MainSliderBase::handleReply(const ns::Value& JSON) {
  bool reported = false;
  try {
    // A reply of another shape is a failed load, so that the page's load still ends.
    const ns::Array* items = JSON.isDictionary() ? JSON["items"].asArray() : nullptr;
    if (!items) {
      reported = true;
      reportLoaded(false);
      return;
    }
    ns::Array records;
    for (const ns::Value& item : *items) {
      if (records.size() == kMaxPosters) break;
      if (item.isDictionary()) records.push_back(posterRecordFromItem(item));
    }
    // No poster at all: the placeholder stays, without a play image over it.
    if (records.empty()) {
      reported = true;
      reportLoaded(true);
      return;
    }
    isLoadedJSON_ = true;
    reported = true;
    loadJSONArray(std::move(records));
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
    if (!reported) reportLoaded(false);
  }
}

ns::Value MainSliderBase::posterRecordFromItem(const ns::Value& item) {
  auto text = [](const ns::Value& v) { return TLSettings::stringFromObject(v); };
  std::string bgColor = text(item["background_color"]);
  bool foreign = TLSettings::intFromObject(item["is_foreign_link"]) == 1;
  std::string counter = foreign ? text(item["foreign_link_click_counter"]) : std::string();
  std::string link = foreign ? text(item["foreign_link_url"]) : std::string();
  std::string poster = text(item["poster"]);
  // A missing or malformed title_info reads as nil, whose values are all empty.
  ns::Value info = TLSettings::dictionaryOrNilFromObject(item["title_info"]);
  std::string name = text(info["title"]);
  ns::Dictionary foreignDict{{"filmName", name},
                             {"is_foreign_link", foreign ? 1 : 0},
                             {"foreign_link_click_counter", counter},
                             {"foreign_link_url", link}};
  return ns::Dictionary{{"name", name},
                        {"yeahr", text(info["year"])},
                        {"bgColor", bgColor},
                        {"id", TLSettings::idFromObject(info["id"])},
                        {"country", text(info["country"])},
                        {"genre", text(info["description"])},
                        {"image", text(info["image"])},
                        {"poster", poster},
                        {"foreignDict", std::move(foreignDict)},
                        {"url", text(info["url"])},
                        {"rating", text(info["rating"])},
                        {"age", ""},
                        {"description", text(info["about"])},
                        {"rubric", text(info["category"])},
                        {"parent_id", ""}};
}

ui::Color MainSliderBase::fromHexToRGBColor(const ns::Value& value) {
  const std::string* text = value.asString();
  std::u16string units = text ? ns::toUTF16(*text) : std::u16string();
  // Red from the 2nd and 3rd characters, green from the 4th and 5th, blue from the 6th to the end.
  if (text && units.empty()) return ui::Color::blackColor();
  if (!text || units.size() < 5) {
    ns::log("Exception: %@", text ? "colour text too short" : "colour is not a text");
    return ui::Color::blackColor();
  }
  auto component = [&](std::size_t from, std::size_t length) {
    // The hexadecimal scanner: its own "0x" prefix, then digits up to the first other character.
    std::u16string part = u"0x" + units.substr(from, length);
    std::size_t i = 2;
    unsigned long long v = 0;
    for (; i < part.size(); ++i) {
      char16_t c = part[i];
      int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                  : c >= u'a' && c <= u'f' ? c - u'a' + 10
                  : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                           : -1;
      if (digit < 0) break;
      v = std::min<unsigned long long>(v * 16 + static_cast<unsigned>(digit), 0xFFFFFFFFull);
    }
    return static_cast<double>(std::min<unsigned long long>(v, 255)) / 255.0;
  };
  return ui::Color::colorWithRed(component(1, 2), component(3, 2), component(5, std::u16string::npos), 1.0);
}

// MARK: The panel and the play action

std::string MainSliderBase::detailTextForRecord(const ns::Value& record) {
  std::vector<std::string> parts;
  if (int year = TLSettings::intFromObject(record["yeahr"])) parts.push_back(std::to_string(year));
  for (const char* key : {"country", "rubric", "genre"})
    if (auto part = TLSettings::stringOrNilFromObject(record[key])) parts.push_back(*part);
  std::string line;
  for (const std::string& part : parts) line += (line.empty() ? "" : ", ") + part;
  return line;
}

bool MainSliderBase::isForeignLink(const ns::Value& record) {
  return TLSettings::intFromObject(record["foreignDict"]["is_foreign_link"]) == 1;
}

void MainSliderBase::reloadSliderInfo() {
  guarded("Exception: %@", [&] {
    ns::Value record = recordAt(curPage_);
    if (!record.isDictionary()) return;
    nameLabel_->setText(TLSettings::stringFromObject(record["name"]));
    detailLabel_->setText(detailTextForRecord(record));
    if (descriptionLabel_) descriptionLabel_->setText(TLSettings::stringFromObject(record["description"]));
    if (record.asDictionary()->contains("rating")) setRating(TLSettings::intFromObject(record["rating"]));
  });
}

void MainSliderBase::setRating(int rating) {
  guarded("Exception: %@", [&] {
    if (ratingControl_) ratingControl_->removeFromSuperview();
    ratingControl_ = nullptr;
    ns::Value record = recordAt(pageControl_->currentPage());
    if (isForeignLink(record) || rating < 1) return;
    auto stars = std::make_shared<StarRatingView>()->initWithFrame(ratingFrame(), 5);
    stars->setAutoresizingMask(
        ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
        ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    stars->setRating(rating);
    ratingControl_ = stars;
    pageView_->addSubview(stars);
  });
}

void MainSliderBase::addPlayButtonWithFrame(const cg::Rect& frame) {
  guarded("Exception: %@", [&] {
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    button->addTarget(self<MainSliderBase>(), &MainSliderBase::willPlayMovie, ui::ControlEventTouchUpInside);
    if (isLoadedJSON_)
      button->setImage(ui::Image::imageNamed("playClickButton222.png"), ui::ControlStateNormal);
    button->setFrame(frame);
    button->setAutoresizingMask(
        ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
        ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    scrollView_->addSubview(button);
    playButton_ = button;
  });
}

void MainSliderBase::willPlayMovie() {
  guarded("Exception: %@", [&] {
    ns::Value record = recordAt(pageControl_->currentPage());
    if (isForeignLink(record)) {
      const ns::Value& info = record["foreignDict"];
      // The click counter's answer is of no interest; the outside page opens at once.
      std::string counter = TLSettings::stringFromObject(info["foreign_link_click_counter"]);
      if (auto counterURL = TLImageFetch::fetchableURL(counter)) {
        auto operation = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(
            ns::URLRequest::requestWithURL(counterURL));
        if (operation) {
          operation->limitResponseLength(kMaxCounterReplyLength);
          operation->start();
        }
      }
      // Only a web page leaves the application; a reply cannot make it open anything else.
      if (auto link = TLImageFetch::fetchableURL(TLSettings::stringFromObject(info["foreign_link_url"])))
        ui::Application::sharedApplication()->openURL(*link);
      return;
    }
    // The placeholder and records without a title address open nothing.
    std::string url = TLSettings::stringFromObject(record["url"]);
    if (url.empty()) return;
    ns::Dictionary titleInfo{{"id", TLSettings::titleInfoIdFromObject(record["id"])},
                             {"url", url},
                             {"title", TLSettings::stringFromObject(record["name"])},
                             {"description", TLSettings::stringFromObject(record["description"])},
                             {"parent_id", TLSettings::stringFromObject(record["parent_id"])}};
    ns::NotificationCenter::defaultCenter()->postNotificationName("TLOpenVideoItem", std::move(titleInfo));
  });
}
