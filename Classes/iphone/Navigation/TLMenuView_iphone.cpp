#include "Classes/iphone/Navigation/TLMenuView_iphone.h"

#include "Classes/TLSettings.h"
#include "Classes/iphone/Navigation/TLNavigationMenuTableViewCell_iphone.h"
#include "Graphics/Layer.h"

namespace {

// A mask fading its layer in from fully transparent at the left over the first `end` of its width.
std::shared_ptr<cg::GradientLayer> softLeftEdge(const cg::Rect& bounds, double end) {
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(bounds);
  mask->setColors({cg::Color::white(1, 0), cg::Color::white(1, 1)});
  mask->setStartPoint({0, 1});
  mask->setEndPoint({end, 1});
  return mask;
}

}  // namespace

std::shared_ptr<TLMenuView_iphone> TLMenuView_iphone::initWithFrame(const cg::Rect& frame) {
  TLMenuView::initWithFrame(frame);
  return std::static_pointer_cast<TLMenuView_iphone>(shared_from_this());
}

void TLMenuView_iphone::buildViews(double width, double height) {
  auto me = std::static_pointer_cast<TLMenuView>(shared_from_this());
  backgroundBt_ = makeBackdrop(width, height, ui::Color::clearColor());
  addSubview(backgroundBt_);

  // The panel is a button: a touch on any part of it that no control covers closes the menu.
  auto panel = ui::Button::buttonWithType(ui::ButtonType::custom);
  panel->setFrame({width + 250, 0, width, height});
  panel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  panel->setBackgroundColor(ui::Color::colorWithRed(0, 0, 0, 0));
  panel->addTarget(me, &TLMenuView::backgroundTouch, ui::ControlEventTouchDown);
  menuArea_ = panel;
  addSubview(menuArea_);

  // Above the toolbar, over the list's width, nothing else is drawn once the page has slid aside:
  // a dark band there instead of the window's white.
  auto band = std::make_shared<ui::View>()->initWithFrame({width - kShift, 0, kShift, 20});
  band->setBackgroundColor(ui::Color::blackColor());
  band->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  menuArea_->addSubview(band);

  toolbar_ = std::make_shared<ui::Toolbar>()->initWithFrame({0, 20, width, 44});
  toolbar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar_->setBarStyle(ui::BarStyle::black);
  if (auto image = ui::Image::imageNamed("toolbar.png"))
    toolbar_->setBackgroundImage(image->stretchableImageWithLeftCapWidth(3, 0), ui::ToolbarPosition::any,
                                 ui::BarMetrics::defaultMetrics);
  menuArea_->addSubview(toolbar_);
  auto close = ui::Button::buttonWithType(ui::ButtonType::custom);
  close->setFrame({0, 0, 60, 44});
  close->setImage(ui::Image::imageNamed("bigMenuBtn"), ui::ControlStateNormal);
  close->addTarget(me, &TLMenuView::toolbarBtTouch, ui::ControlEventTouchDown);
  toolbar_->addSubview(close);

  mySearchBar_ = makeSearchBar({65, 27, 250, 30});
  mySearchBar_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);
  menuArea_->addSubview(mySearchBar_);

  auto listPanel = std::make_shared<ui::View>()->initWithFrame({width - kShift, 64, kShift, height - 62});
  listPanel->setBackgroundColor(ui::Color::blackColor());
  menuArea_->addSubview(listPanel);

  cg::Rect tableFrame(0, 0, kShift, height - 62);
  menuTable_ = makeTable(tableFrame);
  menuTable_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin);

  auto background = std::make_shared<ui::View>()->initWithFrame(tableFrame);
  if (auto bg = ui::Image::imageNamed("bg"))
    background->setBackgroundColor(ui::Color::colorWithPatternImage(bg));
  listPanel->addSubview(background);
  auto clear = std::make_shared<ui::View>()->initWithFrame(tableFrame);
  clear->setBackgroundColor(ui::Color::clearColor());
  background->addSubview(clear);
  background->addSubview(menuTable_);

  // The list fades in over its first points at the left.
  menuTable_->layer()->setMask(softLeftEdge(menuTable_->bounds(), 0.02));
  background->layer()->setMask(softLeftEdge(background->bounds(), 0.017));
}

std::shared_ptr<TLNavigationMenuTableViewCell> TLMenuView_iphone::makeCell() {
  return std::make_shared<TLNavigationMenuTableViewCell_iphone>()->initWithStyle(
      ui::TableViewCellStyle::defaultStyle, kCellIdentifier);
}

void TLMenuView_iphone::configureCell(TLNavigationMenuTableViewCell& cell, const ns::Value& item) {
  TLMenuView::configureCell(cell, item);
  if (TLSettings::stringFromObject(item["title"]) == "Коллекции") {
    cell.setIcon(ui::Image::imageNamed("menuItemCollection"));
    cell.setSelectedIcon(ui::Image::imageNamed("menuItemSelCollection"));
  }
}

std::shared_ptr<ui::View> TLMenuView_iphone::visiblePageView() const {
  auto nav = navController_.lock();
  auto page = nav ? nav->visibleViewController() : nullptr;
  return page ? page->view() : nullptr;
}

void TLMenuView_iphone::preparePanelForShowing() {
  // At once: the list then stands just beyond the right edge, ready to slide in.
  cg::Rect panel = menuArea_->frame();
  menuArea_->setFrame({kShift, panel.y(), panel.width(), panel.height()});
}

std::function<void()> TLMenuView_iphone::pageMovement(bool opening) {
  auto page = visiblePageView();
  if (!page) return nullptr;
  cg::Rect b = page->bounds();
  // A page already aside is not pushed twice; a page in place is not pulled further.
  if (opening && b.x() == 0)
    b.origin.x += kShift;
  else if (!opening && b.x() != 0)
    b.origin.x -= kShift;
  else
    return nullptr;
  return [page, b] { page->setBounds(b); };
}
