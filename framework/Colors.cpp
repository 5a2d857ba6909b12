#include "framework/Colors.h"

namespace tempolog {
namespace {

// The indexes of the system colours: 0 to 30, 25 never used.
constexpr unsigned kLastSystemColor = clMenuBar & 0xFFu;
constexpr unsigned kUnusedSystemColor = 25;

}  // namespace

TColor ResolveColor(TColor c) {
  if (!IsSystemColor(c)) return c & 0xFFFFFFu;
  const unsigned index = c & 0xFFu;
  if (index > kLastSystemColor || index == kUnusedSystemColor) return clBlack;
  return SystemColor(index);
}

QColor ToQColor(TColor c) {
  const TColor rgb = ResolveColor(c);
  return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

TColor FromQColor(const QColor& color) {
  const QRgb rgb = color.rgb();
  return RGBColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

}  // namespace tempolog
