#include "chart/Chart.h"

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
// TChart

TChart::TChart() { SetRepaintOnChange(true); }

TChart::~TChart() { BeginDestroy(); }

}  // namespace tempolog
