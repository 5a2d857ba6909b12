// Axis labels, ticks and grids: property defaults and checks, the label
// sequence, text placement, tick and grid geometry, band sizes and hit tests,
// checked as exact calls on a recording surface (text 6 pixels per byte,
// 13 high) and, where pixels matter, in a small image.
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "app/textconv/TextConv.h"
#include "chart/ProgramChart.h"
#include "chart/Series.h"
#include "framework/RecordingSurface.h"
#include "framework/SurfaceQt.h"
#include "tests/canvas/CanvasTestSupport.h"  // the Qt application for fonts
#include "tests/chart/TestPanel.h"

namespace tempolog {
namespace {

constexpr int kCharWidth = 6;
constexpr int kFontHeight = 13;

// A chart owner drawing on a recording surface.
class AxisPanel : public TCustomAxisPanel {
 public:
  explicit AxisPanel(TSurface* target = nullptr) {
    canvas.AttachSurface(target != nullptr ? target : &surface);
    SetPlotRect({100, 50, 600, 450});
  }
  ~AxisPanel() override { BeginDestroy(); }
  void Invalidate() override { ++invalidations; }
  TChartCanvas* AxisCanvas() const override { return &canvas; }

  TRecordingSurface surface{800, 600};
  mutable TChartCanvas canvas;
  int invalidations = 0;
};

// The shared chart of one line series, drawing an axis on the recording surface.
struct Chart : charttest::ChartOf<AxisPanel> {
  explicit Chart(TSurface* target = nullptr) : ChartOf(target) {}
  void Draw(TCustomChartAxis& axis) {
    panel.surface.Clear();
    axis.DrawAxis(true);
  }
};

// A label as the process's regional settings print it, written with "." for
// the decimal separator, "," for the thousands separator and ":" for the time
// separator.
std::string Local(std::string_view text) {
  const TFormatSettings fs = ProcessFormatSettings();
  std::string local;
  for (const char c : text) {
    const char l = c == '.'   ? fs.decimalSeparator
                   : c == ',' ? fs.thousandSeparator
                   : c == ':' ? fs.timeSeparator
                              : c;
    if (l != '\0') local += l;
  }
  return local;
}

std::vector<std::string> Texts(const TRecordingSurface& surface) {
  std::vector<std::string> texts;
  for (const TSurfaceCall& call : surface.CallsNamed("TextOut")) texts.push_back(call.Text);
  return texts;
}

// Line segments drawn, as "x0,y0-x1,y1", optionally only in one pen colour.
std::vector<std::string> Segments(const TRecordingSurface& surface, TColor color = clNone) {
  std::vector<std::string> segments;
  for (const TSurfaceCall& call : surface.CallsNamed("LineTo")) {
    if (color != clNone && call.Pen.Color != color) continue;
    segments.push_back(std::to_string(call.PenPos.X) + "," + std::to_string(call.PenPos.Y) + "-" +
                       std::to_string(call.Args[0]) + "," + std::to_string(call.Args[1]));
  }
  return segments;
}

std::vector<std::int32_t> Ticks(const TCustomChartAxis& axis) {
  return {axis.TickTable().begin(), axis.TickTable().end()};
}

// The pens of an axis that draw lines in a paint, each in its own colour so
// the segments can be told apart.
constexpr TColor kAxisColor = 0x000001;
constexpr TColor kTickColor = 0x000002;
constexpr TColor kGridColor = 0x000003;
constexpr TColor kInnerColor = 0x000004;
constexpr TColor kMinorColor = 0x000005;
constexpr TColor kMinorGridColor = 0x000006;
void ColourPens(TCustomChartAxis& axis) {
  axis.Axis().SetColor(kAxisColor);
  axis.Ticks().SetColor(kTickColor);
  axis.Grid().SetColor(kGridColor);
  axis.TicksInner().SetColor(kInnerColor);
  axis.MinorTicks().SetColor(kMinorColor);
  axis.MinorGrid().SetColor(kMinorGridColor);
}

// ---------------------------------------------------------------------------
// Properties

TEST(AxisDrawingProperties, Defaults) {
  AxisPanel panel;
  for (TCustomChartAxis* axis : panel.Axes()) {
    SCOPED_TRACE(std::to_string(axis->Horizontal()) + std::to_string(axis->OtherSide()));
    EXPECT_TRUE(axis->Labels());
    EXPECT_EQ(axis->LabelsFont().Name(), "Arial");
    EXPECT_EQ(axis->LabelsFont().Size(), 8);
    EXPECT_EQ(axis->LabelsAngle(), 0);
    EXPECT_FALSE(axis->LabelsMultiLine());
    EXPECT_TRUE(axis->LabelsOnAxis());
    EXPECT_EQ(axis->LabelsSize(), 0);
    EXPECT_EQ(axis->LabelStyle(), talAuto);
    EXPECT_EQ(axis->AxisValuesFormat(), "#,##0.###");
    EXPECT_EQ(axis->DateTimeFormat(), "");
    EXPECT_TRUE(axis->RoundFirstLabel());
    EXPECT_EQ(axis->Axis().Width(), 2);
    EXPECT_TRUE(axis->Axis().Visible());
    EXPECT_EQ(axis->Ticks().Color(), clGray);
    EXPECT_EQ(axis->TickLength(), 4);
    EXPECT_EQ(axis->TicksInner().Color(), clGray);
    EXPECT_EQ(axis->TickInnerLength(), 0);
    EXPECT_EQ(axis->MinorTicks().Color(), clGray);
    EXPECT_EQ(axis->MinorTickLength(), 2);
    EXPECT_EQ(axis->MinorTickCount(), 3);
    EXPECT_EQ(axis->Grid().Color(), clGray);
    EXPECT_EQ(axis->Grid().Style(), TPenStyle::psDot);
    EXPECT_FALSE(axis->GridCentered());
    EXPECT_FALSE(axis->MinorGrid().Visible());
    EXPECT_TRUE(axis->TickOnLabelsOnly());
    EXPECT_EQ(axis->Title().Caption(), "");
    EXPECT_EQ(axis->TitleSize(), 0);
    EXPECT_EQ(axis->PositionPercent(), 0);
  }
  EXPECT_EQ(panel.BottomAxis().Title().Angle(), 0);
  EXPECT_EQ(panel.TopAxis().Title().Angle(), 0);
  EXPECT_EQ(panel.LeftAxis().Title().Angle(), 90);
  EXPECT_EQ(panel.RightAxis().Title().Angle(), 270);
}

TEST(AxisDrawingProperties, AnglesOutsideTheCircleAreRefusedAndKept) {
  AxisPanel panel;
  TCustomChartAxis& axis = panel.LeftAxis();
  struct Row {
    const char* name;
    std::function<void(std::int32_t)> set;
    std::function<std::int32_t()> get;
    const char* message;
  };
  const Row rows[] = {
      {"labels", [&](std::int32_t v) { axis.SetLabelsAngle(v); },
       [&] { return axis.LabelsAngle(); }, "Axis Labels Angle must be between 0 and 359 degrees"},
      {"title", [&](std::int32_t v) { axis.Title().SetAngle(v); },
       [&] { return axis.Title().Angle(); }, "Axis Title Angle must be between 0 and 359 degrees"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.set(359);
    EXPECT_EQ(row.get(), 359);
    for (const std::int32_t bad : {360, -1, 720, std::numeric_limits<std::int32_t>::min()}) {
      try {
        row.set(bad);
        ADD_FAILURE() << bad << " accepted";
      } catch (const ChartException& e) {
        EXPECT_EQ(e.Message(), row.message);
      }
      EXPECT_EQ(row.get(), 359);
    }
    row.set(0);
    EXPECT_EQ(row.get(), 0);
  }
}

TEST(AxisDrawingProperties, RepaintOnlyWhenAValueChanges) {
  AxisPanel panel;
  TCustomChartAxis& axis = panel.BottomAxis();
  const struct {
    const char* name;
    std::function<void()> set;
  } rows[] = {
      {"TickLength", [&] { axis.SetTickLength(7); }},
      {"MinorTickCount", [&] { axis.SetMinorTickCount(4); }},
      {"GridCentered", [&] { axis.SetGridCentered(true); }},
      {"RoundFirstLabel", [&] { axis.SetRoundFirstLabel(false); }},
      {"Title caption", [&] { axis.Title().SetCaption("t"); }},
      {"grid pen colour", [&] { axis.Grid().SetColor(11184810); }},
      {"minor grid visible", [&] { axis.MinorGrid().SetVisible(true); }},
      {"labels font size", [&] { axis.LabelsFont().SetSize(10); }},
      {"title font colour", [&] { axis.Title().Font().SetColor(clMaroon); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const int before = panel.invalidations;
    row.set();
    EXPECT_EQ(panel.invalidations, before + 1);
    row.set();
    EXPECT_EQ(panel.invalidations, before + 1);
  }
}

// ---------------------------------------------------------------------------
// Label sequence

TEST(AxisLabels, LeftAxisLabelsRunFromTheTopAtWholeSteps) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  left.SetAxisValuesFormat("#00.0");
  left.SetIncrement(1.0);
  chart.Scale(left, 17.63, 23.41);
  chart.Draw(left);

  // 400 pixels from y 50 down to 450 for 5.78: value v at 450 - round((v - 17.63) × 400 / 5.78).
  EXPECT_EQ(Texts(chart.panel.surface),
            (std::vector<std::string>{Local("23.0"), Local("22.0"), Local("21.0"), Local("20.0"),
                                      Local("19.0"), Local("18.0")}));
  EXPECT_EQ(Ticks(left), (std::vector<std::int32_t>{78, 148, 217, 286, 355, 424}));
}

TEST(AxisLabels, BottomAxisWithoutRoundingStartsAtTheRightEnd) {
  Chart chart;
  chart.series.XValues().SetDateTime(true);
  chart.series.AddPoint(45000.0, 1);
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.SetRoundFirstLabel(false);
  bottom.SetDateTimeFormat("hh:nn");
  bottom.SetIncrement(10 * OneMinute);
  const double lo = 45000.0 + 3 * OneMinute;  // not on a ten-minute boundary
  const double hi = lo + 60 * OneMinute;
  chart.Scale(bottom, lo, hi);
  chart.Draw(bottom);

  // Ten minutes are 500 / 6 pixels from x 600 leftwards: the sixths round to whole pixels.
  EXPECT_EQ(Ticks(bottom), (std::vector<std::int32_t>{600, 517, 433, 350, 267, 183, 100}));
  EXPECT_EQ(
      Texts(chart.panel.surface),
      (std::vector<std::string>{Local("01:03"), Local("00:53"), Local("00:43"), Local("00:33"),
                                Local("00:23"), Local("00:13"), Local("00:03")}));
}

TEST(AxisLabels, TenThousandStepsDrawNothingAndTheTableNeverOverflows) {
  const struct {
    const char* name;
    double hi;
    std::size_t ticks;
  } rows[] = {
      {"10000 steps", 10000, 0},
      {"9999 steps", 9999, TCustomChartAxis::TickTableCapacity},
      {"1999 steps", 1999, 2000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Chart chart;
    TCustomChartAxis& bottom = chart.Bottom();
    bottom.SetIncrement(1);
    bottom.SetLabelsSeparation(0);
    chart.Scale(bottom, 0, row.hi);
    chart.Draw(bottom);
    EXPECT_EQ(bottom.TickTable().size(), row.ticks);
    if (row.ticks == 0) {
      EXPECT_TRUE(Texts(chart.panel.surface).empty());
      // Only the axis line is drawn.
      EXPECT_EQ(Segments(chart.panel.surface).size(), 1u);
    } else {
      // Every label is drawn, even those past the table's capacity.
      EXPECT_EQ(Texts(chart.panel.surface).size(), static_cast<std::size_t>(row.hi) + 1);
      EXPECT_EQ(bottom.TickTable()[0], 600);
    }
  }
}

TEST(AxisLabels, StepBelowTheResolutionOfAHugeValueEnds) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  left.SetIncrement(1e-3);
  chart.Scale(left, 1e20, 1e20);  // one point: the range is the smallest step
  chart.Draw(left);
  EXPECT_EQ(Texts(chart.panel.surface).size(), 1u);
}

TEST(AxisLabels, OnePointSeriesAndNegativeDates) {
  const struct {
    const char* name;
    double value;
    bool dateTime;
    std::vector<std::string> texts;
  } rows[] = {
      {"value 0", 0, false, {"0"}},
      {"value 12.5", 12.5, false, {Local("12.5")}},
      {"value -5", -5, false, {}},
      {"date-time -5", -5, true, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Chart chart;
    chart.series.YValues().SetDateTime(row.dateTime);
    chart.series.AddPoint(1, row.value);
    TCustomChartAxis& left = chart.Left();
    left.ComputeRange();
    left.UpdatePixelSpan();
    ASSERT_EQ(left.CurrentMinimum(), left.CurrentMaximum());
    chart.Draw(left);
    EXPECT_EQ(Texts(chart.panel.surface), row.texts);
    if (!row.texts.empty()) {
      EXPECT_EQ(Ticks(left), std::vector<std::int32_t>{250});  // midway from y 50 to 450
    } else {
      EXPECT_TRUE(left.TickTable().empty());
    }
  }
  Chart chart;
  chart.series.XValues().SetDateTime(true);
  chart.series.AddPoint(1, 1);
  chart.Bottom().SetDateTimeAxis(true);
  EXPECT_EQ(chart.Bottom().LabelText(-1), "");
}

TEST(AxisLabels, LabelsOffMeansNoTicksUnlessTicksAreNotTiedToLabels) {
  for (const bool tied : {true, false}) {
    SCOPED_TRACE(tied);
    Chart chart;
    TCustomChartAxis& left = chart.Left();
    ColourPens(left);
    left.SetIncrement(1);
    left.SetLabels(false);
    left.SetTickOnLabelsOnly(tied);
    chart.Scale(left, 0, 4);
    chart.Draw(left);
    EXPECT_TRUE(Texts(chart.panel.surface).empty());
    EXPECT_EQ(left.TickTable().size(), tied ? 0u : 5u);
    EXPECT_EQ(Segments(chart.panel.surface, kTickColor).size(), tied ? 0u : 5u);
    EXPECT_EQ(Segments(chart.panel.surface, kGridColor).size(), tied ? 0u : 5u);
  }
}

TEST(AxisLabels, LabelsAtTheEndsOnlyWithLabelsOnAxis) {
  for (const bool onAxis : {true, false}) {
    SCOPED_TRACE(onAxis);
    Chart chart;
    TCustomChartAxis& left = chart.Left();
    left.SetIncrement(1);
    left.SetLabelsOnAxis(onAxis);
    chart.Scale(left, 0, 4);
    chart.Draw(left);
    const std::vector<std::string> all{"4", "3", "2", "1", "0"};
    const std::vector<std::string> inner{"3", "2", "1"};
    EXPECT_EQ(Texts(chart.panel.surface), onAxis ? all : inner);
  }
}

TEST(AxisLabels, CustomSequenceFromTheChartsHook) {
  const struct {
    const char* name;
    std::vector<double> values;  // returned one per call; NaN means stop
    std::vector<std::string> texts;
  } rows[] = {
      {"three values", {1.5, 3, 0}, {"1.5", "3", "0"}},
      {"stop at once: default labels", {}, {"4", "3", "2", "1", "0"}},
      {"outside the range ends", {2, 9, 1}, {"2"}},
      {"within the tolerance", {4.00000005}, {"4"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Chart chart;
    TCustomChartAxis& left = chart.Left();
    left.SetIncrement(1);
    left.SetAxisValuesFormat("0.#");
    chart.Scale(left, 0, 4);
    std::vector<double> seen;
    chart.panel.OnGetNextAxisLabel = [&](const TCustomChartAxis&, std::int32_t index, double& value,
                                         bool& stop) {
      seen.push_back(value);
      stop = static_cast<std::size_t>(index) >= row.values.size();
      if (!stop) value = row.values[static_cast<std::size_t>(index)];
    };
    chart.Draw(left);
    std::vector<std::string> expected;
    for (const std::string& t : row.texts) expected.push_back(Local(t));
    EXPECT_EQ(Texts(chart.panel.surface), expected);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], 0);  // the first call starts at the minimum
  }
  Chart chart;
  chart.Scale(chart.Left(), 0, 4);
  int calls = 0;
  chart.panel.OnGetNextAxisLabel = [&](const TCustomChartAxis&, std::int32_t, double& value,
                                       bool& stop) {
    ++calls;
    value = 2;
    stop = false;
  };
  chart.Draw(chart.Left());
  EXPECT_EQ(calls, 2001);
}

TEST(AxisLabels, HookChangesTextsButNotTheMeasuredBand) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  left.SetIncrement(1);
  chart.Scale(left, 0, 2);
  int calls = 0;
  chart.panel.OnGetAxisLabel = [&](const TCustomChartAxis& axis, const TChartSeries* series,
                                   std::int32_t index, std::string& text) {
    EXPECT_EQ(&axis, &left);
    EXPECT_EQ(series, nullptr);
    EXPECT_EQ(index, -1);
    ++calls;
    text = "<" + text + ">";
  };
  chart.Draw(left);
  EXPECT_EQ(Texts(chart.panel.surface), (std::vector<std::string>{"<2>", "<1>", "<0>"}));
  calls = 0;
  const int step = static_cast<int>(left.ComputeLabelStep());  // the step sees the hook
  EXPECT_EQ(step, 1);
  calls = 0;
  EXPECT_EQ(left.WidestValueLabel(), 2 * kCharWidth);  // "2" plus a blank
  EXPECT_EQ(calls, 2);                                 // only from the step computation inside
}

TEST(AxisLabels, MultiLineDateTimeLabelHasTheDateFirst) {
  Chart chart;
  chart.series.XValues().SetDateTime(true);
  chart.series.AddPoint(45000.5, 1);
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.SetDateTimeFormat("dd.MM.yy hh:mm");
  bottom.SetLabelsMultiLine(true);
  bottom.SetDateTimeAxis(true);
  const std::string text = bottom.LabelText(45000.5);
  const std::string date = "15.03.23", time = Local("12:00");  // day 45000 is 15 March 2023
  EXPECT_EQ(text, date + LineSeparator + time);
  chart.panel.surface.Clear();
  bottom.PlaceAxisText(300, 460, text, 0);
  EXPECT_EQ(Texts(chart.panel.surface), (std::vector<std::string>{date, time}));
}

TEST(AxisLabels, MarkStyleShowsLabelsOrValues) {
  Chart chart;
  chart.series.AddPoint(1, 7.25, "a");
  chart.series.AddPoint(2, 8.5);
  chart.series.AddPoint(3, 9, "c");
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.SetLabelStyle(talMark);
  bottom.SetLabelsSeparation(0);
  chart.Scale(bottom, 1, 3);
  chart.Draw(bottom);
  EXPECT_EQ(Texts(chart.panel.surface), (std::vector<std::string>{"a", Local("8.5"), "c"}));
}

TEST(AxisLabels, LogarithmicLabelsRiseByTheBaseWithMinorMarksBetween) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  ColourPens(left);
  chart.Scale(left, 1, 1000);
  left.SetLogarithmic(true);
  left.ComputeRange();
  left.UpdatePixelSpan();
  chart.Draw(left);
  EXPECT_EQ(Texts(chart.panel.surface),
            (std::vector<std::string>{"1", "10", "100", Local("1,000")}));
  const std::vector<std::int32_t> t = Ticks(left);
  ASSERT_EQ(t.size(), 4u);
  // Three minor ticks after each label but the last, none beyond the ends.
  std::vector<std::int32_t> minor;
  for (const TSurfaceCall& call : chart.panel.surface.CallsNamed("LineTo")) {
    if (call.Pen.Color == kMinorColor) minor.push_back(call.Args[1]);
  }
  ASSERT_EQ(minor.size(), 9u);
  for (std::size_t i = 0; i < minor.size(); ++i) {
    const std::size_t label = i / 3;
    EXPECT_LT(minor[i], t[label]) << i;
    EXPECT_GT(minor[i], t[label + 1]) << i;
  }
}

TEST(AxisLabels, CalendarStepsFallOnMonthBoundaries) {
  const struct {
    const char* name;
    double increment;
    LocalTime from, to;
    std::vector<std::string> dates;
  } rows[] = {
      {"one month",
       30,
       {2024, 1, 15},
       {2024, 6, 20},
       {"2024-06-01", "2024-05-01", "2024-04-01", "2024-03-01", "2024-02-01"}},
      {"half month",
       15,
       {2024, 2, 10},
       {2024, 4, 20},
       {"2024-04-15", "2024-04-01", "2024-03-15", "2024-03-01", "2024-02-15"}},
      {"six months",
       182,
       {2022, 5, 1},
       {2024, 5, 1},
       {"2024-05-01", "2023-11-01", "2023-05-01", "2022-11-01", "2022-05-01"}},
      {"one year",
       365,
       {2019, 6, 1},
       {2023, 2, 1},
       {"2023-01-01", "2022-01-01", "2021-01-01", "2020-01-01"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Chart chart;
    chart.series.XValues().SetDateTime(true);
    chart.series.AddPoint(EncodeDateTimeValue(row.from), 1);
    TCustomChartAxis& bottom = chart.Bottom();
    bottom.SetIncrement(row.increment);
    bottom.SetDateTimeFormat("yyyy-mm-dd");
    bottom.SetLabelsAngle(90);
    chart.Scale(bottom, EncodeDateTimeValue(row.from), EncodeDateTimeValue(row.to));
    chart.Draw(bottom);
    EXPECT_EQ(Texts(chart.panel.surface), row.dates);
  }
}

TEST(AxisLabels, RoundDateDown) {
  const struct {
    int index;
    LocalTime in;
    LocalTime out;
  } rows[] = {
      {14, {2024, 3, 20, 13, 5}, {2024, 3, 20}}, {18, {2024, 3, 14, 23, 59}, {2024, 3, 1}},
      {18, {2024, 3, 15, 1}, {2024, 3, 15}},     {18, {2024, 3, 31, 1}, {2024, 3, 15}},
      {20, {2024, 3, 31, 1}, {2024, 3, 1}},      {24, {2024, 12, 31, 23}, {2024, 1, 1}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.index);
    EXPECT_EQ(TCustomChartAxis::RoundDateDown(row.index, EncodeDateTimeValue(row.in)),
              EncodeDateTimeValue(row.out));
  }
  EXPECT_EQ(TCustomChartAxis::RoundDateDown(24, 1.75), 1.75);
  EXPECT_EQ(TCustomChartAxis::RoundDateDown(24, 2.0), 2.0);
}

// ---------------------------------------------------------------------------
// Text placement

TEST(AxisText, PlacementByAngleAndSide) {
  constexpr int x = 300;
  constexpr int y = 200;
  const struct {
    const char* name;
    int axis;  // index in the panel's axis list
    int angle;
    const char* text;
    int align;
    std::vector<TPoint> points;
  } rows[] = {
      {"left 0", 2, 0, "a", TA_RIGHT | TA_TOP, {{x, y - 6}}},
      {"left 0, two lines", 2, 0, "a\rb", TA_RIGHT | TA_TOP, {{x, y - 13}, {x, y}}},
      {"right 0", 3, 0, "a", TA_LEFT | TA_TOP, {{x, y - 6}}},
      {"bottom 0", 0, 0, "a", TA_CENTER | TA_TOP, {{x, y}}},
      {"bottom 0, two lines", 0, 0, "a\rb", TA_CENTER | TA_TOP, {{x, y}, {x, y + 13}}},
      {"top 0", 1, 0, "a", TA_CENTER | TA_BOTTOM, {{x, y}}},
      {"top 0, two lines", 1, 0, "a\rb", TA_CENTER | TA_BOTTOM, {{x, y - 13}, {x, y}}},
      {"bottom 90", 0, 90, "a", TA_RIGHT | TA_TOP, {{x - 6, y}}},
      {"bottom 90, two lines", 0, 90, "a\rb", TA_RIGHT | TA_TOP, {{x - 13, y}, {x, y}}},
      {"top 90", 1, 90, "a", TA_LEFT | TA_TOP, {{x - 6, y}}},
      {"left 90", 2, 90, "a", TA_CENTER | TA_BOTTOM, {{x, y}}},
      {"right 90", 3, 90, "a", TA_CENTER | TA_TOP, {{x, y}}},
      {"bottom 270", 0, 270, "a", TA_LEFT | TA_TOP, {{x + 6, y}}},
      {"left 270", 2, 270, "a", TA_CENTER | TA_TOP, {{x, y}}},
      {"left 180", 2, 180, "a", TA_LEFT | TA_TOP, {{x, y + 6}}},
      {"bottom 180", 0, 180, "a", TA_CENTER | TA_BOTTOM, {{x, y}}},
      {"45, two lines", 0, 45, "a\rb", TA_LEFT | TA_TOP, {{x, y}, {x, y}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    AxisPanel panel;
    TCustomChartAxis& axis = *panel.Axes()[static_cast<std::size_t>(row.axis)];
    axis.PlaceAxisText(x, y, row.text, row.angle);
    const std::vector<TSurfaceCall> calls = panel.surface.CallsNamed("TextOut");
    ASSERT_EQ(calls.size(), row.points.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ((TPoint{calls[i].Args[0], calls[i].Args[1]}), row.points[i]) << i;
      EXPECT_EQ(calls[i].TextAlign, row.align) << i;
      EXPECT_EQ(calls[i].Font.Orientation, row.angle * 10) << i;
    }
    EXPECT_EQ(panel.canvas.GetTextAlignment(), TA_LEFT | TA_TOP);
  }
}

TEST(AxisText, LabelsLeaveThePanelAroundTheirGlyphs) {
  // The surface is left opaque on a white background, as the back wall and
  // the grid leave it; the labels' clear brush must still not paint boxes.
  for (const std::int32_t angle : {0, 90}) {
    for (const bool bottomAxis : {false, true}) {
      SCOPED_TRACE(std::to_string(angle) + (bottomAxis ? " bottom" : " left"));
      TBitmapSurface image(240, 160);
      image.Brush().SetColor(clSilver);
      image.FillRect({0, 0, 240, 160});
      image.SetBackgroundMode(OPAQUE);
      image.SetBackgroundColor(clWhite);
      AxisPanel panel(&image);
      panel.SetPlotRect({70, 10, 230, 90});
      TCustomChartAxis& axis =
          bottomAxis ? static_cast<TCustomChartAxis&>(panel.BottomAxis()) : panel.LeftAxis();
      axis.SetLabelStyle(talValue);
      axis.SetLabelsAngle(angle);
      axis.Grid().SetVisible(false);
      axis.SetIncrement(5);
      axis.SetRange(0, 10);
      axis.ComputeRange();
      axis.UpdatePixelSpan();
      axis.DrawAxis(true);
      int white = 0, ink = 0;
      for (int y = 0; y < 160; ++y) {
        for (int x = 0; x < 240; ++x) {
          const QRgb p = image.Image()->pixel(x, y) | 0xFF000000u;
          white += p == qRgb(255, 255, 255);
          ink += p != qRgb(0xC0, 0xC0, 0xC0);
        }
      }
      EXPECT_EQ(white, 0);
      EXPECT_GT(ink, 0);
    }
  }
}

TEST(AxisText, TitleIsCentredOnTheAxisAtItsBand) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  left.Title().SetCaption("Temp");
  chart.Scale(left, 0, 1);
  TRect r = chart.panel.PlotRect();
  left.MeasureAxis(r, true);
  chart.Draw(left);
  const std::vector<TSurfaceCall> texts = chart.panel.surface.CallsNamed("TextOut");
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0].Text, "Temp");
  EXPECT_EQ(texts[0].Font.Orientation, 900);
  // Left axis at 90 degrees: centre-bottom reference, one line: x = TitlePos.
  EXPECT_EQ((TPoint{texts[0].Args[0], texts[0].Args[1]}),
            (TPoint{left.TitlePos(), 250}));  // midway from y 50 to 450
  EXPECT_EQ(left.TitlePos(), 100 + kFontHeight);
}

// ---------------------------------------------------------------------------
// Ticks, grids and minor marks

TEST(AxisLines, TicksPointOutwardsFromOnePixelBesideTheLine) {
  const struct {
    const char* name;
    int axis;
    std::string outer;  // first outer tick segment
    std::string inner;  // first inner tick segment
    std::string grid;   // first grid line
  } rows[] = {
      // Labels at value 2 sit at the pixel the axis maps it to (middle: 350 or 250).
      {"bottom", 0, "350,451-350,455", "350,449-350,446", "350,50-350,450"},
      {"top", 1, "350,49-350,45", "350,51-350,54", "350,50-350,450"},
      {"left", 2, "99,250-95,250", "101,250-104,250", "100,250-600,250"},
      {"right", 3, "601,250-605,250", "599,250-596,250", "100,250-600,250"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    AxisPanel panel;
    TCustomChartAxis& axis = *panel.Axes()[static_cast<std::size_t>(row.axis)];
    ColourPens(axis);
    axis.SetLabelStyle(talValue);  // no series to tell
    axis.SetTickInnerLength(3);
    axis.TicksInner().SetVisible(true);
    axis.SetIncrement(2);
    axis.SetRange(0, 4);
    axis.ComputeRange();
    axis.UpdatePixelSpan();
    axis.DrawAxis(true);
    const std::vector<std::string> outer = Segments(panel.surface, kTickColor);
    const std::vector<std::string> inner = Segments(panel.surface, kInnerColor);
    const std::vector<std::string> grid = Segments(panel.surface, kGridColor);
    ASSERT_EQ(outer.size(), 3u);
    ASSERT_EQ(inner.size(), 3u);
    ASSERT_EQ(grid.size(), 3u);
    EXPECT_EQ(outer[1], row.outer);
    EXPECT_EQ(inner[1], row.inner);
    EXPECT_EQ(grid[1], row.grid);
  }
}

TEST(AxisLines, DrawingOrder) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  ColourPens(left);
  left.SetIncrement(1);
  left.TicksInner().SetVisible(true);
  left.SetTickInnerLength(2);
  left.MinorGrid().SetVisible(true);
  chart.Scale(left, 0, 2);
  chart.Draw(left);
  std::vector<TColor> order;
  for (const TSurfaceCall& call : chart.panel.surface.Calls()) {
    if (call.Op == "TextOut") {
      if (order.empty() || order.back() != clNone) order.push_back(clNone);
    } else if (call.Op == "LineTo" && (order.empty() || order.back() != call.Pen.Color)) {
      order.push_back(call.Pen.Color);
    }
  }
  EXPECT_EQ(order, (std::vector<TColor>{clNone, kAxisColor, kTickColor, kGridColor, kInnerColor,
                                        kMinorColor, kMinorGridColor}));
}

TEST(AxisLines, GridCenteredDrawsBetweenLabels) {
  Chart chart;
  TCustomChartAxis& bottom = chart.Bottom();
  ColourPens(bottom);
  bottom.SetGridCentered(true);
  bottom.SetIncrement(1);
  chart.Scale(bottom, 0, 2);  // labels at 600, 350, 100
  chart.Draw(bottom);
  EXPECT_EQ(Segments(chart.panel.surface, kGridColor),
            (std::vector<std::string>{"475,50-475,450", "225,50-225,450"}));
}

TEST(AxisLines, GridOfDefaultColourIsGreyOnATransparentBackground) {
  Chart chart;
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.Grid().SetColor(clDefault);
  bottom.SetIncrement(1);
  chart.Scale(bottom, 0, 1);
  chart.Draw(bottom);
  int grid = 0;
  for (const TSurfaceCall& call : chart.panel.surface.CallsNamed("LineTo")) {
    if (call.Pen.Style != TPenStyle::psDot) continue;
    ++grid;
    EXPECT_EQ(call.Pen.Color, clGray);
    EXPECT_EQ(call.BackgroundMode, TRANSPARENT);
  }
  EXPECT_EQ(grid, 2);
  EXPECT_EQ(chart.panel.canvas.GetBackgroundMode(), OPAQUE);
}

TEST(AxisLines, MinorGridContinuesBeyondTheOutermostLabels) {
  // The program's left axis: 17.63 to 23.41, labels every 1.0 from 2 % to
  // 98 % of the plot, four minor grid lines between labels.
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  ColourPens(left);
  left.SetIncrement(1);
  left.SetStartPosition(2);
  left.SetEndPosition(98);
  left.SetMinorTickCount(4);
  left.MinorGrid().SetVisible(true);
  left.MinorGrid().SetStyle(TPenStyle::psDash);
  chart.Scale(left, 17.63, 23.41);
  chart.Draw(left);

  // The axis runs from y 58 to 442: 384 pixels for 5.78.
  EXPECT_EQ(Ticks(left), (std::vector<std::int32_t>{85, 152, 218, 285, 351, 417}));
  // Fifths of the first step (67 pixels) beyond the outermost labels: 0.41
  // and 0.37 of a step lie there, so one of the four places fits at each end;
  // then fifths of each step, rounded, up from each label.
  const std::vector<std::int32_t> expected{72,  430, 139, 125, 112, 98,  205, 192, 178, 165, 272,
                                           258, 245, 231, 338, 325, 311, 298, 404, 391, 377, 364};
  std::vector<std::int32_t> minorGrid;
  for (const TSurfaceCall& call : chart.panel.surface.CallsNamed("LineTo")) {
    if (call.Pen.Color == kMinorGridColor) minorGrid.push_back(call.Args[1]);
  }
  EXPECT_EQ(minorGrid, expected);
  EXPECT_EQ(Segments(chart.panel.surface, kMinorColor).size(), expected.size());
}

TEST(AxisLines, AHugeMinorCountStaysWithinTheAxisPixels) {
  Chart chart;
  TCustomChartAxis& left = chart.Left();
  ColourPens(left);
  left.SetIncrement(1);
  left.SetMinorTickCount(std::numeric_limits<std::int32_t>::max());
  chart.Scale(left, 0, 2);
  chart.Draw(left);
  // Between labels 200 pixels apart no more than 400 places are tried.
  const std::size_t minor = Segments(chart.panel.surface, kMinorColor).size();
  EXPECT_GT(minor, 0u);
  EXPECT_LE(minor, 2u * 400u);
}

TEST(AxisLines, TicksCoverExactlyTheirLengthInPixels) {
  TBitmapSurface image(40, 24);
  image.Brush().SetColor(clWhite);
  image.FillRect({0, 0, 40, 24});
  AxisPanel panel(&image);
  TCustomChartAxis& bottom = panel.BottomAxis();
  panel.SetPlotRect({5, 2, 35, 12});
  bottom.SetLabelStyle(talValue);
  bottom.SetLabels(false);
  bottom.SetTickOnLabelsOnly(false);
  bottom.Grid().SetVisible(false);
  bottom.MinorTicks().SetVisible(false);
  bottom.Axis().SetWidth(1);
  bottom.Axis().SetColor(clBlack);
  bottom.Ticks().SetColor(clBlack);
  bottom.SetIncrement(10);
  bottom.SetRange(0, 10);
  bottom.ComputeRange();
  bottom.UpdatePixelSpan();
  bottom.DrawAxis(true);
  const QImage& pixels = *image.Image();
  std::string art;
  for (int y = 10; y < 20; ++y) {
    for (int x = 3; x < 37; ++x) art += pixels.pixel(x, y) == qRgb(0, 0, 0) ? '#' : '.';
    art += '\n';
  }
  EXPECT_EQ(art,
            "..................................\n"
            "..................................\n"
            "..##############################..\n"
            "..#.............................#.\n"
            "..#.............................#.\n"
            "..#.............................#.\n"
            "..#.............................#.\n"
            "..................................\n"
            "..................................\n"
            "..................................\n");
}

// ---------------------------------------------------------------------------
// Bands and hit tests

// The program's axes over one hour of readings, one a minute.
struct ProgramChart : Chart {
  ProgramChart() {
    series.XValues().SetDateTime(true);
    for (int i = 0; i <= 60; ++i) series.AddPoint(45000.5 + i * OneMinute, 20 + i * 0.05);
    SetUpProgramAxes(panel);
    panel.ComputeAxisRanges();
    panel.UpdateAxisPixelSpans();
  }
};

TEST(AxisBands, ProgramAxesReserveTheirBands) {
  ProgramChart chart;
  const TRect plot = chart.panel.PlotRect();
  const int dateLabel = static_cast<int>(std::string("08.03.23 12:00").size()) * kCharWidth;
  const struct {
    const char* name;
    TCustomChartAxis* axis;
    int labelBand;
    int tickBand;
    TRect shrunk;
  } rows[] = {
      {"bottom",
       &chart.Bottom(),
       dateLabel + kCharWidth,
       1 + 4,
       {plot.Left, plot.Top, plot.Right, plot.Bottom - (dateLabel + kCharWidth) - 5}},
      {"left",
       &chart.Left(),
       4 * kCharWidth + kCharWidth,
       1 + 4,
       {plot.Left + 5 * kCharWidth + 5, plot.Top, plot.Right, plot.Bottom}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TRect r = plot;
    row.axis->MeasureAxis(r, true);
    EXPECT_EQ(r, row.shrunk);
    EXPECT_EQ(row.axis->LabelBandSize(), row.labelBand);
    EXPECT_EQ(row.axis->TickBandSize(), row.tickBand);
    // Both titles run along their axes, but without a caption take no room.
    EXPECT_EQ(row.axis->TitleBandSize(), kFontHeight);
  }
  EXPECT_EQ(chart.Bottom().LabelsPos(), plot.Bottom - dateLabel - kCharWidth);
  EXPECT_EQ(chart.Left().LabelsPos(), plot.Left + 5 * kCharWidth);
  EXPECT_TRUE(chart.Bottom().DateTimeAxis());
}

TEST(AxisBands, SizesByAngleTitleAndFixedSizes) {
  ProgramChart chart;
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.SetLabelsAngle(0);
  EXPECT_EQ(bottom.LabelBandSize(), kFontHeight);
  bottom.SetLabelsSize(33);
  EXPECT_EQ(bottom.LabelBandSize(), 33);
  bottom.Title().SetCaption("Time");
  EXPECT_EQ(bottom.TitleBandSize(), kFontHeight);
  bottom.Title().SetAngle(90);
  EXPECT_EQ(bottom.TitleBandSize(), 4 * kCharWidth);
  bottom.SetTitleSize(7);
  EXPECT_EQ(bottom.TitleBandSize(), 7);
  TRect r = chart.panel.PlotRect();
  bottom.MeasureAxis(r, true);
  EXPECT_EQ(r.Bottom, 450 - 7 - 33 - 5);
  EXPECT_EQ(bottom.TitlePos(), 450 - 7);
  EXPECT_EQ(bottom.LabelsPos(), 450 - 7 - 33);
  // Ticks band: axis pen, outer ticks, at least the minor ticks.
  bottom.Axis().SetVisible(false);
  bottom.Ticks().SetVisible(false);
  EXPECT_EQ(bottom.TickBandSize(), 0);
  bottom.MinorTicks().SetVisible(true);
  EXPECT_EQ(bottom.TickBandSize(), 2);
}

TEST(AxisBands, PositionPercentMovesTheAxisIntoThePlot) {
  // After DrawAxis with 10 % of a 500 × 400 plot; outwards from the line a
  // tick band of 2 + 4 pixels (pen, ticks), then a label band: 13 high on the
  // horizontal axes, none on the vertical ones (no series: no labels measured).
  const struct {
    int axis;
    int linePos, labelsPos, titlePos;
  } rows[] = {{0, 410, 416, 429}, {1, 90, 84, 71}, {2, 150, 144, 144}, {3, 550, 556, 556}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.axis);
    AxisPanel panel;
    TCustomChartAxis& axis = *panel.Axes()[static_cast<std::size_t>(row.axis)];
    axis.SetPositionPercent(10);
    axis.SetRange(0, 1);
    axis.ComputeRange();
    axis.UpdatePixelSpan();
    axis.DrawAxis(true);
    EXPECT_EQ(axis.AxisLinePos(), row.linePos);
    TRect r = panel.PlotRect();
    axis.MeasureAxis(r, false);
    EXPECT_EQ(r, panel.PlotRect());
    EXPECT_EQ(axis.AxisLinePos(), row.linePos);
    EXPECT_EQ(axis.LabelsPos(), row.labelsPos);
    EXPECT_EQ(axis.TitlePos(), row.titlePos);
  }
}

TEST(AxisHitTest, ThreePixelsBeyondTheLineUpToTheLabels) {
  ProgramChart chart;
  TRect r = chart.panel.PlotRect();
  chart.Bottom().MeasureAxis(r, true);
  chart.Left().MeasureAxis(r, true);
  chart.panel.SetPlotRect(r);
  chart.panel.UpdateAxisPixelSpans();
  chart.Draw(chart.Bottom());
  chart.Draw(chart.Left());
  const TCustomChartAxis& bottom = chart.Bottom();
  const TCustomChartAxis& left = chart.Left();
  const int line = bottom.AxisLinePos();
  const int labels = bottom.LabelsPos();
  const int mid = bottom.CenterPixel();
  const int lx = left.AxisLinePos();
  const int ly = left.CenterPixel();
  const struct {
    const char* name;
    const TCustomChartAxis* axis;
    int x, y;
    bool hit;
  } rows[] = {
      {"bottom on the line", &bottom, mid, line, true},
      {"bottom 3 inside", &bottom, mid, line - 3, true},
      {"bottom 4 inside", &bottom, mid, line - 4, false},
      {"bottom last label row", &bottom, mid, labels - 1, true},
      {"bottom labels edge", &bottom, mid, labels, false},
      {"bottom start", &bottom, bottom.StartPixel(), line, true},
      {"bottom end", &bottom, bottom.EndPixel(), line, false},
      {"left on the line", &left, lx, ly, true},
      {"left 2 inside", &left, lx + 2, ly, true},
      {"left 3 inside", &left, lx + 3, ly, false},
      {"left labels edge", &left, left.LabelsPos(), ly, true},
      {"left beyond labels", &left, left.LabelsPos() - 1, ly, false},
      {"left top", &left, lx, left.StartPixel(), true},
      {"left bottom", &left, lx, left.EndPixel(), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.axis->AxisHitTest(row.x, row.y), row.hit) << row.name;
  }
  // An axis that is not shown is never hit.
  chart.Bottom().SetVisible(false);
  EXPECT_FALSE(bottom.AxisHitTest(mid, line));
}

TEST(AxisLabels, SeriesLabelsTextStyle) {
  Chart chart;
  for (int i = 0; i < 4; ++i) chart.series.AddPoint(i, i, "p" + std::to_string(i));
  TCustomChartAxis& bottom = chart.Bottom();
  bottom.SetLabelsSeparation(0);
  chart.Scale(bottom, 0.5, 3);
  EXPECT_EQ(bottom.EffectiveLabelStyle(), talText);
  EXPECT_EQ(chart.Left().EffectiveLabelStyle(), talValue);
  chart.Draw(bottom);
  // Point 0 lies outside the range; the rest in index order.
  EXPECT_EQ(Texts(chart.panel.surface), (std::vector<std::string>{"p1", "p2", "p3"}));
  EXPECT_EQ(Ticks(bottom), (std::vector<std::int32_t>{200, 400, 600}));  // 200 pixels a unit
  bottom.SetLabelStyle(talNone);
  chart.Draw(bottom);
  EXPECT_TRUE(Texts(chart.panel.surface).empty());
  AxisPanel empty;
  EXPECT_EQ(empty.BottomAxis().EffectiveLabelStyle(), talNone);
}

TEST(AxisLabels, SeriesLabelsKeepTheirSeparation) {
  Chart chart;
  // Labels 30 pixels wide, 10 pixels apart: with 10 % separation each has a
  // half size of (30 + trunc(30 × 0.02 × 10)) div 2 = 18 pixels.
  for (int i = 0; i <= 10; ++i) chart.series.AddPoint(i, i, "abcde");
  TCustomChartAxis& bottom = chart.Bottom();
  chart.Scale(bottom, 0, 50);  // 10 pixels per unit
  chart.Draw(bottom);
  const std::vector<std::int32_t> ticks = Ticks(bottom);
  ASSERT_FALSE(ticks.empty());
  for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_GE(ticks[i] - ticks[i - 1], 36) << i;
  EXPECT_EQ(ticks.front(), 100);
}

}  // namespace
}  // namespace tempolog
