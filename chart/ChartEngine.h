// The chart's data and scaling engine: value lists, the series base, the axes
// and the axis panel that owns them.
//
// Sections, and the source file that implements each:
//   1. Exceptions and small types (ChartException, AxisException, enums)   header only
//   2. TChartValueList, TChartValueLists: one dimension of a series'       ChartValueList.cpp
//      points
//   3. TChartSeries: points, colours, labels, notifications                ChartSeriesBase.cpp
//   4. Date-time and numeric label steps: NextNiceStep,                    ChartLabelSteps.cpp
//      DateTimeStepTable, ..., RoundPixel
//   5. TCustomChartAxis, TChartAxis, TChartDepthAxis: range, pixel         ChartAxis.cpp
//      mapping, labels, ticks and grids (their drawing:                    ChartAxisDraw.cpp)
//   6. TCustomAxisPanel: the owner of axes and series, PlotRect            AxisPanel.cpp
// The series kinds the program draws (Series.h) derive from TChartSeries. Helpers the
// engine's source files share are in ChartEngineDetail.h, for those files only.
//
// Everything runs on the window thread; nothing here locks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/ChartCanvas.h"
#include "chart/PointArray.h"
#include "framework/Colors.h"
#include "framework/Exceptions.h"
#include "framework/Surface.h"

namespace tempolog {

class TChartSeries;
class TCustomChartAxis;
class TCustomAxisPanel;

// ---------------------------------------------------------------------------
// 1. Exceptions and small types

// A chart property was given a value it cannot take.
class ChartException : public Exception {
  using Exception::Exception;
};
// An axis property was given a value it cannot take; the message is one of
// the fixed axis texts and the property keeps its old value.
class AxisException : public ChartException {
  using ChartException::ChartException;
};

enum TChartListOrder { loNone, loAscending, loDescending };
enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };

// Where an axis takes its label texts and positions from.
enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

// The chart's label hooks. TAxisOnGetLabel may change the text of a label
// (series is nullptr and valueIndex -1 for value labels);
// TAxisOnGetNextLabel supplies label values one by one and ends the sequence
// by setting stop.
using TAxisOnGetLabel =
    std::function<void(const TCustomChartAxis& sender, const TChartSeries* series,
                       std::int32_t valueIndex, std::string& labelText)>;
using TAxisOnGetNextLabel = std::function<void(
    const TCustomChartAxis& sender, std::int32_t labelIndex, double& labelValue, bool& stop)>;

// What changed in a series, as told to the series fed by it.
enum TValueChangeKind { vcInsert, vcDelete, vcModify, vcClear, vcRefresh };

// The character that separates the lines of a chart text.
inline constexpr char LineSeparator = '\r';

// ---------------------------------------------------------------------------
// 2. Value lists

// One dimension (X, Y, ...) of a series' points. Values are stored as given;
// every read returns the stored value times Multiplier. The statistics
// (Largest, Smallest, Sum, SumOfMagnitudes) are over the multiplied values
// in index order; they are computed on first read after a change and kept up
// to date across appends at the end, with the same result bit for bit.
class TChartValueList {
 public:
  // Registers the list in the owner's TChartValueLists (and leaves it when
  // destroyed). Further lists of a series are made by its AddValueList, which
  // gives them one value per existing point.
  TChartValueList(TChartSeries& owner, std::string name);
  virtual ~TChartValueList();
  TChartValueList(const TChartValueList&) = delete;
  TChartValueList& operator=(const TChartValueList&) = delete;

  TChartSeries& Owner() const { return owner_; }

  bool DateTime() const { return dateTime_; }
  void SetDateTime(bool value);  // repaints when changed
  const std::string& Name() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  double Multiplier() const { return multiplier_; }
  void SetMultiplier(double value);  // stale statistics, refresh, repaint when changed
  TChartListOrder Order() const { return order_; }
  void SetOrder(TChartListOrder value) { order_ = value; }  // does not re-sort
  const std::string& ValueSource() const { return valueSource_; }
  void SetValueSource(std::string value);

  // The value staged by AddPoint before it is inserted.
  double PendingValue() const { return pendingValue_; }
  void SetPendingValue(double value) { pendingValue_ = value; }

  // Stored value at index times Multiplier; EListError for a bad index.
  double ValueAt(std::int32_t index) const { return values_.At(index) * multiplier_; }
  std::int32_t ValueCount() const { return values_.Count(); }
  double LastValue() const { return ValueAt(ValueCount() - 1); }
  // First index whose ValueAt equals value exactly, else -1.
  std::int32_t IndexOfValue(double value) const;

  // Stores the value itself (no Multiplier), tells the series' dependents.
  virtual void SetValue(std::int32_t index, double value);
  // Inserts by the order rule; returns the index where the value now stands.
  virtual std::int32_t InsertOrdered(double value);
  // Inserts at index (0 to ValueCount); EListError for a bad index.
  virtual void InsertAt(std::int32_t index, double value);
  virtual void RemoveAt(std::int32_t index);
  // Empties the list and frees its storage.
  virtual void RemoveAll();
  // Moves the first value to the end, every other one place down (this list only).
  virtual void RotateValues();

