#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLTitleSections.h"
#include "Classes/iphone/TitlePage/TLTitleFilmSubview_iphone.h"
#include "Classes/iphone/TitlePage/TitlePageViewController_iphone.h"
#include "Foundation/Format.h"
#include "Graphics/Layer.h"
#include "UIKit/ImageView.h"

// The phone's sections and the rows that cache its lists; the rows are never shown.

namespace {

std::string textOf(const ns::Value& value) { return TLSettings::idFromObject(value); }

std::shared_ptr<cg::GradientLayer> edgeFade(const cg::Rect& bounds, cg::Color from, cg::Color to,
                                            cg::Point start, cg::Point end) {
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(bounds);
  mask->setColors({from, to});
  mask->setStartPoint(start);
  mask->setEndPoint(end);
  return mask;
}

void attach(const std::shared_ptr<TLRubricScrollViewBase>& row,
            const std::shared_ptr<TitlePageViewController>& page, void (TitlePageViewController::*action)()) {
  if (!row || !row->rubrikLabel()) return;
  row->rubrikLabel()->removeTarget(page.get(), ui::ControlEventTouchUpInside);
  row->rubrikLabel()->addTarget(page, action, ui::ControlEventTouchUpInside);
}

}  // namespace

void TitlePageViewController_iphone::loadSwitchBar() {
  auto page = view();
  // A reload takes the fades off the page; the bar is then built again.
  if (switchScroll_ && switchFade_ && switchFade_->superview() == page) return;
  if (switchBackground_) switchBackground_->removeFromSuperview();
  if (switchFade_) switchFade_->removeFromSuperview();
  double vw = page->bounds().width();
  cg::Color clear = cg::Color::rgba(0, 0, 0, 0), white = cg::Color::rgba(1, 1, 1, 1);
  auto background = std::make_shared<ui::ImageView>()->initWithFrame({0, 44, vw, 53});
  if (auto image = ui::Image::imageNamed("switchBG"))
    background->setImage(image->stretchableImageWithLeftCapWidth(5, 0));
  background->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  page->addSubview(background);
  switchBackground_ = background;
  auto left = std::make_shared<ui::View>()->initWithFrame({0, 44, vw, 53});
  left->layer()->setMask(edgeFade(left->bounds(), clear, white, {0, 1}, {0.05, 1}));
  page->addSubview(left);
  switchFade_ = left;
  auto right = std::make_shared<ui::View>()->initWithFrame({0, 0, vw, 53});
  right->layer()->setMask(edgeFade(right->bounds(), white, clear, {0.95, 1}, {1, 1}));
  left->addSubview(right);
  switchScroll_ = std::make_shared<ui::ScrollView>()->initWithFrame({0, 0, vw, 53});
  switchScroll_->setShowsHorizontalScrollIndicator(false);
  switchScroll_->setBounces(true);
  right->addSubview(switchScroll_);
  if (segmentedControl_) {
    switchScroll_->addSubview(segmentedControl_);
    switchScroll_->setContentSize({segmentedControl_->frame().width() + 40, 53});
  }
}

void TitlePageViewController_iphone::loadSegmentedButton() {
  TLLogExceptions([&] {
    loadSwitchBar();
    auto me = self<TitlePageViewController_iphone>();
    if (!segmentedControl_) {
      segmentedControl_ = TLTitleSections::makeSwitch(TLTitleSections::placeholderLayout(), 6.0f,
                                                      "segment_button", "segment_button_pressed", me);
      segmentedControl_->setFrame({20, 9, 480, 38});
      segmentedControl_->setHidden(true);
      switchScroll_->addSubview(segmentedControl_);
      switchScroll_->setContentSize({segmentedControl_->frame().width() + 40, 53});
      return;
    }
    segmentedControl_->setHidden(true);
    segmentedControl_->removeFromSuperview();
    auto layout = TLTitleSections::layoutFor(isSeries_, isRoles_, isAdvanced_);
    if (!layout) return;
    segmentedControl_ =
        TLTitleSections::makeSwitch(*layout, 6.0f, "customBTN_normal", "customBTN_clicked", me);
    double x = std::max(view()->bounds().width() / 2 - layout->width / 2, 20.0);
    segmentedControl_->setFrame({x, 9, layout->width, 38});
    switchScroll_->addSubview(segmentedControl_);
    segmentedControl_->setHidden(true);
    switchScroll_->setContentSize({layout->width + 40, 53});
  });
}

void TitlePageViewController_iphone::touchUpInsideSegmentIndex(unsigned segmentIndex) {
  TLLogExceptions([&] {
    cg::Rect b = view()->bounds();
    cg::Rect frame{0, 109, b.width(), b.height() - 109};
    int section = TLTitleSections::sectionForPosition(segmentIndex, isSeries_, isRoles_);
    changeButtonOffsetWithIndex(section);
    if (section == TLTitleSections::description) {
      if (filmView_) filmView_->setHidden(false);
      if (titleSubview_) titleSubview_->removeFromSuperview();
      return;
    }
    TLTitleSections::sendSectionEvent(screenName(), section);
    auto next =
        TLTitleSections::sectionView<TLTitleFilmSubview_iphone>(section, frame, senderInfo_, pageActors_);
    if (!next) return;
    if (filmView_) filmView_->setHidden(true);
    if (titleSubview_) titleSubview_->removeFromSuperview();
    titleSubview_ = next;
    view()->addSubview(titleSubview_);
  });
}

