#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/Bundle.h"
#include "UIKit/Application.h"
#include "UIKit/Touch.h"
#include "UIKit/View.h"

namespace ui {

class NavigationController;

enum InterfaceOrientationMask : unsigned {
  InterfaceOrientationMaskPortrait = 1 << 1,
  InterfaceOrientationMaskPortraitUpsideDown = 1 << 2,
  InterfaceOrientationMaskLandscapeRight = 1 << 3,
  InterfaceOrientationMaskLandscapeLeft = 1 << 4,
  InterfaceOrientationMaskLandscape =
      InterfaceOrientationMaskLandscapeLeft | InterfaceOrientationMaskLandscapeRight,
  InterfaceOrientationMaskAll = InterfaceOrientationMaskPortrait |
                                InterfaceOrientationMaskPortraitUpsideDown |
                                InterfaceOrientationMaskLandscape,
  InterfaceOrientationMaskAllButUpsideDown =
      InterfaceOrientationMaskPortrait | InterfaceOrientationMaskLandscape,
};

// How a presented controller covers its presenter: full screen takes the presenter off the screen
// (it hears it disappear and appear again); the sheet styles leave it showing underneath.
enum class ModalPresentationStyle { fullScreen, pageSheet, formSheet };

// The mask bit of one orientation.
inline unsigned interfaceOrientationMask(InterfaceOrientation o) { return 1u << unsigned(o); }

// Manages one screenful: its view, made on first access (loadView, then viewDidLoad), the
// appearance calls its container makes, the rotation questions and memory warnings. Pages
// derive from it and override the hooks they need, calling the inherited ones. Main thread only.
class ViewController : public Responder {
 public:
  ViewController();
  ~ViewController() override;

  // A controller without a nib: its view is a plain view over the screen's bounds.
  std::shared_ptr<ViewController> init() { return initWithNibName("", nullptr); }
  // The name is recorded only: pages build their views in code, whatever names their interface.
  std::shared_ptr<ViewController> initWithNibName(const std::string& nibName,
                                                  const std::shared_ptr<ns::Bundle>& bundle);
  const std::string& nibName() const { return nibName_; }

  // The view, loaded on first access: loadView, then (when a container holds this controller) the
  // container places it, then viewDidLoad.
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return view_ != nullptr; }
  // Installs a view without loading (no viewDidLoad); null unloads.
  void setView(std::shared_ptr<View> view);
  // Makes the view: a plain view over the screen's bounds, resizing with its superview.
  virtual void loadView();
  virtual void viewDidLoad() {}

  // Appearance, called by the window or the container around showing and hiding the view.
  virtual void viewWillAppear(bool animated);
  virtual void viewDidAppear(bool animated);
  virtual void viewWillDisappear(bool animated);
  virtual void viewDidDisappear(bool animated);
  // Between viewWillAppear and viewWillDisappear.
  bool isAppearing() const { return appearing_; }

  // Rotation. The platform asks shouldAutorotate, then whether the orientation is in
  // supportedInterfaceOrientations; shouldAutorotateToInterfaceOrientation is the older question,
  // kept for the pages that answer it.
  virtual bool shouldAutorotate() { return true; }
  // Every orientation on a tablet, all but upside down on a phone.
  virtual unsigned supportedInterfaceOrientations();
  // Portrait only.
  virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation);
  // The status bar's orientation.
  InterfaceOrientation interfaceOrientation() const;
  // The interface is about to turn; the status bar still shows the orientation being left.
  virtual void willRotateToInterfaceOrientation(InterfaceOrientation /*orientation*/, double /*duration*/) {}

  virtual void didReceiveMemoryWarning() {}

  // The size of the view inside a popover: 320 x 1100 unless set.
  virtual cg::Size contentSizeForViewInPopover() const { return contentSizeForViewInPopover_; }
  void setContentSizeForViewInPopover(cg::Size size) { contentSizeForViewInPopover_ = size; }

  const std::string& title() const { return title_; }
  virtual void setTitle(std::string title) { title_ = std::move(title); }

  // Modal presentation. The presented controller's view covers the key window above everything
  // else and turns with it, and the presented controller answers the rotation questions while it
  // is shown. Animated, the screen shows it sliding up from below the window over
  // kPresentationDuration (and the top one sliding down out of sight on dismissal), while the
  // views are in their end state at once. The completion runs on a later turn of the main loop,
  // after the animation when animated. A controller already presenting one presents no other (it
  // logs and does nothing); a presented controller may present another in turn.
  void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion = nullptr);
  // Dismisses what this controller presents, with whatever that one presented in turn; sent to a
  // controller that presents nothing, it goes to the one presenting it. Nothing to dismiss: the
  // completion does not run.
  void dismissViewControllerAnimated(bool animated, std::function<void()> completion = nullptr);
  // How long an animated presentation or dismissal slides.
  static constexpr double kPresentationDuration = 0.3;
  std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
  std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
  // Whether the last presentation from this controller was animated.
  bool presentedAnimated() const { return presentedAnimated_; }
  ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
  void setModalPresentationStyle(ModalPresentationStyle style) { modalPresentationStyle_ = style; }
  // The last controller of the chain presented from this one, or this one.
  std::shared_ptr<ViewController> topPresentedViewController();
  // The colour the window is dimmed with under this controller's view while it is presented (a
  // card on a see-through view); none by default. Animated, the dimming fades in and out while
  // the view slides.
  virtual std::optional<Color> presentationDimmingColor() const { return std::nullopt; }
  // The cover under the view while it is presented with a dimming colour.
  const std::shared_ptr<View>& presentationDimmingView() const { return dimming_; }

  // The container holding this controller, if any.
  std::shared_ptr<ViewController> parentViewController() const { return parent_.lock(); }
  // The nearest navigation controller among the containers.
  std::shared_ptr<NavigationController> navigationController() const;

  // The view's superview: the controller comes between its view and the view's superview.
  std::shared_ptr<Responder> nextResponder() const override;

  // The controller's own attributes on its view's line of the view dump.
  virtual void appendDumpAttributes(std::string& line) const;

 protected:
  template <class T>
  std::shared_ptr<T> self() {
    return std::static_pointer_cast<T>(shared_from_this());
  }
  // Containers: called for a child whose view has just been made, before its viewDidLoad.
  virtual void childViewDidLoad(ViewController&) {}

 private:
  friend class NavigationController;

  std::string nibName_;
  std::string title_;
  cg::Size contentSizeForViewInPopover_{320, 1100};
  std::shared_ptr<View> view_;
  std::weak_ptr<ViewController> parent_;
  std::shared_ptr<ViewController> presented_;
  std::weak_ptr<ViewController> presenting_;
  std::shared_ptr<View> dimming_;
  ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::fullScreen;
  bool presentedAnimated_ = false;
  bool appearing_ = false;
  bool loading_ = false;
  // The container has given the view its frame.
  bool placedByContainer_ = false;
};

}  // namespace ui
