// The chart panel: the base of the chart control with its canvas, margins,
// 3D switches and the paint cycle (TCustomChartPanel), and the extended panel
// with the gradient, back image and the zoom and panning settings
// (TCustomChartPanelExtended). The drawing sequence itself is the chart's
// DrawChartParts (chart/Chart.h).
//
// The panel draws only through the framework's drawing surfaces. It is a
// TWindowClient (framework/DrawnWindow.h): on screen a framework window
// (TSurfaceWidget) hands it paint, size, mouse and wheel events; without a
// window the panel works off-screen (tests, benchmarks, the screenshot tool).
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>

#include "chart/ChartCanvas.h"
#include "chart/ChartEngine.h"
#include "framework/DrawnWindow.h"
#include "framework/StateHelpers.h"
#include "framework/Surface.h"

namespace tempolog {

class TCustomChartPanel;

// ---------------------------------------------------------------------------
// 1. Small types of the panel

// The 3D view settings (kept; a 2D chart does not read them).
class TView3DOptions {
 public:
  bool Orthogonal = true;
  int Elevation = 345;
  int Rotation = 345;
  int Zoom = 100;
  int Perspective = 15;
  int HorizOffset = 0;
  int VertOffset = 0;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TBackImageMode { pbmStretch, pbmTile, pbmCenter };
enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

using TChartNotifyEvent = std::function<void(TCustomChartPanel& sender)>;

// The panel background's colour ramp.
struct TChartGradient {
  bool Visible = false;
  TGradientDirection Direction = TGradientDirection::gdTopBottom;
  TColor StartColor = clWhite;
  TColor EndColor = clYellow;
};

// One drag of the mouse: where it started and where it is now.
class TZoomPanningRecord {
 public:
  bool Active = false;
  std::int32_t FromX = 0;
  std::int32_t FromY = 0;
  std::int32_t ToX = 0;
  std::int32_t ToY = 0;

  void StartDrag(std::int32_t x, std::int32_t y) {
    FromX = ToX = x;
    FromY = ToY = y;
    Active = true;
  }
  // From becomes the top-left corner, To the bottom-right one.
  void OrderCorners();
};

// ---------------------------------------------------------------------------
// 2. Panels

class TCustomChartPanel : public TCustomAxisPanel, public TWindowClient {
 public:
  TCustomChartPanel();
  ~TCustomChartPanel() override;

  TChartCanvas3D& Canvas() { return canvas_; }
  const TChartCanvas3D& Canvas() const { return canvas_; }
  TView3DOptions& View3DOptions() { return view3DOptions_; }

  // Size of the control in pixels (400 × 250 when made; a window sets it).
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int width, int height) override;
  TRect ClientRect() const { return {0, 0, width_, height_}; }

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel value);
  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // Margins around the plot in percent of the panel's width or height.
  int MarginLeft() const { return marginLeft_; }
  void SetMarginLeft(int value);
  int MarginTop() const { return marginTop_; }
  void SetMarginTop(int value);
  int MarginRight() const { return marginRight_; }
  void SetMarginRight(int value);
  int MarginBottom() const { return marginBottom_; }
  void SetMarginBottom(int value);
  bool View3D() const override { return view3D_; }
  void SetView3D(bool value);
  bool View3DWalls() const { return view3DWalls_; }
  void SetView3DWalls(bool value);
  int Chart3DPercent() const { return chart3DPercent_; }
  void SetChart3DPercent(int value);

  // False while the panel is being built: invalidations then do nothing.
  bool RepaintOnChange() const { return repaintOnChange_; }
  void SetRepaintOnChange(bool value) { repaintOnChange_ = value; }
  bool Printing() const { return printing_; }

  // Buffer stale, and a paint request to the window.
  void Invalidate() override;
  // Paint now (synchronously): through the window when there is one, else
  // a full pass into the kept bitmap.
  virtual void Repaint();

  // The window's paint request: a copy of the kept bitmap when nothing
  // changed, else a full PaintChart over the window's client rectangle.
  void Paint(TSurface& window) override;
  // The erase-background request: answered as done, erasing nothing.
  bool EraseBackground() const { return true; }
  // The chart takes the arrow keys.
  bool WantsArrowKeys() const { return true; }

  // One full paint pass of the chart onto `surface` within `bounds`.
  void PaintChart(TSurface* surface, const TRect& bounds);
  void NormalisePlotRect();

