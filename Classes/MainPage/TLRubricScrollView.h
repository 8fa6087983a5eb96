#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Classes/MainPage/TLRubricScrollViewBase.h"

class TLRubricScrollView;

// Told by a tablet rubric row whether its list has loaded.
class TLRubricScrollViewDelegate {
 public:
  virtual ~TLRubricScrollViewDelegate() = default;
  virtual void rubricViewDidLoadWithScrollView(bool loaded,
                                               const std::shared_ptr<TLRubricScrollView>& row) = 0;
};

// The tablet's rubric row. A home row loads its category's "popular" or "new" titles; a title
// page's rows load a series' episodes ("series") or a title's related titles ("adv") and cache
// them, or are rebuilt from those files; pages may also fill a row with a ready list, or make a
// persons row. The delegate hears once per load whether the list arrived.
class TLRubricScrollView final : public TLRubricScrollViewBase {
 public:
  using ui::View::initWithFrame;

  // A row for the URL and sort kind, its spinner turning; nothing is requested before start.
  std::shared_ptr<TLRubricScrollView> initWithUrl(std::optional<ns::URL> url, const cg::Rect& frame,
                                                  std::string sort);
  // A home-page row ("new" or "popular") for a get_category URL.
  std::shared_ptr<TLRubricScrollView> initForMainPageWithUrl(std::optional<ns::URL> url,
                                                             const cg::Rect& frame, std::string sort);
  // A persons row of records {"fullname", "id", "photo_76x101", "description"}; never reports.
  std::shared_ptr<TLRubricScrollView> initWithFrame(const cg::Rect& frame, ns::Array rolesArray);
  // A row rebuilt from a per-title list file, marking the item at the index ("-1" for none).
  // Null for a related-titles file without items. Never reports.
  std::shared_ptr<TLRubricScrollView> initWithFile(const std::string& fileName, const cg::Rect& frame,
                                                   const std::string& selectedItem);

  // Fills the row with a list; the category is a category id as text or a heading. An empty list
  // reports NO.
  void dataHasBeenLoadedForCategory(const std::string& category, const ns::Array& items);
  // Stops the row for good: the delegate is let go and later replies are ignored.
  void stopAsync();

  // A get_title or get_related reply as tiles, last item first, under the heading.
  void parseJSONForSerial(const ns::Value& JSON, const std::string& rubrickName);
  void saveJSONWithFileName(const std::string& fileName, const ns::Value& JSON);

  std::weak_ptr<TLRubricScrollViewDelegate> rubricDelegate() const { return rubricDelegate_; }
  void setRubricDelegate(std::weak_ptr<TLRubricScrollViewDelegate> delegate) {
    rubricDelegate_ = std::move(delegate);
  }
  // Tells the delegate, when there is one.
  void scrollViewHasBeenLoaded(bool loaded);

 protected:
  void loadCategory() override;
  void loadTitleList(const TitleListKind& kind) override;

 private:
  std::weak_ptr<TLRubricScrollViewDelegate> rubricDelegate_;
};
