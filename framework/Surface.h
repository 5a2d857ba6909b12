// Drawing surfaces: the 2D primitives the chart draws with.
//
// Sections:
//   1. Geometry: TPoint, TSize, TRect (half-open rectangles).
//   2. Drawing objects: TPen, TBrush, TFont, with change tracking.
//   3. TSurface: the abstract surface (state, clipping, primitives).
// The Qt implementations are in SurfaceQt.h, the recording one for tests in
// RecordingSurface.h.
//
// Every primitive reads the same way: apply the translation (the origin),
// intersect with the clip, return early when nothing is left, then draw.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "framework/Colors.h"

namespace tempolog {

// ---------------------------------------------------------------------------
// 1. Geometry

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// A rectangle of pixels, left, top, right, bottom. Rectangles are half-open
// everywhere in this program: the right column and the bottom row are NOT part
// of the rectangle, so Width() == Right - Left and (0, 0, 10, 10) covers the
// pixels 0..9 in both directions. A rectangle with Right <= Left or
// Bottom <= Top is empty.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  TPoint TopLeft() const { return {Left, Top}; }
  // The common pixels of both (empty when they do not meet).
  TRect Intersected(const TRect& other) const;
  TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  // Left/Right and Top/Bottom swapped where given in the wrong order.
  TRect Normalised() const;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// ---------------------------------------------------------------------------
// 2. Drawing objects
//
// Each setter stores the value and, only when it differs from the old one,
// counts a change (Version()) and calls OnChange. Surfaces compare versions to
// pass on only what changed; owners of chart pens hook OnChange to repaint.

class TGraphicsObject {
 public:
  std::function<void()> OnChange;
  // Grows by one with every effective change.
  std::uint64_t Version() const { return version_; }

 protected:
  TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;
  ~TGraphicsObject() = default;
  void Changed();

 private:
  std::uint64_t version_ = 0;
};

// psAlternate is the one-pixel cosmetic pen that sets every second pixel along
// a line, whatever its width.
enum class TPenStyle {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame,
  psAlternate
};

// How the pen (and the brush of outlined shapes) combines with the pixels
// already there; P is the pen colour, D the pixel.
enum class TPenMode {
  pmBlack,        // 0
  pmWhite,        // 1
  pmNop,          // D
  pmNot,          // ~D
  pmCopy,         // P
  pmNotCopy,      // ~P
  pmMergePenNot,  // P | ~D
  pmMaskPenNot,   // P & ~D
  pmMergeNotPen,  // ~P | D
  pmMaskNotPen,   // ~P & D
  pmMerge,        // P | D
  pmNotMerge,     // ~(P | D)
  pmMask,         // P & D
  pmNotMask,      // ~(P & D)
  pmXor,          // P ^ D
  pmNotXor,       // ~(P ^ D): drawing the same thing twice restores the pixels
};

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  TColor Color() const { return color_; }
  TPenMode Mode() const { return mode_; }
  TPenStyle Style() const { return style_; }
  // Width in pixels, at least 1 (0 is taken as 1).
  int Width() const { return width_; }
  void SetColor(TColor value);
  void SetMode(TPenMode value);
  void SetStyle(TPenStyle value);
  void SetWidth(int value);
  // Copies colour, mode, style and width.
  void Assign(const TPen& source);
  // True when lines drawn with this pen leave pixels unchanged.
  bool DrawsNothing() const { return style_ == TPenStyle::psClear || mode_ == TPenMode::pmNop; }

 private:
  TColor color_ = clBlack;
  TPenMode mode_ = TPenMode::pmCopy;
  TPenStyle style_ = TPenStyle::psSolid;
  int width_ = 1;
};

