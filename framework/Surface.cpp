#include "framework/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "framework/StateHelpers.h"

namespace tempolog {

TRect TRect::Intersected(const TRect& other) const {
  TRect r{std::max(Left, other.Left), std::max(Top, other.Top), std::min(Right, other.Right),
          std::min(Bottom, other.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

TRect TRect::Normalised() const {
  TRect r = *this;
  if (r.Right < r.Left) std::swap(r.Left, r.Right);
  if (r.Bottom < r.Top) std::swap(r.Top, r.Bottom);
  return r;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long product = static_cast<long long>(a) * b;
  const long long half = std::llabs(static_cast<long long>(c)) / 2;
  const bool negative = (product < 0) != (c < 0);
  const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

void TGraphicsObject::Changed() {
  ++version_;
  if (OnChange) OnChange();
}

void TPen::SetColor(TColor value) {
  if (StoreChanged(color_, value)) Changed();
}
void TPen::SetMode(TPenMode value) {
  if (StoreChanged(mode_, value)) Changed();
}
void TPen::SetStyle(TPenStyle value) {
  if (StoreChanged(style_, value)) Changed();
}
void TPen::SetWidth(int value) {
  if (StoreChanged(width_, std::max(1, value))) Changed();
}
void TPen::Assign(const TPen& source) {
  bool changed = StoreChanged(color_, source.color_);
  changed |= StoreChanged(mode_, source.mode_);
  changed |= StoreChanged(style_, source.style_);
  changed |= StoreChanged(width_, source.width_);
  if (changed) Changed();
}

void TBrush::SetColor(TColor value) {
  if (StoreChanged(color_, value)) Changed();
}
void TBrush::SetStyle(TBrushStyle value) {
  if (StoreChanged(style_, value)) Changed();
}
void TBrush::SetBitmap(const QImage& value) {
  if (bitmap_.isNull() && value.isNull()) return;
  bitmap_ = value;
  Changed();
}
void TBrush::Assign(const TBrush& source) {
  bool changed = StoreChanged(color_, source.color_);
  changed |= StoreChanged(style_, source.style_);
  if (!(bitmap_.isNull() && source.bitmap_.isNull())) {
    bitmap_ = source.bitmap_;
    changed = true;
  }
  if (changed) Changed();
}

int TFont::Height() const { return -MulDiv(size_, pixels_per_inch_, 72); }

void TFont::SetName(std::string value) {
  if (StoreChanged(name_, value)) Changed();
}
void TFont::SetSize(int points) {
  if (StoreChanged(size_, points)) Changed();
}
void TFont::SetHeight(int pixels) { SetSize(MulDiv(std::abs(pixels), 72, pixels_per_inch_)); }
void TFont::SetPixelsPerInch(int value) {
  if (value > 0) pixels_per_inch_ = value;
}
void TFont::SetColor(TColor value) {
  if (StoreChanged(color_, value)) Changed();
}
void TFont::SetStyle(unsigned value) {
  if (StoreChanged(style_, value)) Changed();
}
void TFont::SetOrientation(int tenths) {
  if (StoreChanged(orientation_, tenths)) Changed();
}
void TFont::SetOutlineOnly(bool value) {
  if (StoreChanged(outline_only_, value)) Changed();
}
void TFont::Assign(const TFont& source) {
  bool changed = StoreChanged(name_, source.name_);
  changed |= StoreChanged(size_, source.size_);
  changed |= StoreChanged(color_, source.color_);
  changed |= StoreChanged(style_, source.style_);
  changed |= StoreChanged(orientation_, source.orientation_);
  changed |= StoreChanged(outline_only_, source.outline_only_);
  if (changed) Changed();
}

void TSurface::SetBackgroundColor(TColor value) { background_color_ = value; }
void TSurface::SetBackgroundMode(int mode) {
  if (mode == TRANSPARENT || mode == OPAQUE) background_mode_ = mode;
}
void TSurface::SetTextAlign(int flags) { text_align_ = flags; }
void TSurface::SetOrigin(TPoint origin) { origin_ = origin; }
void TSurface::MoveTo(int x, int y) { pen_pos_ = {x, y}; }

void TSurface::IntersectClip(const TRect& box) {
  clip_ = clip_.Intersected(box.Offset(origin_.X, origin_.Y));
}
void TSurface::RemoveClip() { ResetClip(); }

}  // namespace tempolog
