// The chart canvas: pens and their kinds, pixel rules of its operations,
// rotated text, clipping, bevels, gradients and the off-screen buffer.
#include <gtest/gtest.h>

#include <QPainter>

#include "chart/ChartCanvas.h"
#include "framework/RecordingSurface.h"
#include "framework/SurfaceQt.h"
#include "tests/canvas/CanvasTestSupport.h"

namespace tempolog {
namespace {

using testing_support::Art;
using testing_support::InkBox;
using testing_support::Inked;
using testing_support::Pixel;

// A canvas drawing on a white bitmap of its own.
struct Drawing {
  Drawing(int width, int height) : bitmap(width, height) {
    canvas.AttachSurface(&bitmap);
    canvas.Brush().SetColor(clWhite);
    canvas.FillBox({0, 0, width, height});
    canvas.SetBackgroundMode(TRANSPARENT);
  }
  std::string Picture() const { return Art(*bitmap.Image()); }
  TBitmapSurface bitmap;
  TChartCanvas3D canvas;
};

std::uint64_t Serial(const TSurface* bitmap) { return bitmap->Image()->cacheKey() >> 32; }

// ---------------------------------------------------------------------------
// Pens, brushes, fonts

TEST(ChartPenTest, KindsAreCreatedWithTheirDefaults) {
  TChartPen plain;
  TChartHiddenPen hidden;
  TDottedGrayPen dotted;
  TDarkGrayPen dark;
  TChartAxisPen axis;
  TChartArrowPen arrow;
  const struct {
    const char* name;
    const TChartPen& pen;
    TColor color;
    TPenStyle style;
    int width;
    bool visible;
  } rows[] = {
      {"plain", plain, clBlack, TPenStyle::psSolid, 1, true},
      {"hidden", hidden, clBlack, TPenStyle::psSolid, 1, false},
      {"dotted grey", dotted, 0x808080, TPenStyle::psDot, 1, true},
      {"dark grey", dark, 0x808080, TPenStyle::psSolid, 1, true},
      {"axis", axis, clBlack, TPenStyle::psSolid, 2, true},
      {"arrow", arrow, 0xFFFFFF, TPenStyle::psSolid, 1, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.pen.Color(), row.color);
    EXPECT_EQ(row.pen.Style(), row.style);
    EXPECT_EQ(row.pen.Width(), row.width);
    EXPECT_EQ(row.pen.Visible(), row.visible);
    EXPECT_FALSE(row.pen.SmallDots());
    EXPECT_EQ(row.pen.Mode(), TPenMode::pmCopy);
  }
}

TEST(ChartPenTest, NotifiesOnlyWhenAValueChanges) {
  TChartPen pen;
  int changes = 0;
  pen.OnChange = [&changes] { ++changes; };
  pen.SetVisible(true);
  pen.SetSmallDots(false);
  pen.SetColor(clBlack);
  EXPECT_EQ(changes, 0);
  pen.SetVisible(false);
  pen.SetSmallDots(true);
  pen.SetWidth(2);
  EXPECT_EQ(changes, 3);

  TChartPen copy;
  copy.Assign(pen);
  EXPECT_FALSE(copy.Visible());
  EXPECT_TRUE(copy.SmallDots());
  EXPECT_EQ(copy.Width(), 2);
}

TEST(ChartFontTest, NewFontIsArialEightPointsAndChangesRepaint) {
  int repaints = 0;
  TChartFontObject font([&repaints] { ++repaints; });
  EXPECT_EQ(font.Name(), "Arial");
  EXPECT_EQ(font.Size(), 8);
  EXPECT_EQ(font.Color(), clBlack);
  EXPECT_EQ(font.Style(), 0u);
  EXPECT_EQ(repaints, 0);
  font.SetColor(clMaroon);
  font.SetColor(clMaroon);
  EXPECT_EQ(repaints, 1);
}

TEST(ChartFontTest, AssignedFontConvertsAtTheSurfaceResolution) {
  TRecordingSurface sharp(10, 10, 192);
  TChartCanvas3D canvas;
  canvas.AttachSurface(&sharp);
  TChartFontObject font;
  canvas.AssignFont(font);
  EXPECT_EQ(canvas.Font().Size(), 8);
  EXPECT_EQ(canvas.Font().Height(), -21);
  EXPECT_EQ(font.Height(), -11);  // the chart's own font is left alone
}

// ---------------------------------------------------------------------------
// ApplyChartPen

TEST(ApplyChartPenTest, HiddenPenDrawsNothingButKeepsColourAndWidth) {
  Drawing d(10, 4);
  TChartPen pen;
  pen.SetColor(clRed);
  pen.SetWidth(2);
  d.canvas.ApplyChartPen(pen);
  pen.SetVisible(false);
  d.canvas.ApplyChartPen(pen);
  d.canvas.DrawHorizontalSegment(0, 10, 1);
  EXPECT_TRUE(Inked(*d.bitmap.Image()).empty());
  EXPECT_EQ(d.canvas.Pen().Color(), clRed);
  EXPECT_EQ(d.canvas.Pen().Width(), 2);
  pen.SetVisible(true);
  d.canvas.ApplyChartPen(pen);
  d.canvas.DrawHorizontalSegment(0, 10, 1);
  EXPECT_EQ(d.Picture(), "..........\nrrrrrrrrrr\nrrrrrrrrrr\n..........\n");
}

TEST(ApplyChartPenTest, SmallDotsAtWidthOneDotsWhateverTheStyle) {
  struct Row {
    const char* name;
    TPenStyle style;
    int width;
    const char* art;
  } rows[] = {
      {"solid width 1", TPenStyle::psSolid, 1, "r.r.r.r.r.r.r.r.r.r.\n....................\n"},
      {"dashed width 1", TPenStyle::psDash, 1, "r.r.r.r.r.r.r.r.r.r.\n....................\n"},
      {"clear width 1", TPenStyle::psClear, 1, "r.r.r.r.r.r.r.r.r.r.\n....................\n"},
      {"solid width 2", TPenStyle::psSolid, 2, "rrrrrrrrrrrrrrrrrrrr\nrrrrrrrrrrrrrrrrrrrr\n"},
      // A dash of a two-pixel pen is 36 pixels long: all 20 here.
      {"dashed width 2", TPenStyle::psDash, 2, "rrrrrrrrrrrrrrrrrrrr\nrrrrrrrrrrrrrrrrrrrr\n"},
      // Dots of 6 pixels, each pixel painting a 2 × 2 square.
      {"dotted width 2", TPenStyle::psDot, 2, "rrrrrrr.....rrrrrrr.\nrrrrrrr.....rrrrrrr.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Drawing d(20, 2);
    TChartPen pen;
    pen.SetColor(clRed);
    pen.SetStyle(row.style);
    pen.SetWidth(row.width);
    pen.SetSmallDots(true);
    d.canvas.ApplyChartPen(pen);
    d.canvas.DrawHorizontalSegment(0, 20, 0);
    EXPECT_EQ(d.Picture(), row.art);
  }
}

TEST(ApplyChartPenTest, SmallDotsKeepsDottingAfterColourChangeAndWithoutSupportCopiesThePen) {
  TRecordingSurface surface;
  TChartCanvas3D canvas;
  canvas.AttachSurface(&surface);
  TChartPen pen;
  pen.SetSmallDots(true);
  pen.SetStyle(TPenStyle::psDash);
  pen.SetColor(clWindowText);
  canvas.ApplyChartPen(pen);
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psAlternate);
  EXPECT_EQ(canvas.Pen().Color(), ResolveColor(clWindowText));
  canvas.Pen().SetColor(clRed);  // a series colours its line after applying the pen
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psAlternate);

