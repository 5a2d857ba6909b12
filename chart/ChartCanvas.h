// The chart canvas: every pixel of the chart is drawn through it.
//
// Sections:
//   1. Colours of the chart: ChartPalette.
//   2. Chart pens (TChartPen and its kinds), TChartBrush, TChartFontObject.
//   3. TChartCanvas: the raster operations over an attached drawing surface.
//   4. TCanvas3D / TChartCanvas3D: off-screen buffering around a paint pass.
//
// Coordinates are integer pixels of the attached surface; boxes are
// half-open (right column and bottom row excluded, see TRect).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "framework/Colors.h"
#include "framework/Surface.h"

namespace tempolog {

class TView3DOptions;  // the panel's 3D settings; not read by a 2D chart

// ---------------------------------------------------------------------------
// 1. Colours

// The colours new series take, in order.
inline constexpr std::array<TColor, 16> ChartPalette{
    0x0000FF,  // red
    0x008000,  // green
    0x00FFFF,  // yellow
    0xFF0000,  // blue
    0xFFFFFF,  // white
    0x808080,  // grey
    0xFF00FF,  // fuchsia
    0x808000,  // teal
    0x800000,  // navy
    0x000080,  // maroon
    0x00FF00,  // lime
    0x008080,  // olive
    0x800080,  // purple
    0xC0C0C0,  // silver
    0xFFFF00,  // aqua
    0x000000,  // black
};

// (The colour for a number n is entry n mod 16: ChartPaletteColor in
// ChartEngine.h.)

// ---------------------------------------------------------------------------
// 2. Pens, brushes, fonts

// The framework pen plus Visible and SmallDots. Setting either to a different
// value fires OnChange (the owning chart repaints).
class TChartPen : public TPen {
 public:
  TChartPen() = default;
  bool Visible() const { return visible_; }
  bool SmallDots() const { return small_dots_; }
  void SetVisible(bool value);
  void SetSmallDots(bool value);
  using TPen::Assign;
  // Copies Visible and SmallDots, then colour, mode, style and width.
  void Assign(const TChartPen& source);

 private:
  bool visible_ = true;
  bool small_dots_ = false;
};

// The pen kinds differ only in what they are created with.
class TChartHiddenPen : public TChartPen {
 public:
  TChartHiddenPen();  // not visible
};
class TDottedGrayPen : public TChartPen {
 public:
  TDottedGrayPen();  // grey 0x808080, dotted
};
class TDarkGrayPen : public TChartPen {
 public:
  TDarkGrayPen();  // grey 0x808080
};
class TChartAxisPen : public TChartPen {
 public:
  TChartAxisPen();  // width 2
};
class TChartArrowPen : public TChartPen {
 public:
  TChartArrowPen();  // white
};

// The framework brush created with colour clDefault ("no colour of its own")
// and solid style.
class TChartBrush : public TBrush {
 public:
  TChartBrush();
  bool HasBitmapPattern() const { return HasBitmap(); }
};

// The font of a text-bearing chart element. A new one is "Arial" at 8 points,
// black, no style (on a Japanese desktop the desktop's own face and size).
// `on_change` (the owning chart's repaint) is called on every change.
class TChartFontObject : public TFont {
 public:
  explicit TChartFontObject(std::function<void()> on_change = {});
};

// ---------------------------------------------------------------------------
// 3. The canvas

enum class TGradientDirection {
  gdTopBottom,
  gdBottomTop,
  gdLeftRight,
  gdRightLeft,
  gdFromCenter,
  gdFromTopLeft,
  gdFromBottomLeft,
};

class TChartCanvas {
 public:
  TChartCanvas();
  virtual ~TChartCanvas();
  TChartCanvas(const TChartCanvas&) = delete;
  TChartCanvas& operator=(const TChartCanvas&) = delete;

  // Draw on `surface` from now on (nullptr: on nothing). The canvas pen,
  // brush and font ARE the surface's own objects.
  void AttachSurface(TSurface* surface);
  TSurface& Surface() const { return *surface_; }
  TPen& Pen() const { return surface_->Pen(); }
  TBrush& Brush() const { return surface_->Brush(); }
  TFont& Font() const { return surface_->Font(); }

  // 1-12: state of the surface and the canvas.
  TColor GetBackgroundColor() const { return surface_->BackgroundColor(); }
  int GetBackgroundMode() const { return surface_->BackgroundMode(); }
  void* SurfaceHandle() const { return surface_->Handle(); }
  virtual bool Monochrome() const { return false; }
  int GetTextAlignment() const { return surface_->TextAlign(); }
  virtual bool Buffered() const { return false; }
  void SetBackgroundColor(TColor color);  // resolved first
  void SetBackgroundMode(int mode);       // TRANSPARENT (1) or OPAQUE (2)
  virtual void SetMonochrome(bool) {}
  void SetPixelColor(int x, int y, TColor color);
  void SetTextAlignment(int flags);  // TA_LEFT/TA_RIGHT/TA_CENTER | TA_TOP/TA_BOTTOM/TA_BASELINE
  virtual void SetBuffered(bool) {}

