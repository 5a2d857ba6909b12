#include "framework/SurfaceQt.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QLocale>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "framework/Latin1.h"

namespace tempolog {
namespace {

// Styled one-pixel lines: on/off run lengths in pixels (scaled by the width
// for wider pens). The alternate pen sets every second pixel.
constexpr int kDash[] = {18, 6};
constexpr int kDot[] = {3, 3};
constexpr int kDashDot[] = {9, 6, 3, 6};
constexpr int kDashDotDot[] = {9, 3, 3, 3, 3, 3};
constexpr int kAlternate[] = {1, 1};

constexpr QRgb kOpaque = 0xFF000000u;

// Bounds of the text width tables: fonts kept, texts kept per font.
constexpr std::size_t kMaxMeasuredFonts = 16;
constexpr std::size_t kMaxMeasuredTexts = 4096;

// Combines pen pixel p with surface pixel d; both are opaque RGB.
inline QRgb Combine(TPenMode mode, QRgb p, QRgb d) {
  switch (mode) {
    case TPenMode::pmBlack: return kOpaque;
    case TPenMode::pmWhite: return 0xFFFFFFFFu;
    case TPenMode::pmNop: return d;
    case TPenMode::pmNot: return ~d | kOpaque;
    case TPenMode::pmCopy: return p;
    case TPenMode::pmNotCopy: return ~p | kOpaque;
    case TPenMode::pmMergePenNot: return p | ~d | kOpaque;
    case TPenMode::pmMaskPenNot: return (p & ~d) | kOpaque;
    case TPenMode::pmMergeNotPen: return ~p | d | kOpaque;
    case TPenMode::pmMaskNotPen: return (~p & d) | kOpaque;
    case TPenMode::pmMerge: return p | d;
    case TPenMode::pmNotMerge: return ~(p | d) | kOpaque;
    case TPenMode::pmMask: return p & d;
    case TPenMode::pmNotMask: return ~(p & d) | kOpaque;
    case TPenMode::pmXor: return (p ^ d) | kOpaque;
    case TPenMode::pmNotXor: return ~(p ^ d) | kOpaque;
  }
  return p;
}

// The QPainter composition that does what a pen mode does (copy for the
// modes whose result does not depend on the surface: their colour is fixed
// up before drawing).
QPainter::CompositionMode ToComposition(TPenMode mode) {
  switch (mode) {
    case TPenMode::pmNot: return QPainter::RasterOp_NotDestination;
    case TPenMode::pmNotCopy: return QPainter::RasterOp_NotSource;
    case TPenMode::pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case TPenMode::pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case TPenMode::pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case TPenMode::pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case TPenMode::pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case TPenMode::pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case TPenMode::pmMask: return QPainter::RasterOp_SourceAndDestination;
    case TPenMode::pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case TPenMode::pmXor: return QPainter::RasterOp_SourceXorDestination;
    case TPenMode::pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// The pen colour a mode really draws with when the mode ignores it.
QRgb ModeColor(TPenMode mode, QRgb color) {
  if (mode == TPenMode::pmBlack) return kOpaque;
  if (mode == TPenMode::pmWhite) return 0xFFFFFFFFu;
  return color;
}

// 8 × 8 hatch patterns, aligned to the surface's pixel grid.
inline bool HatchOn(TBrushStyle style, int x, int y) {
  const int cx = x & 7, cy = y & 7;
  switch (style) {
    case TBrushStyle::bsHorizontal: return cy == 0;
    case TBrushStyle::bsVertical: return cx == 0;
    case TBrushStyle::bsFDiagonal: return cx == cy;
    case TBrushStyle::bsBDiagonal: return cx == 7 - cy;
    case TBrushStyle::bsCross: return cx == 0 || cy == 0;
    case TBrushStyle::bsDiagCross: return cx == cy || cx == 7 - cy;
    default: return true;
  }
}

Qt::BrushStyle ToQtHatch(TBrushStyle style) {
  switch (style) {
    case TBrushStyle::bsHorizontal: return Qt::HorPattern;
    case TBrushStyle::bsVertical: return Qt::VerPattern;
    case TBrushStyle::bsFDiagonal: return Qt::FDiagPattern;
    case TBrushStyle::bsBDiagonal: return Qt::BDiagPattern;
    case TBrushStyle::bsCross: return Qt::CrossPattern;
    case TBrushStyle::bsDiagCross: return Qt::DiagCrossPattern;
    case TBrushStyle::bsClear: return Qt::NoBrush;
    default: return Qt::SolidPattern;
  }
}

// Smallest step i with floor((2 i b + a) / (2 a)) >= k, for a >= b > 0.
long long FirstStepReaching(long long k, long long a, long long b) {
  const __int128 num = static_cast<__int128>(2 * k - 1) * a;
  const __int128 den = static_cast<__int128>(2) * b;
  __int128 q = num / den;
  if (num % den != 0 && num > 0) ++q;  // ceiling
  if (q < 0) return 0;
  if (q > (static_cast<__int128>(1) << 62)) return 1LL << 62;
  return static_cast<long long>(q);
}

// Calls plot(step, x, y) for each pixel of the line from (x0, y0) towards
// (x1, y1), end pixel excluded, that lies in `box`; the pixels are those of
// the nearest-pixel rule along the major axis. Cost depends only on the
// pixels inside the box.
template <typename Plot>
void WalkLine(int x0, int y0, int x1, int y1, const TRect& box, Plot&& plot) {
  const long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
  const bool x_major = std::llabs(dx) >= std::llabs(dy);
  const long long a = x_major ? std::llabs(dx) : std::llabs(dy);  // steps
  const long long b = x_major ? std::llabs(dy) : std::llabs(dx);
  if (a == 0) return;
  const int major_sign = (x_major ? dx : dy) < 0 ? -1 : 1;
  const int minor_sign = (x_major ? dy : dx) < 0 ? -1 : 1;
  const long long m0 = x_major ? x0 : y0, n0 = x_major ? y0 : x0;
  const long long major_lo = x_major ? box.Left : box.Top,
                  major_hi = x_major ? box.Right : box.Bottom;
  const long long minor_lo = x_major ? box.Top : box.Left,
                  minor_hi = x_major ? box.Bottom : box.Right;

  long long first = 0, last = a;  // steps [first, last)
  if (major_sign > 0) {
    first = std::max(first, major_lo - m0);
    last = std::min(last, major_hi - m0);
  } else {
    first = std::max(first, m0 - major_hi + 1);
    last = std::min(last, m0 - major_lo + 1);
  }
  const long long k_lo = minor_sign > 0 ? minor_lo - n0 : n0 - minor_hi + 1;
  const long long k_hi = minor_sign > 0 ? minor_hi - n0 : n0 - minor_lo + 1;
  if (b == 0) {
    if (k_lo > 0 || k_hi <= 0) return;
  } else {
    first = std::max(first, FirstStepReaching(k_lo, a, b));
    last = std::min(last, FirstStepReaching(k_hi, a, b));
  }
  if (first >= last) return;

  const __int128 start = static_cast<__int128>(2) * first * b + a;
  long long k = static_cast<long long>(start / (2 * a));
  long long error = static_cast<long long>(start % (2 * a));
  int major = static_cast<int>(m0 + major_sign * first);
  int minor = static_cast<int>(n0 + minor_sign * k);
  for (long long i = first; i < last; ++i) {
    if (x_major) plot(i, major, minor);
    else plot(i, minor, major);
    major += major_sign;
    error += 2 * b;
    if (error >= 2 * a) {
      error -= 2 * a;
      minor += minor_sign;
    }
  }
}

// Angle in sixteenths of a degree of the ray from the box centre through p.
int RayAngle16(const TRect& box, TPoint p) {
  const double cx = (box.Left + box.Right) / 2.0, cy = (box.Top + box.Bottom) / 2.0;
  const double degrees = std::atan2(cy - p.Y, p.X - cx) * 180.0 / std::numbers::pi;
  return static_cast<int>(std::lround(degrees * 16.0));
}

}  // namespace

TQtSurface::~TQtSurface() { EndPainter(); }

void TQtSurface::AttachImage(QImage* image, bool monochrome, int pixels_per_inch) {
  EndPainter();
  image_ = image;
  monochrome_ = monochrome;
  painter_ = nullptr;
  pixels_per_inch_ = pixels_per_inch > 0 ? pixels_per_inch : 96;
  width_ = image->width();
  height_ = image->height();
  bits_ = image->isNull() ? nullptr : image->bits();
  bytes_per_line_ = image->bytesPerLine();
  Font().SetPixelsPerInch(pixels_per_inch_);
  ResetClip();
  measured_.clear();
  font_version_ = ~std::uint64_t{0};
}

void TQtSurface::AttachPainter(QPainter* painter, int width, int height, int pixels_per_inch) {
  EndPainter();
  image_ = nullptr;
  bits_ = nullptr;
  painter_ = painter;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_per_inch_ = pixels_per_inch > 0 ? pixels_per_inch : 96;
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setRenderHint(QPainter::TextAntialiasing, false);
  Font().SetPixelsPerInch(pixels_per_inch_);
  ResetClip();
  measured_.clear();
  font_version_ = ~std::uint64_t{0};
}

void TQtSurface::EndPainter() {
  if (own_painter_) {
    own_painter_->end();
    own_painter_.reset();
    painter_ = nullptr;
    painter_clip_ = {-1, -1, -1, -1};
    painter_pen_version_ = painter_brush_version_ = ~std::uint64_t{0};
    painter_composition_ = -1;
    painter_background_mode_ = -1;
  }
}

QRgb TQtSurface::DevicePixel(TColor color) const {
  const TColor rgb = ResolveColor(color);
  if (monochrome_) {
    const int luminance = (RedOf(rgb) * 299 + GreenOf(rgb) * 587 + BlueOf(rgb) * 114) / 1000;
    return luminance >= 128 ? 0xFFFFFFFFu : kOpaque;
  }
  return qRgb(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

const TQtSurface::PenState& TQtSurface::CurrentPen() {
  const TPen& pen = Pen();
  if (pen_state_.version == pen.Version()) return pen_state_;
  PenState s;
  s.version = pen.Version();
  s.paint.kind = Paint::kSolid;
  s.paint.mode = pen.Mode();
  s.paint.color = ModeColor(pen.Mode(), DevicePixel(pen.Color()));
  s.width = pen.Width();
  s.visible = !pen.DrawsNothing();
  s.inside_frame = pen.Style() == TPenStyle::psInsideFrame;
  auto dashes = [&s](std::span<const int> runs, int scale) {
    s.dashes = runs.data();
    s.dash_count = static_cast<int>(runs.size());
    s.dash_scale = scale;
    s.period = 0;
    for (int run : runs) s.period += run * scale;
  };
  switch (pen.Style()) {
    case TPenStyle::psDash: dashes(kDash, s.width); break;
    case TPenStyle::psDot: dashes(kDot, s.width); break;
    case TPenStyle::psDashDot: dashes(kDashDot, s.width); break;
    case TPenStyle::psDashDotDot: dashes(kDashDotDot, s.width); break;
    case TPenStyle::psAlternate:
      dashes(kAlternate, 1);
      s.width = 1;
      break;
    default: break;
  }
  pen_state_ = s;
  return pen_state_;
}

std::optional<TQtSurface::Paint> TQtSurface::BrushPaint(TPenMode mode) const {
  const TBrush& brush = Brush();
  Paint p;
  p.mode = mode;
  if (brush.HasBitmap()) {
    p.kind = Paint::kPattern;
    p.pattern = &brush.Bitmap();
    return p;
  }
  if (brush.Style() == TBrushStyle::bsClear) return std::nullopt;
  p.color = ModeColor(mode, DevicePixel(brush.Color()));
  if (brush.Style() != TBrushStyle::bsSolid) {
    p.kind = Paint::kHatch;
    p.hatch = brush.Style();
    p.opaque = BackgroundMode() == OPAQUE;
    p.back = DevicePixel(BackgroundColor());
  }
  return p;
}

bool TQtSurface::PatternOn(const PenState& pen, long long step) const {
  if (pen.dashes == nullptr) return true;
  long long pos = step % pen.period;
  for (int i = 0; i < pen.dash_count; ++i) {
    const long long run = static_cast<long long>(pen.dashes[i]) * pen.dash_scale;
    if (pos < run) return i % 2 == 0;
    pos -= run;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Pixel writers (device coordinates)

void TQtSurface::FillSpan(int x0, int x1, int y, const Paint& paint) {
  if (paint.mode == TPenMode::pmNop || x0 >= x1) return;
  if (bits_ != nullptr) {
    auto* row = reinterpret_cast<QRgb*>(bits_ + y * bytes_per_line_);
    switch (paint.kind) {
      case Paint::kSolid:
        if (paint.mode == TPenMode::pmCopy) {
          std::fill(row + x0, row + x1, paint.color);
        } else {
          for (int x = x0; x < x1; ++x) row[x] = Combine(paint.mode, paint.color, row[x]);
        }
        break;
      case Paint::kHatch:
        for (int x = x0; x < x1; ++x) {
          if (HatchOn(paint.hatch, x, y)) row[x] = Combine(paint.mode, paint.color, row[x]);
          else if (paint.opaque) row[x] = Combine(paint.mode, paint.back, row[x]);
        }
        break;
      case Paint::kPattern: {
        const QImage& pattern = *paint.pattern;
        const int w = pattern.width(), h = pattern.height();
        const int py = ((y - Origin().Y) % h + h) % h;
        for (int x = x0; x < x1; ++x) {
          const int px = ((x - Origin().X) % w + w) % w;
          const QRgb c = pattern.pixel(px, py) | kOpaque;
          row[x] = Combine(paint.mode,
                           monochrome_ ? DevicePixel(RGBColor(qRed(c), qGreen(c), qBlue(c))) : c,
                           row[x]);
        }
        break;
      }
    }
    return;
  }
  if (painter_ == nullptr) return;
  // Through the window's painter: runs of one colour become one fill each.
  PreparePainterForRuns(paint.mode);
  if (paint.kind == Paint::kSolid) {
    painter_->fillRect(QRect(x0, y, x1 - x0, 1), QColor::fromRgb(paint.color));
    return;
  }
  int run_start = x0;
  std::optional<QRgb> run_color;
  auto flush = [&](int end) {
    if (run_color)
      painter_->fillRect(QRect(run_start, y, end - run_start, 1), QColor::fromRgb(*run_color));
  };
  for (int x = x0; x < x1; ++x) {
    std::optional<QRgb> c;
    if (paint.kind == Paint::kHatch) {
      if (HatchOn(paint.hatch, x, y)) c = paint.color;
      else if (paint.opaque) c = paint.back;
    } else {
      const QImage& pattern = *paint.pattern;
      const int w = pattern.width(), h = pattern.height();
      c = pattern.pixel(((x - Origin().X) % w + w) % w, ((y - Origin().Y) % h + h) % h) | kOpaque;
    }
    if (c != run_color) {
      flush(x);
      run_start = x;
      run_color = c;
    }
  }
  flush(x1);
}

void TQtSurface::PreparePainterForRuns(TPenMode mode) {
  const int composition = static_cast<int>(ToComposition(mode));
  if (painter_composition_ != composition) {
    painter_->setCompositionMode(static_cast<QPainter::CompositionMode>(composition));
    painter_composition_ = composition;
  }
  // Runs arrive clipped already.
  if (painter_clip_ != TRect{-2, -2, -2, -2}) {
    painter_->setClipping(false);
    painter_clip_ = {-2, -2, -2, -2};
  }
}

void TQtSurface::FillDeviceRect(TRect box, const Paint& paint) {
  box = box.Intersected(ClipRect());
  if (box.IsEmpty()) return;
  if (bits_ != nullptr && paint.kind == Paint::kSolid && paint.mode == TPenMode::pmCopy) {
    // A plain colour straight into the rows: a grid line one pixel wide is
    // hundreds of rows of one pixel each.
    for (int y = box.Top; y < box.Bottom; ++y) {
      auto* row = reinterpret_cast<QRgb*>(bits_ + y * bytes_per_line_);
      std::fill(row + box.Left, row + box.Right, paint.color);
    }
    return;
  }
  if (bits_ == nullptr && painter_ != nullptr && paint.kind == Paint::kSolid &&
      paint.mode != TPenMode::pmNop) {
    PreparePainterForRuns(paint.mode);
    painter_->fillRect(QRect(box.Left, box.Top, box.Width(), box.Height()),
                       QColor::fromRgb(paint.color));
    return;
  }
  for (int y = box.Top; y < box.Bottom; ++y) FillSpan(box.Left, box.Right, y, paint);
}

void TQtSurface::DrawDeviceLine(int x0, int y0, int x1, int y1) {
  const PenState& pen = CurrentPen();
  if (!pen.visible || (x0 == x1 && y0 == y1)) return;
  const TRect clip = ClipRect();
  if (clip.IsEmpty()) return;
  const int w = pen.width, o = (w - 1) / 2;
  // Each pixel of the centre line paints a w × w square with its top-left
  // corner o pixels up and left of it.
  const TRect reach{clip.Left - (w - 1 - o), clip.Top - (w - 1 - o), clip.Right + o,
                    clip.Bottom + o};
  if (pen.dashes == nullptr && (x0 == x1 || y0 == y1)) {
    // One run of centre pixels [lo, hi) along the line, cut to what can show.
    const bool horizontal = y0 == y1;
    const long long a = horizontal ? x0 : y0, b = horizontal ? x1 : y1;
    long long lo = b > a ? a : b + 1, hi = b > a ? b : a + 1;
    lo = std::max<long long>(lo, horizontal ? reach.Left : reach.Top);
    hi = std::min<long long>(hi, horizontal ? reach.Right : reach.Bottom);
    const int across = horizontal ? y0 : x0;
    if (lo >= hi || across < (horizontal ? reach.Top : reach.Left) ||
        across >= (horizontal ? reach.Bottom : reach.Right)) {
      return;
    }
    const int l = static_cast<int>(lo) - o, h = static_cast<int>(hi) - o + w - 1;
    FillDeviceRect(horizontal ? TRect{l, across - o, h, across - o + w}
                              : TRect{across - o, l, across - o + w, h},
                   pen.paint);
    return;
  }
  if (w == 1 && (x0 == x1 || y0 == y1)) {
    // Styled, along a row or a column: the steps that land in the clip,
    // as WalkLine would visit them.
    const bool horizontal = y0 == y1;
    const long long m0 = horizontal ? x0 : y0, d = (horizontal ? x1 : y1) - m0;
    const int sign = d < 0 ? -1 : 1;
    const long long lo = horizontal ? clip.Left : clip.Top,
                    hi = horizontal ? clip.Right : clip.Bottom;
    const int across = horizontal ? y0 : x0;
    if (across < (horizontal ? clip.Top : clip.Left) ||
        across >= (horizontal ? clip.Bottom : clip.Right)) {
      return;
    }
    const long long first = std::max(0LL, sign > 0 ? lo - m0 : m0 - hi + 1);
    const long long last = std::min(std::llabs(d), sign > 0 ? hi - m0 : m0 - lo + 1);
    DrawStyledStraightLine(x0, y0, horizontal, sign, first, last, pen);
    return;
  }
  if (w == 1) {
    WalkLine(x0, y0, x1, y1, reach, [&](long long step, int x, int y) {
      if (PatternOn(pen, step)) FillSpan(x, x + 1, y, pen.paint);
    });
  } else {
    WalkLine(x0, y0, x1, y1, reach, [&](long long step, int x, int y) {
      if (PatternOn(pen, step)) FillDeviceRect({x - o, y - o, x - o + w, y - o + w}, pen.paint);
    });
  }
}

void TQtSurface::DrawStyledStraightLine(int x0, int y0, bool horizontal, int sign, long long first,
                                        long long last, const PenState& pen) {
  if (first >= last) return;
  const auto runLength = [&](int r) {
    return static_cast<long long>(pen.dashes[r]) * pen.dash_scale;
  };
  // Where step `first` falls in the pattern: run r, `into` steps into it.
  int r = 0;
  long long into = first % pen.period;
  while (into >= runLength(r)) {
    into -= runLength(r);
    if (++r == pen.dash_count) r = 0;
  }
  // Pixels [from, to) along the line are on.
  const bool direct =
      bits_ != nullptr && pen.paint.kind == Paint::kSolid && pen.paint.mode == TPenMode::pmCopy;
  const auto fill = [&](int from, int to) {
    if (direct) {
      if (horizontal) {
        auto* row = reinterpret_cast<QRgb*>(bits_ + y0 * bytes_per_line_);
        std::fill(row + from, row + to, pen.paint.color);
      } else {
        for (int y = from; y < to; ++y)
          reinterpret_cast<QRgb*>(bits_ + y * bytes_per_line_)[x0] = pen.paint.color;
      }
    } else if (horizontal) {
      FillSpan(from, to, y0, pen.paint);
    } else {
      for (int y = from; y < to; ++y) FillSpan(x0, x0 + 1, y, pen.paint);
    }
  };
  const long long m0 = horizontal ? x0 : y0;
  for (long long step = first; step < last;) {
    const long long end = std::min(last, step + runLength(r) - into);
    if (r % 2 == 0 && end > step) {
      // Steps [step, end) are on: pixels m0 + sign * step onwards.
      const long long a = m0 + sign * step, b = m0 + sign * (end - 1);
      fill(static_cast<int>(std::min(a, b)), static_cast<int>(std::max(a, b)) + 1);
    }
    step = end;
    into = 0;
    if (++r == pen.dash_count) r = 0;
  }
}

// ---------------------------------------------------------------------------
// Primitives

void TQtSurface::SetPixel(int x, int y, TColor color) {
  x += Origin().X;
  y += Origin().Y;
  if (!ClipRect().Contains(x, y)) return;
  Paint paint;
  paint.color = DevicePixel(color);
  FillSpan(x, x + 1, y, paint);
}

void TQtSurface::LineTo(int x, int y) {
  const TPoint from = PenPos();
  TSurface::MoveTo(x, y);
  DrawDeviceLine(from.X + Origin().X, from.Y + Origin().Y, x + Origin().X, y + Origin().Y);
}

void TQtSurface::Polyline(std::span<const TPoint> points) {
  const TPoint o = Origin();
  for (std::size_t i = 1; i < points.size(); ++i) {
    DrawDeviceLine(points[i - 1].X + o.X, points[i - 1].Y + o.Y, points[i].X + o.X,
                   points[i].Y + o.Y);
  }
}

void TQtSurface::Rectangle(const TRect& logical_box) {
  TRect box = logical_box.Normalised().Offset(Origin().X, Origin().Y);
  const TRect clip = ClipRect();
  if (box.IsEmpty() || clip.IsEmpty()) return;
  const PenState& pen = CurrentPen();
  // Edges far outside the clip move to just beyond the pen's reach: the
  // same pixels show, and the frame arithmetic below cannot overflow.
  const int margin = pen.width + 2;
  box = {std::max(box.Left, clip.Left - margin), std::max(box.Top, clip.Top - margin),
         std::min(box.Right, clip.Right + margin), std::min(box.Bottom, clip.Bottom + margin)};
  if (box.IsEmpty()) return;
  const std::optional<Paint> fill = BrushPaint(pen.paint.mode);
  if (!pen.visible) {
    // Without an outline the fill leaves out the right column and bottom row.
    if (fill) FillDeviceRect({box.Left, box.Top, box.Right - 1, box.Bottom - 1}, *fill);
    return;
  }
  const int w = pen.width;
  const int o = pen.inside_frame ? 0 : (w - 1) / 2;
  const int after = pen.inside_frame ? 0 : w - 1 - o;  // how far the frame reaches outside
  // Frame: the border pixels of `box` swept by the pen square; inner: the rest.
  const TRect outer{box.Left - o, box.Top - o, box.Right + after, box.Bottom + after};
  const TRect inner{box.Left - o + w, box.Top - o + w, box.Right + after - w,
                    box.Bottom + after - w};
  if (fill && !inner.IsEmpty()) FillDeviceRect(inner, *fill);
  if (pen.dashes != nullptr) {
    const int l = box.Left, t = box.Top, r = box.Right - 1, b = box.Bottom - 1;
    DrawDeviceLine(l, t, r, t);
    DrawDeviceLine(r, t, r, b);
    DrawDeviceLine(r, b, l, b);
    DrawDeviceLine(l, b, l, t);
    if (l == r || t == b) FillDeviceRect({r, b, r + 1, b + 1}, pen.paint);
    return;
  }
  if (inner.IsEmpty()) {
    FillDeviceRect(outer, pen.paint);
    return;
  }
  FillDeviceRect({outer.Left, outer.Top, outer.Right, inner.Top}, pen.paint);
  FillDeviceRect({outer.Left, inner.Bottom, outer.Right, outer.Bottom}, pen.paint);
  FillDeviceRect({outer.Left, inner.Top, inner.Left, inner.Bottom}, pen.paint);
  FillDeviceRect({inner.Right, inner.Top, outer.Right, inner.Bottom}, pen.paint);
}

void TQtSurface::FillRect(const TRect& logical_box) {
  const TRect box = logical_box.Offset(Origin().X, Origin().Y);
  if (box.IsEmpty()) return;
  if (const std::optional<Paint> fill = BrushPaint(TPenMode::pmCopy)) FillDeviceRect(box, *fill);
}

QPen TQtSurface::ToQPen(const TPen& pen) const {
  if (pen.DrawsNothing()) return QPen(Qt::NoPen);
  QPen q(QColor::fromRgb(ModeColor(pen.Mode(), DevicePixel(pen.Color()))));
  q.setWidth(pen.Width() <= 1 || pen.Style() == TPenStyle::psAlternate ? 0 : pen.Width());
  q.setCapStyle(Qt::FlatCap);
  q.setJoinStyle(Qt::MiterJoin);
  switch (pen.Style()) {
    case TPenStyle::psDash: q.setStyle(Qt::DashLine); break;
    case TPenStyle::psDot: q.setStyle(Qt::DotLine); break;
    case TPenStyle::psDashDot: q.setStyle(Qt::DashDotLine); break;
    case TPenStyle::psDashDotDot: q.setStyle(Qt::DashDotDotLine); break;
    case TPenStyle::psAlternate: q.setDashPattern({1, 1}); break;
    default: q.setStyle(Qt::SolidLine); break;
  }
  return q;
}

QPainter& TQtSurface::ShapePainter(bool with_pen, bool with_brush) {
  if (painter_ == nullptr) {
    own_painter_ = std::make_unique<QPainter>(image_);
    painter_ = own_painter_.get();
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, false);
  }
  QPainter& p = *painter_;
  const TRect clip = ClipRect();
  if (painter_clip_ != clip) {
    p.setClipRect(QRect(clip.Left, clip.Top, clip.Width(), clip.Height()));
    painter_clip_ = clip;
  }
  if (!with_pen) {
    if (painter_has_pen_) p.setPen(Qt::NoPen);
    painter_has_pen_ = false;
  } else if (!painter_has_pen_ || painter_pen_version_ != Pen().Version()) {
    p.setPen(ToQPen(Pen()));
    painter_has_pen_ = true;
    painter_pen_version_ = Pen().Version();
  }
  const TBrush& brush = Brush();
  if (!with_brush) {
    if (painter_has_brush_) p.setBrush(Qt::NoBrush);
    painter_has_brush_ = false;
  } else if (!painter_has_brush_ || painter_brush_version_ != brush.Version()) {
    if (brush.HasBitmap()) {
      p.setBrush(QBrush(brush.Bitmap()));
    } else {
      p.setBrush(QBrush(QColor::fromRgb(ModeColor(Pen().Mode(), DevicePixel(brush.Color()))),
                        ToQtHatch(brush.Style())));
    }
    painter_has_brush_ = true;
    painter_brush_version_ = brush.Version();
  }
  // Hatch backgrounds follow the background mode and colour.
  const QRgb background = DevicePixel(BackgroundColor());
  if (painter_background_mode_ != BackgroundMode() || painter_background_ != background) {
    p.setBackgroundMode(BackgroundMode() == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    p.setBackground(QColor::fromRgb(background));
    painter_background_mode_ = BackgroundMode();
    painter_background_ = background;
  }
  const int composition = static_cast<int>(ToComposition(Pen().Mode()));
  if (painter_composition_ != composition) {
    p.setCompositionMode(static_cast<QPainter::CompositionMode>(composition));
    painter_composition_ = composition;
  }
  return p;
}

namespace {
// The box Qt's outlined shapes take to cover the pixels of a half-open box.
QRect ShapeRect(const TRect& box) {
  return QRect(box.Left, box.Top, box.Width() - 1, box.Height() - 1);
}
}  // namespace

void TQtSurface::RoundRect(const TRect& logical_box, int corner_width, int corner_height) {
  const TRect box = logical_box.Normalised().Offset(Origin().X, Origin().Y);
  if (box.IsEmpty() || box.Intersected(ClipRect()).IsEmpty() || Pen().Mode() == TPenMode::pmNop)
    return;
  QPainter& p = ShapePainter(!Pen().DrawsNothing(),
                             Brush().Style() != TBrushStyle::bsClear || Brush().HasBitmap());
  p.drawRoundedRect(ShapeRect(box), corner_width / 2.0, corner_height / 2.0);
}

void TQtSurface::Ellipse(const TRect& logical_box) {
  const TRect box = logical_box.Normalised().Offset(Origin().X, Origin().Y);
  if (box.IsEmpty() || box.Intersected(ClipRect()).IsEmpty() || Pen().Mode() == TPenMode::pmNop)
    return;
  QPainter& p = ShapePainter(!Pen().DrawsNothing(),
                             Brush().Style() != TBrushStyle::bsClear || Brush().HasBitmap());
  p.drawEllipse(ShapeRect(box));
}

void TQtSurface::Polygon(std::span<const TPoint> points) {
  if (points.size() < 2 || ClipRect().IsEmpty() || Pen().Mode() == TPenMode::pmNop) return;
  QPainter& p = ShapePainter(!Pen().DrawsNothing(),
                             Brush().Style() != TBrushStyle::bsClear || Brush().HasBitmap());
  QPolygon polygon(static_cast<int>(points.size()));
  for (std::size_t i = 0; i < points.size(); ++i) {
    polygon.setPoint(static_cast<int>(i), points[i].X + Origin().X, points[i].Y + Origin().Y);
  }
  p.drawPolygon(polygon, Qt::OddEvenFill);
}

void TQtSurface::Arc(const TRect& logical_box, TPoint start, TPoint end) {
  const TRect box = logical_box.Normalised();
  if (box.IsEmpty() || ClipRect().IsEmpty() || Pen().DrawsNothing()) return;
  const int a0 = RayAngle16(box, start);
  int span = RayAngle16(box, end) - a0;
  while (span <= 0) span += 360 * 16;
  QPainter& p = ShapePainter(true, false);
  p.drawArc(ShapeRect(box.Offset(Origin().X, Origin().Y)), a0, span);
}

void TQtSurface::Pie(const TRect& logical_box, TPoint start, TPoint end) {
  const TRect box = logical_box.Normalised();
  if (box.IsEmpty() || ClipRect().IsEmpty() || Pen().Mode() == TPenMode::pmNop) return;
  const int a0 = RayAngle16(box, start);
  int span = RayAngle16(box, end) - a0;
  while (span <= 0) span += 360 * 16;
  QPainter& p = ShapePainter(!Pen().DrawsNothing(),
                             Brush().Style() != TBrushStyle::bsClear || Brush().HasBitmap());
  p.drawPie(ShapeRect(box.Offset(Origin().X, Origin().Y)), a0, span);
}

QFont TQtSurface::ToQFont(const TFont& font) const {
  QFont q;
  // A face that is not installed falls back to the metric-compatible one.
  q.setFamilies(
      {ToScreen(font.Name()), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  q.setPixelSize(std::max(1, MulDiv(std::abs(font.Size()), pixels_per_inch_, 72)));
  q.setBold((font.Style() & fsBold) != 0);
  q.setItalic((font.Style() & fsItalic) != 0);
  q.setUnderline((font.Style() & fsUnderline) != 0);
  q.setStrikeOut((font.Style() & fsStrikeOut) != 0);
  QFont::StyleStrategy strategy = QFont::NoAntialias;
  if (font.OutlineOnly())
    strategy = static_cast<QFont::StyleStrategy>(strategy | QFont::ForceOutline);
  q.setStyleStrategy(strategy);
  return q;
}

void TQtSurface::SelectFont() {
  const QFont font = ToQFont(Font());
  auto it = std::find_if(measured_.begin(), measured_.end(),
                         [&](const MeasuredFont& m) { return m.font == font; });
  if (it == measured_.end()) {
    if (measured_.size() >= kMaxMeasuredFonts) measured_.clear();
    const bool has_pixels = image_ != nullptr && !image_->isNull();
    measured_.push_back(
        {font, QFontMetrics(font, has_pixels ? static_cast<QPaintDevice*>(image_) : nullptr), {}});
    it = measured_.end() - 1;
  }
  measured_font_ = static_cast<std::size_t>(it - measured_.begin());
  // Copies share the font kept in the table, and with it the glyphs Qt has
  // loaded for it: a label font turned for every label is looked up once.
  qfont_ = it->font;
  metrics_ = it->metrics;
  font_version_ = Font().Version();
}

TSize TQtSurface::TextExtent(std::string_view text) {
  if (font_version_ != Font().Version() || !metrics_) SelectFont();
  WidthTable& widths = measured_[measured_font_].widths;
  auto found = widths.find(text);
  if (found == widths.end()) {
    if (widths.size() >= kMaxMeasuredTexts) widths.clear();
    found = widths.emplace(text, metrics_->horizontalAdvance(ToScreen(text))).first;
  }
  const int width = found->second;
  const int height = metrics_->height();
  if (width < 0 || height < 0) return {};
  return {width, height};
}

void TQtSurface::TextOut(int x, int y, std::string_view text) {
  x += Origin().X;
  y += Origin().Y;
  if (ClipRect().IsEmpty() || text.empty()) return;
  const TSize extent = TextExtent(text);  // also brings the font up to date
  const int ascent = metrics_->ascent(), descent = metrics_->descent();
  const int align = TextAlign();
  int dx = 0;
  if ((align & TA_CENTER) == TA_CENTER) dx = -extent.cx / 2;
  else if ((align & TA_RIGHT) != 0) dx = -extent.cx;
  int baseline = ascent;
  if ((align & TA_BASELINE) == TA_BASELINE) baseline = 0;
  else if ((align & TA_BOTTOM) != 0) baseline = -descent;

  QPainter& p = ShapePainter(false, false);
  // Text is drawn in its colour whatever the pen mode.
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_composition_ = static_cast<int>(QPainter::CompositionMode_SourceOver);
  p.setFont(*qfont_);
  // Counter-clockwise on screen is a negative turn for Qt; whole turns are
  // no turn at all, so text at 360 degrees is drawn exactly as at 0.
  const int tenths = ((Font().Orientation() % 3600) + 3600) % 3600;
  // A window's painter may carry a mapping to device pixels: the text's own
  // turn goes on top of it and is taken off again afterwards.
  const QTransform surface_transform = p.worldTransform();
  p.translate(x, y);
  if (tenths != 0) p.rotate(360.0 - tenths / 10.0);
  if (TextFillsBackground()) {
    p.fillRect(QRect(dx, baseline - ascent, extent.cx, extent.cy),
               QColor::fromRgb(DevicePixel(BackgroundColor())));
  }
  // The box is filled above, exactly to the extent, or not at all: Qt must
  // not fill a background of its own behind the glyphs.
  if (painter_background_mode_ != TRANSPARENT) {
    p.setBackgroundMode(Qt::TransparentMode);
    painter_background_mode_ = TRANSPARENT;
  }
  p.setPen(QColor::fromRgb(DevicePixel(Font().Color())));
  painter_has_pen_ = true;
  painter_pen_version_ = ~std::uint64_t{0};  // the painter's pen is the text colour now
  p.drawText(QPoint(dx, baseline), ToScreen(text));
  p.setWorldTransform(surface_transform);
}

void TQtSurface::Draw(int x, int y, const QImage& picture) {
  if (picture.isNull()) return;
  StretchDraw({x, y, x + picture.width(), y + picture.height()}, picture);
}

void TQtSurface::StretchDraw(const TRect& logical_box, const QImage& picture) {
  const TRect box = logical_box.Offset(Origin().X, Origin().Y);
  if (picture.isNull() || box.IsEmpty() || box.Intersected(ClipRect()).IsEmpty()) return;
  QPainter& p = ShapePainter(false, false);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_composition_ = static_cast<int>(QPainter::CompositionMode_SourceOver);
  p.drawImage(QRect(box.Left, box.Top, box.Width(), box.Height()), picture);
}

void TQtSurface::CopyFrom(const TSurface& source, int x, int y) {
  const QImage* from = source.Image();
  if (from == nullptr || from->isNull()) return;
  x += Origin().X;
  y += Origin().Y;
  const TRect target = TRect{x, y, x + from->width(), y + from->height()}.Intersected(ClipRect());
  if (target.IsEmpty() || from == image_) return;
  if (bits_ != nullptr && from->format() == QImage::Format_RGB32) {
    const std::size_t bytes = static_cast<std::size_t>(target.Width()) * sizeof(QRgb);
    for (int row = target.Top; row < target.Bottom; ++row) {
      const uchar* src =
          from->constScanLine(row - y) + static_cast<std::size_t>(target.Left - x) * sizeof(QRgb);
      std::memcpy(
          bits_ + row * bytes_per_line_ + static_cast<std::size_t>(target.Left) * sizeof(QRgb), src,
          bytes);
    }
    return;
  }
  QPainter& p = ShapePainter(false, false);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  painter_composition_ = static_cast<int>(QPainter::CompositionMode_Source);
  p.drawImage(QPoint(target.Left, target.Top), *from,
              QRect(target.Left - x, target.Top - y, target.Width(), target.Height()));
}

// ---------------------------------------------------------------------------

TBitmapSurface::TBitmapSurface(int width, int height, bool monochrome, int pixels_per_inch)
    : image_(std::max(0, width), std::max(0, height), QImage::Format_RGB32),
      monochrome_(monochrome) {
  if (image_.isNull() && width > 0 && height > 0)
    image_ = QImage();  // out of memory: an empty surface
  AttachImage(&image_, monochrome, pixels_per_inch);
}

TBitmapSurface::~TBitmapSurface() { EndPainter(); }

std::unique_ptr<TSurface> NewBitmapSurface(int width, int height, bool monochrome,
                                           int pixels_per_inch) {
  return std::make_unique<TBitmapSurface>(width, height, monochrome, pixels_per_inch);
}

std::optional<TDesktopFont> DesktopFont() {
  if (QGuiApplication::instance() == nullptr) return std::nullopt;
  const QFont desktop = QGuiApplication::font();
  return TDesktopFont{FromScreen(desktop.family()), std::max(desktop.pointSize(), 0),
                      std::max(desktop.pixelSize(), 0),
                      QLocale::system().language() == QLocale::Japanese};
}

TWindowSurface::TWindowSurface(QPainter& painter, int width, int height, int pixels_per_inch)
    : window_painter_(&painter) {
  AttachPainter(&painter, width, height, pixels_per_inch);
}

}  // namespace tempolog
