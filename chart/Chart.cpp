#include "chart/Chart.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tempolog {

// ---------------------------------------------------------------------------
// Titles, legend, walls

TChartTitle::TChartTitle(TCustomChart& chart, bool visible)
    : chart_(chart), visible_(visible), font_([&chart] { chart.Invalidate(); }) {
  font_.SetColor(clBlue);
}

void TChartTitle::SetVisible(bool value) {
  if (StoreChanged(visible_, value)) chart_.Invalidate();
}
void TChartTitle::SetText(std::vector<std::string> value) {
  if (StoreChanged(text_, value)) chart_.Invalidate();
}
void TChartTitle::SetAlignment(TAlignment value) {
  if (StoreChanged(alignment_, value)) chart_.Invalidate();
}

TChartLegend::TChartLegend(TCustomChart& chart)
    : chart_(chart), font_([&chart] { chart.Invalidate(); }) {}

void TChartLegend::SetVisible(bool value) {
  if (StoreChanged(visible_, value)) chart_.Invalidate();
}
void TChartLegend::SetAlignment(TLegendAlignment value) {
  if (StoreChanged(alignment_, value)) chart_.Invalidate();
}

TChartWall::TChartWall(TCustomChart& chart, TColor color) : chart_(chart), color_(color) {
  brush_.SetStyle(TBrushStyle::bsClear);
  brush_.OnChange = [this] { chart_.Invalidate(); };
  pen_.OnChange = [this] { chart_.Invalidate(); };
}

void TChartWall::SetColor(TColor value) {
  if (StoreChanged(color_, value)) chart_.Invalidate();
}
void TChartWall::SetDark3D(bool value) {
  if (StoreChanged(dark3D_, value)) chart_.Invalidate();
}
void TChartWall::SetSize(int value) {
  if (StoreChanged(size_, value)) chart_.Invalidate();
}

// ---------------------------------------------------------------------------
// TCustomChart: properties

TCustomChart::TCustomChart()
    : title_(*this, true),
      foot_(*this, true),
      legend_(*this),
      backWall_(*this, clDefault),
      leftWall_(*this, 0x80FFFF),
      bottomWall_(*this, clWhite) {
  foot_.Font().SetColor(clRed);
}

TCustomChart::~TCustomChart() {
  // Pens going away must not ask a half-destroyed chart to repaint.
  for (TChartWall* wall : {&backWall_, &leftWall_, &bottomWall_}) {
    wall->Pen().OnChange = nullptr;
    wall->Brush().OnChange = nullptr;
  }
}

void TCustomChart::SetClipPoints(bool value) {
  if (StoreChanged(clipPoints_, value)) Invalidate();
}

void TCustomChart::SetCursor(TCursor value) {
  cursor_ = value;
  if (Window() != nullptr) Window()->SetWindowCursor(value);
}

void TCustomChart::SeriesAdded(TChartSeries& series) {
  if (series.SeriesColor() != clDefault) return;
  auto taken = [&](TColor c) {
    if (c == ResolveColor(Color()) || c == Color()) return true;
    if (c == backWall_.Color() || c == ResolveColor(backWall_.Color())) return true;
    for (const TChartSeries* other : SeriesList())
      if (other != &series && other->SeriesColor() == c) return true;
    return false;
  };
  for (TColor c : ChartPalette) {
    if (!taken(c)) {
      series.SetSeriesColor(c);
      return;
    }
  }
  series.SetSeriesColor(clRed);
}

// ---------------------------------------------------------------------------
// TCustomChart: the drawing sequence

void TCustomChart::DrawChartParts() {
  TChartCanvas3D& canvas = Canvas();
  PaintPanelBackground(PanelBounds());

  for (TChartSeries* series : SeriesList())
    if (series->Active())
      if (auto* custom = dynamic_cast<TCustomSeries*>(series)) custom->BeforeDrawChart();

  canvas.BeginFrontPlane();
  DrawTitles();
  canvas.EndFrontPlane();

  ComputePlotRect();
  SeriesPointerMargins();
  DrawBackWall();

  if (AxisVisible()) {
    if (OnBeforeDrawAxes) OnBeforeDrawAxes(*this);
    for (TCustomChartAxis* axis : Axes())
      if (AxisIsShown(*axis)) axis->DrawAxis(true);
  }
  if (OnBeforeDrawSeries) OnBeforeDrawSeries(*this);
  for (TChartSeries* series : SeriesList())
    if (series->Active()) DrawOneSeries(*series);

  if (zoomDrag_.Active) {
    SetZoomRectanglePen();
    canvas.DrawBox(zoomDrag_.FromX, zoomDrag_.FromY, zoomDrag_.ToX, zoomDrag_.ToY);
  }
  canvas.ResetDrawingState();
  if (OnAfterDraw) OnAfterDraw(*this);
}

