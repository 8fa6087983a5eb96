#include "UIKit/PickerView.h"

#include <algorithm>
#include <cmath>

#include "Foundation/Clock.h"
#include "Foundation/Format.h"
#include "Foundation/RunLoop.h"
#include "Graphics/Context.h"
#include "Graphics/Text.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TouchSimulation.h"

namespace ui {

namespace {

constexpr double kSlideStep = 1.0 / 60;
// Past an end a finger pulls the wheel half as far, at most this many rows.
constexpr double kOverpull = 1;
// The fastest a flick turns a wheel, in rows a second.
constexpr double kFastestFlick = 60;

cg::Point touchPoint(const TouchSet& touches, const View* view) {
  return touches.empty() ? cg::Point{} : touches.front()->locationInView(view);
}

double touchTime(const TouchSet& touches) {
  return touches.empty() ? ns::clockNow() : touches.front()->timestamp();
}

}  // namespace

PickerView::PickerView() = default;

PickerView::~PickerView() {
  for (auto& slide : slides_)
    if (slide) slide->timer->invalidate();
}

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
  fittedSizes_.clear();
  setNeedsDisplay();
}

void PickerView::readCounts() {
  auto source = dataSource();
  int components = source ? std::max(0, source->numberOfComponentsInPickerView(*this)) : 0;
  for (int c = components; c < numberOfComponents(); ++c) stopComponent(c);
  rowCounts_.assign(components, 0);
  selected_.resize(components, 0);
  position_.resize(components, 0);
  slides_.resize(components);
  wheelRemainder_.resize(components, 0);
  if (finger_ && finger_->component >= components) finger_.reset();
  for (int c = 0; c < components; ++c)
    rowCounts_[c] = std::max(0, source->pickerViewNumberOfRowsInComponent(*this, c));
}

// A wheel that lost rows rests inside what it has now, without telling the delegate; one sliding
// to a row past its new end slides to its last row instead, and a wheel left with no rows stops.
void PickerView::keepInsideWheels() {
  for (int c = 0; c < numberOfComponents(); ++c) {
    std::size_t i = std::size_t(c);
    selected_[i] = std::clamp(selected_[i], 0, lastRow(c));
    if (position_[i] > lastRow(c) || position_[i] < 0 || rowCounts_[i] == 0) {
      stopComponent(c);
      if (finger_ && finger_->component == c) finger_.reset();
      position_[i] = selected_[i];
    } else if (slides_[i] && slides_[i]->to > lastRow(c)) {
      slideComponentTo(c, lastRow(c), kSettleSeconds);
    }
  }
}

void PickerView::reloadAllComponents() {
  readCounts();
  keepInsideWheels();
  fittedSizes_.clear();
  setNeedsDisplay();
}

void PickerView::reloadComponent(int component) {
  auto source = dataSource();
  if (!source || component < 0 || component >= numberOfComponents()) return;
  rowCounts_[component] = std::max(0, source->pickerViewNumberOfRowsInComponent(*this, component));
  keepInsideWheels();
  fittedSizes_.clear();
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

double PickerView::wheelsLeft() const {
  double total = 0;
  for (int c = 0; c < numberOfComponents(); ++c) total += widthOfComponent(c);
  return std::round((bounds().width() - total) / 2);
}

double PickerView::middleBandTop() const { return std::round((bounds().height() - kRowHeight) / 2); }

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
  stopComponent(component);
  if (finger_ && finger_->component == component) finger_.reset();
  selected_[component] = row;
  position_[component] = row;
  setNeedsDisplay();
}

void PickerView::spinComponentToRow(int component, int row) {
  int rows = numberOfRowsInComponent(component);
  if (rows == 0) return;
  stopComponent(component);
  if (finger_ && finger_->component == component) finger_.reset();
  comeToRest(component, std::clamp(row, 0, rows - 1));
}

int PickerView::componentAtPoint(cg::Point point) const {
  if (point.y < 0 || point.y >= bounds().height()) return -1;
  double x = wheelsLeft();
  for (int c = 0; c < numberOfComponents(); ++c) {
    double w = widthOfComponent(c);
    if (point.x >= x && point.x < x + w) return c;
    x += w;
  }
  return -1;
}

double PickerView::positionOfComponent(int component) const {
  if (numberOfRowsInComponent(component) == 0) return -1;
  return position_[component];
}

bool PickerView::isComponentMoving(int component) const {
  if (component < 0 || component >= numberOfComponents()) return false;
  return slides_[component] || (finger_ && finger_->component == component);
}

// --- Turning ----------------------------------------------------------------------------------

void PickerView::stopComponent(int component) {
  if (component < 0 || component >= int(slides_.size())) return;
  auto& slide = slides_[std::size_t(component)];
  if (!slide) return;
  slide->timer->invalidate();
  slide.reset();
}

