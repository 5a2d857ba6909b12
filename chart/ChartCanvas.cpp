#include "chart/ChartCanvas.h"

#include <algorithm>
#include <cmath>

namespace tempolog {

// ---------------------------------------------------------------------------
// Pens, brushes, fonts

void TChartPen::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Changed();
}

void TChartPen::SetSmallDots(bool value) {
  if (small_dots_ == value) return;
  small_dots_ = value;
  Changed();
}

void TChartPen::Assign(const TChartPen& source) {
  SetVisible(source.Visible());
  SetSmallDots(source.SmallDots());
  TPen::Assign(source);
}

TChartHiddenPen::TChartHiddenPen() { SetVisible(false); }

TDottedGrayPen::TDottedGrayPen() {
  SetColor(clGray);
  SetStyle(TPenStyle::psDot);
}

TDarkGrayPen::TDarkGrayPen() { SetColor(clGray); }

TChartAxisPen::TChartAxisPen() { SetWidth(2); }

TChartArrowPen::TChartArrowPen() { SetColor(clWhite); }

TChartBrush::TChartBrush() {
  SetColor(clDefault);
  SetStyle(TBrushStyle::bsSolid);
}

TChartFontObject::TChartFontObject(std::function<void()> on_change) {
  SetName("Arial");
  SetSize(8);
  SetColor(clBlack);
  SetStyle(0);
  // Japanese desktops lack a face that shows their script under this name:
  // take the desktop's own face and size instead.
  if (const std::optional<TDesktopFont> desktop = DesktopFont();
      desktop && desktop->JapaneseLocale) {
    SetName(desktop->Name);
    if (desktop->PointSize > 0) {
      SetSize(desktop->PointSize);
    } else if (desktop->PixelSize > 0) {
      SetSize(MulDiv(desktop->PixelSize, 72, PixelsPerInch()));
    }
  }
  OnChange = std::move(on_change);
}

// ---------------------------------------------------------------------------
// TChartCanvas

TChartCanvas::TChartCanvas() : detached_(NewBitmapSurface(0, 0)), surface_(detached_.get()) {}

TChartCanvas::~TChartCanvas() = default;

void TChartCanvas::AttachSurface(TSurface* surface) {
  surface_ = surface != nullptr ? surface : detached_.get();
}

void TChartCanvas::SetBackgroundColor(TColor color) {
  surface_->SetBackgroundColor(ResolveColor(color));
}

void TChartCanvas::SetBackgroundMode(int mode) { surface_->SetBackgroundMode(mode); }

void TChartCanvas::SetPixelColor(int x, int y, TColor color) {
  surface_->SetPixel(x, y, ResolveColor(color));
}

void TChartCanvas::SetTextAlignment(int flags) { surface_->SetTextAlign(flags); }

void TChartCanvas::DrawArc(const TRect& box, TPoint start, TPoint end) {
  surface_->Arc(box, start, end);
}

void TChartCanvas::DrawGraphic(int x, int y, const QImage* graphic) {
  if (graphic == nullptr || graphic->isNull()) return;
  SetBackgroundColor(Brush().Color());
  surface_->Draw(x, y, *graphic);
}

void TChartCanvas::DrawEllipseIn(int left, int top, int right, int bottom) {
  surface_->Ellipse({left, top, right, bottom});
}

void TChartCanvas::FillBox(const TRect& box) { surface_->FillRect(box); }

void TChartCanvas::DrawBevel(const TRect& box, TColor light, TColor dark, int width) {
  TPen& pen = Pen();
  pen.SetWidth(1);
  int left = box.Left, top = box.Top, right = box.Right - 1, bottom = box.Bottom - 1;
  for (int i = 0; i < width; ++i) {
    pen.SetColor(light);
    const TPoint light_edge[] = {{left, bottom}, {left, top}, {right, top}};
    surface_->Polyline(light_edge);
    pen.SetColor(dark);
    const TPoint dark_edge[] = {{right, top}, {right, bottom}, {left - 1, bottom}};
    surface_->Polyline(dark_edge);
    ++left;
    ++top;
    --right;
    --bottom;
  }
}

void TChartCanvas::DrawLineTo(int x, int y) { surface_->LineTo(x, y); }

void TChartCanvas::MovePenTo(int x, int y) { surface_->MoveTo(x, y); }

void TChartCanvas::DrawPieSlice(const TRect& box, TPoint start, TPoint end) {
  surface_->Pie(box, start, end);
}

void TChartCanvas::DrawBox(int left, int top, int right, int bottom) {
  surface_->Rectangle({left, top, right, bottom});
}

void TChartCanvas::DrawRoundBox(const TRect& box, int corner_width, int corner_height) {
  surface_->RoundRect(box, corner_width, corner_height);
}

