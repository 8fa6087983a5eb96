#include "Classes/SearchPage/SearchView.h"

#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLSettings.h"
#include "Foundation/Format.h"
#include "UIKit/Font.h"

namespace {
constexpr double kRowPitch = 240, kRowHeight = 230, kTop = 80;
}

std::shared_ptr<SearchView> SearchView::initWithFrame(const cg::Rect& frame, std::string query) {
  ui::View::initWithFrame(frame);
  scrollView_ = std::make_shared<ui::ScrollView>()->initWithFrame(frame);
  query_ = std::move(query);
  addSubview(scrollView_);
  loadView();
  return self<SearchView>();
}

void SearchView::loadView() {
  scrollView_->setBounces(true);
  labelTop_ = std::make_shared<ui::Label>()->initWithFrame({20, 10, 750, 50});
  labelTop_->setBackgroundColor(ui::Color::clearColor());
  labelTop_->setTextColor(ui::Color::colorWithRed(0.6, 0.6, 0.6, 1.0));
  labelTop_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  scrollView_->addSubview(labelTop_);
  searchBegin();
}

void SearchView::searchBegin() {
  labelTop_->setText("Идет поиск. Пожалуйста, подождите");
  labelTop_->setTextAlignment(ui::TextAlignment::Center);
  if (horizScrollView_) horizScrollView_->removeFromSuperview();
  std::weak_ptr<SearchView> weak = self<SearchView>();
  search_.send(
      query_,
      [weak](const ns::Value& reply) {
        auto view = weak.lock();
        if (!view) return;
        TLSearchReply::Grouped result;
        // A reply that cannot be read keeps the waiting text under the no-data alert.
        if (!TLLogExceptions([&] { result = TLSearchReply::groupForTablet(reply); })) {
          TLSettings::noServerDataAlert();
          return;
        }
        view->searchCompleted(result);
      },
      [weak](const ns::ErrorPtr& error) {
        if (weak.lock()) TLSettings::showConnectionError(error);
      });
}

void SearchView::searchCompleted(const TLSearchReply::Grouped& result) {
  std::size_t n = result.groups.size() + 1;
  double width = bounds().width();
  if (horizScrollView_) horizScrollView_->removeFromSuperview();
  horizScrollView_ = std::make_shared<ui::View>()->initWithFrame({0, 0, width, double(n) * kRowPitch + kTop});
  if (auto d = delegate()) d->searchCompleted();

  auto addRow = [&](std::size_t i, const std::string& category, const ns::Array& records) {
    auto row = std::make_shared<TLRubricScrollView>()->initWithUrl(
        std::nullopt,
        cg::Rect(0, kTop + kRowPitch * double(i), horizScrollView_->bounds().width(), kRowHeight), "popular");
    row->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    horizScrollView_->addSubview(row);
    row->dataHasBeenLoadedForCategory(category, records);
  };
  for (std::size_t i = 0; i < result.groups.size(); ++i)
    addRow(i, TLSearchReply::rowIdentifier(result.groups[i].category), result.groups[i].records);
  addRow(n - 1, kRecommendedHeading, result.recommended);

  if (n < 2) {
    labelTop_->setText(ns::format("По запросу \"%@\" ничего не найдено.", query_));
    labelTop_->setTextColor(ui::Color::whiteColor());
    labelTop_->setFont(ui::Font::systemFontOfSize(18.0));
  } else {
    labelTop_->setText(ns::format("По запросу \"%@\" найдено:", query_));
  }
  labelTop_->setTextAlignment(ui::TextAlignment::Left);
  scrollView_->addSubview(horizScrollView_);
  changeScrollOrientation(ui::Application::sharedApplication()->statusBarOrientation());
}

void SearchView::changeScrollOrientation(ui::InterfaceOrientation orientation) {
  bool landscape = ui::isLandscape(orientation);
  double W = landscape ? 1024.0 : 768.0, H = landscape ? 704.0 : 960.0;
  // Before the first result the view keeps its height.
  double contentHeight = horizScrollView_ ? horizScrollView_->frame().height() : frame().height();
  scrollView_->setContentSize({W, contentHeight});
  scrollView_->setFrame({scrollView_->frame().x(), 0, W, H});
  if (horizScrollView_) {
    cg::Rect f = horizScrollView_->frame();
    horizScrollView_->setFrame({f.x(), f.y(), W, f.height()});
  }
  cg::Rect f = frame();
  setFrame({f.x(), f.y(), W, contentHeight});
}

void SearchView::layoutSubviews() {
  changeScrollOrientation(ui::Application::sharedApplication()->statusBarOrientation());
}
