// Shared helpers of the canvas tests: the Qt application for fonts and
// palettes, and pixel maps drawn as text so a failing case shows its picture.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "framework/Surface.h"
#include "tests/support/TestApplication.h"

namespace tempolog::testing_support {

inline QRgb Pixel(TColor c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }

// One character per pixel: '.' white, '#' black, 'r' red, 'g' lime, 'b' blue,
// 'y' yellow, 's' silver, '?' anything else. Rows end with '\n'.
inline std::string Art(const QImage& image, const TRect& area) {
  static const std::map<QRgb, char> legend{
      {Pixel(clWhite), '.'}, {Pixel(clBlack), '#'},  {Pixel(clRed), 'r'},    {Pixel(clLime), 'g'},
      {Pixel(clBlue), 'b'},  {Pixel(clYellow), 'y'}, {Pixel(clSilver), 's'},
  };
  std::string art;
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      const auto it = legend.find(image.pixel(x, y) | 0xFF000000u);
      art += it == legend.end() ? '?' : it->second;
    }
    art += '\n';
  }
  return art;
}

inline std::string Art(const QImage& image) {
  return Art(image, {0, 0, image.width(), image.height()});
}

// The pixels that are not `background`, as (x, y) pairs.
inline std::set<std::pair<int, int>> Inked(const QImage& image, TColor background = clWhite) {
  std::set<std::pair<int, int>> inked;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if ((image.pixel(x, y) | 0xFF000000u) != Pixel(background)) inked.insert({x, y});
    }
  }
  return inked;
}

// Bounding box of the inked pixels (empty when none).
inline TRect InkBox(const QImage& image, TColor background = clWhite) {
  TRect box{1 << 30, 1 << 30, -(1 << 30), -(1 << 30)};
  for (const auto& [x, y] : Inked(image, background)) {
    box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
           std::max(box.Bottom, y + 1)};
  }
  return box.IsEmpty() ? TRect{} : box;
}

}  // namespace tempolog::testing_support
