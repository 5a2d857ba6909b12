// Pixel rules of the Qt drawing surfaces, checked pixel by pixel in small
// bitmaps: half-open boxes, lines without their end pixel, clipping, pen
// modes, the alternate-pixel pen, block copies, text placement, colours.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPalette>
#include <climits>
#include <memory>
#include <random>

#include "framework/Colors.h"
#include "framework/SurfaceQt.h"
#include "tests/canvas/CanvasTestSupport.h"
#include "tests/support/SystemColors.h"

namespace tempolog {
namespace {

using testing_support::Art;
using testing_support::InkBox;
using testing_support::Inked;
using testing_support::Pixel;

// A white bitmap with the surface's defaults otherwise.
std::unique_ptr<TBitmapSurface> Blank(int width, int height) {
  auto s = std::make_unique<TBitmapSurface>(width, height);
  s->Brush().SetColor(clWhite);
  s->FillRect({0, 0, width, height});
  return s;
}

// ---------------------------------------------------------------------------
// Rectangles are half-open.

TEST(RectTest, RightColumnAndBottomRowAreOutside) {
  const TRect r{2, 3, 5, 7};
  EXPECT_EQ(r.Width(), 3);
  EXPECT_EQ(r.Height(), 4);
  EXPECT_TRUE(r.Contains(2, 3));
  EXPECT_TRUE(r.Contains(4, 6));
  EXPECT_FALSE(r.Contains(5, 6));
  EXPECT_FALSE(r.Contains(4, 7));
  EXPECT_TRUE((TRect{4, 4, 4, 9}).IsEmpty());
  EXPECT_EQ(r.Intersected({4, 6, 10, 10}), (TRect{4, 6, 5, 7}));
  EXPECT_EQ(r.Intersected({5, 0, 10, 10}), TRect{});  // touching edges share no pixel
  EXPECT_EQ((TRect{5, 7, 2, 3}).Normalised(), r);
}

TEST(RectTest, FillCoversExactlyTheHalfOpenBox) {
  auto s = Blank(8, 6);
  s->Brush().SetColor(clBlack);
  s->FillRect({1, 1, 4, 3});
  EXPECT_EQ(Art(*s->Image()),
            "........\n"
            ".###....\n"
            ".###....\n"
            "........\n"
            "........\n"
            "........\n");
}

// ---------------------------------------------------------------------------
// Lines

TEST(LineTest, EndPixelIsLeftOut) {
  struct Row {
    const char* name;
    TPoint from, to;
    std::set<std::pair<int, int>> pixels;
  } rows[] = {
      {"right", {1, 1}, {5, 1}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
      {"left", {5, 1}, {1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
      {"down", {1, 1}, {1, 4}, {{1, 1}, {1, 2}, {1, 3}}},
      {"up", {1, 4}, {1, 1}, {{1, 4}, {1, 3}, {1, 2}}},
      {"diagonal", {0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {"anti-diagonal", {4, 0}, {0, 4}, {{4, 0}, {3, 1}, {2, 2}, {1, 3}}},
      {"shallow", {0, 0}, {6, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}},
      {"steep", {0, 0}, {2, 6}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}, {2, 5}}},
      {"one step", {3, 3}, {4, 3}, {{3, 3}}},
      {"no length", {3, 3}, {3, 3}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto s = Blank(8, 8);
    s->MoveTo(row.from.X, row.from.Y);
    s->LineTo(row.to.X, row.to.Y);
    EXPECT_EQ(Inked(*s->Image()), row.pixels);
    EXPECT_EQ(s->PenPos(), row.to);
  }
}

// Nearest pixel along the major axis, computed the slow way.
std::set<std::pair<int, int>> ReferenceLine(TPoint a, TPoint b, const TRect& clip) {
  std::set<std::pair<int, int>> pixels;
  const long long dx = b.X - a.X, dy = b.Y - a.Y;
  const long long steps = std::max(std::llabs(dx), std::llabs(dy));
  for (long long i = 0; i < steps; ++i) {
    long long x, y;
    if (std::llabs(dx) >= std::llabs(dy)) {
      x = a.X + (dx > 0 ? i : -i);
      const long long k = (2 * i * std::llabs(dy) + steps) / (2 * steps);
      y = a.Y + (dy < 0 ? -k : k);
    } else {
      y = a.Y + (dy > 0 ? i : -i);
      const long long k = (2 * i * std::llabs(dx) + steps) / (2 * steps);
      x = a.X + (dx < 0 ? -k : k);
    }
    if (clip.Contains(static_cast<int>(x), static_cast<int>(y)))
      pixels.insert({static_cast<int>(x), static_cast<int>(y)});
  }
  return pixels;
}

TEST(LineTest, ClippedLinesKeepExactlyTheirInsidePixels) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> near(-20, 60), far(-3000, 3000);
  for (int n = 0; n < 400; ++n) {
    const bool long_line = n % 2 == 1;
    const TPoint a{long_line ? far(random) : near(random), long_line ? far(random) : near(random)};
    const TPoint b{long_line ? far(random) : near(random), long_line ? far(random) : near(random)};
    SCOPED_TRACE(testing::Message() << "line " << a.X << "," << a.Y << " -> " << b.X << "," << b.Y);
    auto s = Blank(40, 30);
    s->IntersectClip({3, 2, 37, 27});
    s->MoveTo(a.X, a.Y);
    s->LineTo(b.X, b.Y);
    ASSERT_EQ(Inked(*s->Image()), ReferenceLine(a, b, {3, 2, 37, 27}));
  }
}

TEST(LineTest, ExtremeCoordinatesDrawTheVisiblePart) {
  auto s = Blank(10, 10);
  s->MoveTo(INT_MIN / 2, 5);
  s->LineTo(INT_MAX / 2, 5);
  s->MoveTo(-(1 << 30), -(1 << 30));
  s->LineTo(1 << 30, 1 << 30);
  s->MoveTo(INT_MIN, INT_MAX);
  s->LineTo(INT_MAX, INT_MIN);  // must not overflow
  s->MoveTo(INT_MAX, 7);
  s->LineTo(INT_MIN, 7);
  s->Pen().SetWidth(3);
  s->MoveTo(2, INT_MAX);
  s->LineTo(2, INT_MIN);
  s->Brush().SetStyle(TBrushStyle::bsClear);
  s->Rectangle({INT_MIN, INT_MIN, INT_MAX, INT_MAX});  // frame far outside: nothing shows
  s->Pen().SetWidth(1);
  std::set<std::pair<int, int>> expected;
  for (int i = 0; i < 10; ++i) {
    for (const std::pair<int, int>& p : {std::pair{i, 5}, {i, i}, {i, 7}, {1, i}, {2, i}, {3, i}})
      expected.insert(p);
  }
  const auto inked = Inked(*s->Image());
  for (const auto& p : expected) EXPECT_TRUE(inked.count(p)) << p.first << "," << p.second;
}

TEST(LineTest, AlternatePenSetsEverySecondPixel) {
  auto s = Blank(10, 4);
  s->Pen().SetStyle(TPenStyle::psAlternate);
  s->Pen().SetWidth(3);  // the alternate pen is always one pixel wide
  s->MoveTo(1, 1);
  s->LineTo(9, 1);
  s->MoveTo(0, 3);
  s->LineTo(0, 0);
  EXPECT_EQ(Art(*s->Image()),
            "..........\n"
            "##.#.#.#..\n"
            "..........\n"
            "#.........\n");
}

TEST(LineTest, WidePensCoverWidthPixelsAcrossTheLine) {
  auto s = Blank(10, 8);
  s->Pen().SetWidth(2);
  s->MoveTo(1, 1);
  s->LineTo(5, 1);  // rows 1-2, columns 1-5
  s->LineTo(5, 5);  // columns 5-6, rows 1-5
  s->Pen().SetWidth(3);
  s->MoveTo(8, 7);
  s->LineTo(8, 6);  // one centre pixel: 3 × 3 around (8, 7)
  EXPECT_EQ(Art(*s->Image()),
            "..........\n"
            ".######...\n"
            ".######...\n"
            ".....##...\n"
            ".....##...\n"
            ".....##...\n"
            ".......###\n"
            ".......###\n");
}

TEST(LineTest, DottedPenLeavesGaps) {
  auto s = Blank(14, 1);
  s->Pen().SetStyle(TPenStyle::psDot);
  s->MoveTo(0, 0);
  s->LineTo(14, 0);
  EXPECT_EQ(Art(*s->Image()), "###...###...##\n");
}

// A styled line along a row or a column keeps its pattern anchored at its
// start whatever part of it a clip lets through, in either direction, on the
// bitmap and the window surface alike: the part drawn is exactly the
// unclipped line's pixels inside the clip.
TEST(LineTest, StyledStraightLinesKeepTheirPatternUnderClips) {
  struct Row {
    const char* name;
    TPenStyle style;
    TPenMode mode;
    TPoint from, to;
    TRect clip;
  };
  // clang-format off
  const Row rows[] = {
      {"dash, left to right",         TPenStyle::psDash,         TPenMode::pmCopy,    {0, 1},   {40, 1},  {7, 0, 33, 3}},
      {"dash, right to left",         TPenStyle::psDash,         TPenMode::pmCopy,    {39, 1},  {-1, 1},  {5, 0, 31, 3}},
      {"dot, downwards",              TPenStyle::psDot,          TPenMode::pmCopy,    {1, 0},   {1, 40},  {0, 4, 3, 29}},
      {"dash-dot, upwards, not-xor",  TPenStyle::psDashDot,      TPenMode::pmNotXor,  {1, 39},  {1, -1},  {0, 11, 3, 38}},
      {"dash-dot-dot from outside",   TPenStyle::psDashDotDot,   TPenMode::pmCopy,    {-17, 1}, {40, 1},  {0, 0, 40, 3}},
      {"alternate, to the clip edge", TPenStyle::psAlternate,    TPenMode::pmCopy,    {0, 1},   {40, 1},  {3, 0, 38, 3}},
      {"alternate, up, not-xor",      TPenStyle::psAlternate,    TPenMode::pmNotXor,  {1, 38},  {1, 2},   {0, 9, 3, 40}},
      {"dot, beside the clip",        TPenStyle::psDot,          TPenMode::pmCopy,    {0, 1},   {40, 1},  {0, 2, 40, 3}},
  };
  // clang-format on
  const auto draw = [](TSurface& s, const Row& row, int shift, const TRect* clip) {
    s.Brush().SetColor(clWhite);
    s.FillRect({0, 0, s.Width(), s.Height()});
    if (clip != nullptr) s.IntersectClip(*clip);
    s.Pen().SetStyle(row.style);
    s.Pen().SetMode(row.mode);
    s.MoveTo(row.from.X + shift, row.from.Y + shift);
    s.LineTo(row.to.X + shift, row.to.Y + shift);
  };
  constexpr int kShift = 30;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TBitmapSurface whole(100, 100);
    draw(whole, row, kShift, nullptr);
    QImage expected(40, 40, QImage::Format_RGB32);
    expected.fill(Pixel(clWhite));
    for (int y = row.clip.Top; y < row.clip.Bottom; ++y)
      for (int x = row.clip.Left; x < row.clip.Right; ++x)
        expected.setPixel(x, y, whole.Image()->pixel(x + kShift, y + kShift));
    TBitmapSurface bitmap(40, 40);
    draw(bitmap, row, 0, &row.clip);
    EXPECT_EQ(Art(*bitmap.Image()), Art(expected));
    QImage target(40, 40, QImage::Format_RGB32);
    {
      QPainter painter(&target);
      TWindowSurface window(painter, 40, 40);
      draw(window, row, 0, &row.clip);
    }
    EXPECT_EQ(Art(target), Art(expected));
  }
}

TEST(LineTest, PolylineDrawsEveryJointOnce) {
  auto s = Blank(6, 6);
  s->Pen().SetMode(TPenMode::pmNotXor);  // a pixel drawn twice would come back white
  const TPoint square[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}, {1, 1}};
  s->Polyline(square);
  EXPECT_EQ(Art(*s->Image()),
            "......\n"
            ".####.\n"
            ".#..#.\n"
            ".#..#.\n"
            ".####.\n"
            "......\n");
  EXPECT_EQ(s->PenPos(), (TPoint{0, 0}));
}

// ---------------------------------------------------------------------------
// Boxes

TEST(RectangleTest, OutlineOnBorderPixelsFillInside) {
  struct Row {
    const char* name;
    TRect box;
    bool pen;
    const char* art;
  } rows[] = {
      {"pen and brush",
       {1, 1, 6, 5},
       true,
       "........\n"
       ".#####..\n"
       ".#rrr#..\n"
       ".#rrr#..\n"
       ".#####..\n"
       "........\n"},
      {"corners swapped",
       {6, 5, 1, 1},
       true,
       "........\n"
       ".#####..\n"
       ".#rrr#..\n"
       ".#rrr#..\n"
       ".#####..\n"
       "........\n"},
      {"no pen: fill leaves out right column and bottom row",
       {1, 1, 6, 5},
       false,
       "........\n"
       ".rrrr...\n"
       ".rrrr...\n"
       ".rrrr...\n"
       "........\n"
       "........\n"},
      {"marker of half size 1 without pen",
       {2, 2, 5, 5},
       false,
       "........\n"
       "........\n"
       "..rr....\n"
       "..rr....\n"
       "........\n"
       "........\n"},
      {"one pixel high",
       {1, 2, 5, 3},
       true,
       "........\n"
       "........\n"
       ".####...\n"
       "........\n"
       "........\n"
       "........\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto s = Blank(8, 6);
    s->Brush().SetColor(clRed);
    s->Pen().SetStyle(row.pen ? TPenStyle::psSolid : TPenStyle::psClear);
    s->Rectangle(row.box);
    EXPECT_EQ(Art(*s->Image()), row.art);
  }
}

TEST(RectangleTest, NotXorFrameInvertsEachPixelOnceAndTwiceRestores) {
  auto s = Blank(8, 6);
  s->Brush().SetColor(clRed);
  s->FillRect({0, 0, 3, 6});
  const QImage before = s->Image()->copy();
  s->Pen().SetMode(TPenMode::pmNotXor);
  s->Brush().SetStyle(TBrushStyle::bsClear);
  s->Rectangle({1, 1, 6, 5});
  // not-xor with black inverts: white becomes black, red becomes aqua (0x00FFFF inverted).
  EXPECT_EQ(Art(*s->Image()),
            "rrr.....\n"
            "r??###..\n"
            "r?r..#..\n"
            "r?r..#..\n"
            "r??###..\n"
            "rrr.....\n");
  s->Rectangle({6, 5, 1, 1});  // the other drag direction
  EXPECT_EQ(*s->Image(), before);
}

TEST(RectangleTest, WidePenFrameIsCentredOnTheBorder) {
  auto s = Blank(9, 8);
  s->Brush().SetStyle(TBrushStyle::bsClear);
  s->Pen().SetWidth(2);
  s->Rectangle({1, 1, 7, 6});
  EXPECT_EQ(Art(*s->Image()),
            ".........\n"
            ".#######.\n"
            ".#######.\n"
            ".##...##.\n"
            ".##...##.\n"
            ".#######.\n"
            ".#######.\n"
            ".........\n");
}

TEST(RectangleTest, OpaqueHatchFillsBackgroundTransparentLeavesIt) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    SCOPED_TRACE(mode);
    auto s = Blank(9, 2);
    s->SetBackgroundColor(clRed);
    s->SetBackgroundMode(mode);
    s->Brush().SetColor(clBlack);
    s->Brush().SetStyle(TBrushStyle::bsVertical);
    s->FillRect({0, 0, 9, 2});
    EXPECT_EQ(Art(*s->Image()),
              mode == OPAQUE ? "#rrrrrrr#\n#rrrrrrr#\n" : "#.......#\n#.......#\n");
  }
}

// ---------------------------------------------------------------------------
// Clipping and translation

TEST(ClipTest, NestedClipsIntersectAndRemoveClipRestoresAll) {
  auto s = Blank(8, 6);
  s->Brush().SetColor(clBlack);
  s->IntersectClip({1, 1, 6, 5});
  s->IntersectClip({3, 0, 8, 3});
  EXPECT_EQ(s->ClipRect(), (TRect{3, 1, 6, 3}));
  s->FillRect({0, 0, 8, 6});
  s->MoveTo(0, 4);
  s->LineTo(8, 4);
  s->SetPixel(0, 0, clRed);
  EXPECT_EQ(Art(*s->Image()),
            "........\n"
            "...###..\n"
            "...###..\n"
            "........\n"
            "........\n"
            "........\n");
  s->RemoveClip();
  s->SetPixel(0, 0, clRed);
  s->SetPixel(7, 5, clRed);
  EXPECT_EQ(Art(*s->Image(), {0, 0, 8, 1}), "r.......\n");
  EXPECT_EQ(Art(*s->Image(), {0, 5, 8, 6}), ".......r\n");
}

TEST(ClipTest, DisjointClipsDrawNothing) {
  auto s = Blank(6, 6);
  s->IntersectClip({0, 0, 2, 2});
  s->IntersectClip({3, 3, 6, 6});
  s->Brush().SetColor(clBlack);
  s->FillRect({0, 0, 6, 6});
  s->Rectangle({0, 0, 6, 6});
  s->Ellipse({0, 0, 6, 6});
  s->TextOut(0, 0, "W");
  EXPECT_TRUE(Inked(*s->Image()).empty());
}

TEST(ClipTest, OriginMovesDrawingAndClips) {
  auto s = Blank(8, 4);
  s->SetOrigin({2, 1});
  s->IntersectClip({0, 0, 3, 2});  // surface pixels (2, 1) .. (4, 2)
  s->Brush().SetColor(clBlack);
  s->FillRect({-5, -5, 10, 10});
  s->SetPixel(0, 0, clRed);
  EXPECT_EQ(Art(*s->Image()),
            "........\n"
            "..r##...\n"
            "..###...\n"
            "........\n");
}

// ---------------------------------------------------------------------------
// Block copy

TEST(CopyTest, CopiesWholeSourceAtOffsetWithinClip) {
  TBitmapSurface source(3, 2);
  source.Brush().SetColor(clRed);
  source.FillRect({0, 0, 3, 2});
  source.SetPixel(2, 1, clBlue);
  auto s = Blank(6, 4);
  s->CopyFrom(source, 2, 1);
  s->CopyFrom(source, -2, 3);  // partly outside: only (0..0, 3) lands
  EXPECT_EQ(Art(*s->Image()),
            "......\n"
            "..rrr.\n"
            "..rrb.\n"
            "r.....\n");
}

// The window surface (through a QPainter) follows the same pixel rules.
TEST(WindowSurfaceTest, SamePixelsAsBitmapSurface) {
  auto draw = [](TSurface& s) {
    s.Brush().SetColor(clWhite);
    s.FillRect({0, 0, 24, 16});
    s.Brush().SetColor(clRed);
    s.Rectangle({1, 1, 9, 7});
    s.Pen().SetWidth(2);
    s.MoveTo(2, 12);
    s.LineTo(20, 9);
    s.Pen().SetWidth(1);
    s.Pen().SetStyle(TPenStyle::psAlternate);
    s.Pen().SetColor(clBlue);
    s.MoveTo(0, 14);
    s.LineTo(24, 14);
    s.Pen().SetStyle(TPenStyle::psSolid);
    s.Pen().SetColor(clBlack);
    s.Pen().SetMode(TPenMode::pmNotXor);
    s.Brush().SetStyle(TBrushStyle::bsClear);
    s.Rectangle({4, 3, 16, 12});
    s.Pen().SetMode(TPenMode::pmCopy);
    s.IntersectClip({12, 0, 24, 8});
    s.Brush().SetStyle(TBrushStyle::bsDiagCross);
    s.SetBackgroundMode(TRANSPARENT);
    s.FillRect({0, 0, 24, 16});
    s.RemoveClip();
    s.SetPixel(23, 15, clLime);
  };
  TBitmapSurface bitmap(24, 16);
  draw(bitmap);
  QImage target(24, 16, QImage::Format_RGB32);
  {
    QPainter painter(&target);
    TWindowSurface window(painter, 24, 16);
    draw(window);
  }
  EXPECT_EQ(Art(target), Art(*bitmap.Image()));
}

// ---------------------------------------------------------------------------
// Text

TEST(TextTest, AlignmentPlacesTheTextAroundTheReferencePoint) {
  struct Row {
    const char* name;
    int align;
    bool left_of_x, above_y;
  } rows[] = {
      {"left top", TA_LEFT | TA_TOP, false, false},
      {"right top", TA_RIGHT | TA_TOP, true, false},
      {"left bottom", TA_LEFT | TA_BOTTOM, false, true},
      {"right baseline", TA_RIGHT | TA_BASELINE, true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto s = Blank(64, 48);
    s->Font().SetSize(14);
    s->SetBackgroundMode(TRANSPARENT);
    s->SetTextAlign(row.align);
    s->TextOut(32, 24, "HH");
    const TRect ink = InkBox(*s->Image());
    ASSERT_FALSE(ink.IsEmpty());
    if (row.left_of_x) EXPECT_LE(ink.Right, 33);
    else EXPECT_GE(ink.Left, 32);
    if (row.above_y) EXPECT_LE(ink.Bottom, 25);
    else EXPECT_GE(ink.Top, 24);
  }
}

TEST(TextTest, ExtentGrowsWithTextAndSizeAndInkStaysInside) {
  auto s = Blank(64, 32);
  s->Font().SetSize(10);
  const TSize one = s->TextExtent("W"), two = s->TextExtent("WW");
  EXPECT_GT(one.cx, 0);
  EXPECT_NEAR(two.cx, 2 * one.cx, 1);  // advances may be fractional
  EXPECT_EQ(two.cy, one.cy);
  EXPECT_EQ(s->TextExtent("").cx, 0);
  s->SetBackgroundMode(OPAQUE);
  s->SetBackgroundColor(clRed);
  s->TextOut(2, 3, "WW");
  // The opaque background is exactly the extent box. A glyph's ink may reach
  // past its advance (a "W" of some fonts does, as on Windows' own GDI), so
  // outside the box there may be ink, but never background.
  const TRect box{2, 3, 2 + two.cx, 3 + two.cy};
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool inside = box.Contains(x, y);
      const QRgb p = s->Image()->pixel(x, y) | 0xFF000000u;
      if (!inside) ASSERT_NE(p, Pixel(clRed)) << x << "," << y;
      else ASSERT_NE(p, Pixel(clWhite)) << x << "," << y;
    }
  }
  s->Font().SetSize(20);
  EXPECT_GT(s->TextExtent("W").cy, one.cy);
}

TEST(TextTest, OnlyAnOpaqueModeWithABrushFillsTheTextBox) {
  struct Row {
    int mode;
    TBrushStyle brush;
    bool filled;
  } rows[] = {
      {OPAQUE, TBrushStyle::bsSolid, true},
      {OPAQUE, TBrushStyle::bsCross, true},
      {OPAQUE, TBrushStyle::bsClear, false},  // a clear brush: transparent text
      {TRANSPARENT, TBrushStyle::bsSolid, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode * 100 + static_cast<int>(row.brush));
    auto s = Blank(40, 20);
    s->SetBackgroundMode(row.mode);
    s->SetBackgroundColor(clRed);
    s->Brush().SetStyle(row.brush);
    s->TextOut(1, 1, "Wy");
    EXPECT_EQ(s->Image()->pixel(1, 1) | 0xFF000000u, Pixel(row.filled ? clRed : clWhite));
  }
}

TEST(TextTest, AnyByteIsDrawnWithoutHarm) {
  auto s = Blank(64, 16);
  const std::string bytes("a\0b\xFF\r\n", 6);
  EXPECT_GT(s->TextExtent(bytes).cx, 0);
  s->TextOut(0, 0, bytes);
}

TEST(TextTest, PenModeDoesNotChangeTextColour) {
  auto a = Blank(40, 20), b = Blank(40, 20);
  b->Pen().SetMode(TPenMode::pmNotXor);
  for (TBitmapSurface* s : {a.get(), b.get()}) {
    s->SetBackgroundMode(TRANSPARENT);
    s->Font().SetColor(clBlue);
    s->TextOut(1, 1, "Wy");
  }
  EXPECT_EQ(*a->Image(), *b->Image());
}

TEST(FontTest, SizeConvertsAtTheFontsResolution) {
  TFont font;
  EXPECT_EQ(font.Name(), "Arial");
  font.SetSize(8);
  EXPECT_EQ(font.Height(), -11);  // 8 × 96 / 72 = 10.67
  font.SetPixelsPerInch(192);
  EXPECT_EQ(font.Height(), -21);
  TFont other;
  other.SetPixelsPerInch(72);
  other.Assign(font);  // resolution stays
  EXPECT_EQ(other.Height(), -8);
}

TEST(FontTest, ArialResolvesToAnInstalledFace) {
  TBitmapSurface s(4, 4);
  const QFontInfo info(s.ToQFont(s.Font()));
  EXPECT_TRUE(info.family() == "Arial" || info.family() == "Liberation Sans")
      << info.family().toStdString();
}

TEST(MulDivTest, RoundsHalvesAwayFromZero) {
  struct Row {
    int a, b, c, expected;
  } rows[] = {{3, 750, 100, 23}, {4, 596, 100, 24}, {-3, 750, 100, -23}, {1, 1, 2, 1},
              {-1, 1, 2, -1},    {8, 96, 72, 11},   {1, 1, 0, -1},       {INT_MAX, 2, 2, INT_MAX}};
  for (const Row& r : rows)
    EXPECT_EQ(MulDiv(r.a, r.b, r.c), r.expected) << r.a << "*" << r.b << "/" << r.c;
}

// ---------------------------------------------------------------------------
// Colours

TEST(ColorTest, PlainColoursKeepTheirLowBytesSystemColoursFollowThePlatform) {
  using testing_support::PlatformSystemColor;
  QPalette palette = QGuiApplication::palette();
  palette.setColor(QPalette::Active, QPalette::Window, QColor(1, 2, 3));
  palette.setColor(QPalette::Active, QPalette::Text, QColor(10, 20, 30));
  QGuiApplication::setPalette(palette);
  const TColor buttonFace = PlatformSystemColor(15, RGBColor(1, 2, 3));
  struct Row {
    const char* name;
    TColor in, out;
  } rows[] = {
      {"red", clRed, 0x0000FF},
      {"sky blue", clSkyBlue, 0xF0CAA6},
      {"default marker", clDefault, 0x000000},
      {"none marker", clNone, 0xFFFFFF},
      {"button face", clBtnFace, buttonFace},
      {"window text", clWindowText, PlatformSystemColor(8, RGBColor(10, 20, 30))},
      // Qt's palette has no desktop colour: black outside Windows.
      {"desktop", clBackground, PlatformSystemColor(1, clBlack)},
      {"unknown system index", 0xFF0000FF, clBlack},
  };
  for (const Row& row : rows) EXPECT_EQ(ResolveColor(row.in), row.out) << row.name;
  EXPECT_EQ(ToQColor(clMaroon), QColor(0x80, 0, 0));
  EXPECT_EQ(FromQColor(QColor(0x80, 0, 0)), clMaroon);

  auto s = Blank(2, 1);
  s->SetPixel(0, 0, clBtnFace);
  EXPECT_EQ(s->Image()->pixel(0, 0) | 0xFF000000u, ToQColor(buttonFace).rgb());
  QGuiApplication::setPalette(QPalette());
}

TEST(ColorTest, MonochromeBitmapKeepsOnlyBlackAndWhite) {
  TBitmapSurface s(4, 1, /*monochrome=*/true);
  s.SetPixel(0, 0, clYellow);
  s.SetPixel(1, 0, clNavy);
  s.SetPixel(2, 0, clSilver);
  s.SetPixel(3, 0, clMaroon);
  EXPECT_EQ(Art(*s.Image()), ".#.#\n");
}

}  // namespace
}  // namespace tempolog