  double Largest() const;
  double Smallest() const;
  double Sum() const;
  double SumOfMagnitudes() const;
  bool StatisticsStale() const { return statisticsStale_; }

  // With an Order other than loNone, sorts every point of the series by this list.
  void SortByOrder();
  // Sets value i to i for every index.
  void Renumber();
  // Copies Order, DateTime, Multiplier and ValueSource (not Name, not values).
  void Assign(const TChartValueList& source);

  // The stored (unmultiplied) values, contiguous, ValueCount() of them.
  const double* StoredValues() const { return values_.Data(); }
  std::int32_t Capacity() const { return values_.Capacity(); }
  // Grows the storage, if needed, so that one more value fits without failing.
  void ReserveOne() { values_.ReserveOne(); }

  // True when every stored value is at most the next one (no value is NaN),
  // so the multiplied values, with a positive finite Multiplier, are
  // non-decreasing and searches over them may bisect. Kept up to date on
  // appends; rechecked by one pass when unknown.
  bool IsNonDecreasing() const;

  // Counts the changes to the stored values other than appends at the end
  // (and Multiplier changes): whoever keeps something derived from the
  // values extends it while this stays, and rebuilds it when it moves.
  std::uint64_t Changes() const { return changes_; }

 protected:
  void MarkStale() {
    statisticsStale_ = true;
    ++changes_;
  }

 private:
  friend class TChartSeries;
  enum class Monotony : std::uint8_t { NonDecreasing, Unordered, Unknown };

  void RecomputeStatistics() const;
  // This list, its statistics brought up to date first.
  const TChartValueList& WithStatistics() const {
    if (statisticsStale_) RecomputeStatistics();
    return *this;
  }
  void Appended(double stored);  // bookkeeping after a value went in at the end
  void InsertedInside(std::int32_t index, double stored);
  void SwapValues(std::int32_t a, std::int32_t b) noexcept { values_.Swap(a, b); }
  void Refresh();  // after points were moved around in bulk

  TChartSeries& owner_;
  TPointArray<double> values_;
  std::string name_;
  std::string valueSource_;
  double multiplier_ = 1.0;
  double pendingValue_ = 0.0;
  TChartListOrder order_ = loNone;
  bool dateTime_ = false;
  mutable bool statisticsStale_ = true;
  std::uint64_t changes_ = 0;
  mutable Monotony monotony_ = Monotony::NonDecreasing;
  mutable double largest_ = 0.0;
  mutable double smallest_ = 0.0;
  mutable double sum_ = 0.0;
  mutable double sumOfMagnitudes_ = 0.0;
};

// The lists of one series: index 0 is the X list, 1 the Y list.
using TChartValueLists = std::vector<TChartValueList*>;

// ---------------------------------------------------------------------------
// 3. Series

using TSeriesOnBeforeAdd = std::function<bool(TChartSeries& sender)>;
using TSeriesOnAfterAdd = std::function<void(TChartSeries& sender, std::int32_t valueIndex)>;
using TSeriesOnClear = std::function<void(TChartSeries& sender)>;

// The palette colour for a number n >= 0: entry n mod 16 of the chart palette.
TColor ChartPaletteColor(std::int64_t n);

// A series of points: an X list, a Y list, a colour and a label per point.
// Invariant after every public operation: all value lists, the colours and
// the labels have PointCount() entries, index i of each belonging to point i.
// Colours are stored only once some point has a colour other than clDefault,
// labels only once some point has a non-empty label.
class TChartSeries {
 public:
  TChartSeries();
  virtual ~TChartSeries();  // leaves its chart
  TChartSeries(const TChartSeries&) = delete;
  TChartSeries& operator=(const TChartSeries&) = delete;

  // The chart the series is drawn on (nullptr: none). Setting it moves the
  // series to the end of that chart's series list and repaints both charts.
  TCustomAxisPanel* ParentChart() const { return parentChart_; }
  void SetParentChart(TCustomAxisPanel* chart);

  TChartValueList& XValues() { return *lists_[0]; }
  const TChartValueList& XValues() const { return *lists_[0]; }
  TChartValueList& YValues() { return *lists_[1]; }
  const TChartValueList& YValues() const { return *lists_[1]; }
  const TChartValueLists& ValuesLists() const { return lists_; }
  // True when the series' values run along Y (line series): the X list is
  // the one along the horizontal axis and drives the visible range.
  virtual bool YMandatory() const { return true; }
  TChartValueList& MandatoryValues() { return YMandatory() ? YValues() : XValues(); }
  // False for series kinds drawn without axes.
  virtual bool UsesAxes() const { return true; }

