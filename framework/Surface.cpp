#include "framework/Surface.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

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

// Stores `value` into `field` and reports whether it differed.
template <typename T>
static bool Store(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

void TPen::SetColor(TColor value) {
  if (Store(color_, value)) Changed();
}
void TPen::SetMode(TPenMode value) {
  if (Store(mode_, value)) Changed();
}
void TPen::SetStyle(TPenStyle value) {
  if (Store(style_, value)) Changed();
}
void TPen::SetWidth(int value) {
  if (Store(width_, std::max(1, value))) Changed();
}
void TPen::Assign(const TPen& source) {
  bool changed = Store(color_, source.color_);
  changed |= Store(mode_, source.mode_);
  changed |= Store(style_, source.style_);
  changed |= Store(width_, source.width_);
  if (changed) Changed();
}

void TBrush::SetColor(TColor value) {
  if (Store(color_, value)) Changed();
}
void TBrush::SetStyle(TBrushStyle value) {
  if (Store(style_, value)) Changed();
}
void TBrush::SetBitmap(const QImage& value) {
  if (bitmap_.isNull() && value.isNull()) return;
  bitmap_ = value;
  Changed();
}
void TBrush::Assign(const TBrush& source) {
  bool changed = Store(color_, source.color_);
  changed |= Store(style_, source.style_);
  if (!(bitmap_.isNull() && source.bitmap_.isNull())) {
    bitmap_ = source.bitmap_;
    changed = true;
  }
  if (changed) Changed();
}

int TFont::Height() const { return -MulDiv(size_, pixels_per_inch_, 72); }

void TFont::SetName(std::string value) {
  if (Store(name_, value)) Changed();
}
void TFont::SetSize(int points) {
  if (Store(size_, points)) Changed();
}
void TFont::SetHeight(int pixels) { SetSize(MulDiv(std::abs(pixels), 72, pixels_per_inch_)); }
void TFont::SetPixelsPerInch(int value) {
  if (value > 0) pixels_per_inch_ = value;
}
void TFont::SetColor(TColor value) {
  if (Store(color_, value)) Changed();
}
void TFont::SetStyle(unsigned value) {
  if (Store(style_, value)) Changed();
}
void TFont::SetOrientation(int tenths) {
  if (Store(orientation_, tenths)) Changed();
}
void TFont::SetOutlineOnly(bool value) {
  if (Store(outline_only_, value)) Changed();
}
void TFont::Assign(const TFont& source) {
  bool changed = Store(name_, source.name_);
  changed |= Store(size_, source.size_);
  changed |= Store(color_, source.color_);
  changed |= Store(style_, source.style_);
  changed |= Store(orientation_, source.orientation_);
  changed |= Store(outline_only_, source.outline_only_);
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