  surface.SetAlternatePenSupported(false);
  canvas.ApplyChartPen(pen);
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psDash);
  EXPECT_EQ(canvas.Pen().Color(), clWindowText);
}

// ---------------------------------------------------------------------------
// Operations

TEST(CanvasOperationTest, BoxesSegmentsAndMarkers) {
  Drawing d(12, 8);
  d.canvas.Brush().SetColor(clRed);
  d.canvas.DrawBox(1, 1, 5, 4);  // outline includes column 4 and row 3
  TChartHiddenPen hidden;
  d.canvas.ApplyChartPen(hidden);
  d.canvas.Brush().SetColor(clBlue);
  d.canvas.DrawBox(8 - 1, 2 - 1, 8 + 1 + 1, 2 + 1 + 1);  // marker of half size 1 at (8, 2): 2 × 2
  TChartPen solid;
  d.canvas.ApplyChartPen(solid);
  d.canvas.DrawVerticalSegment(10, 6, 3);  // up, leaves out row 3
  d.canvas.DrawSegment(0, 7, 4, 7);
  d.canvas.SetPixelColor(11, 0, clLime);
  EXPECT_EQ(d.Picture(),
            "...........g\n"
            ".####..bb...\n"
            ".#rr#..bb...\n"
            ".####.......\n"
            "..........#.\n"
            "..........#.\n"
            "..........#.\n"
            "####........\n");
}

