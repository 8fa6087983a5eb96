#include "Classes/MainPage/TLRubricScrollViewBase.h"

#include <algorithm>
#include <exception>

#include "Classes/MainPage/RubricTileInfo.h"
#include "Classes/MainPage/TLVideoItemPriviewBase.h"
#include "Foundation/Format.h"
#include "NTNetworking/NTJSONRequestOperation.h"

void TLRubricScrollViewBase::setUpLoadingRow(std::optional<ns::URL> url, const cg::Rect& frame,
                                             std::string sort) {
  initWithFrame(frame);
  isButtonEnabled_ = true;
  parent_id_.clear();
  sortString_ = std::move(sort);
  selfURL_ = std::move(url);
  isLabelCenter_ = false;
  isItemSelected_ = false;
  startActivityIndicator();
}

void TLRubricScrollViewBase::setUpMainPageRow() {
  inMainPage_ = true;
  isButtonEnabled_ = true;
  isLabelCenter_ = false;
  isItemSelected_ = false;
}

void TLRubricScrollViewBase::start() {
  if (sortString_ == "new" || sortString_ == "popular")
    loadCategory();
  else if (const TitleListKind* kind = titleListKind(sortString_))
    loadTitleList(*kind);
}

void TLRubricScrollViewBase::startActivityIndicator() {
  if (!activityView_) {
    cg::Rect b = bounds();
    activityView_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::whiteLarge);
    activityView_->setFrame({b.size.width / 2 - 10, b.size.height / 2 - 10, 20, 20});
    addSubview(activityView_);
  }
  activityView_->startAnimating();
}

void TLRubricScrollViewBase::layoutSubviews() {
  if (!scrollView_) return;
  cg::Point offset = scrollView_->contentOffset();
  double width = scrollView_->bounds().width();
  double furthest = std::max(0.0, scrollView_->contentSize().width - width);
  double x = std::min(offset.x, furthest);
  bool turned = laidOutWidth_ && *laidOutWidth_ != width;
  laidOutWidth_ = width;
  // A turn that leaves the marked tile out of view scrolls to it as the first layout did.
  if (turned && isItemSelected_) {
    for (const auto& tile : scrollView_->subviews()) {
      auto marked = std::dynamic_pointer_cast<TLVideoItemPriviewBase>(tile);
      if (!marked || !marked->isItemSelected()) continue;
      cg::Rect f = marked->frame();
      if (f.minX() < x || f.maxX() > x + width) {
        int selected = selectedIndex_ ? ns::Value(*selectedIndex_).intValue() : 0;
        x = std::clamp(selected * geometry_.elementWidth, 0.0, furthest);
      }
      break;
    }
  }
  if (x != offset.x) scrollView_->setContentOffset({x, offset.y});
}

void TLRubricScrollViewBase::stopActivityIndicator() {
  if (activityView_) activityView_->stopAnimating();
}

void TLRubricScrollViewBase::markLoadFailed() {
  isLoadFailed_ = true;
  stopActivityIndicator();
}

std::optional<std::string> TLRubricScrollViewBase::stringBetweenString(const std::string& start,
                                                                       const std::string& end,
                                                                       const std::string& inner) {
  auto from = inner.find(start);
  if (start.empty() || from == std::string::npos) return std::nullopt;
  from += start.size();
  if (from == inner.size()) return std::nullopt;
  auto to = end.empty() ? std::string::npos : inner.find(end, from);
  return inner.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::optional<std::string> TLRubricScrollViewBase::getCategoryIdFromUrl(const std::string& url) {
  return stringBetweenString("category_id=", "&", url);
}

const TLRubricScrollViewBase::TitleListKind* TLRubricScrollViewBase::titleListKind(const std::string& sort) {
  static const TitleListKind kinds[] = {
      {"series", "ВЫБОР ЭПИЗОДА", "%@ser.plist"},
      {"adv", "СМОТРИТЕ ТАКЖЕ", "%@als.plist"},
      {"role", "ПЕРСОНЫ", "%@rol"},
  };
  for (const auto& kind : kinds)
    if (sort == kind.sort) return &kind;
  return nullptr;
}

void TLRubricScrollViewBase::guarded(const std::function<void()>& block) {
  try {
    block();
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

ns::Value TLRubricScrollViewBase::categoryReplyForRow(const ns::Value& reply, bool newGroup) {
  if (!reply.isDictionary()) return ns::Value::null();
  ns::Dictionary cut;
  if (const ns::Value* title = reply.asDictionary()->find("title")) cut.set("title", *title);
  const ns::Array* groups = reply["items"].asArray();
  if (!groups) return cut;
  // The groups before the tab's stand in as nulls; the ones after it are never read.
  std::size_t index = newGroup ? 2 : 1;
  ns::Array kept(std::min(groups->size(), index + 1), ns::Value::null());
  if (index < groups->size()) {
    const ns::Value& group = (*groups)[index];
    if (const ns::Array* items = group["items"].asArray(); items && group.isDictionary()) {
      ns::Array tiles;
      for (auto item = items->begin();
           item != items->end() && tiles.size() < RubricTileInfo::kMaxCategoryTiles; ++item)
        if (item->isDictionary()) tiles.push_back(*item);
      kept[index] = ns::Dictionary{{"items", std::move(tiles)}};
    }
  }
  cut.set("items", std::move(kept));
  return cut;
}

void TLRubricScrollViewBase::loadJSON(ns::URLRequestCachePolicy policy, ReplyHandler success,
                                      FailureHandler failure) {
  auto request = ns::URLRequest::requestWithURL(selfURL_);
  request->setCachePolicy(policy);
  std::weak_ptr<TLRubricScrollViewBase> weak = self<TLRubricScrollViewBase>();
  NTJSONRequestOperation::JSONProcessingBlock read;
  if (sortString_ == "new" || sortString_ == "popular")
    read = [newGroup = sortString_ == "new"](const ns::Value& reply) {
      return categoryReplyForRow(reply, newGroup);
    };
  auto operation = NTJSONRequestOperation::JSONRequestOperationWithRequest(
      request, std::move(read),
      [weak, success](const ns::URLRequestPtr& sent, const ns::HTTPURLResponsePtr&, const ns::Value& JSON) {
        auto row = weak.lock();
        if (!row) return;
        std::string url = sent && sent->URL() ? sent->URL()->absoluteString() : std::string();
        guarded([&] { success(*row, url, JSON); });
      },
      [weak, failure](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const ns::ErrorPtr&,
                      const ns::Value&) {
        if (auto row = weak.lock()) guarded([&] { failure(*row); });
      });
  if (operation) operation->start();
}

std::optional<std::string> TLRubricScrollViewBase::takeTitleList(const TitleListKind& kind,
                                                                 const std::string& requestURL) {
  rubricName_ = kind.heading;
  if (sortString_ == "series") sortString_ = "ser";
  // get_title and get_related URLs end with the title id.
  std::string titleId = stringBetweenString("id=", "", requestURL).value_or("");
  auto fileName = TLTitleListCache::fileNameForTitleId(titleId, kind.fileFormat);
  if (!fileName) ns::log("Not caching the list of \"%@\": not a title id", titleId);
  return fileName;
}

TLTitleListCache::Outcome TLRubricScrollViewBase::writeList(const std::string& fileName,
                                                            const ns::Value& JSON, bool withItemRating) {
  TLTitleListCache::RowFacts facts{parent_id_, sortString_ == "ser" ? "ser" : "base_video", age_, rubrik_,
                                   genre_};
  return TLTitleListCache::write(fileName, JSON, facts, withItemRating);
}
