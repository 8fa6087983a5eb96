#pragma once

#include <memory>

#include "Classes/Navigation/TLMenuView.h"
#include "UIKit/NavigationController.h"

// The phone's owner protocol has the same six operations as the tablet's.
using TLMenuViewDelegateIphone = TLMenuViewDelegate;

// The phone's slide-out menu: the visible page slides 262 points to the left and a 262-point
// list slides in from the right after it, under a toolbar with the close button and the search
// field across the top. Same items, events and rules as the tablet's menu; the phone does not
// unmark the selected row before reporting a search.
class TLMenuView_iphone final : public TLMenuView {
 public:
  static constexpr double kShift = 262;

  std::shared_ptr<TLMenuView_iphone> initWithFrame(const cg::Rect& frame);

  // The owner in its navigation role: whose visible page the menu pushes aside. Not owned.
  std::shared_ptr<ui::NavigationController> navController() const { return navController_.lock(); }
  void setNavController(std::weak_ptr<ui::NavigationController> controller) {
    navController_ = std::move(controller);
  }

 protected:
  void buildViews(double width, double height) override;
  std::shared_ptr<TLNavigationMenuTableViewCell> makeCell() override;
  void configureCell(TLNavigationMenuTableViewCell& cell, const ns::Value& item) override;
  bool deselectsBeforeSearch() const override { return false; }
  double closedPanelX() const override { return kShift; }
  void preparePanelForShowing() override;
  std::function<void()> pageMovement(bool opening) override;

 private:
  std::shared_ptr<ui::View> visiblePageView() const;

  std::weak_ptr<ui::NavigationController> navController_;
};
