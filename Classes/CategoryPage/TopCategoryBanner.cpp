#include "Classes/CategoryPage/TopCategoryBanner.h"

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/DataFile.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "UIKit/Application.h"

namespace {

constexpr cg::Size kPortraitSize{768, 184};
constexpr cg::Size kLandscapeSize{1024, 200};
constexpr double kBelowPages = 140;
constexpr double kStripHeight = 20;

bool statusBarIsLandscape() {
  return ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
}

}  // namespace

std::shared_ptr<TopCategoryBanner> TopCategoryBanner::initWithCategoryId(long long categoryId,
                                                                         ns::Array films) {
  categoryId_ = categoryId;
  setUpSlider({{0, 0}, kPortraitSize}, std::move(films));
  return self<TopCategoryBanner>();
}

std::shared_ptr<TopCategoryBanner> TopCategoryBanner::initWithFilms(ns::Array films) {
  homeList_ = true;
  setUpSlider({{0, 0}, kPortraitSize}, std::move(films));
  return self<TopCategoryBanner>();
}

std::string TopCategoryBanner::posterListURL() const {
  return homeList_ ? TLSettings::getPostersURL() : TLSettings::postersInCategories();
}

std::shared_ptr<CustomPageControl> TopCategoryBanner::makePageControl() const {
  double width = pageView() ? pageView()->bounds().width() : scrollView()->bounds().width();
  auto dots = std::make_shared<CustomPageControl>()->initWithFrame(
      {statusBarIsLandscape() ? 472.0 : 344.0, 10, width, 8});
  dots->setNumberOfPages(static_cast<int>(filmList().size()));
  dots->setCurrentPage(0);
  return dots;
}

void TopCategoryBanner::addPageControll() {
  guarded("Exception: %@", [&] {
    auto strip = std::make_shared<ui::View>()->initWithFrame(
        {0, bounds().height() - 30, scrollView()->bounds().width(), kStripHeight});
    strip->setBackgroundColor(std::nullopt);
    strip->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                               ui::ViewAutoresizingFlexibleBottomMargin);
    setPageView(strip);
    auto dots = makePageControl();
    loadRatingControlWithFrame(dots->frame());
    strip->addSubview(dots);
    setPageControl(dots);
    addSubview(strip);
    // Built and sized with the strip, never shown.
    auto panel = std::make_shared<ui::ImageView>()->initWithFrame(strip->frame());
    panel->setImage(ui::Image::imageNamed("panelBG.png"));
    setSliderPanelImageView(panel);
  });
}

void TopCategoryBanner::rotatePageControl() { setPageControl(makePageControl()); }

void TopCategoryBanner::reloadSliderInfo() {
  guarded("Exception: %@", [&] { rating_ = TLSettings::intFromObject(recordAt(curPage())["rating"]); });
}

void TopCategoryBanner::reportLoaded(bool loaded) {
  if (!loaded) return;
  if (auto d = delegate()) d->TLMainSliderLoaded(true);
}

void TopCategoryBanner::layoutSubviews() {
  bool landscape = statusBarIsLandscape();
  layoutSlider(landscape ? kLandscapeSize : kPortraitSize, landscape ? 512 : 384, kBelowPages);
}

void TopCategoryBanner::didMoveToSuperview() {
  // Taken off its page for good: no later reply or timer may move it again.
  if (superview())
    placed_ = true;
  else if (placed_)
    stopAsync();
}

cg::Size TopCategoryBanner::largestPageSize() const { return kLandscapeSize; }

void TopCategoryBanner::loadImageFromURLToCache(const std::string& url) {
  auto target = TLImageFetch::fetchableURL(url);
  auto path = posterFilePath(url);
  if (!target) return;
  auto request = ns::URLRequest::requestWithURL(target);
  request->setCachePolicy(ns::URLRequestCachePolicy::UseProtocolCachePolicy);
  request->setTimeoutInterval(30.0);
  std::weak_ptr<TopCategoryBanner> weak = self<TopCategoryBanner>();
  auto operation = NTImageRequestOperation::imageRequestOperationWithRequest(
      request, [weak, path](const cg::ImagePtr& bitmap) {
        auto banner = weak.lock();
        if (!banner || banner->isStopped() || !bitmap) return;
        auto image = ui::Image::imageWithCGImage(bitmap);
        dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_BACKGROUND), [weak, image, path] {
          if (path) {
            ns::Data jpeg = ui::ImageJPEGRepresentation(image, 1.0);
            if (!jpeg.empty()) ns::writeDataToFile(jpeg, *path, true);
          }
          dispatch::async(dispatch::mainQueue(), [weak] {
            if (auto b = weak.lock(); b && !b->isStopped()) b->reloadImageToSlider();
          });
        });
      });
  if (!operation) return;
  operation->limitResponseLength(TLImageFetch::kMaxPictureLength);
  operation->limitResponseToPicture();
  operation->setPixelBox(TLImageFetch::pixelBox(largestPageSize()));
  operation->start();
}

void TopCategoryBanner::reloadImageToSlider() {
  guarded("Exception: %@", [&] {
    purgePages();
    loadPages();
    scrollView()->setBackgroundColor(fromHexToRGBColor(recordAt(pageControl()->currentPage())["bgColor"]));
  });
}