  // 13-37: drawing. Lines leave out their end pixel; boxes are half-open.
  void DrawArc(const TRect& box, TPoint start, TPoint end);
  // A picture at its own size; nothing for a missing or empty one.
  void DrawGraphic(int x, int y, const QImage* graphic);
  void DrawEllipseIn(int left, int top, int right, int bottom);
  void FillBox(const TRect& box);  // brush only
  // `width` nested frames, light colour left and top, dark right and bottom.
  void DrawBevel(const TRect& box, TColor light, TColor dark, int width);
  void DrawLineTo(int x, int y);
  void MovePenTo(int x, int y);
  void DrawPieSlice(const TRect& box, TPoint start, TPoint end);
  // Outlined with the pen (over the border pixels of the box) and filled with
  // the brush; without a pen the fill leaves out the right column and bottom row.
  void DrawBox(int left, int top, int right, int bottom);
  void DrawRoundBox(const TRect& box, int corner_width, int corner_height);
  void StretchGraphic(const TRect& box, const QImage* graphic);
  void PutText(int x, int y, std::string_view text);
  // Size of the text as one line in the canvas font; 0 when it cannot be measured.
  int MeasureTextWidth(std::string_view text) const;
  int MeasureTextHeight(std::string_view text) const;
  // Narrows the clip to its intersection with the box (calls nest).
  void ClipToBox(const TRect& box);
  void DrawHorizontalSegment(int x0, int x1, int y);
  void DrawBoxRect(const TRect& box) { DrawBox(box.Left, box.Top, box.Right, box.Bottom); }
  void DrawVerticalSegment(int x, int y0, int y1);
  void ClearBox(const TRect& box) { FillBox(box); }
  // At most 256 bands; leaves the brush solid in the last band's colour.
  void FillGradient(const TRect& box, TColor first, TGradientDirection direction, TColor second);
  virtual void MarkBufferStale() {}
  void DrawSegment(int x0, int y0, int x1, int y1);
  // Closed polygon through points[0] .. points[last] (never beyond the span).
  void DrawPolygonPoints(std::span<const TPoint> points, int last);
  // Text turned counter-clockwise by `angle` degrees around (x, y), drawn on a
  // clear background (the brush is left clear); angles above 360 lose 360.
  void PutRotatedText(int x, int y, int angle, std::string_view text);
  void RemoveClip();

  // End of every paint pass: pen black, width 1, solid, copy mode; brush white
  // solid; font black 10 points; background white, transparent.
  void ResetDrawingState();
  // Puts a chart pen into the canvas pen: a hidden pen only clears the style;
  // SmallDots at width 1 gives the alternate-pixel pen in the pen's colour;
  // otherwise colour, mode, style and width are copied.
  void ApplyChartPen(const TChartPen& pen);
  // The canvas font becomes a copy of `font` (sized at the surface's resolution).
  void AssignFont(const TFont& font);
  // MeasureTextHeight("W").
  int MeasureFontHeight() const { return MeasureTextHeight("W"); }

 protected:
  // Text zoom (3D only): point size scale for rotated text.
  bool text_zoom_ = true;
  double zoom_ = 1.0;
  bool metafiling_ = false;

 private:
  std::unique_ptr<TSurface> detached_;  // what a canvas without a surface draws on
  TSurface* surface_;
};

// ---------------------------------------------------------------------------
// 4. Buffering

class TCanvas3D : public TChartCanvas {
 public:
  // Takes over the Monochrome flag of another canvas.
  void AssignMonochrome(const TCanvas3D& other) { SetMonochrome(other.Monochrome()); }
};

class TChartCanvas3D : public TCanvas3D {
 public:
  TChartCanvas3D() = default;
  ~TChartCanvas3D() override;

  // Called when the canvas needs its panel repainted (Monochrome changed).
  std::function<void()> OnInvalidate;

  bool Buffered() const override { return buffered_; }
  // false frees the off-screen bitmap and marks the buffer stale.
  void SetBuffered(bool value) override;
  bool Monochrome() const override { return monochrome_; }
  // A different value frees the bitmap, marks it stale and invalidates.
  void SetMonochrome(bool value) override;
  bool BufferStale() const { return buffer_stale_; }
  void MarkBufferStale() override { buffer_stale_ = true; }
  // The off-screen bitmap, or nullptr before the first buffered paint.
  TSurface* BufferBitmap() const { return bitmap_.get(); }

  // Starts a paint pass over `bounds` of `target`; returns the rectangle to
  // draw in. Buffered: the canvas draws on the off-screen bitmap (kept while
  // the size stays, re-created otherwise, not cleared, clip removed) and the
  // rectangle is (0, 0, width, height); else on `target` within `bounds`.
  TRect BeginFrame(TSurface* target, const TView3DOptions* options, const TRect& bounds,
                   bool is_3d);
  // Ends the pass: buffered, copies the whole bitmap to `target` at the
  // bounds' top-left and marks the buffer current; then attaches `window`.
  void PresentFrame(TSurface* target, TSurface* window, const TRect& bounds);
  // When the buffer is current and of the attached surface's size, copies it
  // to the attached surface at (0, 0) and answers true; otherwise false (run
  // a full paint pass).
  bool RepaintFromBuffer();
  // Clips series drawing to the inside of the plot frame: the box moved in
  // by one pixel at left, top and bottom (the right edge stays).
  void ClipToPlotArea(const TRect& box, int first_z, int last_z);

  // Titles and legend are drawn without 3D projection (no effect in 2D).
  void BeginFrontPlane() { front_plane_ = true; }
  void EndFrontPlane() { front_plane_ = false; }
  bool SupportsFullRotation() const { return false; }
  bool SupportsID() const { return false; }
  const TRect& Bounds() const { return bounds_; }

 private:
  void FreeBitmap();

  bool buffered_ = true;
  bool buffer_stale_ = true;
  bool monochrome_ = false;
  std::unique_ptr<TSurface> bitmap_;
  bool is_3d_ = false;
  bool front_plane_ = false;
  const TView3DOptions* options_ = nullptr;
  TRect bounds_;
};

}  // namespace tempolog