enum class TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  TColor Color() const { return color_; }
  TBrushStyle Style() const { return style_; }
  // The pattern bitmap, or an empty image when the brush has none. A brush
  // with a non-empty bitmap fills with it, tiled from the surface origin.
  const QImage& Bitmap() const { return bitmap_; }
  bool HasBitmap() const { return !bitmap_.isNull(); }
  void SetColor(TColor value);
  void SetStyle(TBrushStyle value);
  void SetBitmap(const QImage& value);  // an empty image drops the bitmap
  void Assign(const TBrush& source);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
  QImage bitmap_;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TGraphicsObject {
 public:
  TFont() = default;
  // Face name as a byte string; a face that is not installed is replaced by
  // the closest installed one when drawing.
  const std::string& Name() const { return name_; }
  // Size in points; converted to pixels at PixelsPerInch().
  int Size() const { return size_; }
  // Character height in pixels (negative, as the platform counts it):
  // -MulDiv(Size, PixelsPerInch, 72).
  int Height() const;
  int PixelsPerInch() const { return pixels_per_inch_; }
  TColor Color() const { return color_; }
  unsigned Style() const { return style_; }
  // Direction of the text baseline in tenths of a degree, counter-clockwise.
  int Orientation() const { return orientation_; }
  // True: only outline (scalable) faces are chosen, so the text can rotate.
  bool OutlineOnly() const { return outline_only_; }

  void SetName(std::string value);
  void SetSize(int points);
  // Sets the size from a pixel height: a negative height is a character
  // height, a positive one a cell height (taken the same here).
  void SetHeight(int pixels);
  // The resolution of the surface the font is used on. Not a change of the
  // font itself: it fires no notification.
  void SetPixelsPerInch(int value);
  void SetColor(TColor value);
  void SetStyle(unsigned value);
  void SetOrientation(int tenths);
  void SetOutlineOnly(bool value);
  // Copies everything but the resolution, which stays that of this font, so
  // point sizes convert at the resolution of the surface that uses it.
  void Assign(const TFont& source);

 private:
  std::string name_ = "Arial";
  int size_ = 8;
  int pixels_per_inch_ = 96;
  TColor color_ = clBlack;
  unsigned style_ = 0;
  int orientation_ = 0;
  bool outline_only_ = false;
};

// a × b / c computed in 64 bits, rounded to the nearest integer, halves away
// from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// ---------------------------------------------------------------------------
// 3. Surfaces

// These names, TextOut and others are the program's own, and <windows.h>
// (its wingdi.h) defines them as macros: keep it out of every translation unit
// that sees this header. Platform code lives in *_win32.cpp files.
#if defined(_WINGDI_) || defined(TRANSPARENT) || defined(OPAQUE) || defined(TA_BASELINE)
#error \
    "<windows.h> must not be included before framework/Surface.h: its macros replace TRANSPARENT, OPAQUE, TA_* and TextOut"
#endif

// Background modes of text and hatched brushes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Text alignment flags: the reference point given to TextOut.
inline constexpr int TA_LEFT = 0;
inline constexpr int TA_RIGHT = 2;
inline constexpr int TA_CENTER = 6;
inline constexpr int TA_TOP = 0;
inline constexpr int TA_BOTTOM = 8;
inline constexpr int TA_BASELINE = 24;

