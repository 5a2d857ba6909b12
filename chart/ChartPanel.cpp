#include "chart/ChartPanel.h"

#include <algorithm>
#include <utility>

namespace tempolog {

void TZoomPanningRecord::OrderCorners() {
  if (FromX > ToX) std::swap(FromX, ToX);
  if (FromY > ToY) std::swap(FromY, ToY);
}

// ---------------------------------------------------------------------------
// TCustomChartPanel

TCustomChartPanel::TCustomChartPanel() {
  canvas_.OnInvalidate = [this] { Invalidate(); };
}

TCustomChartPanel::~TCustomChartPanel() {
  canvas_.OnInvalidate = nullptr;
  if (window_ != nullptr) window_->ClientGone();
}

void TCustomChartPanel::SetBounds(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  Invalidate();
}

void TCustomChartPanel::SetColor(TColor value) {
  if (StoreChanged(color_, value)) Invalidate();
}
void TCustomChartPanel::SetBevelOuter(TPanelBevel value) {
  if (StoreChanged(bevelOuter_, value)) Invalidate();
}
void TCustomChartPanel::SetBevelInner(TPanelBevel value) {
  if (StoreChanged(bevelInner_, value)) Invalidate();
}
void TCustomChartPanel::SetBevelWidth(int value) {
  if (StoreChanged(bevelWidth_, std::max(value, 1))) Invalidate();
}
void TCustomChartPanel::SetBorderWidth(int value) {
  if (StoreChanged(borderWidth_, std::max(value, 0))) Invalidate();
}
void TCustomChartPanel::SetMarginLeft(int value) {
  if (StoreChanged(marginLeft_, value)) Invalidate();
}
void TCustomChartPanel::SetMarginTop(int value) {
  if (StoreChanged(marginTop_, value)) Invalidate();
}
void TCustomChartPanel::SetMarginRight(int value) {
  if (StoreChanged(marginRight_, value)) Invalidate();
}
void TCustomChartPanel::SetMarginBottom(int value) {
  if (StoreChanged(marginBottom_, value)) Invalidate();
}
void TCustomChartPanel::SetView3D(bool value) {
  if (StoreChanged(view3D_, value)) Invalidate();
}
void TCustomChartPanel::SetView3DWalls(bool value) {
  if (StoreChanged(view3DWalls_, value)) Invalidate();
}
void TCustomChartPanel::SetChart3DPercent(int value) {
  if (StoreChanged(chart3DPercent_, value)) Invalidate();
}

void TCustomChartPanel::Invalidate() {
  if (!repaintOnChange_ || IsDestroying()) return;
  canvas_.MarkBufferStale();
  if (window_ != nullptr) window_->InvalidateWindow();
}

void TCustomChartPanel::Repaint() {
  if (window_ != nullptr) {
    window_->RepaintWindow();
  } else {
    // Off-screen: a full pass into the kept bitmap.
    PaintChart(nullptr, ClientRect());
    canvas_.AttachSurface(nullptr);
  }
}

void TCustomChartPanel::Paint(TSurface& window) {
  if (printing_) return;
  canvas_.AttachSurface(&window);
  if (!canvas_.RepaintFromBuffer()) PaintChart(&window, {0, 0, window.Width(), window.Height()});
  // The window's surface lives only for this paint request.
  canvas_.AttachSurface(nullptr);
}

void TCustomChartPanel::PaintChart(TSurface* surface, const TRect& bounds) {
  panelBounds_ = canvas_.BeginFrame(surface, &view3DOptions_, bounds, view3D_);
  const int w = panelBounds_.Width();
  const int h = panelBounds_.Height();
  SetPlotRect({panelBounds_.Left + borderWidth_ + MulDiv(marginLeft_, w, 100),
               panelBounds_.Top + borderWidth_ + MulDiv(marginTop_, h, 100),
               panelBounds_.Right - borderWidth_ - MulDiv(marginRight_, w, 100),
               panelBounds_.Bottom - borderWidth_ - MulDiv(marginBottom_, h, 100)});
  NormalisePlotRect();
  DrawChartParts();
  canvas_.PresentFrame(surface, surface, bounds);
}

void TCustomChartPanel::NormalisePlotRect() {
  TRect r = PlotRect();
  r.Left = std::max(r.Left, panelBounds_.Left);
  r.Top = std::max(r.Top, panelBounds_.Top);
  if (r.Right < r.Left) r.Right = r.Left + 1;
  else if (r.Right == r.Left) r.Right = r.Left + std::max(width_, 1);
  if (r.Bottom < r.Top) r.Bottom = r.Top + 1;
  else if (r.Bottom == r.Top) r.Bottom = r.Top + std::max(height_, 1);
  SetPlotRect(r);
  plotWidth_ = r.Right - r.Left;
  plotHeight_ = r.Bottom - r.Top;
  plotCenterX_ = (r.Left + r.Right) / 2;
  plotCenterY_ = (r.Top + r.Bottom) / 2;
}

// ---------------------------------------------------------------------------
// TCustomChartPanelExtended

TCustomChartPanelExtended::TCustomChartPanelExtended() = default;

void TCustomChartPanelExtended::SetGradientVisible(bool value) {
  if (StoreChanged(gradient_.Visible, value)) Invalidate();
}

void TCustomChartPanelExtended::SetBackImage(const QImage& value) {
  backImage_ = value;
  Invalidate();
}
void TCustomChartPanelExtended::SetBackImageInside(bool value) {
  if (StoreChanged(backImageInside_, value)) Invalidate();
}
void TCustomChartPanelExtended::SetBackImageMode(TBackImageMode value) {
  if (StoreChanged(backImageMode_, value)) Invalidate();
}

void TCustomChartPanelExtended::PaintPanelBackground(const TRect& bounds) {
  TChartCanvas3D& canvas = Canvas();
  if (gradient_.Visible) {
    const bool forward = gradient_.Direction == TGradientDirection::gdTopBottom ||
                         gradient_.Direction == TGradientDirection::gdLeftRight;
    canvas.FillGradient(bounds, forward ? gradient_.StartColor : gradient_.EndColor,
                        gradient_.Direction, forward ? gradient_.EndColor : gradient_.StartColor);
  } else {
    canvas.Brush().SetColor(Color());
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.ClearBox(bounds);
  }
  if (!backImage_.isNull() && !backImageInside_) {
    if (backImageMode_ == pbmStretch) {
      canvas.StretchGraphic(bounds, &backImage_);
    } else if (backImageMode_ == pbmCenter) {
      canvas.DrawGraphic(bounds.Left + (bounds.Width() - backImage_.width()) / 2,
                         bounds.Top + (bounds.Height() - backImage_.height()) / 2, &backImage_);
    } else {
      for (int y = bounds.Top; y < bounds.Bottom; y += std::max(backImage_.height(), 1))
        for (int x = bounds.Left; x < bounds.Right; x += std::max(backImage_.width(), 1))
          canvas.DrawGraphic(x, y, &backImage_);
    }
  }

  // Bevels: outer, border, inner; each moves the rectangle inward.
  TRect r = bounds;
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetMode(TPenMode::pmCopy);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  auto bevel = [&](TPanelBevel kind) {
    if (kind == bvNone) return;
    TColor light = clBtnHighlight, dark = clBtnShadow;
    if (kind == bvLowered) std::swap(light, dark);
    if (kind == bvSpace) light = dark = Color();
    canvas.DrawBevel(r, ResolveColor(light), ResolveColor(dark), BevelWidth());
    r = {r.Left + BevelWidth(), r.Top + BevelWidth(), r.Right - BevelWidth(),
         r.Bottom - BevelWidth()};
  };
  bevel(BevelOuter());
  if (BorderWidth() > 0) {
    const TColor c = ResolveColor(Color());
    canvas.DrawBevel(r, c, c, BorderWidth());
    r = {r.Left + BorderWidth(), r.Top + BorderWidth(), r.Right - BorderWidth(),
         r.Bottom - BorderWidth()};
  }
  bevel(BevelInner());
}

}  // namespace tempolog
