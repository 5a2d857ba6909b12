// The chart: TCustomChart (titles, legend, walls, the drawing sequence with
// the plot rectangle, and the mouse: zoom rectangle, panning, wheel) and
// TChart, the component the main window places. Chart.cpp holds the parts and
// the drawing sequence, ChartMouse.cpp the mouse.
//
// Where the rest of the chart is, from the bottom up:
//   ChartCanvas.h    the canvas every pixel goes through (pens, brushes, fonts,
//                    the off-screen buffer), over the framework's TSurface
//   ChartEngine.h    value lists, the series base, label steps, axes, and the
//                    axis panel that owns axes and series, one header each
//                    (ChartValueList.h, ChartSeriesBase.h, ChartLabelSteps.h,
//                    ChartAxis.h, AxisPanel.h; shared types in ChartEngineTypes.h)
//   ChartPanel.h     the panel: size, margins, bevels, the paint cycle, zoom and
//                    panning settings; a TWindowClient, shown by the framework's
//                    TSurfaceWidget
//   Series.h         the line series the program draws, with its reduced drawing
//                    of millions of readings (PointArray.h, MinMaxPyramid.h,
//                    ColumnRuns.h)
//   ProgramChart.h   the program's own chart set-up: start here to see how the
//                    main window's chart is configured
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chart/ChartPanel.h"
#include "chart/Series.h"

namespace tempolog {

class TCustomChart;
class TCustomSeries;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TLegendAlignment { laLeft, laRight, laTop, laBottom };

// A title or foot: lines of text above or below the plot.
class TChartTitle {
 public:
  TChartTitle(TCustomChart& chart, bool visible);
  TChartTitle(const TChartTitle&) = delete;
  TChartTitle& operator=(const TChartTitle&) = delete;

  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  const std::vector<std::string>& Text() const { return text_; }
  void SetText(std::vector<std::string> value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TChartFontObject& Font() { return font_; }
  const TChartFontObject& Font() const { return font_; }
  // Pixels between the text and the plot.
  int Distance() const { return 5; }
  // Where the title was drawn in the last paint (empty when not drawn).
  const TRect& Bounds() const { return bounds_; }

 private:
  friend class TCustomChart;
  TCustomChart& chart_;
  bool visible_;
  std::vector<std::string> text_;
  TAlignment alignment_ = taCenter;
  TChartFontObject font_;
  TRect bounds_;
};

// The legend: its settings are kept; this chart does not draw it.
class TChartLegend {
 public:
  explicit TChartLegend(TCustomChart& chart);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TLegendAlignment Alignment() const { return alignment_; }
  void SetAlignment(TLegendAlignment value);
  TChartFontObject& Font() { return font_; }
  // The legend item under (x, y), -1 for none.
  std::int32_t Clicked(int /*x*/, int /*y*/) const { return -1; }

 private:
  TCustomChart& chart_;
  bool visible_ = true;
  TLegendAlignment alignment_ = laRight;
  TChartFontObject font_;
};

// A wall of the chart: the back wall frames the plot.
class TChartWall {
 public:
  TChartWall(TCustomChart& chart, TColor color);
  TChartWall(const TChartWall&) = delete;
  TChartWall& operator=(const TChartWall&) = delete;

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool value);
  int Size() const { return size_; }
  void SetSize(int value);
  TChartBrush& Brush() { return brush_; }
  const TChartBrush& Brush() const { return brush_; }
  TChartPen& Pen() { return pen_; }
  const TChartPen& Pen() const { return pen_; }

