#include "Classes/TitlePage/TLTitleFilmSubview.h"

#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/PageShell.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLRolesItem.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Foundation/Thread.h"
#include "UIKit/Application.h"

namespace {

ui::InterfaceOrientation statusBarOrientation() {
  return ui::Application::sharedApplication()->statusBarOrientation();
}

// Lets go of the last reference on the main thread, where views are released.
template <class T>
void releaseOnMain(std::shared_ptr<T>&& object) {
  if (object) dispatch::async(dispatch::mainQueue(), [keep = std::move(object)] {});
}

}  // namespace

std::shared_ptr<TLTitleFilmSubview> TLTitleFilmSubview::initWithFrame(const cg::Rect& frame,
                                                                      const std::string& fileName,
                                                                      const std::string& sort,
                                                                      const std::string& indexSelected) {
  ui::View::initWithFrame(frame);
  setIsSeries(sort == "ser");
  createScrollView();
  setIndexItemSelected(indexSelected);
  setBackgroundColor(ui::Color::clearColor());
  setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  setItems(itemsOfListFile(fileName));
  // The first layout pass builds the grid.
  setNeedsLayout();
  return self<TLTitleFilmSubview>();
}

std::shared_ptr<TLTitleFilmSubview> TLTitleFilmSubview::initForRoleWithFrame(const cg::Rect& frame,
                                                                             ns::Array items) {
  ui::View::initWithFrame(frame);
  setIsRole(true);
  setIsSeries(false);
  setIndexItemSelected("-1");
  setItems(std::move(items));
  setBackgroundColor(ui::Color::clearColor());
  viewScroll_ =
      std::make_shared<ui::ScrollView>()->initWithFrame({frame.origin.x, 0, frame.width(), frame.height()});
  viewScroll_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  addSubview(viewScroll_);
  createRoleItems();
  return self<TLTitleFilmSubview>();
}

std::shared_ptr<TLTitleFilmSubview> TLTitleFilmSubview::initWithFrame(const cg::Rect& frame,
                                                                      const ns::URL& url) {
  ui::View::initWithFrame(frame);
  createScrollView();
  setUrlForParse(url);
  auto request = ns::URLRequest::requestWithURL(url);
  startJSONRequest(
      request, [](const ns::Value&) {}, nullptr);
  return self<TLTitleFilmSubview>();
}

void TLTitleFilmSubview::createScrollView() {
  cg::Rect frame =
      ui::isPortrait(statusBarOrientation()) ? cg::Rect{5, 0, 763, 880} : cg::Rect{30, 0, 990, 640};
  viewScroll_ = std::make_shared<ui::ScrollView>()->initWithFrame(frame);
  viewScroll_->setBounces(true);
  addSubview(viewScroll_);
}

void TLTitleFilmSubview::stopAsync() {
  stopped_ = true;
  if (queue_) queue_->cancelAllOperations();
}

void TLTitleFilmSubview::layoutSubviews() {
  if (stopped_) return;
  // A rebuild replaces the scroll view, which asks for layout again: only a turn rebuilds.
  int orientation = static_cast<int>(statusBarOrientation());
  if (prevOr_ == orientation) return;
  if (isRole())
    createRoleItems();
  else
    createPreviewItems();
}

void TLTitleFilmSubview::createPreviewItems() { startBuild(false); }

void TLTitleFilmSubview::createRoleItems() { startBuild(true); }

void TLTitleFilmSubview::startActivityIndicator() {
  if (!activity_) {
    activity_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::whiteLarge);
    activity_->setCenter({bounds().width() / 2, bounds().height() / 2});
    activity_->setAutoresizingMask(
        ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
        ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleBottomMargin);
    addSubview(activity_);
  }
  activity_->startAnimating();
}

void TLTitleFilmSubview::stopActivityIndicator() {
  if (activity_) activity_->stopAnimating();
}

bool TLTitleFilmSubview::isCancelFromOperationQueue(int tag) const {
  if (!queue_) return false;
  for (const auto& operation : queue_->operations())
    if (auto tagged = std::dynamic_pointer_cast<TLTaggedOperation>(operation); tagged && tagged->tag() == tag)
      return tagged->isCancelled();
  return false;
}

bool TLTitleFilmSubview::isCurrent(const Build& build) const {
  return !stopped_ && build.tag == currentTag_ && build.scroll == viewScroll_;
}

