// TCustomAxisPanel: the base of the chart, the owner of the axes and the
// list of series, PlotRect and paging; implemented in AxisPanel.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/ChartAxis.h"
#include "chart/ChartCanvas.h"
#include "chart/ChartSeriesBase.h"
#include "framework/Colors.h"
#include "framework/Surface.h"

namespace tempolog {

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
