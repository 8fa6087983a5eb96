#include "UIKit/StoryboardSegue.h"

#include "Foundation/Exception.h"
#include "Foundation/Format.h"

namespace ui {

StoryboardSegue::StoryboardSegue(std::string identifier, std::shared_ptr<ViewController> source,
                                 std::shared_ptr<ViewController> destination)
    : identifier_(std::move(identifier)), source_(std::move(source)), destination_(std::move(destination)) {}

StoryboardPopoverSegue::StoryboardPopoverSegue(std::string identifier, std::shared_ptr<ViewController> source,
                                               std::shared_ptr<ViewController> destination,
                                               std::weak_ptr<View> anchor)
    : StoryboardSegue(std::move(identifier), std::move(source), destination), anchor_(std::move(anchor)) {
  popover_ = std::make_shared<PopoverController>()->initWithContentViewController(std::move(destination));
}

void StoryboardPopoverSegue::perform() {
  auto anchor = anchor_.lock();
  if (!anchor || !anchor->superview()) return;
  popover_->presentPopoverFromRect(anchor->frame(), anchor->superview(), PopoverArrowDirectionAny, true);
}

void SegueTable::addPopover(const std::string& identifier,
                            std::function<std::shared_ptr<ViewController>()> destination,
                            std::weak_ptr<View> anchor) {
  add(identifier, [identifier, destination, anchor](const std::shared_ptr<ViewController>& source) {
    return std::make_shared<StoryboardPopoverSegue>(identifier, source, destination(), anchor);
  });
}

void SegueTable::perform(const std::string& identifier, const std::shared_ptr<ViewController>& source,
                         const std::function<void(StoryboardSegue&)>& prepare) const {
  auto it = makers_.find(identifier);
  if (it == makers_.end())
    throw ns::Exception("NSInvalidArgumentException",
                        ns::format("Receiver has no segue with identifier '%@'", identifier));
  auto segue = it->second(source);
  if (prepare) prepare(*segue);
  segue->perform();
}

}  // namespace ui