void TLTitleFilmSubview::startBuild(bool persons) {
  try {
    startActivityIndicator();
    ui::InterfaceOrientation orientation = statusBarOrientation();
    prevOr_ = static_cast<int>(orientation);
    bool portrait = ui::isPortrait(orientation);
    if (queue_) queue_->cancelAllOperations();
    if (viewScroll_) viewScroll_->removeFromSuperview();
    createScrollView();
    if (!queue_) queue_ = std::make_shared<ns::OperationQueue>();

    // Everything the worker reads is taken here, on the main thread.
    auto build = std::make_shared<Build>();
    build->tag = ++currentTag_;
    build->scroll = viewScroll_;
    build->selected = indexItemSelected();
    build->series = isSeries();
    if (persons) {
      ns::Value people = TLSettings::arrayOrNilFromObject(ns::Value(items()));
      if (const ns::Array* list = people.asArray()) build->items = *list;
      build->columns = portrait ? 3 : 4;
      build->firstX = portrait ? 30 : 10;
      build->pitchX = 235;
      build->rowHeight = 180;
    } else {
      build->items = items();
      build->columns = portrait ? 4 : 5;
      build->firstX = portrait ? 5 : 10;
      build->pitchX = 190;
      build->rowHeight = 160;
    }
    std::size_t n = build->items.size();
    std::size_t rows = (n + build->columns - 1) / build->columns;
    viewScroll_->setContentSize({viewScroll_->frame().width(), static_cast<double>(rows) * build->rowHeight});
    // Nothing to add: no tile would ever stop the spinner.
    if (n == 0) return stopActivityIndicator();

    std::weak_ptr<TLTitleFilmSubview> weak = self<TLTitleFilmSubview>();
    auto operation = std::make_shared<TLTaggedOperation>(
        build->tag, [weak, build, persons](const TLTaggedOperation& op) mutable {
          try {
            if (persons)
              addRoleAsync(weak, *build, op);
            else
              addPreviewsAsync(weak, *build, op);
          } catch (const std::exception& e) {
            ns::log("Exception: %@", e.what());
          }
          releaseOnMain(std::move(build));
        });
    queue_->addOperation(operation);
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLTitleFilmSubview::handOver(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                                  std::shared_ptr<ui::View> tile) {
  ns::performOnMainThread(
      [&] {
        auto view = weak.lock();
        if (view && view->isCurrent(build)) build.scroll->addSubview(tile);
        tile.reset();
      },
      true);
}

void TLTitleFilmSubview::stopSpinnerLater(const std::weak_ptr<TLTitleFilmSubview>& weak, int tag) {
  dispatch::async(dispatch::mainQueue(), [weak, tag] {
    auto view = weak.lock();
    if (view && view->currentTag_ == tag) view->stopActivityIndicator();
  });
}

void TLTitleFilmSubview::addTilesAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                                       const TLTaggedOperation& operation, const MakeTile& makeTile) {
  std::size_t n = build.items.size();
  for (std::size_t p = 0; p < n; ++p) {
    if (operation.isCancelled()) return;
    std::size_t column = p % build.columns, row = p / build.columns;
    cg::Point origin{build.firstX + static_cast<double>(column) * build.pitchX,
                     static_cast<double>(row) * build.rowHeight};
    handOver(weak, build, makeTile(build.items[p], origin, p));
    if (column + 1 == static_cast<std::size_t>(build.columns) || p + 1 == n)
      stopSpinnerLater(weak, build.tag);
  }
}

void TLTitleFilmSubview::addPreviewsAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                                          const TLTaggedOperation& operation) {
  std::size_t n = build.items.size();
  addTilesAsync(weak, build, operation, [&](const ns::Value& entry, cg::Point origin, std::size_t p) {
    auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({origin, {0, 0}}, 2);
    if (build.series) {
      tile->setTypeIsEpisode(true);
      tile->setItemIndex(itemIndexAt(p, n));
    }
    tile->setLoadPriority(3);
    tile->setIsItemSelected(isSelectedEntry(build.selected, p, n));
    tile->setTitle(entryText(entry, "title"));
    tile->setDescription(entryText(entry, "description"));
    tile->setID(entry["id"]);
    tile->setUrl(entryText(entry, "url"));
    tile->setImageUrl(entryText(entry, "image"));
    tile->setParent_id(entryText(entry, "parent_id"));
    if (build.series) tile->setLabelCenter();
    return std::static_pointer_cast<ui::View>(tile);
  });
}

void TLTitleFilmSubview::addRoleAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                                      const TLTaggedOperation& operation) {
  addTilesAsync(weak, build, operation, [](const ns::Value& person, cg::Point origin, std::size_t) {
    auto tile = std::make_shared<TLRolesItem>()->initWithFrame({origin, {0, 0}});
    tile->setLoadPriority(-2);
    tile->setTitle(TLSettings::stringFromObject(person["fullname"]));
    tile->setId_actor(entryText(person, "id").value_or(""));
    tile->setImage(TLSettings::stringFromObject(person["photo_76x101"]));
    return std::static_pointer_cast<ui::View>(tile);
  });
}