class TSurface {
 public:
  virtual ~TSurface() = default;
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  // The surface's own pen, brush and font: changing them changes what the
  // surface draws with from the next primitive on.
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }
  const TPen& Pen() const { return pen_; }
  const TBrush& Brush() const { return brush_; }
  const TFont& Font() const { return font_; }

  // Size in pixels; every pixel drawn lies in (0, 0, Width(), Height()).
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int PixelsPerInch() const { return 96; }
  // The platform object behind the surface (a QPaintDevice or a QPainter).
  virtual void* Handle() const = 0;
  // The pixels of the surface when it keeps them itself (for block copies
  // from it), else nullptr.
  virtual const QImage* Image() const { return nullptr; }
  // True when the surface can draw the alternate-pixel pen.
  virtual bool SupportsAlternatePen() const { return true; }
  // True when the surface keeps one bit per pixel.
  virtual bool Monochrome() const { return false; }

  // Text and hatch background, and whether text and hatches fill it.
  TColor BackgroundColor() const { return background_color_; }
  int BackgroundMode() const { return background_mode_; }
  virtual void SetBackgroundColor(TColor value);
  virtual void SetBackgroundMode(int mode);  // TRANSPARENT or OPAQUE
  int TextAlign() const { return text_align_; }
  virtual void SetTextAlign(int flags);
  // Whether text fills its box: background mode OPAQUE and a brush that is not
  // clear (a clear brush draws text on a transparent background whatever the
  // mode).
  bool TextFillsBackground() const {
    return background_mode_ == OPAQUE && brush_.Style() != TBrushStyle::bsClear;
  }

  // Logical (0, 0) lies at Origin() on the surface.
  TPoint Origin() const { return origin_; }
  virtual void SetOrigin(TPoint origin);
  // The current position for LineTo, in logical coordinates.
  TPoint PenPos() const { return pen_pos_; }
  virtual void MoveTo(int x, int y);

  // Clipping: the clip is the rectangle of surface pixels that may change.
  // IntersectClip narrows it to its intersection with a logical box (calls
  // nest), RemoveClip widens it to the whole surface again.
  TRect ClipRect() const { return clip_; }
  virtual void IntersectClip(const TRect& box);
  virtual void RemoveClip();

  // Primitives. Coordinates are logical; boxes are half-open.
  // One pixel in a plain colour (not the pen's); the clip applies.
  virtual void SetPixel(int x, int y, TColor color) = 0;
  // A line from PenPos() to (x, y) without its end pixel; (x, y) becomes PenPos().
  virtual void LineTo(int x, int y) = 0;
  // Lines through the points; only the very last pixel is left out. PenPos()
  // does not change.
  virtual void Polyline(std::span<const TPoint> points) = 0;
  // Outline in the pen over the box's border pixels (right column Right - 1,
  // bottom row Bottom - 1), inside filled with the brush; without a pen only
  // the fill is drawn, which then leaves out the right column and bottom row.
  // A box given with its corners swapped is normalised.
  virtual void Rectangle(const TRect& box) = 0;
  // The box filled with the brush, no outline, pen mode not applied.
  virtual void FillRect(const TRect& box) = 0;
  virtual void RoundRect(const TRect& box, int corner_width, int corner_height) = 0;
  // Ellipse inscribed in the box, outlined and filled.
  virtual void Ellipse(const TRect& box) = 0;
  // Closed polygon, outlined and filled (odd-even rule).
  virtual void Polygon(std::span<const TPoint> points) = 0;
  // Arc / pie slice of the ellipse in the box, counter-clockwise from the ray
  // through `start` to the ray through `end` (the same ray: the whole ellipse).
  virtual void Arc(const TRect& box, TPoint start, TPoint end) = 0;
  virtual void Pie(const TRect& box, TPoint start, TPoint end) = 0;
  // Text in the font's colour, reference point (x, y) per TextAlign(), turned
  // by the font's Orientation() around that point; when TextFillsBackground()
  // its box is filled with the background colour first. Bytes map to
  // characters one to one (Latin-1).
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // Width and height of the text as one line in the current font; {0, 0} when
  // the platform cannot measure it.
  virtual TSize TextExtent(std::string_view text) = 0;
  // A picture at its own size / stretched to the box; nothing for an empty one.
  virtual void Draw(int x, int y, const QImage& picture) = 0;
  virtual void StretchDraw(const TRect& box, const QImage& picture) = 0;
  // Block copy of the whole `source` surface with its top-left pixel at
  // (x, y); pixels only, no pen or brush. Nothing when the source keeps no
  // pixels.
  virtual void CopyFrom(const TSurface& source, int x, int y) = 0;

 protected:
  TSurface() = default;
  // For implementations: the whole surface as the clip (after a resize).
  void ResetClip() { clip_ = {0, 0, Width(), Height()}; }

 private:
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TColor background_color_ = clWhite;
  int background_mode_ = OPAQUE;
  int text_align_ = TA_LEFT | TA_TOP;
  TPoint origin_;
  TPoint pen_pos_;
  TRect clip_;
};

// An off-screen bitmap of width × height pixels (at least 0 × 0), in colour or
// monochrome, that keeps its pixels (Image() is not null), with fonts at
// `pixels_per_inch`. The chart buffers its paint passes in one.
std::unique_ptr<TSurface> NewBitmapSurface(int width, int height, bool monochrome = false,
                                           int pixels_per_inch = 96);

// The desktop's font, and whether the user's locale is Japanese (whose
// desktops lack a face showing their script under common Western names).
// Sizes are 0 where the desktop does not give them that way.
struct TDesktopFont {
  std::string Name;
  int PointSize = 0;
  int PixelSize = 0;
  bool JapaneseLocale = false;
};
// Empty before the application object exists.
std::optional<TDesktopFont> DesktopFont();

}  // namespace tempolog
