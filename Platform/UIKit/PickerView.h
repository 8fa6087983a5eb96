#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Foundation/Timer.h"
#include "Graphics/Font.h"
#include "UIKit/View.h"

namespace ui {

class PickerView;

// Tells the picker how many wheels it has and how many rows each holds.
class PickerViewDataSource {
 public:
  virtual ~PickerViewDataSource() = default;
  virtual int numberOfComponentsInPickerView(PickerView& pickerView) = 0;
  virtual int pickerViewNumberOfRowsInComponent(PickerView& pickerView, int component) = 0;
};

// Gives the rows' titles and the wheels' widths, and hears of a wheel coming to rest on a row.
class PickerViewDelegate {
 public:
  virtual ~PickerViewDelegate() = default;
  virtual std::optional<std::string> pickerViewTitleForRowForComponent(PickerView&, int, int) {
    return std::nullopt;
  }
  // 0 or less: the picker shares its width out evenly.
  virtual double pickerViewWidthForComponent(PickerView&, int) { return 0; }
  virtual void pickerViewDidSelectRowInComponent(PickerView&, int, int) {}
};

// A row of spinning wheels, one per component, each resting on one selected row that sits in the
// middle band. The counts and titles come from the data source and the delegate; reload reads
// them again and keeps each selection inside its wheel.
// A finger turns the wheel it went down on; released, the wheel carries on as fast as the finger
// left it, slows down and comes to rest on a row, and the delegate hears of that row once. A tap
// on a row above or below the selection turns the wheel to it; a mouse wheel turns it a row a
// notch. The wheels slide on the platform clock, each on its own.
class PickerView : public View {
 public:
  static constexpr double kRowHeight = 44;
  // Space at each side of the wheels when the delegate gives no widths.
  static constexpr double kSideMargin = 9;
  // Row titles are bold at this size, smaller down to the minimum when they do not fit.
  static constexpr double kTitleFontSize = 20;
  static constexpr double kMinimumTitleFontSize = 10;
  // How long a flicked wheel would take to lose its speed: it travels speed times this.
  static constexpr double kFlickCarrySeconds = 0.5;
  // A wheel settling on the row nearest to where the finger left it, or turning to a tapped row.
  static constexpr double kSettleSeconds = 0.25;
  // The longest slide to rest after a flick.
  static constexpr double kLongestSlideSeconds = 2;
  // How far back the speed of a finger is read when it lifts.
  static constexpr double kVelocityWindowSeconds = 0.1;

  PickerView();
  ~PickerView() override;
  PickerView(const PickerView&) = delete;
  PickerView& operator=(const PickerView&) = delete;
  std::shared_ptr<PickerView> initWithFrame(const cg::Rect& frame);

  std::shared_ptr<PickerViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(std::weak_ptr<PickerViewDataSource> dataSource);
  std::shared_ptr<PickerViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<PickerViewDelegate> delegate);

  int numberOfComponents() const { return int(rowCounts_.size()); }
  int numberOfRowsInComponent(int component) const;
  // The size of one row of the wheel: its width and kRowHeight.
  cg::Size rowSizeForComponent(int component) const;

  void reloadAllComponents();
  void reloadComponent(int component);

  // -1 for a wheel that does not exist or has no rows.
  int selectedRowInComponent(int component) const;
  // Rows out of range are ignored; the delegate is not told (as when code moves a wheel).
  void selectRowInComponent(int row, int component, bool animated);
  // What a finger flicking the wheel does: it comes to rest on the row (clamped into the wheel)
  // and the delegate hears of it.
  void spinComponentToRow(int component, int row);

  // The wheel under a point of the picker's coordinates; -1 beside or between the wheels.
  int componentAtPoint(cg::Point point) const;
  // Where a wheel stands, in rows: the selected row at rest, between rows while it turns.
  double positionOfComponent(int component) const;
  // A finger on the wheel or the wheel sliding to rest.
  bool isComponentMoving(int component) const;
  // A turn of a mouse wheel with the pointer at a point of the picker's coordinates, `distance`
  // points down the content (kWheelNotchPoints a notch): the wheel there turns a row a notch,
  // a turn towards the user moving to later rows, as a page scrolls. False when no wheel with
  // rows is there.
  bool scrollByWheel(cg::Point point, double distance);

  // The width a row's title has in its wheel, and the font it is drawn in: bold kTitleFontSize,
  // shrunk as far as kMinimumTitleFontSize to fit that width (past that it ends in an ellipsis).
  double titleWidthForComponent(int component) const;
  cg::Font titleFontForRow(int row, int component) const;

  void touchesBegan(const TouchSet& touches, const Event* event) override;
  void touchesMoved(const TouchSet& touches, const Event* event) override;
  void touchesEnded(const TouchSet& touches, const Event* event) override;
  void touchesCancelled(const TouchSet& touches, const Event* event) override;

  bool showsSelectionIndicator() const { return showsSelectionIndicator_; }
  void setShowsSelectionIndicator(bool shows);

  // The title a row shows ("" when the delegate gives none).
  std::string titleForRow(int row, int component) const;

  bool drawsContent() const override { return true; }
  void drawRect(const cg::Rect& rect) override;
  void appendDumpAttributes(std::string& line) const override;

 private:
  // A wheel sliding from one position to a row, easing out over the duration.
  struct Slide {
    double from = 0, to = 0, start = 0, duration = 0;
    ns::TimerPtr timer;
  };
  // The finger turning a wheel: where it went down, and where it was lately (time, y).
  struct Finger {
    int component = -1;
    cg::Point start;
    double startPosition = 0;
    bool dragging = false;
    // It went down on a turning wheel and stopped it.
    bool caught = false;
    std::vector<std::pair<double, double>> samples;
  };

  void readCounts();
  void keepInsideWheels();
  double widthOfComponent(int component) const;
  // The left edge of the first wheel; the wheels stand side by side, centred in the bounds.
  double wheelsLeft() const;
  // The top of the middle band, where the selected row rests.
  double middleBandTop() const;
  int lastRow(int component) const { return std::max(0, rowCounts_[std::size_t(component)] - 1); }
  void stopComponent(int component);
  void slideComponentTo(int component, int row, double duration);
  void slideStep(int component);
  void scheduleSlideStep(int component);
  // The wheel has stopped on a row: it is the selection, and the delegate hears of it.
  void comeToRest(int component, int row);
  void releaseFinger(cg::Point point, double now, bool lifted);
  double fingerVelocity(double now) const;

  std::weak_ptr<PickerViewDataSource> dataSource_;
  std::weak_ptr<PickerViewDelegate> delegate_;
  std::vector<int> rowCounts_;
  std::vector<int> selected_;
  std::vector<double> position_;
  std::vector<std::unique_ptr<Slide>> slides_;
  // Mouse-wheel distance short of a whole notch, per wheel.
  std::vector<double> wheelRemainder_;
  std::optional<Finger> finger_;
  // Fitted title sizes by title text and wheel, read again on reload.
  mutable std::unordered_map<std::string, double> fittedSizes_;
  bool showsSelectionIndicator_ = false;
};

}  // namespace ui
