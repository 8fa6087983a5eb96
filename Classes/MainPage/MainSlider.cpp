#include "Classes/MainPage/MainSlider.h"

#include "UIKit/Application.h"

namespace {

constexpr double kScrollTop = 44;
// The slider's height less its pages' height.
constexpr double kBelowPages = 140;

bool statusBarIsLandscape() {
  return ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
}

}  // namespace

std::shared_ptr<MainSlider> MainSlider::initWithFilms(ns::Array films) {
  setUpSlider({0, 0, 768, kHeight}, std::move(films));
  return self<MainSlider>();
}

cg::Rect MainSlider::scrollViewFrame() const {
  cg::Rect f = frame();
  return {f.x(), kScrollTop, f.width(), f.height() - kBelowPages};
}

void MainSlider::addPageControll() {
  guarded("Exception: %@", [&] {
    double width = scrollView()->frame().width();
    auto panel = std::make_shared<ui::View>()->initWithFrame(
        {0, bounds().height() - kPanelHeight, width, kPanelHeight});
    panel->setBackgroundColor(std::nullopt);
    panel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin |
                               ui::ViewAutoresizingFlexibleBottomMargin);
    addSubview(panel);
    setPageView(panel);

    auto panelImage = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, width, kPanelHeight});
    panelImage->setImage(ui::Image::imageNamed("panelBG.png"));
    panelImage->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth |
                                    ui::ViewAutoresizingFlexibleTopMargin);
    panel->addSubview(panelImage);
    setSliderPanelImageView(panelImage);

    double panelWidth = panel->bounds().width();
    auto dots = std::make_shared<CustomPageControl>()->initWithFrame(
        {statusBarIsLandscape() ? 472.0 : 344.0, 10, panelWidth, 8});
    dots->setHidden(true);
    dots->setNumberOfPages(recordCount());
    dots->setCurrentPage(0);
    panel->addSubview(dots);
    setPageControl(dots);

    auto label = [&](const cg::Rect& frame, double size, const ui::Color& colour) {
      auto l = addPanelLabel(panel, frame, size, colour);
      l->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
      return l;
    };
    setNameLabel(label({20, 13, panelWidth - 30, 30}, 22, ui::Color::whiteColor()));
    setDetailLabel(label({20, 35, panelWidth - 30, 30}, 18, ui::Color::lightGrayColor()));
    auto description = label({20, 50, panelWidth - 30, 60}, 18, ui::Color::whiteColor());
    description->setNumberOfLines(2);
    setDescriptionLabel(description);
  });
}

cg::Rect MainSlider::ratingFrame() const { return {pageView()->bounds().width() - 120, 18, 100, 20}; }

void MainSlider::reportLoaded(bool loaded) {
  if (auto d = delegate()) d->TLMainSliderLoaded(loaded);
}

void MainSlider::layoutSubviews() {
  bool landscape = statusBarIsLandscape();
  layoutSlider({landscape ? 1024.0 : 768.0, kHeight}, landscape ? 512 : 384, kBelowPages);
}