void PickerView::comeToRest(int component, int row) {
  auto keep = self<PickerView>();
  stopComponent(component);
  wheelRemainder_[component] = 0;
  position_[component] = row;
  selected_[component] = row;
  setNeedsDisplay();
  if (auto d = delegate()) d->pickerViewDidSelectRowInComponent(*this, row, component);
}

void PickerView::slideComponentTo(int component, int row, double duration) {
  stopComponent(component);
  if (std::abs(position_[component] - row) < 1e-9) return comeToRest(component, row);
  slides_[component] =
      std::make_unique<Slide>(Slide{position_[component], double(row), ns::clockNow(), duration, nullptr});
  scheduleSlideStep(component);
}

// One frame after another, each a one-shot timer: a script waiting for the client to settle waits
// for the wheel to rest.
void PickerView::scheduleSlideStep(int component) {
  std::weak_ptr<PickerView> weak = self<PickerView>();
  auto& slide = *slides_[component];
  slide.timer = ns::Timer::timerWithTimeInterval(kSlideStep, false, [weak, component](const ns::TimerPtr&) {
    if (auto view = weak.lock()) view->slideStep(component);
  });
  ns::RunLoop::mainRunLoop()->addTimer(slide.timer, ns::kDefaultRunLoopMode);
}

void PickerView::slideStep(int component) {
  if (component >= int(slides_.size()) || !slides_[component]) return;
  const Slide& slide = *slides_[component];
  double t = slide.duration > 0 ? (ns::clockNow() - slide.start) / slide.duration : 1;
  if (t >= 1) return comeToRest(component, int(slide.to));
  // Eases out: the wheel leaves at its speed and slows to nothing on the row.
  double eased = 1 - std::pow(1 - t, 3);
  position_[component] = slide.from + (slide.to - slide.from) * eased;
  setNeedsDisplay();
  scheduleSlideStep(component);
}

bool PickerView::scrollByWheel(cg::Point point, double distance) {
  int c = componentAtPoint(point);
  if (c < 0 || rowCounts_[c] == 0 || finger_) return false;
  wheelRemainder_[c] += distance;
  int notches = int(std::trunc(wheelRemainder_[c] / kWheelNotchPoints));
  if (notches == 0) return true;
  wheelRemainder_[c] -= notches * kWheelNotchPoints;
  // Notches that come while the wheel turns carry on from the row it is turning to.
  int from = slides_[c] ? int(slides_[c]->to) : int(std::lround(position_[c]));
  int to = std::clamp(from + notches, 0, lastRow(c));
  if (to == from && !slides_[c]) return true;
  double remainder = wheelRemainder_[c];
  slideComponentTo(c, to, kSettleSeconds);
  wheelRemainder_[c] = remainder;
  return true;
}

// --- Touches ----------------------------------------------------------------------------------

void PickerView::touchesBegan(const TouchSet& touches, const Event* event) {
  cg::Point p = touchPoint(touches, this);
  int c = componentAtPoint(p);
  if (c < 0 || rowCounts_[c] == 0) return View::touchesBegan(touches, event);
  // A finger on a turning wheel stops it where it is.
  bool caught = slides_[c] != nullptr;
  stopComponent(c);
  finger_ = Finger{c, p, position_[c], false, caught, {{touchTime(touches), p.y}}};
}

void PickerView::touchesMoved(const TouchSet& touches, const Event* event) {
  if (!finger_) return View::touchesMoved(touches, event);
  cg::Point p = touchPoint(touches, this);
  Finger& f = *finger_;
  // A finger that travels, whichever way, is no tap: a sideways drag turns the wheel only as far
  // as it went up or down.
  if (!f.dragging && std::max(std::abs(p.x - f.start.x), std::abs(p.y - f.start.y)) <= ScrollView::kDragSlop)
    return;
  f.dragging = true;
  // Speed is timed by when the moves happened, not when they were handled behind a slow frame.
  double now = touchTime(touches);
  f.samples.emplace_back(now, p.y);
  std::erase_if(f.samples, [now](const auto& s) { return s.first < now - 2 * kVelocityWindowSeconds; });
  double position = f.startPosition - (p.y - f.start.y) / kRowHeight;
  double last = lastRow(f.component);
  auto overpull = [](double by) { return std::min(kOverpull, by / 2); };
  if (position < 0) position = -overpull(-position);
  if (position > last) position = last + overpull(position - last);
  position_[f.component] = position;
  setNeedsDisplay();
}

void PickerView::touchesEnded(const TouchSet& touches, const Event* event) {
  if (!finger_) return View::touchesEnded(touches, event);
  releaseFinger(touchPoint(touches, this), touchTime(touches), true);
}