void TCustomChart::DrawTitles() {
  // The legend keeps its settings; this chart does not draw it, so the
  // order is title, then foot.
  DrawTitle(title_, true);
  DrawTitle(foot_, false);
}

void TCustomChart::DrawTitle(TChartTitle& title, bool top) {
  title.bounds_ = {};
  if (!title.visible_ || title.text_.empty()) return;
  TChartCanvas3D& canvas = Canvas();
  canvas.AssignFont(title.font_);
  canvas.SetBackgroundMode(TRANSPARENT);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  const int lineHeight = canvas.MeasureFontHeight();
  const int total = lineHeight * static_cast<int>(title.text_.size());
  TRect plot = PlotRect();
  int y = top ? plot.Top : plot.Bottom - total;
  title.bounds_ = {plot.Left, y, plot.Right, y + total};
  canvas.SetTextAlignment(TA_LEFT | TA_TOP);
  for (const std::string& line : title.text_) {
    const int w = canvas.MeasureTextWidth(line);
    int x = plot.Left;
    if (title.alignment_ == taCenter) x = (plot.Left + plot.Right - w) / 2;
    if (title.alignment_ == taRightJustify) x = plot.Right - w;
    canvas.PutText(x, y, line);
    y += lineHeight;
  }
  if (top) plot.Top += total + title.Distance();
  else plot.Bottom -= total + title.Distance();
  SetPlotRect(plot);
}

void TCustomChart::ComputePlotRect() {
  ComputeAxisRanges();
  NormalisePlotRect();
  TRect r = PlotRect();
  const auto& axes = Axes();
  for (std::size_t i = 0; i < axes.size(); ++i) {
    if (!AxisIsShown(*axes[i])) continue;
    TRect t = r;
    axes[i]->MeasureAxis(t, i < 5);
    const TRect common = t.Intersected(r);
    if (!common.IsEmpty()) r = common;
  }
  SetPlotRect(r);
  NormalisePlotRect();
  UpdateAxisPixelSpans();
}

void TCustomChart::SeriesPointerMargins() { ApplySeriesMargins(); }

void TCustomChart::ApplyFillStyle(TColor color, TBrushStyle style, TColor background) {
  TChartCanvas3D& canvas = Canvas();
  if (style != TBrushStyle::bsSolid && color == background)
    color = background == clBlack ? clWhite : clBlack;
  canvas.Brush().SetColor(color);
  canvas.Brush().SetStyle(style);
  if (style != TBrushStyle::bsSolid) {
    canvas.SetBackgroundMode(OPAQUE);
    canvas.SetBackgroundColor(background);
  } else {
    canvas.SetBackgroundMode(TRANSPARENT);
  }
}

void TCustomChart::DrawBackWall() {
  TChartCanvas3D& canvas = Canvas();
  canvas.ApplyChartPen(backWall_.Pen());
  const TChartBrush& brush = backWall_.Brush();
  if (brush.HasBitmapPattern()) {
    canvas.Brush().SetBitmap(brush.Bitmap());
  } else {
    canvas.Brush().SetBitmap(QImage());
    if (backWall_.Color() == clDefault && brush.Style() == TBrushStyle::bsSolid)
      canvas.Brush().SetStyle(TBrushStyle::bsClear);
    else ApplyFillStyle(backWall_.Color(), brush.Style(), brush.Color());
  }
  const TRect& plot = PlotRect();
  canvas.DrawBox(plot.Left, plot.Top, plot.Right + 1, plot.Bottom + 1);
  if (!BackImage().isNull() && BackImageInside()) {
    const int inset = backWall_.Pen().Visible() ? 1 : 0;
    canvas.StretchGraphic({plot.Left, plot.Top + inset, plot.Right, plot.Bottom - inset},
                          &BackImage());
  }
}

void TCustomChart::DrawOneSeries(TChartSeries& series) {
  series.ComputeVisibleRange();
  if (series.FirstShownIndex() == -1) return;
  auto* custom = dynamic_cast<TCustomSeries*>(series.ParentChart() == this ? &series : nullptr);
  if (custom == nullptr) return;  // other series kinds are not drawn by this chart
  if (custom->BeforeDrawValues) custom->BeforeDrawValues(series);
  TChartCanvas3D& canvas = Canvas();
  if (clipPoints_) canvas.ClipToPlotArea(PlotRect(), 0, 0);
  custom->DrawShownPoints(canvas, PlotRect());
  if (clipPoints_) canvas.RemoveClip();
  if (custom->AfterDrawValues) custom->AfterDrawValues(series);
}

