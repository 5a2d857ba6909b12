// The chart's mouse: what a press landed on, the click events, the zoom
// rectangle, panning by dragging, the wheel, and the saved axis ranges that
// undo a zoom.
#include <array>
#include <cstdlib>

#include "chart/Chart.h"

namespace tempolog {

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

}  // namespace tempolog