  TColor SeriesColor() const { return seriesColor_; }
  void SetSeriesColor(TColor value);
  bool ColorEachPoint() const { return colorEachPoint_; }
  void SetColorEachPoint(bool value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  const std::string& ValueFormat() const { return valueFormat_; }
  void SetValueFormat(const std::string& value);
  const std::string& PercentFormat() const { return percentFormat_; }
  void SetPercentFormat(const std::string& value);
  THorizAxis HorizAxis() const { return horizAxis_; }
  void SetHorizAxis(THorizAxis value);
  TVertAxis VertAxis() const { return vertAxis_; }
  void SetVertAxis(TVertAxis value);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value);

  TSeriesOnBeforeAdd OnBeforeAdd;
  TSeriesOnAfterAdd OnAfterAdd;
  TSeriesOnClear OnClearValues;

  // Adding. Each returns the index of the new point, or -1 when OnBeforeAdd
  // vetoed it. On failure (out of memory, list full) nothing is added.
  virtual std::int32_t AddPoint(double x, double y, std::string_view label = {},
                                TColor color = clDefault);
  // X (or Y when the values run along X) is the current point count.
  virtual std::int32_t Add(double value, std::string_view label = {}, TColor color = clDefault);
  virtual std::int32_t AddNullPoint(std::string_view label = {});
  virtual std::int32_t AddNullXY(double x, double y, std::string_view label = {});
  bool IsNullPoint(std::int32_t index) const { return PointColor(index) == clNone; }

  // EListError for a bad index, nothing changed.
  virtual void DeletePoint(std::int32_t index);
  virtual void RemoveAllPoints();
  std::int32_t PointCount() const { return XValues().ValueCount(); }

  virtual double XValue(std::int32_t index) const { return XValues().ValueAt(index); }
  virtual double YValue(std::int32_t index) const { return YValues().ValueAt(index); }
  virtual double MaximumX() const { return XValues().Largest(); }
  virtual double MaximumY() const { return YValues().Largest(); }
  virtual double MinimumX() const { return XValues().Smallest(); }
  virtual double MinimumY() const { return YValues().Smallest(); }

  // The colour a point is drawn in: its stored colour unless that is
  // clDefault; then the palette colour index mod 16 with ColorEachPoint,
  // else SeriesColor. An index outside the points gives SeriesColor.
  virtual TColor PointColor(std::int32_t index) const;
  // The colour given when the point was added (clDefault when none).
  TColor StoredColor(std::int32_t index) const;
  // Replaces a point's colour, then repaints; EListError for a bad index.
  void SetPointColor(std::int32_t index, TColor color);
  // The point's label, empty when it has none or the index is past the list.
  virtual std::string PointLabel(std::int32_t index) const;
  // The text of the point's mark: its label when it has one, else its value
  // along the series' direction in ValueFormat.
  virtual std::string MarkText(std::int32_t index) const;
  // True when some point has a label.
  bool HasLabels() const { return labelCount_ > 0; }
  // False while every point was added with clDefault (no colour stored).
  bool HasStoredColors() const { return colorsStored_; }

  // Whether the series is drawn against the axis.
  bool AssociatedToAxis(const TCustomChartAxis& axis) const;
  // The axes of the series' chart it is drawn against; nullptr without a chart.
  TCustomChartAxis* GetHorizAxis() const;
  TCustomChartAxis* GetVertAxis() const;

  // Visible index range for drawing: FirstShownIndex..LastShownIndex, -1 when
  // nothing is to be drawn.
  void ComputeVisibleRange();
  std::int32_t FirstShownIndex() const { return firstShownIndex_; }
  std::int32_t LastShownIndex() const { return lastShownIndex_; }
  bool PointsCanBeSkipped() const { return pointsCanBeSkipped_; }
  void SetPointsCanBeSkipped(bool value) { pointsCanBeSkipped_ = value; }
  bool DrawBetweenPoints() const { return drawBetweenPoints_; }

  // Asks the chart to repaint later; nothing without a chart.
  void RequestRepaint();

  // Pixel room the series needs at the ends of its axes (0 for the base).
  virtual void HorizontalMargins(int& left, int& right) const;
  virtual void VerticalMargins(int& top, int& bottom) const;

 protected:
  // Tells OnAfterAdd and the dependents, repaints when Active.
  virtual void PointAdded(std::int32_t index);
  // Forwards a change to the series fed by this one. No series here has
  // dependents; the calls stay where a change happens.
  virtual void NotifyDependents(TValueChangeKind kind, std::int32_t index);
  // A value list's data source changed (no data sources here).
  virtual void CheckDataSource() {}
  void SetDrawBetweenPoints(bool value) { drawBetweenPoints_ = value; }
  // Adds a further value list (index 2 on); the series owns it.
  TChartValueList& AddValueList(std::string name);

 private:
  friend class TChartValueList;
  friend class TCustomAxisPanel;