TEST(CanvasOperationTest, PolygonNeverReadsBeyondItsPoints) {
  TRecordingSurface surface;
  TChartCanvas3D canvas;
  canvas.AttachSurface(&surface);
  const TPoint points[] = {{0, 0}, {4, 0}, {2, 3}};
  canvas.DrawPolygonPoints(points, 2);
  canvas.DrawPolygonPoints(points, 1);
  canvas.DrawPolygonPoints(points, 7);   // more than given: the given ones
  canvas.DrawPolygonPoints(points, -1);  // nothing
  EXPECT_EQ(surface.CallTexts(),
            (std::vector<std::string>{"Polygon(0,0,4,0,2,3)", "Polygon(0,0,4,0)",
                                      "Polygon(0,0,4,0,2,3)"}));
}

TEST(CanvasOperationTest, NestedClipsAndRemoveClip) {
  Drawing d(10, 6);
  d.canvas.ClipToBox({1, 1, 8, 5});
  d.canvas.ClipToBox({4, 0, 10, 3});
  d.canvas.Brush().SetColor(clBlack);
  d.canvas.FillBox({0, 0, 10, 6});
  EXPECT_EQ(d.Picture(),
            "..........\n"
            "....####..\n"
            "....####..\n"
            "..........\n"
            "..........\n"
            "..........\n");
  d.canvas.RemoveClip();
  d.canvas.Brush().SetColor(clRed);
  d.canvas.FillBox({0, 5, 10, 6});
  EXPECT_EQ(Art(*d.bitmap.Image(), {0, 5, 10, 6}), "rrrrrrrrrr\n");
}

TEST(CanvasOperationTest, PlotAreaClipKeepsTheFrameFree) {
  Drawing d(10, 8);
  const TRect plot{1, 1, 8, 7};
  d.canvas.DrawBox(plot.Left, plot.Top, plot.Right + 1, plot.Bottom + 1);  // the back-wall frame
  d.canvas.ClipToPlotArea(plot, 0, 0);
  d.canvas.Brush().SetColor(clRed);
  d.canvas.FillBox({0, 0, 10, 8});
  d.canvas.RemoveClip();
  EXPECT_EQ(d.Picture(),
            "..........\n"
            ".########.\n"
            ".#rrrrrr#.\n"  // the frame column is the clip's excluded right edge
            ".#rrrrrr#.\n"
            ".#rrrrrr#.\n"
            ".#rrrrrr#.\n"
            ".#......#.\n"  // the row above the bottom frame stays free
            ".########.\n");
}

TEST(CanvasOperationTest, BevelOfWidthTwo) {
  Drawing d(8, 7);
  d.canvas.DrawBevel({1, 1, 7, 7}, clLime, clBlue, 2);
  EXPECT_EQ(d.Picture(),
            "........\n"
            ".gggggb.\n"
            ".ggggbb.\n"
            ".gg..bb.\n"
            ".gg..bb.\n"
            ".gbbbbb.\n"
            ".bbbbbb.\n");
}

