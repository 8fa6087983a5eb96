#include "Classes/MainPage/TLTitleListCache.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLTitleFilmSubview.h"
#include "Classes/TitlePage/TLTitleSections.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/Format.h"

// The tablet's sections below the header and the strips that learn which sections exist.

namespace {

constexpr const char* kEpisodesHeading = "ВЫБОР ЭПИЗОДА";
constexpr const char* kRelatedHeading = "СМОТРИТЕ ТАКЖЕ";

std::string textOf(const ns::Value& value) { return TLSettings::idFromObject(value); }

cg::Rect stripFrame(ui::InterfaceOrientation orientation, double width, double height) {
  return {0, ui::isPortrait(orientation) ? 300.0 : 342.0, width, height};
}

// The heading's one action: a row reports and is rebuilt, and a second action would open the
// section twice.
template <class Page>
void attach(const std::shared_ptr<TLRubricScrollViewBase>& row, const std::shared_ptr<Page>& page,
            void (TitlePageViewController::*action)()) {
  if (!row || !row->rubrikLabel()) return;
  row->rubrikLabel()->removeTarget(page.get(), ui::ControlEventTouchUpInside);
  row->rubrikLabel()->addTarget(std::static_pointer_cast<TitlePageViewController>(page), action,
                                ui::ControlEventTouchUpInside);
}

void setHeading(const std::shared_ptr<TLRubricScrollViewBase>& row, const char* text) {
  if (row && row->rubrikLabel()) row->rubrikLabel()->setTitle(text, ui::ControlStateNormal);
}

}  // namespace

// --- The switch ---------------------------------------------------------------------------------

void TitlePageViewController::loadSegmentedButton() {
  TLLogExceptions([&] {
    auto me = self<TitlePageViewController>();
    if (!segmentedControl_) {
      // The first call: a hidden switch of all four segments, in no view.
      segmentedControl_ = TLTitleSections::makeSwitch(TLTitleSections::placeholderLayout(), 10.0f,
                                                      "segment_button", "segment_button_pressed", me);
      segmentedControl_->setFrame({170, 60, 486, 38});
      segmentedControl_->setHidden(true);
      return;
    }
    segmentedControl_->setHidden(true);
    segmentedControl_->removeFromSuperview();
    auto layout = TLTitleSections::layoutFor(isSeries_, isRoles_, isAdvanced_);
    if (!layout) return;
    segmentedControl_ =
        TLTitleSections::makeSwitch(*layout, 10.0f, "segment_button", "segment_button_pressed", me);
    segmentedControl_->setFrame({view()->bounds().width() / 2 - layout->width / 2, 60, layout->width, 38});
    view()->addSubview(segmentedControl_);
  });
}

void TitlePageViewController::touchUpInsideSegmentIndex(unsigned segmentIndex) {
  TLLogExceptions([&] {
    if (titleScroll_) titleScroll_->setHidden(true);
    double width = view()->bounds().width();
    cg::Rect frame{0, 114, width, ui::isPortrait(statusBarOrientation()) ? 880.0 : 640.0};
    int section = TLTitleSections::sectionForPosition(segmentIndex, isSeries_, isRoles_);
    if (section == TLTitleSections::description) {
      if (titleScroll_) titleScroll_->setHidden(false);
      if (titleSubview_) titleSubview_->removeFromSuperview();
      return;
    }
    TLTitleSections::sendSectionEvent(screenName(), section);
    auto next = TLTitleSections::sectionView<TLTitleFilmSubview>(section, frame, senderInfo_, pageActors_);
    if (!next) return;
    if (titleScroll_) titleScroll_->setHidden(true);
    if (auto old = std::dynamic_pointer_cast<TLTitleFilmSubview>(titleSubview_)) old->stopAsync();
    if (titleSubview_) titleSubview_->removeFromSuperview();
    titleSubview_ = next;
    changeTitleSubviewOrientationTo(statusBarOrientation());
    view()->addSubview(titleSubview_);
  });
}

void TitlePageViewController::showSeriesSubview() {
  unsigned position = TLTitleSections::positionOfSection(TLTitleSections::episodes, isSeries_, isRoles_);
  if (segmentedControl_) {
    segmentedControl_->setSelectedAtIndex(position);
    segmentedControl_->deselectAtIndex(0);
  }
  touchUpInsideSegmentIndex(position);
}

void TitlePageViewController::showRolesSubView() {
  unsigned position = TLTitleSections::positionOfSection(TLTitleSections::persons, isSeries_, isRoles_);
  if (segmentedControl_) {
    segmentedControl_->setSelectedAtIndex(position);
    segmentedControl_->deselectAtIndex(0);
  }
  touchUpInsideSegmentIndex(position);
}