  void RegisterList(TChartValueList* list) { lists_.push_back(list); }
  void SwapPoints(std::int32_t a, std::int32_t b) noexcept;
  void MaterialiseColors();
  void MaterialiseLabels();
  void FreeLabels() noexcept;

  TChartValueLists lists_;  // X, Y, further lists; owned through owned_
  std::vector<std::unique_ptr<TChartValueList>> owned_;
  TPointArray<TColor> colors_;        // empty while every point has clDefault
  TPointArray<std::string*> labels_;  // empty while no point has a label
  TCustomAxisPanel* parentChart_ = nullptr;
  std::string valueFormat_ = "#,##0.###";
  std::string percentFormat_ = "##0.## %";
  std::string title_;
  TColor seriesColor_ = clDefault;
  THorizAxis horizAxis_ = aBottomAxis;
  TVertAxis vertAxis_ = aLeftAxis;
  std::int32_t labelCount_ = 0;  // points with a label
  std::int32_t firstShownIndex_ = -1;
  std::int32_t lastShownIndex_ = -1;
  bool colorsStored_ = false;
  bool labelsStored_ = false;
  bool colorEachPoint_ = false;
  bool active_ = true;
  bool pointsCanBeSkipped_ = true;
  bool drawBetweenPoints_ = false;
};

// ---------------------------------------------------------------------------
// 4. Label steps

// One second, one minute and one day in days.
inline constexpr double OneSecond = 1.0 / 86400.0;
inline constexpr double OneMinute = 1.0 / 1440.0;

// The standard date-time label increments, in days, smallest first. Entries
// 18 to 24 (half month to one year) are the calendar steps.
// Five steps a row: seconds, minutes, hours to a day, days, months to a year.
// clang-format off
inline constexpr std::array<double, 25> DateTimeStepTable = {
    1.0 / 86400, 5.0 / 86400, 10.0 / 86400, 15.0 / 86400, 30.0 / 86400,
    1.0 / 1440,  5.0 / 1440,  10.0 / 1440,  15.0 / 1440,  30.0 / 1440,
    1.0 / 24,    2.0 / 24,    0.25,         0.5,          1.0,
    2.0,         3.0,         7.0,          15.0,         30.0,
    60.0,        90.0,        120.0,        182.0,        365.0};
// clang-format on
inline constexpr int NoDateTimeStep = 25;

// The next numeric label step above s > 0: 1, 2, 5 times a power of ten.
// Values that are not positive and finite come back unchanged.
double NextNiceStep(double s);
// The table entry after the largest entry s reaches; 365 days when s is at
// or above 182 days or below one second.
double NextDateTimeStepUp(double s);
// The largest table index whose entry is within one second of x; 25 if none.
int NearestDateTimeStep(double x);
// Label pattern for a date-time step of d days: the short date form of the
// process-wide settings above one day, else their short time form.
std::string DateTimeFormatForStep(double d);

// Round to the nearest integer, ties to even, as a 32-bit pixel (clamped to
// the 32-bit range; NaN gives 0).
std::int32_t RoundPixel(long double value);

// ---------------------------------------------------------------------------
// 5. Axes

// The title of an axis: a caption drawn beside the labels, turned by Angle.
// Changes repaint the chart.
class TChartAxisTitle {
 public:
  TChartAxisTitle(TCustomChartAxis& axis, std::int32_t angle);
  TChartAxisTitle(const TChartAxisTitle&) = delete;
  TChartAxisTitle& operator=(const TChartAxisTitle&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string value);
  // 0 to 359 degrees; else ChartException "Axis Title Angle must be between
  // 0 and 359 degrees" and the angle stays.
  std::int32_t Angle() const { return angle_; }
  void SetAngle(std::int32_t value);
  TChartFontObject& Font() { return font_; }
  const TChartFontObject& Font() const { return font_; }

 private:
  TCustomChartAxis& axis_;
  std::string caption_;
  std::int32_t angle_;
  TChartFontObject font_;
};

// One axis of the chart: its range (automatic from the series, or set by the
// user), the mapping between values and pixels, and the label step.
class TCustomChartAxis {
 public:
  TCustomChartAxis(TCustomAxisPanel& panel, bool horizontal, bool otherSide);
  virtual ~TCustomChartAxis();
  TCustomChartAxis(const TCustomChartAxis&) = delete;
  TCustomChartAxis& operator=(const TCustomChartAxis&) = delete;

  TCustomAxisPanel& ParentChart() const { return panel_; }
  bool Horizontal() const { return horizontal_; }
  bool OtherSide() const { return otherSide_; }
  virtual bool IsDepthAxis() const { return false; }