// ---------------------------------------------------------------------------
// TCustomChart: mouse

void TCustomChart::SetZoomRectanglePen() {
  TChartCanvas3D& canvas = Canvas();
  TColor color = ResolveColor(Color());
  if (color == clWhite) color = clBlack;
  canvas.Pen().SetColor(color);
  canvas.Pen().SetMode(TPenMode::pmNotXor);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
}

void TCustomChart::DrawZoomRectangle() {
  TChartCanvas3D& canvas = Canvas();
  // Between paints the rectangle goes onto the kept picture of the chart,
  // which the window then shows again; unbuffered onto the surface attached.
  TSurface* attached = &canvas.Surface();
  TSurface* kept = canvas.BufferBitmap();
  const bool onKept = canvas.Buffered() && kept != nullptr && attached != kept;
  if (onKept) canvas.AttachSurface(kept);
  SetZoomRectanglePen();
  canvas.DrawBox(zoomDrag_.FromX, zoomDrag_.FromY, zoomDrag_.ToX, zoomDrag_.ToY);
  if (onKept) canvas.AttachSurface(attached);
  if (Window() != nullptr) Window()->RefreshWindow();
}

TChartClickedPart TCustomChart::FindClickedPart(int x, int y) {
  TChartClickedPart part;
  const auto& list = SeriesList();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    auto* custom = dynamic_cast<TCustomSeries*>(*it);
    if (custom == nullptr || !custom->Active()) continue;
    const std::int32_t index = custom->Clicked(x, y);
    if (index != -1) {
      part.Part = TChartClickedPartStyle::cpSeries;
      part.ASeries = custom;
      part.PointIndex = index;
      return part;
    }
  }
  for (TCustomChartAxis* axis : Axes()) {
    if (axis->AxisHitTest(x, y)) {
      part.Part = TChartClickedPartStyle::cpAxis;
      part.AAxis = axis;
      return part;
    }
  }
  if (title_.Visible() && title_.Bounds().Contains(x, y)) {
    part.Part = TChartClickedPartStyle::cpTitle;
    return part;
  }
  if (foot_.Visible() && foot_.Bounds().Contains(x, y)) {
    part.Part = TChartClickedPartStyle::cpFoot;
    return part;
  }
  if (PlotRect().Contains(x, y)) {
    for (const TChartSeries* series : list) {
      if (series->Active()) {
        part.Part = TChartClickedPartStyle::cpChartRect;
        return part;
      }
    }
  }
  if (legend_.Visible() && legend_.Clicked(x, y) != -1)
    part.Part = TChartClickedPartStyle::cpLegend;
  return part;
}

bool TCustomChart::OfferClick(const TChartClick& event, TMouseButton button, TShiftState shift,
                              int x, int y) {
  if (!event) return false;
  mouseCancelled_ = true;
  event(*this, button, shift, x, y);
  return mouseCancelled_;
}