void TitlePageViewController::showAlsoSubView() {
  unsigned position = TLTitleSections::positionOfSection(TLTitleSections::related, isSeries_, isRoles_);
  if (segmentedControl_) {
    segmentedControl_->setSelectedAtIndex(position);
    segmentedControl_->deselectAtIndex(0);
  }
  touchUpInsideSegmentIndex(position);
}

int TitlePageViewController::getCurrentIndexForSegment(int position) const {
  return TLTitleSections::currentIndexForSegment(position, isSeries_, isRoles_, isAdvanced_);
}

double TitlePageViewController::calculateContentOffsetWithViewWidth(double viewWidth, double contentWidth,
                                                                    double elementWidth, int elementNumber) {
  return TLRubricScrollView::calculateContentOffsetWithViewWidth(viewWidth, contentWidth, elementWidth,
                                                                 elementNumber);
}

// --- The strips -------------------------------------------------------------------------------

void TitlePageViewController::loadSeriesView(const std::optional<std::string>& url,
                                             const std::optional<std::string>& parentID) {
  TLLogExceptions([&] {
    auto me = self<TitlePageViewController>();
    if (seriesView_) seriesView_->removeFromSuperview();
    ui::InterfaceOrientation orientation = statusBarOrientation();
    cg::Rect frame = stripFrame(orientation, view()->bounds().width(), 228);
    if (TLTitleSections::isRoot(senderInfo_)) {
      std::string address = TLTitleSections::isPosterMarked(senderInfo_)
                                ? TLSettings::getURLforSeriesListFilm(senderInfo_["parent_id"])
                                : url.value_or("");
      seriesView_.reset();
      auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(ns::URL::URLWithString(address), frame,
                                                                     "series");
      seriesView_ = row;
      row->setIsLabelCenter(true);
      row->setIsItemSelected(true);
      row->setSelectedIndex("0");
      row->setParent_id(parentID.value_or(""));
      row->setAge(TLSettings::stringOrNilFromObject(dopInfo_["age"]));
      row->setGenre(TLSettings::stringOrNilFromObject(dopInfo_["genre"]));
      row->setRubrik(TLSettings::stringOrNilFromObject(dopInfo_["rubric_name"]));
      row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegate>(me));
      if (titleScroll_) titleScroll_->addSubview(row);
      row->setInOtherPage(true);
      setHeading(row, kEpisodesHeading);
      row->setIsButtonEnabled(true);
      row->start();
      if (segmentedControl_) segmentedControl_->setHidden(false);
      showAdvancedView();
      attach(seriesView_, me, &TitlePageViewController::showSeriesSubview);
      return;
    }
    std::string fileName = ns::format("%@ser.plist", textOf(senderInfo_["parent_id"]));
    ns::Value file = TLTitleListCache::read(fileName);
    senderInfo_ = TLTitleSections::withItemIndex(senderInfo_, file["items"]);
    std::string selected = TLTitleSections::selectedItemString(senderInfo_);
    seriesView_.reset();
    auto row = std::make_shared<TLRubricScrollView>()->initWithFile(fileName, frame, selected);
    seriesView_ = row;
    if (row) {
      row->setInOtherPage(true);
      row->setIsLabelCenter(true);
    }
    isLoadedFromFile_ = true;
    if (!file["rating"].isNil() && filmView_) filmView_->setRating(TLSettings::intFromObject(file["rating"]));
    if (row) {
      setHeading(row, kEpisodesHeading);
      row->setIsButtonEnabled(true);
      row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegate>(me));
      row->start();
    }
    isSeries_ = row != nullptr;
    if (!row) {
      changeScrollsOrientationTo(orientation);
      changeTitleScrollOrientationTo(orientation);
    }
    loadSegmentedButton();
    if (segmentedControl_) segmentedControl_->setHidden(false);
    showAdvancedView();
    attach(seriesView_, me, &TitlePageViewController::showSeriesSubview);
    if (row && titleScroll_) titleScroll_->addSubview(row);
    stopActivity();
    changeScrollsOrientationTo(statusBarOrientation());
  });
}

