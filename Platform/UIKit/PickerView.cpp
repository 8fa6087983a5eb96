#include "UIKit/PickerView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Format.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"
#include "UIKit/Font.h"

namespace ui {

std::shared_ptr<PickerView> PickerView::initWithFrame(const cg::Rect& frame) {
  View::initWithFrame(frame);
  return self<PickerView>();
}

void PickerView::setDataSource(std::weak_ptr<PickerViewDataSource> dataSource) {
  dataSource_ = std::move(dataSource);
  reloadAllComponents();
}

void PickerView::setDelegate(std::weak_ptr<PickerViewDelegate> delegate) {
  delegate_ = std::move(delegate);
  setNeedsDisplay();
}

void PickerView::readCounts() {
  auto source = dataSource();
  int components = source ? std::max(0, source->numberOfComponentsInPickerView(*this)) : 0;
  rowCounts_.assign(components, 0);
  selected_.resize(components, 0);
  for (int c = 0; c < components; ++c)
    rowCounts_[c] = std::max(0, source->pickerViewNumberOfRowsInComponent(*this, c));
}

void PickerView::reloadAllComponents() {
  readCounts();
  for (int c = 0; c < numberOfComponents(); ++c)
    selected_[c] = std::clamp(selected_[c], 0, std::max(0, rowCounts_[c] - 1));
  setNeedsDisplay();
}

void PickerView::reloadComponent(int component) {
  auto source = dataSource();
  if (!source || component < 0 || component >= numberOfComponents()) return;
  int rows = std::max(0, source->pickerViewNumberOfRowsInComponent(*this, component));
  rowCounts_[component] = rows;
  selected_[component] = std::clamp(selected_[component], 0, std::max(0, rows - 1));
  setNeedsDisplay();
}

int PickerView::numberOfRowsInComponent(int component) const {
  return component >= 0 && component < numberOfComponents() ? rowCounts_[component] : 0;
}

double PickerView::widthOfComponent(int component) const {
  if (auto d = delegate()) {
    double w = d->pickerViewWidthForComponent(const_cast<PickerView&>(*this), component);
    if (w > 0) return w;
  }
  int n = std::max(1, numberOfComponents());
  return std::max(0.0, (bounds().width() - 2 * kSideMargin) / n);
}

cg::Size PickerView::rowSizeForComponent(int component) const {
  if (component < 0 || component >= numberOfComponents()) return {};
  return {widthOfComponent(component), kRowHeight};
}

int PickerView::selectedRowInComponent(int component) const {
  if (numberOfRowsInComponent(component) == 0) return -1;
  return selected_[component];
}

void PickerView::selectRowInComponent(int row, int component, bool) {
  if (row < 0 || row >= numberOfRowsInComponent(component)) return;
  selected_[component] = row;
  setNeedsDisplay();
}

void PickerView::spinComponentToRow(int component, int row) {
  int rows = numberOfRowsInComponent(component);
  if (rows == 0) return;
  selected_[component] = std::clamp(row, 0, rows - 1);
  setNeedsDisplay();
  if (auto d = delegate()) d->pickerViewDidSelectRowInComponent(*this, selected_[component], component);
}

void PickerView::setShowsSelectionIndicator(bool shows) {
  showsSelectionIndicator_ = shows;
  setNeedsDisplay();
}

std::string PickerView::titleForRow(int row, int component) const {
  if (row < 0 || row >= numberOfRowsInComponent(component)) return "";
  auto d = delegate();
  if (!d) return "";
  return d->pickerViewTitleForRowForComponent(const_cast<PickerView&>(*this), row, component).value_or("");
}

void PickerView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  double total = 0;
  for (int c = 0; c < numberOfComponents(); ++c) total += widthOfComponent(c);
  double x = std::round((b.width() - total) / 2);
  double middle = std::round((b.height() - kRowHeight) / 2);
  auto font = Font::boldSystemFontOfSize(20)->cgFont();
  for (int c = 0; c < numberOfComponents(); ++c) {
    double w = widthOfComponent(c);
    cg::Rect wheel(x, 0, w - 2, b.height());
    ctx->saveGState();
    ctx->setFillColor(cg::Color::white(1));
    ctx->fillRect(wheel);
    ctx->clipToRect(wheel);
    ctx->setFillColor(cg::Color::black());
    // The rows around the selected one, as far as the wheel shows them.
    int reach = int(std::ceil(middle / kRowHeight)) + 1;
    for (int r = selected_[c] - reach; r <= selected_[c] + reach; ++r) {
      if (r < 0 || r >= rowCounts_[c]) continue;
      cg::Rect row(x + 10, middle + (r - selected_[c]) * kRowHeight + 10, w - 22, kRowHeight - 10);
      cg::drawText(*ctx, titleForRow(r, c), row, font, cg::LineBreakMode::TruncateTail,
                   cg::TextAlignment::Left);
    }
    ctx->restoreGState();
    x += w;
  }
  if (showsSelectionIndicator_ && numberOfComponents() > 0) {
    ctx->saveGState();
    ctx->setFillColor(cg::Color::rgba(0.6, 0.65, 0.8, 0.4));
    ctx->fillRect(cg::Rect(0, middle, b.width(), kRowHeight));
    ctx->restoreGState();
  }
}

void PickerView::appendDumpAttributes(std::string& line) const {
  line += " selected=";
  for (int c = 0; c < numberOfComponents(); ++c)
    line += (c ? "," : "") + std::to_string(selectedRowInComponent(c));
  if (showsSelectionIndicator_) line += " selectionIndicator";
}

}  // namespace ui
