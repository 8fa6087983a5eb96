#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

namespace ui {

// A stack of pages, the top one shown in the page area of the controller's view. The stack
// changes at once; the animated flag of each change is recorded. An animated change on the screen
// slides the pages (see kTransitionDuration) in presentation renders only: the old page's view
// leaves the tree at once, the screen drawing it until it is out of sight.
// While the controller is on screen the top page's view is loaded, given the page area's frame
// (once, when it loads here, so a page may change it in viewDidLoad) and put below the
// controller's own subviews, with the appearance calls around it. Rotation questions go to the
// top page; a memory warning goes to every page.
class NavigationController : public ViewController {
 public:
  using Stack = std::vector<std::shared_ptr<ViewController>>;

  std::shared_ptr<NavigationController> initWithRootViewController(
      const std::shared_ptr<ViewController>& root);

  const Stack& viewControllers() const { return stack_; }
  void setViewControllers(Stack controllers, bool animated = false);
  std::shared_ptr<ViewController> topViewController() const;
  // The top page (nothing is ever presented over it here).
  std::shared_ptr<ViewController> visibleViewController() const { return topViewController(); }

  // Throws NSInvalidArgumentException for a page already on the stack.
  void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
  // Nothing (and null) when only the root is left.
  std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
  // The pages taken off, bottom first.
  Stack popToRootViewControllerAnimated(bool animated);
  Stack popToViewController(const std::shared_ptr<ViewController>& controller, bool animated);

  // The bars are not drawn; a shown bar only keeps its 44 points out of the page area. The
  // navigation bar is shown and the toolbar hidden until told otherwise.
  bool isNavigationBarHidden() const { return navigationBarHidden_; }
  void setNavigationBarHidden(bool hidden, bool animated = false);
  bool isToolbarHidden() const { return toolbarHidden_; }
  void setToolbarHidden(bool hidden, bool animated = false);
  // The rectangle of the controller's view that pages fill.
  cg::Rect pageArea();
  // The top page's popover size, the shown navigation bar's height added.
  cg::Size contentSizeForViewInPopover() const override;
  // The bar, made and shown on first use (pages that never ask have none drawn): the top page's
  // title on the tint colour.
  std::shared_ptr<Toolbar> navigationBar();

  enum class Transition { push, pop, popToRoot, popTo, set };
  struct TransitionRecord {
    Transition kind;
    bool animated;
    bool operator==(const TransitionRecord&) const = default;
  };
  // The latest stack changes, oldest first (the last 32).
  const std::deque<TransitionRecord>& transitions() const { return transitions_; }

  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  bool shouldAutorotate() override;
  unsigned supportedInterfaceOrientations() override;
  bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) override;
  void willRotateToInterfaceOrientation(InterfaceOrientation orientation, double duration) override;
  void didReceiveMemoryWarning() override;
  void appendDumpAttributes(std::string& line) const override;

  // How long an animated change slides the pages.
  static constexpr double kTransitionDuration = 0.35;

 protected:
  void childViewDidLoad(ViewController& child) override;

 private:
  void changeStack(Stack next, Transition kind, bool animated);
  // Brings the top page's view on screen (when the controller is) with its appearance calls.
  void showTopPage(bool animated, bool forward);
  // The incoming page slides into its place from the right (from the left backwards, or from
  // where it is shown leaving) as the outgoing one leaves the other way.
  void slidePages(const std::shared_ptr<View>& incoming, const std::shared_ptr<View>& outgoing, bool forward,
                  std::optional<cg::Point> incomingFrom);
  void placePageView(ViewController& page);

  Stack stack_;
  // The page whose view is in the controller's view.
  std::shared_ptr<ViewController> shown_;
  std::deque<TransitionRecord> transitions_;
  std::shared_ptr<Toolbar> navigationBar_;
  std::shared_ptr<class Label> barTitle_;
  bool navigationBarHidden_ = false;
  bool toolbarHidden_ = true;
};

}  // namespace ui