bool TCustomChart::TryStartDrag(TMouseButton button, TShiftState shift, int x, int y) {
  bool handled = false;
  if (AllowZoom() && button == ZoomButton && (shift & ZoomShiftKeys) == ZoomShiftKeys) {
    SetCursor(crDefault);
    zoomDrag_.StartDrag(x, y);
    DrawZoomRectangle();
    handled = true;
  }
  if (AllowPanning() != pmNone && button == PanButton && (shift & PanShiftKeys) == PanShiftKeys) {
    SetCursor(crDefault);
    panDrag_.StartDrag(x, y);
    handled = true;
  }
  return handled;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
  if (zoomDrag_.Active || panDrag_.Active) return;
  if (mouseCancelled_) {
    mouseCancelled_ = false;
    return;
  }
  bool handled = false;
  bool backgroundOffered = false;
  const TChartClickedPart part = FindClickedPart(x, y);
  switch (part.Part) {
    case TChartClickedPartStyle::cpLegend:
      handled = OfferClick(OnClickLegend, button, shift, x, y);
      break;
    case TChartClickedPartStyle::cpAxis:
      if (OnClickAxis) {
        mouseCancelled_ = true;
        OnClickAxis(*this, *part.AAxis, button, shift, x, y);
        handled = mouseCancelled_;
      }
      if (!handled) handled = TryStartDrag(button, shift, x, y);
      break;
    case TChartClickedPartStyle::cpSeries: {
      auto* custom = dynamic_cast<TCustomSeries*>(part.ASeries);
      handled = custom != nullptr && custom->MouseDownOnSeries(x, y);
      if (!handled && OnClickSeries) {
        mouseCancelled_ = true;
        OnClickSeries(*this, *part.ASeries, part.PointIndex, button, shift, x, y);
        handled = mouseCancelled_;
      }
      if (!handled) handled = TryStartDrag(button, shift, x, y);
      break;
    }
    case TChartClickedPartStyle::cpChartRect:
      handled = OfferClick(OnClickBackground, button, shift, x, y);
      backgroundOffered = true;
      if (!handled) handled = TryStartDrag(button, shift, x, y);
      break;
    default: break;
  }
  // One press reaches the background click at most once.
  if (!handled && !backgroundOffered) OfferClick(OnClickBackground, button, shift, x, y);
  mouseCancelled_ = false;
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
  if (zoomDrag_.Active) {
    if (x == zoomDrag_.ToX && y == zoomDrag_.ToY) return;
    DrawZoomRectangle();
    zoomDrag_.ToX = x;
    zoomDrag_.ToY = y;
    DrawZoomRectangle();
    return;
  }
  if (panDrag_.Active) {
    if (!PlotRect().Contains(x, y)) {
      panDrag_.Active = false;
      return;
    }
    if (x == panDrag_.ToX && y == panDrag_.ToY) return;
    bool moved = false;
    if (rangesRestored_) {
      SaveAxisRanges();
      rangesRestored_ = false;
    }
    PanAxes(true, x, panDrag_.ToX, moved);
    PanAxes(false, y, panDrag_.ToY, moved);
    panDrag_.ToX = x;
    panDrag_.ToY = y;
    if (moved) {
      if (OnScroll) OnScroll(*this);
      Invalidate();
    }
    return;
  }
  UpdateHoverCursor(shift, x, y);
}

void TCustomChart::UpdateHoverCursor(TShiftState, int x, int y) {
  bool set = false;
  for (TChartSeries* series : SeriesList()) {
    auto* custom = dynamic_cast<TCustomSeries*>(series);
    if (custom == nullptr || !custom->Active() || custom->Cursor() == crDefault) continue;
    if (custom->Clicked(x, y) != -1) {
      SetCursor(custom->Cursor());
      set = true;
      break;
    }
  }
  for (TChartSeries* series : SeriesList())
    if (auto* custom = dynamic_cast<TCustomSeries*>(series)) custom->MouseMovedOnChart(x, y);
  if (!set && cursor_ != restingCursor_) SetCursor(restingCursor_);
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
  for (TChartSeries* series : SeriesList())
    if (auto* custom = dynamic_cast<TCustomSeries*>(series)) custom->MouseReleasedOnChart(x, y);
  if (zoomDrag_.Active && button == ZoomButton) {
    zoomDrag_.Active = false;
    DrawZoomRectangle();
    Canvas().Pen().SetMode(TPenMode::pmCopy);
    zoomDrag_.ToX = x;
    zoomDrag_.ToY = y;
    if (std::abs(zoomDrag_.ToX - zoomDrag_.FromX) > ZoomDragThreshold &&
        std::abs(zoomDrag_.ToY - zoomDrag_.FromY) > ZoomDragThreshold) {
      if (zoomDrag_.ToX > zoomDrag_.FromX && zoomDrag_.ToY > zoomDrag_.FromY) ZoomToRectangle();
      else ResetZoom();
      Invalidate();
    }
  }
  panDrag_.Active = false;
}

void TCustomChart::MouseWheel(bool down) {
  if (down) {
    if (OnMouseWheelDown) OnMouseWheelDown(*this);
    WheelScrollVerticalAxes(true);
  } else {
    if (OnMouseWheelUp) OnMouseWheelUp(*this);
    WheelScrollVerticalAxes(false);
  }
}

void TCustomChart::PanAxes(bool horizontal, int newPixel, int oldPixel, bool& moved) {
  const TPanningMode mode = horizontal ? pmHorizontal : pmVertical;
  if (newPixel == oldPixel) return;
  if (AllowPanning() != mode && AllowPanning() != pmBoth) return;
  for (TCustomChartAxis* axis : Axes())
    if (!axis->IsDepthAxis() && axis->Horizontal() == horizontal)
      PanOneAxis(*axis, oldPixel, newPixel);
  moved = true;
}

