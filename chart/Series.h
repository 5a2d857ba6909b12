// The series kinds this program draws: TCustomSeries (lines and point
// markers) and TLineSeries, the series of the readings.
//
// Data side: a line series keeps the first point beyond the right edge of the
// plot in its visible range, so that the segment leaving the plot is drawn.
// Drawing side: the line pen, stairs, the point marker (TSeriesPointer) and
// the pixel margins the axes leave for them.
//
// A drawing pass is BeginDrawPass, DrawPoint for each visible index in
// increasing order, EndDrawPass. DrawPoint does a fixed amount of work per
// point (at most two line calls and one marker) and allocates nothing.
#pragma once

#include <cstdint>
#include <functional>

#include "chart/ChartCanvas.h"
#include "chart/ChartEngine.h"
#include "chart/ColumnRuns.h"
#include "chart/MinMaxPyramid.h"

namespace tempolog {

class TCustomSeries;

enum TSeriesPointerStyle {
  psRectangle,
  psCircle,
  psTriangle,
  psDownTriangle,
  psCross,
  psDiagCross,
  psStar,
  psDiamond,
  psSmallDot,
};

// The marker drawn on every point of a series.
class TSeriesPointer {
 public:
  explicit TSeriesPointer(TCustomSeries& owner);
  TSeriesPointer(const TSeriesPointer&) = delete;
  TSeriesPointer& operator=(const TSeriesPointer&) = delete;

  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TSeriesPointerStyle Style() const { return style_; }
  void SetStyle(TSeriesPointerStyle value);
  // Half width and half height in pixels; below 1 raises ChartException
  // "Pointer size must be greater than zero" and keeps the old value.
  int HorizSize() const { return horizSize_; }
  void SetHorizSize(int value);
  int VertSize() const { return vertSize_; }
  void SetVertSize(int value);
  bool InflateMargins() const { return inflateMargins_; }
  void SetInflateMargins(bool value);
  bool Draw3D() const { return draw3D_; }
  void SetDraw3D(bool value);
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool value);
  TChartPen& Pen() { return pen_; }
  const TChartPen& Pen() const { return pen_; }
  TChartBrush& Brush() { return brush_; }
  const TChartBrush& Brush() const { return brush_; }

 private:
  void Changed();

  TCustomSeries& owner_;
  TChartPen pen_;
  TChartBrush brush_;
  TSeriesPointerStyle style_ = psRectangle;
  int horizSize_ = 4;
  int vertSize_ = 4;
  bool visible_ = true;
  bool inflateMargins_ = true;
  bool draw3D_ = true;
  bool dark3D_ = true;
};

using TSeriesNotifyEvent = std::function<void(TChartSeries& sender)>;
using TSeriesOnGetPointerStyle =
    std::function<TSeriesPointerStyle(TChartSeries& sender, std::int32_t valueIndex)>;

// A series drawn as a line through its points and/or a marker on each point.
class TCustomSeries : public TChartSeries {
 public:
  TCustomSeries();
  ~TCustomSeries() override;