TEST(CanvasOperationTest, GradientBandsAndColours) {
  struct Row {
    const char* name;
    TGradientDirection direction;
    TRect box;
    std::vector<QRgb> first_column;  // from the top
    std::vector<QRgb> first_row;     // from the left
  } rows[] = {
      {"top to bottom",
       TGradientDirection::gdTopBottom,
       {0, 0, 2, 4},
       {qRgb(0, 0, 0), qRgb(85, 0, 0), qRgb(170, 0, 0), qRgb(255, 0, 0)},
       {qRgb(0, 0, 0), qRgb(0, 0, 0)}},
      {"bottom to top swaps the colours",
       TGradientDirection::gdBottomTop,
       {0, 0, 2, 4},
       {qRgb(255, 0, 0), qRgb(170, 0, 0), qRgb(85, 0, 0), qRgb(0, 0, 0)},
       {qRgb(255, 0, 0), qRgb(255, 0, 0)}},
      {"left to right",
       TGradientDirection::gdLeftRight,
       {0, 0, 4, 2},
       {qRgb(0, 0, 0), qRgb(0, 0, 0)},
       {qRgb(0, 0, 0), qRgb(85, 0, 0), qRgb(170, 0, 0), qRgb(255, 0, 0)}},
      {"box given upside down is normalised",
       TGradientDirection::gdTopBottom,
       {2, 4, 0, 0},
       {qRgb(0, 0, 0), qRgb(85, 0, 0), qRgb(170, 0, 0), qRgb(255, 0, 0)},
       {qRgb(0, 0, 0), qRgb(0, 0, 0)}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Drawing d(4, 4);
    d.canvas.FillGradient(row.box, clBlack, row.direction, clRed);
    for (std::size_t y = 0; y < row.first_column.size(); ++y) {
      EXPECT_EQ(d.bitmap.Image()->pixel(0, static_cast<int>(y)), row.first_column[y])
          << "row " << y;
    }
    for (std::size_t x = 0; x < row.first_row.size(); ++x) {
      EXPECT_EQ(d.bitmap.Image()->pixel(static_cast<int>(x), 0), row.first_row[x])
          << "column " << x;
    }
  }
}

TEST(CanvasOperationTest, GradientUsesAtMost256Bands) {
  Drawing d(1, 512);
  d.canvas.FillGradient({0, 0, 1, 512}, clBlack, TGradientDirection::gdTopBottom, clWhite);
  for (int y = 0; y < 512; y += 2) {
    ASSERT_EQ(d.bitmap.Image()->pixel(0, y), d.bitmap.Image()->pixel(0, y + 1)) << y;
    ASSERT_EQ(qRed(d.bitmap.Image()->pixel(0, y)), y / 2) << y;
  }
}

TEST(CanvasOperationTest, OtherGradientsStayInsideTheBox) {
  for (auto direction : {TGradientDirection::gdFromCenter, TGradientDirection::gdFromTopLeft,
                         TGradientDirection::gdFromBottomLeft, TGradientDirection::gdRightLeft}) {
    Drawing d(12, 10);
    d.canvas.FillGradient({2, 1, 10, 9}, clBlack, direction, clRed);
    EXPECT_EQ(InkBox(*d.bitmap.Image()), (TRect{2, 1, 10, 9})) << static_cast<int>(direction);
  }
}

// The zoom rectangle draws in not-xor mode; the end of the pass returns the
// pen to copy mode, so the next pass's plain lines do not invert the picture.
TEST(CanvasOperationTest, ResetDrawingStateEndsNotXorDrawing) {
  Drawing d(6, 1);
  d.canvas.Pen().SetMode(TPenMode::pmNotXor);
  d.canvas.Pen().SetColor(clRed);
  d.canvas.ResetDrawingState();
  d.canvas.DrawHorizontalSegment(0, 3, 0);
  d.canvas.DrawHorizontalSegment(0, 3, 0);
  EXPECT_EQ(d.Picture(), "###...\n");
  EXPECT_EQ(d.canvas.Brush().Color(), clWhite);
  EXPECT_EQ(d.canvas.Font().Size(), 10);
  EXPECT_EQ(d.canvas.GetBackgroundMode(), TRANSPARENT);
}

// ---------------------------------------------------------------------------
// Text

TEST(CanvasTextTest, MeasuresInTheCanvasFont) {
  Drawing d(8, 8);
  const int height8 = d.canvas.MeasureFontHeight();
  EXPECT_GT(height8, 0);
  EXPECT_EQ(d.canvas.MeasureTextHeight("x"), height8);
  d.canvas.Font().SetSize(16);
  EXPECT_GT(d.canvas.MeasureFontHeight(), height8);
  EXPECT_EQ(d.canvas.MeasureTextWidth(""), 0);
  EXPECT_GT(d.canvas.MeasureTextWidth("W"), 0);
}

TEST(CanvasTextTest, RotatedTextIsRecordedWithTenthsOfADegreeAndRestored) {
  struct Row {
    int angle, orientation;
  } rows[] = {{90, 900}, {360, 3600}, {450, 900}, {0, 0}, {270, 2700}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.angle);
    TRecordingSurface surface;
    TChartCanvas3D canvas;
    canvas.AttachSurface(&surface);
    canvas.PutRotatedText(10, 20, row.angle, "12.05.24");
    ASSERT_EQ(surface.CallTexts(), (std::vector<std::string>{"TextOut(10,20,\"12.05.24\")"}));
    const TSurfaceCall& call = surface.Calls()[0];
    EXPECT_EQ(call.Font.Orientation, row.orientation);
    EXPECT_TRUE(call.Font.OutlineOnly);
    EXPECT_EQ(call.Brush.Style, TBrushStyle::bsClear);
    EXPECT_EQ(canvas.Font().Orientation(), 0);
    EXPECT_FALSE(canvas.Font().OutlineOnly());
  }
}