 private:
  TCustomChart& chart_;
  TChartBrush brush_;
  TChartPen pen_;
  TColor color_;
  bool dark3D_ = true;
  int size_ = 0;
};

// What a mouse press landed on.
enum class TChartClickedPartStyle {
  cpNone,
  cpLegend,
  cpAxis,
  cpSeries,
  cpTitle,
  cpFoot,
  cpChartRect,
};
struct TChartClickedPart {
  TChartClickedPartStyle Part = TChartClickedPartStyle::cpNone;
  std::int32_t PointIndex = -1;
  TChartSeries* ASeries = nullptr;
  TCustomChartAxis* AAxis = nullptr;
};

using TChartClick =
    std::function<void(TCustomChart& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickAxis = std::function<void(TCustomChart& sender, TCustomChartAxis& axis,
                                           TMouseButton button, TShiftState shift, int x, int y)>;
using TChartClickSeries =
    std::function<void(TCustomChart& sender, TChartSeries& series, std::int32_t valueIndex,
                       TMouseButton button, TShiftState shift, int x, int y)>;
using TChartMouseEvent =
    std::function<void(TCustomChart& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TChartMouseMoveEvent =
    std::function<void(TCustomChart& sender, TShiftState shift, int x, int y)>;

// Settings shared by every chart.
inline constexpr TMouseButton ZoomButton = mbLeft;
inline constexpr TMouseButton PanButton = mbRight;
inline constexpr TShiftState ZoomShiftKeys = 0;
inline constexpr TShiftState PanShiftKeys = 0;
inline constexpr double ZoomAnimationDivisor = 3.0;
// A drag must move strictly more than this many pixels both ways to count.
inline constexpr int ZoomDragThreshold = 16;

class TCustomChart : public TCustomChartPanelExtended {
 public:
  TCustomChart();
  ~TCustomChart() override;

  TChartTitle& Title() { return title_; }
  TChartTitle& Foot() { return foot_; }
  TChartLegend& Legend() { return legend_; }
  TChartWall& BackWall() { return backWall_; }
  const TChartWall& BackWall() const { return backWall_; }
  TChartWall& LeftWall() { return leftWall_; }
  TChartWall& BottomWall() { return bottomWall_; }
  // The frame of the plot: the back wall's pen.
  TChartPen& Frame() { return backWall_.Pen(); }

  bool ClipPoints() const { return clipPoints_; }
  void SetClipPoints(bool value);

  TChartNotifyEvent OnBeforeDrawAxes;
  TChartNotifyEvent OnBeforeDrawSeries;
  TChartNotifyEvent OnAfterDraw;
  TChartClickAxis OnClickAxis;
  TChartClickSeries OnClickSeries;
  TChartClick OnClickLegend;
  TChartClick OnClickBackground;
  // The framework's own mouse events, fired first.
  TChartMouseEvent OnMouseDown;
  TChartMouseMoveEvent OnMouseMove;
  TChartMouseEvent OnMouseUp;
  TChartNotifyEvent OnMouseWheelDown;
  TChartNotifyEvent OnMouseWheelUp;

  // Set before a click event is called; a handler clears it to let the
  // press go on to zooming and panning.
  bool MouseCancelled() const { return mouseCancelled_; }
  void SetMouseCancelled(bool value) { mouseCancelled_ = value; }
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  TCursor RestingCursor() const { return restingCursor_; }

  // Layout steps of a paint pass.
  void ComputePlotRect();
  void SeriesPointerMargins();
  void DrawBackWall();
  // Fill colour and style on the canvas brush, a hatch never in the colour
  // of its own background.
  void ApplyFillStyle(TColor color, TBrushStyle style, TColor background);
  void DrawOneSeries(TChartSeries& series);

  // Mouse (the window's events; tests call them directly).
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseWheel(bool down) override;

  TChartClickedPart FindClickedPart(int x, int y);
  // Draws the zoom rectangle with the not-xor pen (a second call erases it).
  void DrawZoomRectangle();
  void ZoomToRectangle();
  void ApplyZoom(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                 double leftMax, double rightMin, double rightMax);
  virtual void ResetZoom();
  void SaveAxisRanges();
  void RestoreAxisRanges();
  void WheelScrollVerticalAxes(bool up);

 protected:
  void DrawChartParts() override;
  void SeriesAdded(TChartSeries& series) override;

 private:
  bool TryStartDrag(TMouseButton button, TShiftState shift, int x, int y);
  bool OfferClick(const TChartClick& event, TMouseButton button, TShiftState shift, int x, int y);
  void PanAxes(bool horizontal, int newPixel, int oldPixel, bool& moved);
  void PanOneAxis(TCustomChartAxis& axis, int oldPixel, int newPixel);
  void UpdateHoverCursor(TShiftState shift, int x, int y);
  void DrawTitles();
  void DrawTitle(TChartTitle& title, bool top);
  void SetZoomRectanglePen();
  std::array<TCustomChartAxis*, 4> SideAxesTopLeftRightBottom();

  TChartTitle title_;
  TChartTitle foot_;
  TChartLegend legend_;
  TChartWall backWall_;
  TChartWall leftWall_;
  TChartWall bottomWall_;
  bool clipPoints_ = true;
  bool mouseCancelled_ = false;
  TCursor cursor_ = crDefault;
  TCursor restingCursor_ = crDefault;
};

// The chart component. It paints off-screen until a window shows it: the
// program gives it a framework window (TSurfaceWidget) as its TWindowClient.
class TChart : public TCustomChart {
 public:
  TChart();
  ~TChart() override;
};

}  // namespace tempolog