void TitlePageViewController::loadAdvancedView() {
  TLLogExceptions([&] {
    auto me = self<TitlePageViewController>();
    if (advancedView_) advancedView_->removeFromSuperview();
    ui::InterfaceOrientation orientation = statusBarOrientation();
    cg::Rect frame = stripFrame(orientation, view()->bounds().width(), 228);
    std::shared_ptr<TLRubricScrollView> row;
    bool root = TLTitleSections::isRoot(senderInfo_);
    if (root) {
      std::string titleId =
          textOf(TLTitleSections::isPosterMarked(senderInfo_) ? senderInfo_["parent_id"] : senderInfo_["id"]);
      row = std::make_shared<TLRubricScrollView>()->initWithUrl(
          ns::URL::URLWithString(TLSettings::getURLforAdvancedListFilm(titleId)), frame, "adv");
    } else {
      row = std::make_shared<TLRubricScrollView>()->initWithFile(
          ns::format("%@als.plist", textOf(senderInfo_["parent_id"])), frame, "-1");
    }
    advancedView_ = row;
    if (row) {
      if (titleScroll_) titleScroll_->addSubview(row);
      setHeading(row, kRelatedHeading);
      row->setIsButtonEnabled(true);
      row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegate>(me));
      row->start();
      attach(advancedView_, me, &TitlePageViewController::showAlsoSubView);
      row->setHidden(true);
    }
    if (root) {
      if (!row) {
        isAdvanced_ = false;
        changeScrollsOrientationTo(orientation);
        changeTitleScrollOrientationTo(orientation);
      }
      return;
    }
    isAdvanced_ = row != nullptr;
    changeScrollsOrientationTo(orientation);
    changeTitleScrollOrientationTo(orientation);
    loadSegmentedButton();
    attach(advancedView_, me, &TitlePageViewController::showAlsoSubView);
    changeScrollsOrientationTo(statusBarOrientation());
  });
}

void TitlePageViewController::loadRolesView() {
  auto me = self<TitlePageViewController>();
  if (roleView_) roleView_->removeFromSuperview();
  ui::InterfaceOrientation orientation = statusBarOrientation();
  cg::Rect frame = stripFrame(orientation, view()->bounds().width(), 230);
  const ns::Array* actors = pageActors_.asArray();
  auto row = std::make_shared<TLRubricScrollView>()->initWithFrame(frame, actors ? *actors : ns::Array());
  roleView_ = row;
  row->setAutoresizingMask(ui::ViewAutoresizingNone);
  row->setRubricDelegate(std::static_pointer_cast<TLRubricScrollViewDelegate>(me));
  row->setIsButtonEnabled(true);
  isRoles_ = true;
  // The persons strip is 40 points lower than a titles strip.
  cg::Rect shorter = row->frame();
  shorter.size.height -= 40;
  row->setFrame(shorter);
  if (auto scroll = row->scrollView()) {
    scroll->setFrame({shorter.origin.x, 0, shorter.width(), 190});
    cg::Size content = scroll->contentSize();
    scroll->setContentSize({content.width, content.height - 40});
  }
  attach(roleView_, me, &TitlePageViewController::showRolesSubView);
  if (titleScroll_) titleScroll_->addSubview(row);
  if (isLoadedFromFile_) {
    loadSegmentedButton();
    if (segmentedControl_) segmentedControl_->setHidden(false);
  }
  changeScrollsOrientationTo(statusBarOrientation());
  changeTitleScrollOrientationTo(orientation);
}

void TitlePageViewController::showAdvancedView() {
  if (advancedView_ && !advancedView_->isLoadFailed()) advancedView_->setHidden(false);
}

void TitlePageViewController::rubricViewDidLoadWithScrollView(
    bool loaded, const std::shared_ptr<TLRubricScrollView>& row) {
  TLLogExceptions([&] {
    auto me = self<TitlePageViewController>();
    ui::InterfaceOrientation orientation = statusBarOrientation();
    if (row && row == seriesView_) {
      isSeries_ = loaded;
      row->setIsButtonEnabled(true);
      attach(seriesView_, me, &TitlePageViewController::showSeriesSubview);
      stopActivity();
      loadSegmentedButton();
      showAdvancedView();
      if (segmentedControl_) segmentedControl_->setHidden(false);
      if (!isSeries_ && seriesView_) seriesView_->removeFromSuperview();
    }
    if (row && row == advancedView_) {
      isAdvanced_ = loaded;
      if (!loaded) row->setHidden(true);
      row->setIsButtonEnabled(true);
      attach(advancedView_, me, &TitlePageViewController::showAlsoSubView);
      stopActivity();
      loadSegmentedButton();
    }
    if (row && row == roleView_) {
      isRoles_ = loaded;
      row->setIsButtonEnabled(true);
      attach(roleView_, me, &TitlePageViewController::showRolesSubView);
    }
    changeScrollsOrientationTo(orientation);
    changeTitleScrollOrientationTo(orientation);
  });
}