  // Published properties. Each setter stores the value and repaints the
  // chart only when it changes; refused values raise AxisException (or
  // ChartException for the angle) and leave the property as it was.
  bool Automatic() const { return automatic_; }
  void SetAutomatic(bool value);
  bool AutomaticMinimum() const { return automaticMinimum_; }
  void SetAutomaticMinimum(bool value);
  bool AutomaticMaximum() const { return automaticMaximum_; }
  void SetAutomaticMaximum(bool value);
  double Minimum() const { return minimum_; }
  void SetMinimum(double value);  // "Axis Minimum Value must be <= Maximum"
  double Maximum() const { return maximum_; }
  void SetMaximum(double value);  // "Axis Maximum Value must be >= Minimum"
  double Increment() const { return increment_; }
  void SetIncrement(double value);  // "Axis increment must be >= 0"
  std::int32_t LabelsSeparation() const { return labelsSeparation_; }
  void SetLabelsSeparation(std::int32_t value);  // "Labels Separation % must be greater than 0"
  bool ExactDateTime() const { return exactDateTime_; }
  void SetExactDateTime(bool value);
  bool Logarithmic() const { return logarithmic_; }
  void SetLogarithmic(bool value);
  std::int32_t LogarithmicBase() const { return logarithmicBase_; }
  void SetLogarithmicBase(std::int32_t value);  // "Axis Logarithmic Base should be >= 2"
  bool Inverted() const { return inverted_; }
  void SetInverted(bool value);
  double StartPosition() const { return startPosition_; }
  void SetStartPosition(double value);
  double EndPosition() const { return endPosition_; }
  void SetEndPosition(double value);
  double PositionPercent() const { return positionPercent_; }
  void SetPositionPercent(double value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);

