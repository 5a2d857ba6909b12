#include "chart/Series.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "chart/ChartPanel.h"

namespace tempolog {

namespace {

// Pixels farther out than this are not drawn: the platform's coordinates
// would overflow in its own arithmetic.
constexpr int kFarPixel = 32766;

}  // namespace

// ---------------------------------------------------------------------------
// TSeriesPointer

TSeriesPointer::TSeriesPointer(TCustomSeries& owner) : owner_(owner) {
  pen_.OnChange = [this] { Changed(); };
  brush_.OnChange = [this] { Changed(); };
}

void TSeriesPointer::Changed() { owner_.Changed(); }

void TSeriesPointer::SetVisible(bool value) {
  if (StoreChanged(visible_, value)) Changed();
}
void TSeriesPointer::SetStyle(TSeriesPointerStyle value) {
  if (StoreChanged(style_, value)) Changed();
}
void TSeriesPointer::SetHorizSize(int value) {
  if (value < 1) throw ChartException("Pointer size must be greater than zero");
  if (StoreChanged(horizSize_, value)) Changed();
}
void TSeriesPointer::SetVertSize(int value) {
  if (value < 1) throw ChartException("Pointer size must be greater than zero");
  if (StoreChanged(vertSize_, value)) Changed();
}
void TSeriesPointer::SetInflateMargins(bool value) {
  if (StoreChanged(inflateMargins_, value)) Changed();
}
void TSeriesPointer::SetDraw3D(bool value) {
  if (StoreChanged(draw3D_, value)) Changed();
}
void TSeriesPointer::SetDark3D(bool value) {
  if (StoreChanged(dark3D_, value)) Changed();
}

// ---------------------------------------------------------------------------
// TCustomSeries: properties and margins

TCustomSeries::TCustomSeries() : pointer_(*this) {
  SetDrawBetweenPoints(true);
  linePen_.OnChange = [this] { Changed(); };
}

TCustomSeries::~TCustomSeries() {
  // The pens' notifications must not reach a series that is going away.
  linePen_.OnChange = nullptr;
  pointer_.Pen().OnChange = nullptr;
  pointer_.Brush().OnChange = nullptr;
}

void TCustomSeries::SetStairs(bool value) {
  if (StoreChanged(stairs_, value)) Changed();
}
void TCustomSeries::SetInvertedStairs(bool value) {
  if (StoreChanged(invertedStairs_, value)) Changed();
}
void TCustomSeries::SetLineHeight(int value) {
  if (StoreChanged(lineHeight_, value)) Changed();
}
void TCustomSeries::SetDark3D(bool value) {
  if (StoreChanged(dark3D_, value)) Changed();
}
void TCustomSeries::SetMarksVisible(bool value) {
  if (StoreChanged(marksVisible_, value)) Changed();
}

void TCustomSeries::HorizontalMargins(int& left, int& right) const {
  left = right = 0;
  if (pointer_.Visible() && pointer_.InflateMargins()) {
    left = std::max(left, pointer_.HorizSize() + 1);
    right = std::max(right, pointer_.HorizSize() + 1);
  }
  if (stairs_ && DrawsLine()) {
    left = std::max(left, linePen_.Width());
    right = std::max(right, linePen_.Width());
  }
}

void TCustomSeries::VerticalMargins(int& top, int& bottom) const {
  top = bottom = 0;
  if (pointer_.Visible() && pointer_.InflateMargins()) {
    top = std::max(top, pointer_.VertSize() + 1);
    bottom = std::max(bottom, pointer_.VertSize() + 1);
  }
  if (stairs_ && DrawsLine()) {
    top = std::max(top, linePen_.Width());
    bottom = std::max(bottom, linePen_.Width() + 1);
  }
  if (lineHeight_ > 0 && !DrawsArea() && bottom < lineHeight_) bottom = lineHeight_;
}

// ---------------------------------------------------------------------------
// TCustomSeries: drawing

void TCustomSeries::BeginDrawPass(TChartCanvas& canvas, const TRect& plot) {
  canvas_ = &canvas;
  horizAxis_ = GetHorizAxis();
  vertAxis_ = GetVertAxis();
  plot_ = plot;
  previousColor_ = clNone;
  previousIndex_ = -1;
  havePrevious_ = false;
}

void TCustomSeries::EndDrawPass() {
  canvas_ = nullptr;
  horizAxis_ = vertAxis_ = nullptr;
}

void TCustomSeries::DrawShownPoints(TChartCanvas& canvas, const TRect& plot) {
  BeginDrawPass(canvas, plot);
  if (horizAxis_ != nullptr && vertAxis_ != nullptr) {
    const std::int32_t last = LastShownIndex();
    if (!drawEveryPoint_ && FirstShownIndex() >= 0 && FirstShownIndex() <= last &&
        CanDrawReduced()) {
      DrawShownPointsReduced();
    } else {
      for (std::int32_t i = FirstShownIndex(); i >= 0 && i <= last; ++i) DrawPoint(i);
    }
  }
  EndDrawPass();
}

void TCustomSeries::DrawPoint(std::int32_t index) {
  const TColor color = PointColor(index);
  DrawPointAt(index, horizAxis_->ValueToPixel(XValue(index)),
              vertAxis_->ValueToPixel(YValue(index)), color);
}

void TCustomSeries::DrawPointAt(std::int32_t index, int x, int y, TColor color) {
  const bool last = index == LastShownIndex();

  if (x < -kFarPixel || x > kFarPixel || y < -kFarPixel || y > kFarPixel) {
    // Skipped: the line runs on from the last drawn point to the next one.
    // A skipped null point still breaks the line.
    if (color == clNone) {
      previousColor_ = clNone;
    } else if (last && havePrevious_ && previousColor_ != clNone && pointer_.Visible()) {
      // The last drawn point would otherwise never get its marker.
      DrawPointerMarker(previousX_, previousY_, previousIndex_, previousColor_);
    }
    return;
  }

  // (The segment pen and the marker brush are set where they are used.)
  if (previousColor_ == clNone || !havePrevious_) {
    previousX_ = x;
    previousY_ = y;
    previousColor_ = clNone;
  }

  if (index == FirstShownIndex()) {
    if (index > 0) {
      // Scrolled or zoomed: the line comes in from the edge of the plot.
      previousX_ = horizAxis_->Inverted() ? plot_.Right : plot_.Left;
      previousY_ = EdgeStartY(index, y);
      if (!IsNullPoint(index - 1)) DrawLineSegment(false, x, y, color, index);
    }
    if (last && pointer_.Visible() && color != clNone) DrawPointerMarker(x, y, index, color);
  } else {
    DrawLineSegment(true, x, y, color, index);
  }
  previousX_ = x;
  previousY_ = y;
  previousIndex_ = index;
  previousColor_ = color;
  havePrevious_ = true;
}

int TCustomSeries::EdgeStartY(std::int32_t index, int y) const {
  const double x0 = XValue(index - 1);
  const double y0 = YValue(index - 1);
  if (stairs_) return vertAxis_->ValueToPixel(y0);
  const double x1 = XValue(index);
  const double y1 = YValue(index);
  if (x1 == x0) return vertAxis_->ValueToPixel(y0);
  const double xe = horizAxis_->PixelToValue(previousX_);
  const double ye = y0 + (y1 - y0) * (xe - x0) / (x1 - x0);
  (void)y;
  return vertAxis_->ValueToPixel(ye);
}

void TCustomSeries::PrepareLinePen(TColor color) {
  TPen& pen = canvas_->Pen();
  if (linePen_.SmallDots()) {
    canvas_->ApplyChartPen(linePen_);
  } else {
    // What ApplyChartPen does for a visible plain pen, without passing
    // through the pen's own colour on the way to the point's.
    pen.SetStyle(linePen_.Style());
    pen.SetWidth(linePen_.Width());
    pen.SetMode(linePen_.Mode());
  }
  canvas_->Brush().SetStyle(TBrushStyle::bsClear);
  pen.SetColor(color);
}

void TCustomSeries::DrawLineSegment(bool withMarkers, int x, int y, TColor color,
                                    std::int32_t index) {
  // A hidden line pen would draw nothing: skip its calls altogether.
  if ((x != previousX_ || y != previousY_) && color != clNone && DrawsLine() &&
      linePen_.Visible()) {
    PrepareLinePen(color);
    if (stairs_ && !invertedStairs_) {
      canvas_->DrawHorizontalSegment(previousX_, x, previousY_);
      canvas_->DrawLineTo(x, y);
    } else if (stairs_) {
      canvas_->DrawVerticalSegment(previousX_, previousY_, y);
      canvas_->DrawLineTo(x, y);
    } else {
      canvas_->DrawSegment(previousX_, previousY_, x, y);
    }
  }
  if (withMarkers && pointer_.Visible()) {
    if (previousColor_ != clNone)
      DrawPointerMarker(previousX_, previousY_, previousIndex_, previousColor_);
    if (index == LastShownIndex() && color != clNone) DrawPointerMarker(x, y, index, color);
  }
}

void TCustomSeries::PreparePointer(TColor color) {
  TChartCanvas& canvas = *canvas_;
  const TChartPen& pen = pointer_.Pen();
  canvas.ApplyChartPen(pen);
  if (pen.Visible() && pen.Color() == clDefault) canvas.Pen().SetColor(color);
  TBrush& brush = canvas.Brush();
  const TChartBrush& own = pointer_.Brush();
  if (own.HasBitmap() || brush.HasBitmap()) {
    brush.Assign(own);
  } else {
    brush.SetStyle(own.Style());
    brush.SetColor(own.Color());
  }
  if (own.Color() == clDefault) brush.SetColor(color);
}

void TCustomSeries::DrawPointerMarker(int x, int y, std::int32_t index, TColor color) {
  PreparePointer(color);
  TChartCanvas& canvas = *canvas_;
  const TSeriesPointerStyle style =
      OnGetPointerStyle ? OnGetPointerStyle(*this, index) : pointer_.Style();
  const int h = pointer_.HorizSize();
  const int v = pointer_.VertSize();
  switch (style) {
    case psRectangle: canvas.DrawBox(x - h, y - v, x + h + 1, y + v + 1); break;
    case psCircle: canvas.DrawEllipseIn(x - h, y - v, x + h, y + v); break;
    case psTriangle: {
      const std::array<TPoint, 3> p{{{x - h, y + v}, {x + h, y + v}, {x, y - v}}};
      canvas.DrawPolygonPoints(p, 2);
      break;
    }
    case psDownTriangle: {
      const std::array<TPoint, 3> p{{{x - h, y - v}, {x + h, y - v}, {x, y + v}}};
      canvas.DrawPolygonPoints(p, 2);
      break;
    }
    case psDiamond: {
      const std::array<TPoint, 4> p{{{x - h, y}, {x, y - v}, {x + h, y}, {x, y + v}}};
      canvas.DrawPolygonPoints(p, 3);
      break;
    }
    case psCross:
    case psDiagCross:
    case psStar:
      // Lines leave out their end pixel, so each arm runs one pixel further.
      canvas.Pen().SetColor(color);
      if (style != psDiagCross) {
        canvas.DrawSegment(x - h, y, x + h + 1, y);
        canvas.DrawSegment(x, y - v, x, y + v + 1);
      }
      if (style != psCross) {
        canvas.DrawSegment(x - h, y - v, x + h + 1, y + v + 1);
        canvas.DrawSegment(x + h, y - v, x - h - 1, y + v + 1);
      }
      break;
    case psSmallDot: canvas.SetPixelColor(x, y, color); break;
  }
}

// ---------------------------------------------------------------------------
// TCustomSeries: mouse hit test

std::int32_t TCustomSeries::Clicked(int x, int y) const {
  const TCustomChartAxis* horiz = GetHorizAxis();
  const TCustomChartAxis* vert = GetVertAxis();
  if (horiz == nullptr || vert == nullptr || FirstShownIndex() < 0) return -1;
  constexpr int kTolerance = 3;
  const int h = pointer_.Visible() ? pointer_.HorizSize() : 0;
  const int v = pointer_.Visible() ? pointer_.VertSize() : 0;
  auto near_segment = [&](int ax, int ay, int bx, int by) {
    // Axis-parallel box around the segment, then the distance to the line.
    if (x < std::min(ax, bx) - kTolerance || x > std::max(ax, bx) + kTolerance) return false;
    if (y < std::min(ay, by) - kTolerance || y > std::max(ay, by) + kTolerance) return false;
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    if (len2 == 0) return true;
    const double cross = (x - ax) * dy - (y - ay) * dx;
    return cross * cross <= kTolerance * kTolerance * len2;
  };
  int px = 0, py = 0;
  bool havePrevious = false;
  for (std::int32_t i = FirstShownIndex(); i <= LastShownIndex(); ++i) {
    if (IsNullPoint(i)) {
      havePrevious = false;
      continue;
    }
    const int cx = horiz->ValueToPixel(XValue(i));
    const int cy = vert->ValueToPixel(YValue(i));
    if (std::abs(x - cx) <= h && std::abs(y - cy) <= v) return i;
    if (havePrevious && DrawsLine() && linePen_.Visible()) {
      bool hit;
      if (stairs_ && !invertedStairs_)
        hit = near_segment(px, py, cx, py) || near_segment(cx, py, cx, cy);
      else if (stairs_) hit = near_segment(px, py, px, cy) || near_segment(px, cy, cx, cy);
      else hit = near_segment(px, py, cx, cy);
      if (hit) return i;
    }
    px = cx;
    py = cy;
    havePrevious = true;
  }
  return -1;
}

// ---------------------------------------------------------------------------

TLineSeries::TLineSeries() { Pointer().SetVisible(false); }

}  // namespace tempolog
