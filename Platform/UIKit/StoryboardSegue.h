#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "UIKit/PopoverController.h"
#include "UIKit/ViewController.h"

namespace ui {

// A transition named in an interface file, from one controller to a new one.
class StoryboardSegue : public ns::Object {
 public:
  StoryboardSegue(std::string identifier, std::shared_ptr<ViewController> source,
                  std::shared_ptr<ViewController> destination);
  const std::string& identifier() const { return identifier_; }
  std::shared_ptr<ViewController> sourceViewController() const { return source_.lock(); }
  const std::shared_ptr<ViewController>& destinationViewController() const { return destination_; }
  virtual void perform() {}

 private:
  std::string identifier_;
  std::weak_ptr<ViewController> source_;
  std::shared_ptr<ViewController> destination_;
};

// Shows its destination in a popover pointing at the anchor view; the source may change the
// popover (its background class, its delegate) while preparing for it.
class StoryboardPopoverSegue final : public StoryboardSegue {
 public:
  StoryboardPopoverSegue(std::string identifier, std::shared_ptr<ViewController> source,
                         std::shared_ptr<ViewController> destination, std::weak_ptr<View> anchor);
  const std::shared_ptr<PopoverController>& popoverController() const { return popover_; }
  void perform() override;

 private:
  std::shared_ptr<PopoverController> popover_;
  std::weak_ptr<View> anchor_;
};

// What an interface file says of a controller's segues: by identifier, how to make the segue.
class SegueTable final {
 public:
  using Maker =
      std::function<std::shared_ptr<StoryboardSegue>(const std::shared_ptr<ViewController>& source)>;
  void add(const std::string& identifier, Maker maker) { makers_[identifier] = std::move(maker); }
  // A popover segue to a new controller made by `destination`, anchored at the view.
  void addPopover(const std::string& identifier, std::function<std::shared_ptr<ViewController>()> destination,
                  std::weak_ptr<View> anchor);
  // Makes the segue, lets the source prepare for it (prepare), then performs it. An unknown
  // identifier raises NSInvalidArgumentException.
  void perform(const std::string& identifier, const std::shared_ptr<ViewController>& source,
               const std::function<void(StoryboardSegue&)>& prepare) const;

 private:
  std::map<std::string, Maker> makers_;
};

}  // namespace ui