  TChartPen& LinePen() { return linePen_; }
  const TChartPen& LinePen() const { return linePen_; }
  TSeriesPointer& Pointer() { return pointer_; }
  const TSeriesPointer& Pointer() const { return pointer_; }
  bool Stairs() const { return stairs_; }
  void SetStairs(bool value);
  bool InvertedStairs() const { return invertedStairs_; }
  void SetInvertedStairs(bool value);
  int LineHeight() const { return lineHeight_; }
  void SetLineHeight(int value);
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool value);
  bool MarksVisible() const { return marksVisible_; }
  void SetMarksVisible(bool value);
  // The series' own mouse cursor (0: none; the chart keeps its own).
  int Cursor() const { return cursor_; }
  void SetCursor(int value) { cursor_ = value; }

  // Whether the series draws a line between its points / an area below it.
  virtual bool DrawsLine() const { return true; }
  virtual bool DrawsArea() const { return false; }

  TSeriesNotifyEvent BeforeDrawValues;
  TSeriesNotifyEvent AfterDrawValues;
  TSeriesOnGetPointerStyle OnGetPointerStyle;

  void HorizontalMargins(int& left, int& right) const override;
  void VerticalMargins(int& top, int& bottom) const override;

  // Called at the start of every chart paint, before titles and axes.
  virtual void BeforeDrawChart() {}
  // One drawing pass on `canvas`, inside the chart's plot rectangle `plot`.
  // The series must belong to a chart (its axes are read).
  void BeginDrawPass(TChartCanvas& canvas, const TRect& plot);
  void DrawPoint(std::int32_t index);
  void EndDrawPass();
  // Draws the points FirstShownIndex..LastShownIndex (computed before).
  void DrawShownPoints(TChartCanvas& canvas, const TRect& plot);

  void DrawPointerMarker(int x, int y, std::int32_t index, TColor color);

  // DrawShownPoints draws a pixel column's run of points from its first and
  // last point, its extreme rows and its marker bands wherever that paints
  // the same pixels as drawing each point (see SeriesReduced.cpp). True
  // draws every point one by one.
  bool DrawEveryPoint() const { return drawEveryPoint_; }
  void SetDrawEveryPoint(bool value) { drawEveryPoint_ = value; }
  // Brings the min/max structure of the readings up to date with the values,
  // so that the next paint need not build it: after a long log went in at
  // once, building it is the larger part of the first frame.
  void PrepareReducedDrawing() { UpdateExtremes(); }
  // Bytes held by the min/max structure of the readings kept for that.
  std::size_t ReductionMemoryBytes() const { return yExtremes_.MemoryBytes(); }

  // Mouse: the index of the point whose marker or line segment lies under
  // (x, y) in the last drawn layout, else -1.
  virtual std::int32_t Clicked(int x, int y) const;
  // Told of presses, moves and releases on the chart; true when the press
  // was taken by the series.
  virtual bool MouseDownOnSeries(int /*x*/, int /*y*/) { return false; }
  virtual void MouseMovedOnChart(int /*x*/, int /*y*/) {}
  virtual void MouseReleasedOnChart(int /*x*/, int /*y*/) {}

 protected:
  // Any drawing property changed: repaint the chart.
  void Changed() { RequestRepaint(); }
  // Notes a point that went in among the others (the clock was set back),
  // so that the reduced drawing takes in only what follows it.
  void PointAdded(std::int32_t index) override;

 private:
  friend class TSeriesPointer;
  void DrawLineSegment(bool withMarkers, int x, int y, TColor color, std::int32_t index);
  void PrepareLinePen(TColor color);
  // Canvas pen and brush of a marker in the given point colour.
  void PreparePointer(TColor color);
  // DrawPoint with the point's pixel position and colour already known.
  void DrawPointAt(std::int32_t index, int x, int y, TColor color);

  // The reduced drawing (SeriesReduced.cpp).
  bool CanDrawReduced() const;
  void UpdateExtremes();
  void DrawShownPointsReduced();
  bool DrawColumnReduced(std::int32_t a, std::int32_t b, int x, TColor color);
  // y pixel at the plot's edge on the way from point index - 1 to point index.
  int EdgeStartY(std::int32_t index, int y) const;

  TChartPen linePen_;
  TSeriesPointer pointer_;
  bool stairs_ = false;
  bool invertedStairs_ = false;
  int lineHeight_ = 0;
  bool dark3D_ = true;
  bool marksVisible_ = false;
  int cursor_ = 0;

  // State of the current drawing pass.
  TChartCanvas* canvas_ = nullptr;
  const TCustomChartAxis* horizAxis_ = nullptr;
  const TCustomChartAxis* vertAxis_ = nullptr;
  TRect plot_;
  int previousX_ = 0;
  int previousY_ = 0;
  std::int32_t previousIndex_ = -1;
  TColor previousColor_ = clNone;
  bool havePrevious_ = false;  // PreviousX/Y hold a point drawn in this pass

  // Reduced drawing: extremes of the stored Y values, built lazily and
  // extended on appends, updated from the first inserted point on when the
  // Y list's only changes since were points added among the others; rebuilt
  // when it reports any other change.
  TMinMaxPyramid yExtremes_;
  std::uint64_t extremesChanges_ = 0;
  std::uint64_t insertsSinceExtremes_ = 0;  // points added among the others since
  std::int32_t firstInserted_ = 0;          // the lowest index they went in at
  TRowBands rowBands_;
  bool drawEveryPoint_ = false;
};

class TLineSeries : public TCustomSeries {
 public:
  // A line series shows no markers until asked to.
  TLineSeries();
};

}  // namespace tempolog