void TCustomChart::PanOneAxis(TCustomChartAxis& axis, int oldPixel, int newPixel) {
  const double delta = axis.PixelToValue(oldPixel) - axis.PixelToValue(newPixel);
  // An end that still follows the data is shown widened by the series'
  // margins: pan from what is shown, or the first step would jump by them.
  const bool followsMin = axis.Automatic() || axis.AutomaticMinimum();
  const bool followsMax = axis.Automatic() || axis.AutomaticMaximum();
  double aMin = (followsMin ? axis.CurrentMinimum() : axis.Minimum()) + delta;
  double aMax = (followsMax ? axis.CurrentMaximum() : axis.Maximum()) + delta;
  bool allow = true;
  if (OnAllowScroll) OnAllowScroll(axis, aMin, aMax, allow);
  if (allow) axis.SetRange(aMin, aMax);
}

void TCustomChart::WheelScrollVerticalAxes(bool up) {
  for (TCustomChartAxis* axis : Axes()) {
    if (axis->Horizontal()) continue;
    double delta = (axis->Maximum() - axis->Minimum()) * 3 * 0.01;
    if (!up) delta = -delta;
    axis->ScrollRange(false, delta);
  }
}

std::array<TCustomChartAxis*, 4> TCustomChart::SideAxesTopLeftRightBottom() {
  return {&TopAxis(), &LeftAxis(), &RightAxis(), &BottomAxis()};
}

void TCustomChart::ZoomToRectangle() {
  zoomDrag_.OrderCorners();
  const TZoomPanningRecord& z = zoomDrag_;
  ApplyZoom(TopAxis().PixelToValue(z.FromX), TopAxis().PixelToValue(z.ToX),
            BottomAxis().PixelToValue(z.FromX), BottomAxis().PixelToValue(z.ToX),
            LeftAxis().PixelToValue(z.ToY), LeftAxis().PixelToValue(z.FromY),
            RightAxis().PixelToValue(z.ToY), RightAxis().PixelToValue(z.FromY));
}

void TCustomChart::ApplyZoom(double topMin, double topMax, double bottomMin, double bottomMax,
                             double leftMin, double leftMax, double rightMin, double rightMax) {
  if (rangesRestored_) {
    SaveAxisRanges();
    rangesRestored_ = false;
  }
  struct Target {
    TCustomChartAxis* axis;
    double min, max;
  };
  const std::array<Target, 4> targets{{{&LeftAxis(), leftMin, leftMax},
                                       {&RightAxis(), rightMin, rightMax},
                                       {&TopAxis(), topMin, topMax},
                                       {&BottomAxis(), bottomMin, bottomMax}}};
  if (AnimatedZoom()) {
    for (int step = 1; step < AnimatedZoomSteps(); ++step) {
      for (const Target& t : targets) {
        const double lo = t.axis->Minimum() + (t.min - t.axis->Minimum()) / ZoomAnimationDivisor;
        const double hi = t.axis->Maximum() - (t.axis->Maximum() - t.max) / ZoomAnimationDivisor;
        t.axis->SetRange(lo, hi);
      }
      Repaint();
    }
  }
  for (const Target& t : targets) t.axis->SetRange(t.min, t.max);
  zoomedIn_ = true;
  if (OnZoom) OnZoom(*this);
}

void TCustomChart::ResetZoom() {
  if (!rangesRestored_) {
    RestoreAxisRanges();
    rangesRestored_ = true;
  }
  if (OnUndoZoom) OnUndoZoom(*this);
  Invalidate();
  zoomedIn_ = false;
}

void TCustomChart::SaveAxisRanges() {
  const auto axes = SideAxesTopLeftRightBottom();
  for (std::size_t i = 0; i < axes.size(); ++i) {
    TSavedAxisRange& s = savedAxisRanges_[i];
    s.Automatic = axes[i]->Automatic();
    s.AutomaticMinimum = axes[i]->AutomaticMinimum();
    s.AutomaticMaximum = axes[i]->AutomaticMaximum();
    s.Minimum = axes[i]->Minimum();
    s.Maximum = axes[i]->Maximum();
  }
}

void TCustomChart::RestoreAxisRanges() {
  const auto axes = SideAxesTopLeftRightBottom();
  // Top, bottom, left, right.
  for (std::size_t i : {0, 3, 1, 2}) {
    const TSavedAxisRange& s = savedAxisRanges_[i];
    TCustomChartAxis& axis = *axes[i];
    axis.SetAutomatic(s.Automatic);
    axis.SetAutomaticMinimum(s.AutomaticMinimum);
    axis.SetAutomaticMaximum(s.AutomaticMaximum);
    if (!axis.Automatic()) axis.SetRange(s.Minimum, s.Maximum);
  }
}

// ---------------------------------------------------------------------------
// TChart

TChart::TChart() { SetRepaintOnChange(true); }

TChart::~TChart() { BeginDestroy(); }

}  // namespace tempolog