  // Labels.
  bool Labels() const { return labels_; }
  void SetLabels(bool value);
  TChartFontObject& LabelsFont() { return labelsFont_; }
  const TChartFontObject& LabelsFont() const { return labelsFont_; }
  // 0 to 359 degrees; else ChartException "Axis Labels Angle must be between
  // 0 and 359 degrees" and the angle stays.
  std::int32_t LabelsAngle() const { return labelsAngle_; }
  void SetLabelsAngle(std::int32_t value);
  bool LabelsMultiLine() const { return labelsMultiLine_; }  // blanks start new lines
  void SetLabelsMultiLine(bool value);
  bool LabelsOnAxis() const { return labelsOnAxis_; }  // labels at the very ends too
  void SetLabelsOnAxis(bool value);
  std::int32_t LabelsSize() const { return labelsSize_; }  // 0: measured
  void SetLabelsSize(std::int32_t value);
  TAxisLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TAxisLabelStyle value);
  const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
  void SetAxisValuesFormat(std::string value);
  const std::string& DateTimeFormat() const { return dateTimeFormat_; }  // empty: by step
  void SetDateTimeFormat(std::string value);
  bool RoundFirstLabel() const { return roundFirstLabel_; }  // first label a multiple of the step
  void SetRoundFirstLabel(bool value);

  // Lines. The pens belong to the axis; changing them repaints the chart.
  TChartAxisPen& Axis() { return axisPen_; }  // the axis line
  const TChartAxisPen& Axis() const { return axisPen_; }
  TDarkGrayPen& Ticks() { return ticks_; }  // outer ticks
  const TDarkGrayPen& Ticks() const { return ticks_; }
  std::int32_t TickLength() const { return tickLength_; }
  void SetTickLength(std::int32_t value);
  TDarkGrayPen& TicksInner() { return ticksInner_; }
  const TDarkGrayPen& TicksInner() const { return ticksInner_; }
  std::int32_t TickInnerLength() const { return tickInnerLength_; }
  void SetTickInnerLength(std::int32_t value);
  TDarkGrayPen& MinorTicks() { return minorTicks_; }
  const TDarkGrayPen& MinorTicks() const { return minorTicks_; }
  std::int32_t MinorTickLength() const { return minorTickLength_; }
  void SetMinorTickLength(std::int32_t value);
  // Minor ticks (and minor grid lines) between two labels.
  std::int32_t MinorTickCount() const { return minorTickCount_; }
  void SetMinorTickCount(std::int32_t value);
  TDottedGrayPen& Grid() { return grid_; }
  const TDottedGrayPen& Grid() const { return grid_; }
  bool GridCentered() const { return gridCentered_; }  // grid lines between labels
  void SetGridCentered(bool value);
  TChartHiddenPen& MinorGrid() { return minorGrid_; }
  const TChartHiddenPen& MinorGrid() const { return minorGrid_; }
  bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
  void SetTickOnLabelsOnly(bool value);

  // Title.
  TChartAxisTitle& Title() { return title_; }
  const TChartAxisTitle& Title() const { return title_; }
  std::int32_t TitleSize() const { return titleSize_; }  // 0: measured
  void SetTitleSize(std::int32_t value);

  // Working state, left by the last layout.
  double CurrentMinimum() const { return currentMinimum_; }
  double CurrentMaximum() const { return currentMaximum_; }
  double CurrentRange() const { return currentRange_; }
  std::int32_t StartPixel() const { return startPixel_; }
  std::int32_t EndPixel() const { return endPixel_; }
  std::int32_t PixelSize() const { return pixelSize_; }
  std::int32_t CenterPixel() const { return centerPixel_; }
  bool DateTimeAxis() const { return dateTimeAxis_; }
  void SetDateTimeAxis(bool value) { dateTimeAxis_ = value; }

  // Range: Minimum/Maximum from the series at automatic ends, then copied to
  // the working range.
  void ComputeRange();
  // Pixel span from the chart's PlotRect and Start/EndPosition.
  void UpdatePixelSpan();
  // Widens the working range so that startMargin pixels at the left/top end
  // and endMargin pixels at the far end stay free of data.
  void WidenRangeForMargins(int startMargin, int endMargin);

  // Value to pixel along the axis direction, from the working state only.
  std::int32_t ValueToPixel(double value) const;
  // Pixel along the axis direction to value; 0 when the span is below a pixel.
  double PixelToValue(std::int32_t pixel) const;

  // The label increment: LabelStepForCount of as many labels as fit.
  double ComputeLabelStep() const;
  double LabelStepForCount(std::int32_t maxLabels) const;
  // Size of the value's label along the axis, measured by the chart: font
  // height times lines for a label turned straight across the axis (90 or 270
  // degrees on a horizontal axis, 0 or 180 on a vertical one), else its
  // widest line.
  int LabelSizeAlongAxis(double value) const;
  // The label text of a value (number or date-time pattern, then the chart's
  // label hook, then multi-line splitting).
  virtual std::string LabelText(double value) const;

  // Which labels the axis draws: LabelStyle, or for talAuto what its
  // series carry (talText when the first series along the axis has a point
  // label, talValue with any active series, else talNone).
  TAxisLabelStyle EffectiveLabelStyle() const;

  // Layout: reserves the bands of the title, the labels and the ticks on the
  // axis' side of rect (shrinking it) and records TitlePos and LabelsPos.
  // With reserve false rect stays and the positions are set from its edge.
  void MeasureAxis(TRect& rect, bool reserve);
  // Band sizes in pixels (measured with the chart's canvas; 0 without one).
  std::int32_t TickBandSize() const;
  std::int32_t LabelBandSize();
  std::int32_t TitleBandSize();
  // The wider of the labels at the (rounded) ends of the range plus a blank,
  // measured with the chart's label hook suspended.
  std::int32_t WidestValueLabel();

  // Paint: title, labels, axis line, outer ticks, grid, inner ticks, minor
  // ticks, minor grid. With computeLinePos the axis line moves to the edge of
  // PlotRect (and PositionPercent). Draws nothing without the chart's canvas.
  void DrawAxis(bool computeLinePos);
  // Draws a label or title text with its reference point at (x, y), turned
  // by angle degrees, placed for this axis' side; lines split at
  // LineSeparator.
  void PlaceAxisText(int x, int y, std::string_view text, std::int32_t angle);
  // The next label value below v: v - step, or the calendar step back for
  // half-month to yearly date-time labels.
  double StepLabelValue(double v, double step) const;
  // The calendar boundary at or below v for the date-time step index i
  // (values up to 2.0 come back unchanged).
  static double RoundDateDown(int i, double v);

  // Whether (x, y) lies on the axis: the band from the labels to the axis
  // line plus 3 pixels, along the axis' pixel span.
  bool AxisHitTest(int x, int y) const;

  // Drawing state, kept between paints.
  std::int32_t AxisLinePos() const { return axisLinePos_; }
  std::int32_t LabelsPos() const { return labelsPos_; }
  std::int32_t TitlePos() const { return titlePos_; }
  int DateTimeStepIndex() const { return dateTimeStepIndex_; }
  // Pixel positions of the labels drawn by the last DrawAxis, in drawing
  // order. Positions beyond the capacity are not recorded.
  static constexpr std::int32_t TickTableCapacity = 2000;
  std::span<const std::int32_t> TickTable() const {
    return {tickTable_.get(), static_cast<std::size_t>(tickCount_)};
  }

  // User range: Automatic off, ends swapped if needed, at least 1e-10 apart.
  void SetRange(double minimum, double maximum);
  // Shifts the user range by delta; with checkLimits only towards data
  // beyond the range.
  void ScrollRange(bool checkLimits, double delta);

  // Whether the first active series on this axis has date-time values.
  bool IsDateTimeValues() const;

 protected:
  void Changed();  // repaint the chart
  void SetVisibleQuietly(bool value) { visible_ = value; }

 private:
  friend class TChartAxisTitle;
  enum class Side { Left, Right, Bottom, Top };
  Side AxisSide() const;
  std::int32_t MovedByPosition(std::int32_t p, const TRect& rect) const;
  int TextSizeAlongAxis(std::string_view text) const;
  void AddTick(std::int32_t p);
  void DrawLabelText(std::int32_t p, std::string_view text);
  void DrawLabelAt(double value);
  void DrawDefaultLabels(double step);
  void DrawCustomLabels(double step);
  void DrawLogarithmicLabels();
  void DrawSeriesLabels(TAxisLabelStyle style);
  void DrawTickSet(const TChartPen& pen, std::int32_t offset, std::int32_t length);
  void DrawTick(TChartCanvas& canvas, std::int32_t p, std::int32_t offset, std::int32_t length);
  void DrawGrid();
  void DrawGridLine(TChartCanvas& canvas, std::int32_t p);
  void DrawMinor(bool grid);
  void DrawMinorAt(TChartCanvas& canvas, bool grid, std::int64_t p);
  std::int32_t WidestSeriesLabel(TAxisLabelStyle style);
  double LinearPixelToValue(std::int32_t pixel) const;
  double LogPixelToValue(std::int32_t pixel) const;
  std::int32_t LogValueToPixel(double value) const;

  TCustomAxisPanel& panel_;
  bool horizontal_;
  bool otherSide_;

  bool automatic_ = true;
  bool automaticMinimum_ = true;
  bool automaticMaximum_ = true;
  double minimum_ = 0.0;
  double maximum_ = 0.0;
  double increment_ = 0.0;
  std::int32_t labelsSeparation_ = 10;
  bool exactDateTime_ = true;
  bool logarithmic_ = false;
  std::int32_t logarithmicBase_ = 10;
  bool inverted_ = false;
  double startPosition_ = 0.0;
  double endPosition_ = 100.0;
  double positionPercent_ = 0.0;
  bool visible_ = true;
  bool labels_ = true;
  TChartFontObject labelsFont_;
  std::int32_t labelsAngle_ = 0;
  bool labelsMultiLine_ = false;
  bool labelsOnAxis_ = true;
  std::int32_t labelsSize_ = 0;
  TAxisLabelStyle labelStyle_ = talAuto;
  std::string axisValuesFormat_ = "#,##0.###";
  std::string dateTimeFormat_;
  bool roundFirstLabel_ = true;
  TChartAxisPen axisPen_;
  TDarkGrayPen ticks_;
  std::int32_t tickLength_ = 4;
  TDarkGrayPen ticksInner_;
  std::int32_t tickInnerLength_ = 0;
  TDarkGrayPen minorTicks_;
  std::int32_t minorTickLength_ = 2;
  std::int32_t minorTickCount_ = 3;
  TDottedGrayPen grid_;
  bool gridCentered_ = false;
  TChartHiddenPen minorGrid_;
  bool tickOnLabelsOnly_ = true;
  TChartAxisTitle title_;
  std::int32_t titleSize_ = 0;

  std::int32_t axisLinePos_ = 0;
  std::int32_t labelsPos_ = 0;
  std::int32_t titlePos_ = 0;
  int dateTimeStepIndex_ = NoDateTimeStep;
  std::unique_ptr<std::int32_t[]> tickTable_;  // TickTableCapacity entries, made on first use
  std::int32_t tickCount_ = 0;
  mutable bool labelHookSuspended_ = false;  // while WidestValueLabel measures

  double currentMinimum_ = 0.0;
  double currentMaximum_ = 0.0;
  double currentRange_ = 0.0;
  std::int32_t startPixel_ = 0;
  std::int32_t endPixel_ = 0;
  std::int32_t pixelSize_ = 0;
  std::int32_t centerPixel_ = 0;
  bool dateTimeAxis_ = false;
};