void PickerView::touchesCancelled(const TouchSet& touches, const Event* event) {
  if (!finger_) return View::touchesCancelled(touches, event);
  releaseFinger(touchPoint(touches, this), touchTime(touches), false);
}

// Rows a second the wheel turned over the last moments of the finger; 0 when the moves came too
// close together in time to tell a speed (a finger placed by code).
double PickerView::fingerVelocity(double now) const {
  const auto& samples = finger_->samples;
  auto first = std::find_if(samples.begin(), samples.end(),
                            [now](const auto& s) { return s.first >= now - kVelocityWindowSeconds; });
  if (first == samples.end() || samples.size() < 2) return 0;
  if (first != samples.begin()) --first;  // the move from just before the window
  double span = samples.back().first - first->first;
  if (span < kSlideStep / 2) return 0;
  double rows = -(samples.back().second - first->second) / kRowHeight;
  return std::clamp(rows / span, -kFastestFlick, kFastestFlick);
}

void PickerView::releaseFinger(cg::Point point, double now, bool lifted) {
  Finger f = *finger_;
  int c = f.component;
  if (f.dragging) {
    finger_->samples.emplace_back(now, point.y);
    double velocity = lifted ? fingerVelocity(now) : 0;
    finger_.reset();
    double carried = position_[c] + velocity * kFlickCarrySeconds;
    int row = std::clamp(int(std::lround(carried)), 0, lastRow(c));
    double distance = std::abs(row - position_[c]);
    // An ease-out leaves at three times its mean speed: this duration starts at the finger's.
    double duration = std::abs(velocity) > 0 ? 3 * distance / std::abs(velocity) : kSettleSeconds;
    slideComponentTo(c, row, std::clamp(duration, kSettleSeconds, kLongestSlideSeconds));
    return;
  }
  finger_.reset();
  if (f.caught) {
    slideComponentTo(c, std::clamp(int(std::lround(position_[c])), 0, lastRow(c)), kSettleSeconds);
    return;
  }
  if (!lifted) return;
  // A tap on a row above or below the middle band turns the wheel to it.
  int row = selected_[c] + int(std::floor((point.y - middleBandTop()) / kRowHeight));
  if (row != selected_[c] && row >= 0 && row <= lastRow(c)) slideComponentTo(c, row, kSettleSeconds);
}

// --- Drawing ----------------------------------------------------------------------------------

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

double PickerView::titleWidthForComponent(int component) const {
  if (component < 0 || component >= numberOfComponents()) return 0;
  return std::max(0.0, widthOfComponent(component) - 22);
}

cg::Font PickerView::titleFontForRow(int row, int component) const {
  const cg::Font full = cg::Font::boldSystemFont(kTitleFontSize);
  std::string title = titleForRow(row, component);
  double width = titleWidthForComponent(component);
  if (title.empty() || width <= 0) return full;
  std::string key = title + '\0' + std::to_string(width);
  if (auto it = fittedSizes_.find(key); it != fittedSizes_.end()) return full.withSize(it->second);
  double size = kTitleFontSize;
  double measured = cg::measureText(title, full).width;
  if (measured > width) {
    // Text grows about linearly with its size: start near the fit, then step down to it.
    size = std::clamp(std::floor(kTitleFontSize * width / measured * 2) / 2, kMinimumTitleFontSize,
                      kTitleFontSize);
    while (size > kMinimumTitleFontSize && cg::measureText(title, full.withSize(size)).width > width)
      size = std::max(kMinimumTitleFontSize, size - 0.5);
  }
  fittedSizes_.emplace(std::move(key), size);
  return full.withSize(size);
}

void PickerView::drawRect(const cg::Rect&) {
  cg::Context* ctx = cg::currentContext();
  if (!ctx) return;
  cg::Rect b = bounds();
  double x = wheelsLeft();
  double middle = middleBandTop();
  for (int c = 0; c < numberOfComponents(); ++c) {
    double w = widthOfComponent(c);
    cg::Rect wheel(x, 0, w - 2, b.height());
    ctx->saveGState();
    ctx->setFillColor(cg::Color::white(1));
    ctx->fillRect(wheel);
    ctx->clipToRect(wheel);
    ctx->setFillColor(cg::Color::black());
    // The rows around where the wheel stands, as far as the wheel shows them.
    double at = position_[c];
    int reach = int(std::ceil(middle / kRowHeight)) + 1;
    for (int r = int(std::floor(at)) - reach; r <= int(std::ceil(at)) + reach; ++r) {
      if (r < 0 || r >= rowCounts_[c]) continue;
      cg::Font font = titleFontForRow(r, c);
      double top = middle + (r - at) * kRowHeight + std::round((kRowHeight - font.lineHeight()) / 2);
      // One line: a title too long even at the smallest size ends in an ellipsis, never wraps.
      cg::Rect row(x + 10, top, titleWidthForComponent(c), font.lineHeight());
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
