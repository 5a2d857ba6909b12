// TChartSeries: the base of every series: points, colours, labels,
// notifications; implemented in ChartSeriesBase.cpp. The series kinds the
// program draws (Series.h) derive from it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/ChartEngineTypes.h"
#include "chart/ChartValueList.h"
#include "chart/PointArray.h"
#include "framework/Colors.h"

namespace tempolog {

class TCustomChartAxis;
class TCustomAxisPanel;

using TSeriesOnBeforeAdd = std::function<bool(TChartSeries& sender)>;
using TSeriesOnAfterAdd = std::function<void(TChartSeries& sender, std::int32_t valueIndex)>;
using TSeriesOnClear = std::function<void(TChartSeries& sender)>;
// Writes up to a given number of points' X and Y values into the two arrays
// and returns how many it wrote.
using TPointsFill = std::function<std::int32_t(double* xs, double* ys)>;

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
  // Adds the points `fill` writes (at most `count`), exactly as that many
  // AddPoint(x, y) calls without label and colour would, in the same order;
  // returns how many. Points that come in X order go straight into the
  // lists' storage, which grows once to take `count` more: a long log goes in
  // without a copy of its values. When `fill` throws, nothing is added.
  std::int32_t AddPoints(std::int32_t count, const TPointsFill& fill);
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

}  // namespace tempolog