// The four side axes of the chart.
class TChartAxis : public TCustomChartAxis {
 public:
  using TCustomChartAxis::TCustomChartAxis;
};

// The depth axis, shown only in 3D views.
class TChartDepthAxis : public TCustomChartAxis {
 public:
  explicit TChartDepthAxis(TCustomAxisPanel& panel);
  bool IsDepthAxis() const override { return true; }
};

// ---------------------------------------------------------------------------
// 6. The axis panel: the owner of axes and the list of series

// Base of the chart: owns the five axes, lists the series drawn on it (the
// series are owned elsewhere), holds PlotRect and the paging settings, and
// answers the axes' questions about the series. Derived charts supply the
// repaint request and the label measuring.
class TCustomAxisPanel {
 public:
  TCustomAxisPanel();
  virtual ~TCustomAxisPanel();  // the series stay, without a chart
  TCustomAxisPanel(const TCustomAxisPanel&) = delete;
  TCustomAxisPanel& operator=(const TCustomAxisPanel&) = delete;

  // Asks for a repaint later.
  virtual void Invalidate() = 0;
  // Label measuring in the axis' labels font: the width of one line of text
  // and the font height. The base measures on AxisCanvas() (0 without one).
  virtual int MeasureLabelWidth(const TCustomChartAxis& axis, std::string_view line) const;
  virtual int MeasureLabelHeight(const TCustomChartAxis& axis) const;
  // The chart's label hook: may change the text of an axis label. The base
  // calls OnGetAxisLabel when assigned.
  virtual void GetAxisLabel(const TCustomChartAxis& axis, const TChartSeries* series,
                            std::int32_t valueIndex, std::string& text) const;
  // The canvas the axes measure and draw with; nullptr while the chart has
  // none (then axes reserve no room for text and draw nothing).
  virtual TChartCanvas* AxisCanvas() const { return nullptr; }
  // The chart's background colour: labels and titles are drawn on a clear
  // brush of it.
  virtual TColor ChartColor() const { return clBtnFace; }

