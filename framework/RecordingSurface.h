// A drawing surface that draws nothing and records every call instead, with
// its arguments and the pen, brush and font in force, so tests can check the
// exact calls a paint makes.
#pragma once

#include <string>
#include <vector>

#include "framework/Surface.h"

namespace tempolog {

struct TPenSnapshot {
  TColor Color = clBlack;
  TPenMode Mode = TPenMode::pmCopy;
  TPenStyle Style = TPenStyle::psSolid;
  int Width = 1;
  friend bool operator==(const TPenSnapshot&, const TPenSnapshot&) = default;
};

struct TBrushSnapshot {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  bool HasBitmap = false;
  friend bool operator==(const TBrushSnapshot&, const TBrushSnapshot&) = default;
};

struct TFontSnapshot {
  std::string Name;
  int Size = 0;
  TColor Color = clBlack;
  unsigned Style = 0;
  int Orientation = 0;
  bool OutlineOnly = false;
  friend bool operator==(const TFontSnapshot&, const TFontSnapshot&) = default;
};

struct TSurfaceCall {
  std::string Op;         // the primitive's name: "LineTo", "Rectangle", ...
  std::vector<int> Args;  // its integer arguments in order (points as x, y)
  std::string Text;       // TextOut and TextExtent: the text
  TColor Color = 0;       // SetPixel: the colour
  // State in force at the call.
  TPoint PenPos;  // before the call
  TPenSnapshot Pen;
  TBrushSnapshot Brush;
  TFontSnapshot Font;
  TColor BackgroundColor = clWhite;
  int BackgroundMode = OPAQUE;
  int TextAlign = 0;
  TRect Clip;
  TPoint Origin;

  // "Op(a,b,...)" or "TextOut(x,y,"text")" or "SetPixel(x,y,#RRGGBB)".
  std::string ToString() const;
};

class TRecordingSurface : public TSurface {
 public:
  explicit TRecordingSurface(int width = 640, int height = 480, int pixels_per_inch = 96);

  const std::vector<TSurfaceCall>& Calls() const { return calls_; }
  // ToString() of every call, in order.
  std::vector<std::string> CallTexts() const;
  // The calls with the given name.
  std::vector<TSurfaceCall> CallsNamed(std::string_view op) const;
  void Clear() { calls_.clear(); }

  // Made-up text metrics: a text is (bytes × char_width) wide and
  // line_height high (defaults 6 and 13).
  void SetTextMetrics(int char_width, int line_height);
  // Whether TextExtent calls are recorded too (default false).
  void SetRecordMeasurements(bool value) { record_measurements_ = value; }
  void SetAlternatePenSupported(bool value) { alternate_supported_ = value; }

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int PixelsPerInch() const override { return pixels_per_inch_; }
  void* Handle() const override { return const_cast<TRecordingSurface*>(this); }
  bool SupportsAlternatePen() const override { return alternate_supported_; }

  void MoveTo(int x, int y) override;
  void IntersectClip(const TRect& box) override;
  void RemoveClip() override;
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

 private:
  TSurfaceCall& Record(std::string op, std::initializer_list<int> args);

  std::vector<TSurfaceCall> calls_;
  int width_;
  int height_;
  int pixels_per_inch_;
  int char_width_ = 6;
  int line_height_ = 13;
  bool record_measurements_ = false;
  bool alternate_supported_ = true;
};

}  // namespace tempolog
