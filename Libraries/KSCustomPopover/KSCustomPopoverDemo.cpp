#include "KSCustomPopover/KSCustomPopoverDemo.h"

#include "KSCustomPopover/KSCustomPopoverBackgroundView.h"

void KSCustomPopoverFlipsideViewController::done(ui::Control&) {
  if (auto d = delegate()) d->flipsideViewControllerDidFinish(*this);
}

void KSCustomPopoverMainViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto me = std::static_pointer_cast<KSCustomPopoverMainViewController>(shared_from_this());
  infoButton_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  infoButton_->setTitle(std::string("i"), ui::ControlStateNormal);
  infoButton_->setFrame({view()->bounds().width() - 50, 10, 40, 40});
  infoButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  infoButton_->addTarget(me, &KSCustomPopoverMainViewController::togglePopover,
                         ui::ControlEventTouchUpInside);
  view()->addSubview(infoButton_);
  segues_.addPopover(
      "showAlternate",
      [] {
        auto flipside = std::make_shared<KSCustomPopoverFlipsideViewController>();
        flipside->init();
        flipside->awakeFromNib();
        return flipside;
      },
      infoButton_);
}

void KSCustomPopoverMainViewController::prepareForSegue(ui::StoryboardSegue& segue, ui::Control*) {
  if (segue.identifier() != "showAlternate") return;
  auto me = std::static_pointer_cast<KSCustomPopoverMainViewController>(shared_from_this());
  if (auto flipside =
          std::dynamic_pointer_cast<KSCustomPopoverFlipsideViewController>(segue.destinationViewController()))
    flipside->setDelegate(me);
  auto* popoverSegue = dynamic_cast<ui::StoryboardPopoverSegue*>(&segue);
  if (!popoverSegue) return;
  auto popover = popoverSegue->popoverController();
  popover->setPopoverBackgroundViewClass(ui::PopoverBackgroundViewClass::of<KSCustomPopoverBackgroundView>());
  flipsidePopoverController_ = popover;
  popover->setDelegate(std::static_pointer_cast<ui::PopoverControllerDelegate>(me));
}

void KSCustomPopoverMainViewController::performSegueWithIdentifier(const std::string& identifier,
                                                                   ui::Control* sender) {
  view();
  segues_.perform(identifier, std::static_pointer_cast<ui::ViewController>(shared_from_this()),
                  [this, sender](ui::StoryboardSegue& segue) { prepareForSegue(segue, sender); });
}

void KSCustomPopoverMainViewController::togglePopover(ui::Control& sender) {
  if (flipsidePopoverController_) {
    flipsidePopoverController_->dismissPopoverAnimated(true);
    flipsidePopoverController_ = nullptr;
    return;
  }
  performSegueWithIdentifier("showAlternate", &sender);
}

void KSCustomPopoverMainViewController::flipsideViewControllerDidFinish(
    KSCustomPopoverFlipsideViewController&) {
  if (flipsidePopoverController_) flipsidePopoverController_->dismissPopoverAnimated(true);
  flipsidePopoverController_ = nullptr;
}

void KSCustomPopoverMainViewController::popoverControllerDidDismissPopover(ui::PopoverController&) {
  flipsidePopoverController_ = nullptr;
}