  // Published events of the chart (unassigned by default).
  TAxisOnGetLabel OnGetAxisLabel;
  TAxisOnGetNextLabel OnGetNextAxisLabel;
  // 3D views show the depth axis; this chart draws in 2D.
  virtual bool View3D() const { return false; }

  // Axes, in list order: bottom, top, left, right, depth.
  const std::vector<TCustomChartAxis*>& Axes() const { return axes_; }
  TChartAxis& BottomAxis() { return bottomAxis_; }
  TChartAxis& TopAxis() { return topAxis_; }
  TChartAxis& LeftAxis() { return leftAxis_; }
  TChartAxis& RightAxis() { return rightAxis_; }
  TChartDepthAxis& DepthAxis() { return depthAxis_; }
  const TChartAxis& BottomAxis() const { return bottomAxis_; }
  const TChartAxis& TopAxis() const { return topAxis_; }
  const TChartAxis& LeftAxis() const { return leftAxis_; }
  const TChartAxis& RightAxis() const { return rightAxis_; }

  // Series, in drawing order (use TChartSeries::SetParentChart to add).
  const std::vector<TChartSeries*>& SeriesList() const { return series_; }
  void AddSeries(TChartSeries& series) { series.SetParentChart(this); }
  void RemoveSeries(TChartSeries& series);

  const TRect& PlotRect() const { return plotRect_; }
  void SetPlotRect(const TRect& rect) { plotRect_ = rect; }

  bool AxisVisible() const { return axisVisible_; }
  void SetAxisVisible(bool value);
  std::int32_t MaxPointsPerPage() const { return maxPointsPerPage_; }
  void SetMaxPointsPerPage(std::int32_t value);  // below 0 is taken as 0 (no paging)
  std::int32_t Page() const { return page_; }
  void SetPage(std::int32_t value);  // below 1 is taken as 1
  bool ScaleLastPage() const { return scaleLastPage_; }
  void SetScaleLastPage(bool value);

  // While the chart is loaded from its stored form, setters skip their
  // cross-checks (Minimum/Maximum) and Automatic leaves its two partners.
  bool IsLoading() const { return loading_; }
  void SetLoading(bool value) { loading_ = value; }
  bool IsDestroying() const { return destroying_; }

  // The automatic end of an axis range (largest or smallest; X values for
  // horizontal axes, Y values for vertical ones).
  double AxisExtremeValue(const TCustomChartAxis& axis, bool largest, bool xValues) const;
  bool AxisIsShown(const TCustomChartAxis& axis) const;
  bool AxisHasNoActiveSeries(const TCustomChartAxis& axis) const;

  // Layout steps, in the order a paint runs them.
  void ComputeAxisRanges();     // ComputeRange of every axis
  void UpdateAxisPixelSpans();  // UpdatePixelSpan of every axis
  // The largest series margins at the automatic ends of the axis: start is
  // the left (horizontal) or top (vertical) end.
  void SeriesMarginsForAxis(const TCustomChartAxis& axis, int& startMargin, int& endMargin) const;
  // Widens the top, left, right and bottom axes by their series margins.
  void ApplySeriesMargins();

 protected:
  // Derived charts call this first in their destructor, so that clearing
  // series while the chart goes away does not ask for repaints.
  void BeginDestroy() { destroying_ = true; }
  // Called after a series joined the end of the series list (a chart gives
  // a series without a colour of its own its palette colour here).
  virtual void SeriesAdded(TChartSeries& /*series*/) {}

 private:
  friend class TChartSeries;
  const TChartSeries* FirstSeriesForPaging(const TCustomChartAxis& axis) const;

  std::vector<TCustomChartAxis*> axes_;
  TChartAxis bottomAxis_;
  TChartAxis topAxis_;
  TChartAxis leftAxis_;
  TChartAxis rightAxis_;
  TChartDepthAxis depthAxis_;
  std::vector<TChartSeries*> series_;
  TRect plotRect_;
  std::int32_t maxPointsPerPage_ = 0;
  std::int32_t page_ = 1;
  bool axisVisible_ = true;
  bool scaleLastPage_ = true;
  bool loading_ = false;
  bool destroying_ = false;
};

}  // namespace tempolog
