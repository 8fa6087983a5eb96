#pragma once

#include <memory>
#include <string>

#include "Classes/TitlePage/TLTitleFilmSubviewBase.h"
#include "Foundation/Operation.h"
#include "Foundation/OperationQueue.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/ScrollView.h"

// A tile-building operation that carries the number of the build it belongs to.
class TLTaggedOperation final : public ns::Operation {
 public:
  TLTaggedOperation(int tag, std::function<void(const TLTaggedOperation&)> work)
      : tag_(tag), work_(std::move(work)) {}
  int tag() const { return tag_; }
  void main() override {
    if (work_) work_(*this);
    work_ = nullptr;
  }

 private:
  const int tag_;
  std::function<void(const TLTaggedOperation&)> work_;
};

// The tablet's section view: a vertically scrolling grid of poster tiles (episodes or related
// titles) or of person tiles. The tiles are made on the view's own operation queue, one build at
// a time: a new build cancels the one before, which stops before its next tile, and only the
// scroll view of the current build receives tiles. The layout is read on the main thread when a
// build starts; the main thread never waits for the queue.
class TLTitleFilmSubview final : public TLTitleFilmSubviewBase {
 public:
  // A titles list from the per-title list file; the kind "ser" makes episode tiles. Built at the
  // first layout pass and again whenever the orientation has changed.
  std::shared_ptr<TLTitleFilmSubview> initWithFrame(const cg::Rect& frame, const std::string& fileName,
                                                    const std::string& sort,
                                                    const std::string& indexSelected);
  // A persons list of records {"fullname", "id", "photo_76x101"}, built at once.
  std::shared_ptr<TLTitleFilmSubview> initForRoleWithFrame(const cg::Rect& frame, ns::Array items);
  // An empty list that requests the URL and ignores the reply.
  std::shared_ptr<TLTitleFilmSubview> initWithFrame(const cg::Rect& frame, const ns::URL& url);
  using ui::View::initWithFrame;

  // Cancels the tile building for good; never waits.
  void stopAsync();
  void layoutSubviews() override;

  void createPreviewItems();
  void createRoleItems();
  // Whether the queued operation of that build has been cancelled (NO when there is none).
  bool isCancelFromOperationQueue(int tag) const;
  void startActivityIndicator();
  void stopActivityIndicator();

  const std::shared_ptr<ui::ScrollView>& viewScroll() const { return viewScroll_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activity() const { return activity_; }
  int prevOr() const { return prevOr_; }
  const std::shared_ptr<ns::OperationQueue>& operationQueue() const { return queue_; }
  // The number of the build last started (0 before the first).
  int currentTag() const { return currentTag_; }

  // What a build reads, taken on the main thread when it starts.
  struct Build {
    int tag = 0;
    std::shared_ptr<ui::ScrollView> scroll;
    ns::Array items;
    std::string selected;
    bool series = false;
    int columns = 0;
    double firstX = 0;
    double pitchX = 0;
    double rowHeight = 0;
  };

 private:
  void createScrollView();
  // Starts a build whose worker makes one tile per entry.
  void startBuild(bool persons);
  // The workers, on the queue's thread: they touch the view only through the main thread. Each
  // tile is made for an entry at its place in the grid.
  using MakeTile = std::function<std::shared_ptr<ui::View>(const ns::Value& entry, cg::Point origin,
                                                           std::size_t position)>;
  static void addTilesAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                            const TLTaggedOperation& operation, const MakeTile& makeTile);
  static void addPreviewsAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                               const TLTaggedOperation& operation);
  static void addRoleAsync(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                           const TLTaggedOperation& operation);
  // Adds the tile on the main thread, waiting, when its build is still the current one; the tile
  // is let go there either way.
  static void handOver(const std::weak_ptr<TLTitleFilmSubview>& weak, const Build& build,
                       std::shared_ptr<ui::View> tile);
  static void stopSpinnerLater(const std::weak_ptr<TLTitleFilmSubview>& weak, int tag);
  bool isCurrent(const Build& build) const;

  std::shared_ptr<ui::ScrollView> viewScroll_;
  std::shared_ptr<ui::ActivityIndicatorView> activity_;
  int prevOr_ = 0;
  std::shared_ptr<ns::OperationQueue> queue_;
  int currentTag_ = 0;
  bool stopped_ = false;
};
