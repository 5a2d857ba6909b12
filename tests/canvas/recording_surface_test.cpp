// The recording surface logs each primitive with its arguments and the pen,
// brush, font and clip in force at the call.
#include <gtest/gtest.h>

#include "framework/RecordingSurface.h"

namespace tempolog {
namespace {

TEST(RecordingSurfaceTest, LogsCallsWithArgumentsInOrder) {
  TRecordingSurface s(100, 50);
  s.MoveTo(1, 2);
  s.LineTo(5, 2);
  s.Rectangle({1, 2, 3, 4});
  s.FillRect({0, 0, 10, 10});
  s.SetPixel(3, 4, 0x0000FF);
  const TPoint triangle[] = {{0, 0}, {4, 0}, {2, 3}};
  s.Polygon(triangle);
  s.TextOut(7, 8, "a\"b");
  s.IntersectClip({10, 10, 20, 20});
  s.RemoveClip();
  EXPECT_EQ(s.CallTexts(), (std::vector<std::string>{
                               "MoveTo(1,2)",
                               "LineTo(5,2)",
                               "Rectangle(1,2,3,4)",
                               "FillRect(0,0,10,10)",
                               "SetPixel(3,4,#0000FF)",
                               "Polygon(0,0,4,0,2,3)",
                               "TextOut(7,8,\"a\"b\")",
                               "IntersectClip(10,10,20,20)",
                               "RemoveClip()",
                           }));
  EXPECT_EQ(s.Calls()[1].PenPos, (TPoint{1, 2}));
  EXPECT_EQ(s.PenPos(), (TPoint{5, 2}));
}

TEST(RecordingSurfaceTest, SnapshotsTheStateInForceAtEachCall) {
  TRecordingSurface s;
  s.Pen().SetColor(clRed);
  s.Pen().SetWidth(2);
  s.Brush().SetStyle(TBrushStyle::bsClear);
  s.LineTo(1, 1);
  s.Pen().SetMode(TPenMode::pmNotXor);
  s.Font().SetOrientation(900);
  s.SetBackgroundMode(TRANSPARENT);
  s.IntersectClip({1, 2, 30, 40});
  s.TextOut(0, 0, "x");
  const auto& calls = s.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Pen, (TPenSnapshot{clRed, TPenMode::pmCopy, TPenStyle::psSolid, 2}));
  EXPECT_EQ(calls[0].Brush.Style, TBrushStyle::bsClear);
  EXPECT_EQ(calls[0].Clip, (TRect{0, 0, 640, 480}));
  EXPECT_EQ(calls[2].Pen.Mode, TPenMode::pmNotXor);
  EXPECT_EQ(calls[2].Font.Orientation, 900);
  EXPECT_EQ(calls[2].BackgroundMode, TRANSPARENT);
  EXPECT_EQ(calls[2].Clip, (TRect{1, 2, 30, 40}));
  EXPECT_EQ(s.CallsNamed("TextOut").size(), 1u);
}

TEST(RecordingSurfaceTest, MeasuresWithMadeUpMetricsRecordingOnlyWhenAsked) {
  TRecordingSurface s;
  EXPECT_EQ(s.TextExtent("abcd"), (TSize{24, 13}));
  EXPECT_TRUE(s.Calls().empty());
  s.SetTextMetrics(5, 9);
  s.SetRecordMeasurements(true);
  EXPECT_EQ(s.TextExtent("ab"), (TSize{10, 9}));
  EXPECT_EQ(s.CallTexts(), (std::vector<std::string>{"TextExtent(\"ab\")"}));
  s.Clear();
  EXPECT_TRUE(s.Calls().empty());
}

}  // namespace
}  // namespace tempolog