void TChartCanvas::StretchGraphic(const TRect& box, const QImage* graphic) {
  if (graphic == nullptr || graphic->isNull()) return;
  surface_->StretchDraw(box, *graphic);
}

void TChartCanvas::PutText(int x, int y, std::string_view text) { surface_->TextOut(x, y, text); }

int TChartCanvas::MeasureTextWidth(std::string_view text) const {
  return surface_->TextExtent(text).cx;
}

int TChartCanvas::MeasureTextHeight(std::string_view text) const {
  return surface_->TextExtent(text).cy;
}

void TChartCanvas::ClipToBox(const TRect& box) { surface_->IntersectClip(box); }

void TChartCanvas::DrawHorizontalSegment(int x0, int x1, int y) {
  surface_->MoveTo(x0, y);
  surface_->LineTo(x1, y);
}

void TChartCanvas::DrawVerticalSegment(int x, int y0, int y1) {
  surface_->MoveTo(x, y0);
  surface_->LineTo(x, y1);
}

void TChartCanvas::DrawSegment(int x0, int y0, int x1, int y1) {
  surface_->MoveTo(x0, y0);
  surface_->LineTo(x1, y1);
}

void TChartCanvas::DrawPolygonPoints(std::span<const TPoint> points, int last) {
  if (last < 0) return;
  const std::size_t count = std::min(points.size(), static_cast<std::size_t>(last) + 1);
  surface_->Polygon(points.first(count));
}

void TChartCanvas::FillGradient(const TRect& given_box, TColor first, TGradientDirection direction,
                                TColor second) {
  using enum TGradientDirection;
  if (direction != gdTopBottom && direction != gdLeftRight) std::swap(first, second);
  const TColor c1 = ResolveColor(first), c2 = ResolveColor(second);
  const TRect box = given_box.Normalised();
  if (box.IsEmpty()) return;
  TBrush& brush = Brush();
  brush.SetBitmap(QImage());
  brush.SetStyle(TBrushStyle::bsSolid);
  // Colour of band i of n: from c1 (band 0) to c2 (band n - 1).
  auto band_color = [c1, c2](int i, int n) {
    if (n <= 1) return c1;
    return RGBColor(RedOf(c1) + MulDiv(RedOf(c2) - RedOf(c1), i, n - 1),
                    GreenOf(c1) + MulDiv(GreenOf(c2) - GreenOf(c1), i, n - 1),
                    BlueOf(c1) + MulDiv(BlueOf(c2) - BlueOf(c1), i, n - 1));
  };
  auto fill = [this, &brush](TColor color, const TRect& part) {
    brush.SetColor(color);  // a new colour only when it differs
    surface_->FillRect(part);
  };
  const int width = box.Width(), height = box.Height();
  switch (direction) {
    case gdTopBottom:
    case gdBottomTop: {
      const int bands = std::min(height, 256);
      for (int i = 0; i < bands; ++i) {
        fill(band_color(i, bands), {box.Left, box.Top + MulDiv(i, height, bands), box.Right,
                                    box.Top + MulDiv(i + 1, height, bands)});
      }
      break;
    }
    case gdLeftRight:
    case gdRightLeft: {
      const int bands = std::min(width, 256);
      for (int i = 0; i < bands; ++i) {
        fill(band_color(i, bands), {box.Left + MulDiv(i, width, bands), box.Top,
                                    box.Left + MulDiv(i + 1, width, bands), box.Bottom});
      }
      break;
    }
    case gdFromCenter: {
      // Concentric rectangles from the border inward, each painted over the last.
      const int half = std::max(1, (std::min(width, height) + 1) / 2);
      const int bands = std::min(half, 256);
      for (int i = 0; i < bands; ++i) {
        const int inset = MulDiv(i, half, bands);
        fill(band_color(i, bands),
             {box.Left + inset, box.Top + inset, box.Right - inset, box.Bottom - inset});
      }
      break;
    }
    case gdFromTopLeft:
    case gdFromBottomLeft: {
      // Diagonal bands across the box, row by row.
      const int extent = width + height - 1;
      const int bands = std::min(extent, 256);
      for (int y = box.Top; y < box.Bottom; ++y) {
        const int down = direction == gdFromTopLeft ? y - box.Top : box.Bottom - 1 - y;
        for (int i = 0; i < bands; ++i) {
          const int x0 = std::max(box.Left, box.Left + MulDiv(i, extent, bands) - down);
          const int x1 = std::min(box.Right, box.Left + MulDiv(i + 1, extent, bands) - down);
          if (x0 < x1) fill(band_color(i, bands), {x0, y, x1, y + 1});
        }
      }
      break;
    }
  }
}