QImage RenderText(int angle, bool rotated) {
  Drawing d(64, 64);
  d.canvas.Font().SetSize(12);
  if (rotated) d.canvas.PutRotatedText(32, 32, angle, "Ab");
  else d.canvas.PutText(32, 32, "Ab");
  return d.bitmap.Image()->copy();
}

TEST(CanvasTextTest, RotationAt90ReadsUpwardsAt450As90At360As0) {
  const QImage flat = RenderText(0, false);
  const QImage up = RenderText(90, true);
  const TRect flat_box = InkBox(flat), up_box = InkBox(up);
  ASSERT_FALSE(flat_box.IsEmpty());
  ASSERT_FALSE(up_box.IsEmpty());
  // Flat text runs right and down from the reference point; text at 90
  // degrees runs up and right of it, its length along the vertical.
  EXPECT_GE(flat_box.Left, 32);
  EXPECT_GE(flat_box.Top, 32);
  EXPECT_LE(up_box.Bottom, 33);
  EXPECT_GE(up_box.Left, 32);
  EXPECT_GT(flat_box.Width(), flat_box.Height());
  EXPECT_GT(up_box.Height(), up_box.Width());
  // The text reads bottom to top: the wide capital "A" is at the bottom.
  EXPECT_EQ(RenderText(450, true), up);
  EXPECT_EQ(RenderText(360, true), flat);
  EXPECT_EQ(RenderText(0, true), flat);
}

// ---------------------------------------------------------------------------
// Buffering

TEST(BufferTest, BitmapIsKeptWhileTheSizeStaysAndRecreatedOnResize) {
  TChartCanvas3D canvas;
  EXPECT_TRUE(canvas.Buffered());
  EXPECT_TRUE(canvas.BufferStale());
  EXPECT_EQ(canvas.BufferBitmap(), nullptr);
  TRecordingSurface window(400, 300);

  const TRect drawing = canvas.BeginFrame(&window, nullptr, {10, 20, 60, 50}, false);
  EXPECT_EQ(drawing, (TRect{0, 0, 50, 30}));
  ASSERT_NE(canvas.BufferBitmap(), nullptr);
  EXPECT_EQ(&canvas.Surface(), canvas.BufferBitmap());
  const std::uint64_t first = Serial(canvas.BufferBitmap());
  canvas.ClipToBox({0, 0, 5, 5});  // a clip left over from a pass...
  canvas.PresentFrame(&window, &window, {10, 20, 60, 50});
  EXPECT_FALSE(canvas.BufferStale());
  EXPECT_EQ(&canvas.Surface(), &window);
  EXPECT_EQ(window.CallTexts(), (std::vector<std::string>{"CopyFrom(10,20,50,30)"}));

  canvas.MarkBufferStale();
  canvas.BeginFrame(&window, nullptr, {0, 0, 50, 30}, false);
  EXPECT_EQ(Serial(canvas.BufferBitmap()), first);
  EXPECT_EQ(canvas.Surface().ClipRect(), (TRect{0, 0, 50, 30}));  // ...is gone at the next one
  canvas.PresentFrame(&window, &window, {0, 0, 50, 30});

  canvas.BeginFrame(&window, nullptr, {0, 0, 51, 30}, false);
  EXPECT_NE(Serial(canvas.BufferBitmap()), first);
  EXPECT_EQ(canvas.BufferBitmap()->Width(), 51);
  canvas.PresentFrame(&window, &window, {0, 0, 51, 30});
}

