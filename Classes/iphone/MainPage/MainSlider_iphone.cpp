#include "Classes/iphone/MainPage/MainSlider_iphone.h"

#include "Graphics/Layer.h"

namespace {

// The share of the host's height that the band under the pages takes.
constexpr double kBandShare = 47.0 / 960.0;

// Fades the label's text out over the last tenth of its width.
void fadeOutAtRightEdge(const std::shared_ptr<ui::Label>& label) {
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(label->bounds());
  mask->setColors({cg::Color::white(1, 1), cg::Color::clear()});
  mask->setStartPoint({0.9, 1.0});
  mask->setEndPoint({1.0, 1.0});
  label->layer()->setMask(mask);
}

}  // namespace

std::shared_ptr<MainSlider_iphone> MainSlider_iphone::initWithFilms(ns::Array films, cg::Size size) {
  heightView_ = size.height;
  setUpSlider({0, 0, size.width, size.width / 2}, std::move(films));
  return self<MainSlider_iphone>();
}

cg::Rect MainSlider_iphone::scrollViewFrame() const {
  double width = bounds().width();
  return {0, 0, width, bounds().height() - heightView_ * kBandShare};
}

double MainSlider_iphone::panelHeight() const {
  return 2 * (bounds().height() - scrollView()->frame().height());
}

void MainSlider_iphone::addPageControll() {
  guarded("Exception: %@", [&] {
    curPageWidth_ = bounds().width();
    double w = bounds().width(), h = bounds().height(), p = panelHeight();
    auto panelImage = std::make_shared<ui::ImageView>()->initWithFrame({0, h - p + 10, w, p});
    if (auto image = ui::Image::imageNamed("panelBG_iphone"))
      panelImage->setImage(image->stretchableImageWithLeftCapWidth(2, 0));
    panelImage->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth |
                                    ui::ViewAutoresizingFlexibleTopMargin);
    addSubview(panelImage);
    setSliderPanelImageView(panelImage);

    auto dots = std::make_shared<CustomPageControl>()->initWithFrame({w / 2, 6, 60, 8});
    dots->setHidden(true);
    dots->setNumberOfPages(recordCount());
    dots->setCurrentPage(0);
    panelImage->addSubview(dots);
    setPageControl(dots);

    auto label = [&](const cg::Rect& frame, double size, const ui::Color& colour) {
      auto l = addPanelLabel(panelImage, frame, size, colour);
      l->setLineBreakMode(cg::LineBreakMode::CharWrap);
      fadeOutAtRightEdge(l);
      return l;
    };
    setNameLabel(label({12, 8, w - 75, 20}, 17, ui::Color::whiteColor()));
    auto detail = label({12, 26, w - 75, 15}, 13, ui::Color::lightGrayColor());
    detail->setText("");
    setDetailLabel(detail);

    auto panel = std::make_shared<ui::View>()->initWithFrame({0, h - p, w, p});
    panel->setBackgroundColor(std::nullopt);
    addSubview(panel);
    setPageView(panel);
  });
}

cg::Rect MainSlider_iphone::ratingFrame() const { return {bounds().width() - 65, 23, 60, 12}; }

void MainSlider_iphone::didSetNumberOfPages(int count) {
  cg::Rect dots = pageControl()->frame();
  pageControl()->setFrame({bounds().width() / 2 - 5.0 * count, 2, 10.0 * count, dots.height()});
}

void MainSlider_iphone::reportLoaded(bool loaded) {
  if (auto d = delegate()) d->TLMainSliderLoaded(loaded);
}
