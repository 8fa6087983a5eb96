#pragma once

#include <memory>
#include <string>

#include "Classes/SearchPage/TLSearchReply.h"
#include "UIKit/Application.h"
#include "UIKit/Label.h"
#include "UIKit/ScrollView.h"
#include "UIKit/View.h"

// Told when a search's results are on screen.
class TLSearchCompletedProtocol {
 public:
  virtual ~TLSearchCompletedProtocol() = default;
  virtual void searchCompleted() = 0;
};

// The tablet search page's body: sends the search, shows the found titles in one row of posters
// per category and a row of recommended titles under them.
class SearchView final : public ui::View {
 public:
  static constexpr const char* kRecommendedHeading = "РЕКОМЕНДУЕМ ПОСМОТРЕТЬ";

  // Starts the search for the query at once.
  std::shared_ptr<SearchView> initWithFrame(const cg::Rect& frame, std::string query);

  const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
  const std::shared_ptr<ui::View>& horizScrollView() const { return horizScrollView_; }
  const std::shared_ptr<ui::Label>& labelTop() const { return labelTop_; }
  const std::string& query() const { return query_; }
  void setQuery(std::string query) { query_ = std::move(query); }
  std::shared_ptr<TLSearchCompletedProtocol> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<TLSearchCompletedProtocol> delegate) { delegate_ = std::move(delegate); }

  // Hides the former rows, shows the waiting text and sends the search for the query. A reply to
  // an earlier search that comes later changes nothing.
  void searchBegin();
  // Builds the rows of a reply and the status text.
  void searchCompleted(const TLSearchReply::Grouped& result);
  void changeScrollOrientation(ui::InterfaceOrientation orientation);
  void layoutSubviews() override;
  void TLMainViewMenuClick() {}

 private:
  void loadView();

  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<ui::View> horizScrollView_;
  std::shared_ptr<ui::Label> labelTop_;
  std::string query_;
  std::weak_ptr<TLSearchCompletedProtocol> delegate_;
  TLLatestSearch search_;
};
