// Drawing surfaces over Qt: an off-screen bitmap (TBitmapSurface, a QImage
// whose pixels this code writes itself for lines, boxes and copies) and a
// window's surface during its paint event (TWindowSurface, through the
// window's QPainter). Both follow the same pixel rules: lines, boxes and
// pixels are rasterised here, not by QPainter, so they come out identical on
// both; ellipses, polygons, arcs, text and pictures go through QPainter with
// antialiasing off.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/Surface.h"

namespace tempolog {

class TQtSurface : public TSurface {
 public:
  ~TQtSurface() override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int PixelsPerInch() const override { return pixels_per_inch_; }

  void SetPixel(int x, int y, TColor color) override;
  void LineTo(int x, int y) override;
  void Polyline(std::span<const TPoint> points) override;
  void Rectangle(const TRect& box) override;
  void FillRect(const TRect& box) override;
  void RoundRect(const TRect& box, int corner_width, int corner_height) override;
  void Ellipse(const TRect& box) override;
  void Polygon(std::span<const TPoint> points) override;
  void Arc(const TRect& box, TPoint start, TPoint end) override;
  void Pie(const TRect& box, TPoint start, TPoint end) override;
  void TextOut(int x, int y, std::string_view text) override;
  TSize TextExtent(std::string_view text) override;
  void Draw(int x, int y, const QImage& picture) override;
  void StretchDraw(const TRect& box, const QImage& picture) override;
  void CopyFrom(const TSurface& source, int x, int y) override;

  // The Qt font a TFont stands for at this surface's resolution.
  QFont ToQFont(const TFont& font) const;

 protected:
  TQtSurface() = default;
  // Draw into `image` (kept by the caller, Format_RGB32, never reallocated
  // while attached) at `pixels_per_inch`; monochrome turns every colour into
  // black or white.
  void AttachImage(QImage* image, bool monochrome, int pixels_per_inch);
  // Draw through a painter owned by someone else.
  void AttachPainter(QPainter* painter, int width, int height, int pixels_per_inch);
  // Ends the private painter of an image surface (before the image goes).
  void EndPainter();

 private:
  // What a run of pixels is painted with.
  struct Paint {
    enum Kind { kSolid, kHatch, kPattern } kind = kSolid;
    TPenMode mode = TPenMode::pmCopy;
    QRgb color = 0;       // the pen or brush pixel
    QRgb back = 0;        // hatch background
    bool opaque = false;  // hatch background drawn
    TBrushStyle hatch = TBrushStyle::bsSolid;
    const QImage* pattern = nullptr;
  };
  // The current pen, resolved once per change.
  struct PenState {
    std::uint64_t version = ~std::uint64_t{0};
    Paint paint;
    int width = 1;
    const int* dashes = nullptr;  // on/off run lengths, nullptr for solid
    int dash_count = 0;
    int dash_scale = 1;
    int period = 0;
    bool visible = true;
    bool inside_frame = false;
  };

  QRgb DevicePixel(TColor color) const;
  const PenState& CurrentPen();
  // The brush as a paint, nullopt for a clear brush.
  std::optional<Paint> BrushPaint(TPenMode mode) const;

  // Device coordinates from here on; `box` and spans are clipped by the callee.
  void FillDeviceRect(TRect box, const Paint& paint);
  void FillSpan(int x0, int x1, int y, const Paint& paint);
  // Window surfaces: composition for `mode`, painter clip off.
  void PreparePainterForRuns(TPenMode mode);
  void DrawDeviceLine(int x0, int y0, int x1, int y1);
  // A styled line one pixel wide along a row or a column: steps [first, last)
  // from (x0, y0) in direction `sign`, drawn a run of its pattern at a time.
  void DrawStyledStraightLine(int x0, int y0, bool horizontal, int sign, long long first,
                              long long last, const PenState& pen);
  bool PatternOn(const PenState& pen, long long step) const;
  // Makes the Qt font and metrics of Font() current, from the table of fonts
  // already measured when it is there.
  void SelectFont();

  // QPainter for the shapes it draws: clip, pen, brush and mode brought up to date.
  QPainter& ShapePainter(bool with_pen, bool with_brush);
  QPen ToQPen(const TPen& pen) const;

  // Pixels (image surfaces) or painter (window surfaces).
  QImage* image_ = nullptr;
  uchar* bits_ = nullptr;
  qsizetype bytes_per_line_ = 0;
  bool monochrome_ = false;
  QPainter* painter_ = nullptr;
  std::unique_ptr<QPainter> own_painter_;
  int width_ = 0;
  int height_ = 0;
  int pixels_per_inch_ = 96;

  PenState pen_state_;
  // What the painter was last given, to leave it alone when nothing changed.
  TRect painter_clip_{-1, -1, -1, -1};
  std::uint64_t painter_pen_version_ = ~std::uint64_t{0};
  bool painter_has_pen_ = false;
  std::uint64_t painter_brush_version_ = ~std::uint64_t{0};
  bool painter_has_brush_ = false;
  int painter_composition_ = -1;
  int painter_background_mode_ = -1;
  QRgb painter_background_ = 0;
  std::uint64_t font_version_ = ~std::uint64_t{0};
  std::optional<QFont> qfont_;
  std::optional<QFontMetrics> metrics_;

  // The Qt fonts used so far, each with its metrics and the widths of the
  // texts measured in it: Qt lays a text out afresh on every measure, and a
  // chart measures the same labels in every paint. Emptied when the surface
  // is attached to other pixels or a painter.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  using WidthTable = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;
  struct MeasuredFont {
    QFont font;
    QFontMetrics metrics;
    WidthTable widths;
  };
  std::vector<MeasuredFont> measured_;
  std::size_t measured_font_ = 0;  // index of the current font's table in measured_
};

// An off-screen bitmap of width × height pixels (at least 0 × 0), in colour
// or monochrome, whose fonts convert points to pixels at `pixels_per_inch`.
// Its pixels are not cleared beyond what QImage gives (black).
class TBitmapSurface : public TQtSurface {
 public:
  TBitmapSurface(int width, int height, bool monochrome = false, int pixels_per_inch = 96);
  ~TBitmapSurface() override;
  bool Monochrome() const override { return monochrome_; }
  void* Handle() const override { return const_cast<QImage*>(&image_); }
  const QImage* Image() const override { return &image_; }

 private:
  QImage image_;
  bool monochrome_;
};

// A window's surface for one paint event: draws through the window's
// QPainter, which must outlive this object. While the surface lives it owns
// the painter's state (clip, composition mode, pen, brush, font): draw on the
// painter directly only before creating it or after it is gone. Give it the
// window's full client size, so a kept chart bitmap of that size can be
// copied onto it (TChartCanvas3D::RepaintFromBuffer).
class TWindowSurface : public TQtSurface {
 public:
  TWindowSurface(QPainter& painter, int width, int height, int pixels_per_inch = 96);
  void* Handle() const override { return window_painter_; }

 private:
  QPainter* window_painter_;
};

}  // namespace tempolog