TEST(BufferTest, RepaintFromBufferCopiesOnlyACurrentBufferOfTheRightSize) {
  TChartCanvas3D canvas;
  QImage screen(8, 4, QImage::Format_RGB32);
  screen.fill(Qt::white);
  QPainter painter(&screen);
  TWindowSurface window(painter, 8, 4);
  canvas.AttachSurface(&window);
  EXPECT_FALSE(canvas.RepaintFromBuffer());  // nothing painted yet

  canvas.BeginFrame(&window, nullptr, {0, 0, 8, 4}, false);
  canvas.Brush().SetColor(clRed);
  canvas.FillBox({0, 0, 8, 4});
  canvas.PresentFrame(&window, &window, {0, 0, 8, 4});
  painter.fillRect(0, 0, 8, 4, Qt::white);  // the window was covered
  EXPECT_TRUE(canvas.RepaintFromBuffer());
  EXPECT_EQ(Art(screen), "rrrrrrrr\nrrrrrrrr\nrrrrrrrr\nrrrrrrrr\n");

  canvas.MarkBufferStale();
  EXPECT_FALSE(canvas.RepaintFromBuffer());
  canvas.BeginFrame(&window, nullptr, {0, 0, 8, 4}, false);
  canvas.PresentFrame(&window, &window, {0, 0, 8, 4});
  TWindowSurface larger(painter, 9, 4);
  canvas.AttachSurface(&larger);
  EXPECT_FALSE(canvas.RepaintFromBuffer());  // resized window: a full paint is needed
  canvas.AttachSurface(nullptr);
}

TEST(BufferTest, UnbufferedDrawsOnTheTargetAndStaysStale) {
  TChartCanvas3D canvas;
  canvas.SetBuffered(false);
  TRecordingSurface window(100, 100);
  const TRect drawing = canvas.BeginFrame(&window, nullptr, {5, 5, 50, 50}, false);
  EXPECT_EQ(drawing, (TRect{5, 5, 50, 50}));
  EXPECT_EQ(&canvas.Surface(), &window);
  canvas.DrawBox(5, 5, 10, 10);
  canvas.PresentFrame(&window, &window, {5, 5, 50, 50});
  EXPECT_TRUE(canvas.BufferStale());
  EXPECT_EQ(canvas.BufferBitmap(), nullptr);
  EXPECT_EQ(window.CallTexts(), (std::vector<std::string>{"Rectangle(5,5,10,10)"}));
}

TEST(BufferTest, FreeingTheBitmapWhileDrawingOnItLeavesNoDanglingSurface) {
  TChartCanvas3D canvas;
  int invalidations = 0;
  canvas.OnInvalidate = [&invalidations] { ++invalidations; };
  TRecordingSurface window(20, 20);
  canvas.BeginFrame(&window, nullptr, {0, 0, 20, 20}, false);
  canvas.SetMonochrome(true);  // frees the bitmap the canvas draws on
  EXPECT_EQ(invalidations, 1);
  EXPECT_EQ(canvas.BufferBitmap(), nullptr);
  EXPECT_TRUE(canvas.BufferStale());
  canvas.DrawBox(0, 0, 5, 5);                // draws on nothing, safely
  EXPECT_GT(canvas.MeasureFontHeight(), 0);  // and still measures text
  canvas.SetMonochrome(true);
  EXPECT_EQ(invalidations, 1);

  canvas.BeginFrame(&window, nullptr, {0, 0, 20, 20}, false);
  EXPECT_TRUE(canvas.BufferBitmap()->Monochrome());
  canvas.SetBuffered(false);
  EXPECT_EQ(canvas.BufferBitmap(), nullptr);
  canvas.FillBox({0, 0, 5, 5});
  EXPECT_FALSE(canvas.Buffered());

  TChartCanvas3D other;
  other.AssignMonochrome(canvas);
  EXPECT_TRUE(other.Monochrome());
}

}  // namespace
}  // namespace tempolog