void TChartCanvas::PutRotatedText(int x, int y, int angle, std::string_view text) {
  Brush().SetStyle(TBrushStyle::bsClear);
  if (angle > 360) angle -= 360;
  TFont& font = Font();
  const int old_orientation = font.Orientation();
  const bool old_outline = font.OutlineOnly();
  const int old_size = font.Size();
  font.SetOrientation(angle * 10);
  font.SetOutlineOnly(true);
  if (text_zoom_ && zoom_ != 1.0) {
    font.SetSize(std::max(1, static_cast<int>(std::lround(old_size * zoom_))));
  }
  PutText(x, y, text);
  font.SetSize(old_size);
  font.SetOutlineOnly(old_outline);
  font.SetOrientation(old_orientation);
}

void TChartCanvas::RemoveClip() { surface_->RemoveClip(); }

void TChartCanvas::ResetDrawingState() {
  TPen& pen = Pen();
  pen.SetColor(clBlack);
  pen.SetWidth(1);
  pen.SetStyle(TPenStyle::psSolid);
  pen.SetMode(TPenMode::pmCopy);
  Brush().SetColor(clWhite);
  Brush().SetStyle(TBrushStyle::bsSolid);
  Font().SetColor(clBlack);
  Font().SetSize(10);
  SetBackgroundColor(clWhite);
  SetBackgroundMode(TRANSPARENT);
}

void TChartCanvas::ApplyChartPen(const TChartPen& chart_pen) {
  TPen& pen = Pen();
  if (!chart_pen.Visible()) {
    pen.SetStyle(TPenStyle::psClear);
  } else if (chart_pen.SmallDots() && chart_pen.Width() == 1 && surface_->SupportsAlternatePen()) {
    pen.SetColor(ResolveColor(chart_pen.Color()));
    pen.SetWidth(1);
    pen.SetStyle(TPenStyle::psAlternate);
  } else {
    pen.Assign(chart_pen);
  }
}

void TChartCanvas::AssignFont(const TFont& font) { Font().Assign(font); }

// ---------------------------------------------------------------------------
// TChartCanvas3D

TChartCanvas3D::~TChartCanvas3D() { FreeBitmap(); }

void TChartCanvas3D::FreeBitmap() {
  if (!bitmap_) return;
  if (&Surface() == bitmap_.get()) AttachSurface(nullptr);
  bitmap_.reset();
}

void TChartCanvas3D::SetBuffered(bool value) {
  buffered_ = value;
  if (!value) {
    FreeBitmap();
    buffer_stale_ = true;
  }
}

void TChartCanvas3D::SetMonochrome(bool value) {
  if (monochrome_ == value) return;
  monochrome_ = value;
  FreeBitmap();
  buffer_stale_ = true;
  if (OnInvalidate) OnInvalidate();
}

TRect TChartCanvas3D::BeginFrame(TSurface* target, const TView3DOptions* options,
                                 const TRect& bounds, bool is_3d) {
  bounds_ = bounds;
  options_ = options;
  is_3d_ = is_3d;
  zoom_ = 1.0;
  if (!buffered_) {
    AttachSurface(target);
    return bounds;
  }
  const int width = std::max(0, bounds.Width()), height = std::max(0, bounds.Height());
  // The bitmap's texts take the resolution of the window it is shown on (an
  // off-screen pass keeps that of the last one).
  const int ppi = target != nullptr ? target->PixelsPerInch()
                  : bitmap_         ? bitmap_->PixelsPerInch()
                                    : 96;
  if (bitmap_ &&
      (bitmap_->Width() != width || bitmap_->Height() != height || bitmap_->PixelsPerInch() != ppi))
    FreeBitmap();
  if (!bitmap_) bitmap_ = NewBitmapSurface(width, height, monochrome_, ppi);
  AttachSurface(bitmap_.get());
  // A pass always starts unclipped, whatever the previous one left.
  bitmap_->RemoveClip();
  return {0, 0, width, height};
}

void TChartCanvas3D::PresentFrame(TSurface* target, TSurface* window, const TRect& bounds) {
  if (buffered_ && bitmap_ && target != nullptr) {
    target->CopyFrom(*bitmap_, bounds.Left, bounds.Top);
    buffer_stale_ = false;
  }
  AttachSurface(window);
}

bool TChartCanvas3D::RepaintFromBuffer() {
  if (buffer_stale_ || !bitmap_) return false;
  TSurface& surface = Surface();
  if (&surface == bitmap_.get()) return false;
  if (surface.Width() != bitmap_->Width() || surface.Height() != bitmap_->Height()) return false;
  surface.CopyFrom(*bitmap_, 0, 0);
  return true;
}

void TChartCanvas3D::ClipToPlotArea(const TRect& box, int /*first_z*/, int /*last_z*/) {
  ClipToBox({box.Left + 1, box.Top + 1, box.Right, box.Bottom - 1});
}

}  // namespace tempolog