void TitlePageViewController_iphone::changeButtonOffsetWithIndex(int index) {
  TLLogExceptions([&] {
    if (!segmentedControl_ || !switchScroll_) return;
    std::size_t n = segmentedControl_->buttons().size();
    if (n < 3) return;
    double width = segmentedControl_->frame().width();
    double x = segmentedControl_->frame().origin.x;
    double step = width / static_cast<double>(n);
    double offset = index == 0 ? 0 : index * step - step / 2;
    double limit = width - 2 * step - x;
    if (offset > limit) offset = limit - 20;
    auto scroll = switchScroll_;
    ui::View::animateWithDuration(0.3, [scroll, offset] { scroll->setContentOffset({offset, 0}); });
  });
}

// --- The rows -----------------------------------------------------------------------------------

void TitlePageViewController_iphone::loadSeriesView(const std::optional<std::string>& url,
                                                    const std::optional<std::string>& parentID) {
  TLLogExceptions([&] {
    auto me = self<TitlePageViewController_iphone>();
    std::weak_ptr<TLRubricScrollViewDelegateIphone> delegate =
        std::static_pointer_cast<TLRubricScrollViewDelegateIphone>(me);
    if (TLTitleSections::isRoot(senderInfo_)) {
      std::string address = TLTitleSections::isPosterMarked(senderInfo_)
                                ? TLSettings::getURLforSeriesListFilm(senderInfo_["parent_id"])
                                : url.value_or("");
      seriesView_.reset();
      auto row = std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(ns::URL::URLWithString(address),
                                                                            {0, 342, 640, 228}, "series");
      seriesView_ = row;
      row->setIsItemSelected(true);
      row->setSelectedIndex("0");
      row->setParent_id(parentID.value_or(""));
      row->setAge(TLSettings::stringOrNilFromObject(dopInfo_["age"]));
      row->setGenre(TLSettings::stringOrNilFromObject(dopInfo_["genre"]));
      row->setRubrik(TLSettings::stringOrNilFromObject(dopInfo_["rubric_name"]));
      row->setRubricDelegate(delegate);
      row->setInOtherPage(true);
      row->start();
      return;
    }
    std::string fileName = ns::format("%@ser.plist", textOf(senderInfo_["parent_id"]));
    ns::Value file = TLTitleListCache::read(fileName);
    senderInfo_ = TLTitleSections::withItemIndex(senderInfo_, file["items"]);
    std::string selected = TLTitleSections::selectedItemString(senderInfo_);
    seriesView_.reset();
    auto row =
        std::make_shared<TLRubricScrollView_iphone>()->initWithFile(fileName, {0, 342, 640, 228}, selected);
    seriesView_ = row;
    if (row) row->setInOtherPage(true);
    isLoadedFromFile_ = true;
    // Only a list with its rating counts as the series' list here.
    if (file["rating"].isNil()) return;
    if (filmView_) filmView_->setRating(TLSettings::intFromObject(file["rating"]));
    if (row) row->setRubricDelegate(delegate);
    isSeries_ = row != nullptr;
    loadSegmentedButton();
  });
}

void TitlePageViewController_iphone::loadAdvancedView() {
  TLLogExceptions([&] {
    if (!TLTitleSections::isRoot(senderInfo_)) return;
    auto me = self<TitlePageViewController_iphone>();
    std::string titleId =
        textOf(TLTitleSections::isPosterMarked(senderInfo_) ? senderInfo_["parent_id"] : senderInfo_["id"]);
    auto row = std::make_shared<TLRubricScrollView_iphone>()->initWithUrl(
        ns::URL::URLWithString(TLSettings::getURLforAdvancedListFilm(titleId)), {0, 0, 110, 100}, "adv");
    advancedView_ = row;
    row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegateIphone>(me));
    row->start();
    row->setHidden(true);
  });
}

void TitlePageViewController_iphone::rubricViewDidLoadWithScrollView(
    bool loaded, const std::shared_ptr<TLRubricScrollView_iphone>& row) {
  TLLogExceptions([&] {
    auto me = std::static_pointer_cast<TitlePageViewController>(self<TitlePageViewController_iphone>());
    if (row && row == seriesView_) {
      isSeries_ = loaded;
      row->enableButton(true);
      attach(seriesView_, me, &TitlePageViewController::showSeriesSubview);
      if (activityView_) activityView_->stopAnimating();
      if (activityForList_) activityForList_->stopAnimating();
      loadSegmentedButton();
      if (segmentedControl_) segmentedControl_->setHidden(false);
      showAdvancedView();
    }
    if (row && row == advancedView_) {
      isAdvanced_ = loaded;
      row->enableButton(true);
      attach(advancedView_, me, &TitlePageViewController::showAlsoSubView);
    }
    if (row && row == roleView_) {
      isRoles_ = loaded;
      row->enableButton(true);
      attach(roleView_, me, &TitlePageViewController::showRolesSubView);
    }
  });
}