  const TRect& PanelBounds() const { return panelBounds_; }
  int PlotWidth() const { return plotWidth_; }
  int PlotHeight() const { return plotHeight_; }
  int PlotCenterX() const { return plotCenterX_; }
  int PlotCenterY() const { return plotCenterY_; }

  // The axes measure and draw on the chart canvas, on the panel colour.
  TChartCanvas* AxisCanvas() const override { return const_cast<TChartCanvas3D*>(&canvas_); }
  TColor ChartColor() const override { return color_; }

  // The window showing the panel (nullptr: none). Set by the window.
  TDrawnWindow* Window() const { return window_; }
  void SetWindow(TDrawnWindow* window) override { window_ = window; }

 protected:
  // The drawing sequence of one pass, inside PlotRect.
  virtual void DrawChartParts() = 0;

 private:
  TChartCanvas3D canvas_;
  TView3DOptions view3DOptions_;
  TDrawnWindow* window_ = nullptr;
  int width_ = 400;
  int height_ = 250;
  TColor color_ = clBtnFace;
  TPanelBevel bevelOuter_ = bvRaised;
  TPanelBevel bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  int marginLeft_ = 3;
  int marginTop_ = 4;
  int marginRight_ = 3;
  int marginBottom_ = 4;
  bool view3D_ = true;
  bool view3DWalls_ = true;
  int chart3DPercent_ = 15;
  bool repaintOnChange_ = false;
  bool printing_ = false;
  TRect panelBounds_;
  int plotWidth_ = 0;
  int plotHeight_ = 0;
  int plotCenterX_ = 0;
  int plotCenterY_ = 0;
};

// Saved state of one axis before the first zoom or pan.
struct TSavedAxisRange {
  bool Automatic = true;
  bool AutomaticMinimum = true;
  bool AutomaticMaximum = true;
  double Minimum = 0.0;
  double Maximum = 0.0;
};

using TChartAllowScrollEvent =
    std::function<void(TCustomChartAxis& sender, double& aMin, double& aMax, bool& allowScroll)>;

class TCustomChartPanelExtended : public TCustomChartPanel {
 public:
  TCustomChartPanelExtended();

  TChartGradient& Gradient() { return gradient_; }
  const TChartGradient& Gradient() const { return gradient_; }
  // Changing the gradient fields directly needs an Invalidate afterwards.
  void SetGradientVisible(bool value);

  const QImage& BackImage() const { return backImage_; }
  void SetBackImage(const QImage& value);
  bool BackImageInside() const { return backImageInside_; }
  void SetBackImageInside(bool value);
  TBackImageMode BackImageMode() const { return backImageMode_; }
  void SetBackImageMode(TBackImageMode value);

  bool AllowZoom() const { return allowZoom_; }
  void SetAllowZoom(bool value) { allowZoom_ = value; }
  TPanningMode AllowPanning() const { return allowPanning_; }
  void SetAllowPanning(TPanningMode value) { allowPanning_ = value; }
  bool AnimatedZoom() const { return animatedZoom_; }
  void SetAnimatedZoom(bool value) { animatedZoom_ = value; }
  int AnimatedZoomSteps() const { return animatedZoomSteps_; }
  void SetAnimatedZoomSteps(int value) { animatedZoomSteps_ = value; }

  TChartNotifyEvent OnZoom;
  TChartNotifyEvent OnUndoZoom;
  TChartNotifyEvent OnScroll;
  TChartAllowScrollEvent OnAllowScroll;

  bool ZoomedIn() const { return zoomedIn_; }
  bool RangesRestored() const { return rangesRestored_; }
  const TZoomPanningRecord& ZoomDrag() const { return zoomDrag_; }
  const TZoomPanningRecord& PanDrag() const { return panDrag_; }

 protected:
  // Step 1 of the drawing sequence: background, back image, bevels.
  void PaintPanelBackground(const TRect& bounds);

  TZoomPanningRecord zoomDrag_;
  TZoomPanningRecord panDrag_;
  bool zoomedIn_ = false;
  bool rangesRestored_ = true;
  // Top, left, right, bottom axes.
  std::array<TSavedAxisRange, 4> savedAxisRanges_{};

 private:
  TChartGradient gradient_;
  QImage backImage_;
  bool backImageInside_ = false;
  TBackImageMode backImageMode_ = pbmStretch;
  bool allowZoom_ = true;
  TPanningMode allowPanning_ = pmBoth;
  bool animatedZoom_ = false;
  int animatedZoomSteps_ = 8;
};

}  // namespace tempolog
