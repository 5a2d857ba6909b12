// The line series drawn from a few points per pixel column must give the very
// image that drawing every point gives: signals, sizes, views and series
// settings, each compared byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "chart/ProgramChart.h"
#include "framework/RecordingSurface.h"
#include "framework/SurfaceQt.h"
#include "tests/canvas/CanvasTestSupport.h"
#include "tests/support/InstrumentReadings.h"

namespace tempolog {
namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 596;
constexpr double kStart = 46000.0;  // a day in 2025, as the readings' times

enum class Signal {
  RandomWalk,
  SineWithNoise,
  Spikes,
  Steps,
  Constant,
  Sawtooth,
  // Readings as the program holds them: an instrument's reply with one
  // decimal ("23.4", "+23.4"), parsed and rounded to single precision.
  Daily,
  DailyNoise05,
  DailyNoise20,
  Alternating,
  SitsThenJumps,
  AroundZero,      // "+0.1", "-0.1": readings crossing zero
  TwoResolutions,  // "23.4", then "23.45" from the middle on
  CoarseSingles,   // near 3e6, where singles lie 0.25 apart: decimals share them
  EndsOnANewLow,   // the last readings drop below all others of their column and stay
  // The same decimals held as the doubles nearest to them (not the program's
  // values, but a series may be given them).
  DailyNoise20Double
};
enum class View { Automatic, ZoomedIn, StartsAtEdge, MostlyOutside, GridStepTallerThanMarkers };

const char* Name(Signal s) {
  switch (s) {
    case Signal::RandomWalk: return "random walk";
    case Signal::SineWithNoise: return "sine with noise";
    case Signal::Spikes: return "spikes";
    case Signal::Steps: return "steps";
    case Signal::Constant: return "constant";
    case Signal::Sawtooth: return "sawtooth";
    case Signal::Daily: return "daily cycle on a 0.1 grid";
    case Signal::DailyNoise05: return "daily cycle, noise 0.05";
    case Signal::DailyNoise20: return "daily cycle, noise 0.2";
    case Signal::Alternating: return "alternating 20.5 / 21.5";
    case Signal::SitsThenJumps: return "sits for hours, then jumps";
    case Signal::AroundZero: return "around zero";
    case Signal::TwoResolutions: return "23.4 then 23.45";
    case Signal::CoarseSingles: return "near 3e6, coarse singles";
    case Signal::EndsOnANewLow: return "ends on a new low";
    case Signal::DailyNoise20Double: return "daily cycle, noise 0.2, as doubles";
  }
  return "?";
}
const char* Name(View v) {
  switch (v) {
    case View::Automatic: return "automatic";
    case View::ZoomedIn: return "zoomed in";
    case View::StartsAtEdge: return "starts at edge";
    case View::MostlyOutside: return "mostly outside";
    case View::GridStepTallerThanMarkers: return "0.1 over 10+ rows";
  }
  return "?";
}

std::vector<double> Readings(Signal s, std::int32_t n) {
  std::mt19937 rng(12345);
  std::normal_distribution<double> noise(0, 1);
  std::vector<double> y(static_cast<std::size_t>(n));
  double walk = 20;
  const std::int32_t every = std::max(n / 37, 1);
  for (std::int32_t i = 0; i < n; ++i) {
    double v = 0;
    int decimals = 1;
    bool plusSign = false;
    switch (s) {
      case Signal::RandomWalk: v = walk += 0.05 * noise(rng); break;
      case Signal::SineWithNoise:
        v = 20 + 5 * std::sin(i * 7.0 / n * 6.283) + 0.3 * noise(rng);
        break;
      case Signal::Spikes:
        v = i % every == every / 2 ? 20 + 8 * ((i / every) % 2 ? 1 : -1) : 20;
        break;
      case Signal::Steps: v = 20 + 2 * std::floor(i * 9.0 / n); break;
      case Signal::Constant: v = 21.5; break;
      // Climbs about one pixel row per reading in the automatic view: right
      // at the edge where neighbouring markers stop touching.
      case Signal::Sawtooth: v = 20 + 0.01 * (i % 547); break;
      // One reading a second: a day is 86400 readings.
      case Signal::Daily:
      case Signal::DailyNoise05:
      case Signal::DailyNoise20:
      case Signal::DailyNoise20Double: {
        const double sigma = s == Signal::Daily ? 0 : s == Signal::DailyNoise05 ? 0.05 : 0.2;
        v = 21 + 3 * std::sin(i * 6.283 / 86400) + i * 2e-7 + sigma * noise(rng);
        plusSign = s == Signal::DailyNoise05;
        break;
      }
      case Signal::Alternating: v = i % 2 ? 21.5 : 20.5; break;
      case Signal::SitsThenJumps:
        v = 20 + 1.7 * ((i / 7200) % 3) + (i % 7200 == 0 ? 0.4 : 0);
        break;
      case Signal::AroundZero:
        v = 0.3 * std::sin(i * 6.283 / 20000) + 0.1 * noise(rng);
        plusSign = true;
        break;
      case Signal::TwoResolutions:
        v = 23.4 + 0.3 * std::sin(i * 6.283 / 30000) + 0.05 * noise(rng);
        decimals = i < n / 2 ? 1 : 2;
        break;
      case Signal::EndsOnANewLow:
        v = i < n - 20 ? 20.5 + 0.3 * std::sin(i * 6.283 / 3000) : 19.0;
        break;
      case Signal::CoarseSingles:
        v = 3e6 + 0.5 * std::sin(i * 6.283 / 30000) + 0.3 * noise(rng);
        break;
    }
    if (s == Signal::DailyNoise20Double) v = std::round(v * 10) / 10;
    else if (s >= Signal::Daily) v = PlottedReading(v, decimals, plusSign);
    y[static_cast<std::size_t>(i)] = v;
  }
  return y;
}

// A series setting: how the program's chart and series are changed.
struct Setting {
  const char* name;
  std::function<void(TLineSeries&)> apply;
  bool colorsAndNulls = false;  // some points get their own colour, some are null
};

const std::vector<Setting>& Settings() {
  static const std::vector<Setting> settings = {
      {"program", [](TLineSeries&) {}},
      {"colours and nulls", [](TLineSeries&) {}, true},
      {"no markers", [](TLineSeries& s) { s.Pointer().SetVisible(false); }},
      {"inverted stairs", [](TLineSeries& s) { s.SetInvertedStairs(true); }},
      {"straight width 1",
       [](TLineSeries& s) {
         s.SetStairs(false);
         s.LinePen().SetWidth(1);
       }},
      {"width 3, markers 3 by 2",
       [](TLineSeries& s) {
         s.LinePen().SetWidth(3);
         s.Pointer().SetHorizSize(3);
         s.Pointer().SetVertSize(2);
       }},
      {"hidden line", [](TLineSeries& s) { s.LinePen().SetVisible(false); }},
      {"outlined circles",
       [](TLineSeries& s) {
         s.Pointer().SetStyle(psCircle);
         s.Pointer().Pen().SetVisible(true);
       }},
  };
  return settings;
}

class Gate {
 public:
  // The first n readings of the signal; with `clockSetBack`, an hour more
  // of it follows, stamped as after the clock was set back by an hour at
  // the last reading (each goes in among the others).
  Gate(Signal signal, std::int32_t n, const Setting& setting, bool clockSetBack = false)
      : chart_(MakeProgramChart()) {
    chart_.Chart->SetBounds(kWidth, kHeight);
    setting.apply(*chart_.Series1);
    const std::vector<double> y = Readings(signal, n + (clockSetBack ? kHour : 0));
    firstReading_ = y[0];
    TLineSeries& series = *chart_.Series1;
    for (std::int32_t i = 0; i < n; ++i) {
      const double x = kStart + i / 86400.0;
      if (setting.colorsAndNulls && i % 997 == 500)
        series.AddNullXY(x, y[static_cast<std::size_t>(i)]);
      else if (setting.colorsAndNulls && i % 389 == 7)
        series.AddPoint(x, y[static_cast<std::size_t>(i)], {}, clLime);
      else series.AddPoint(x, y[static_cast<std::size_t>(i)]);
    }
    last_ = kStart + (n - 1) / 86400.0;
    if (clockSetBack) {
      // Drawn every 600 readings on the reduced path, so that what it
      // keeps is brought up to date after a few inserts at a time.
      for (std::int32_t k = 0; k < kHour; ++k) {
        series.AddPoint(last_ + (k - kHour) / 86400.0, y[static_cast<std::size_t>(n + k)]);
        if (k % 600 == 0) Paint(false);
      }
    }
  }

  void SetView(View view) {
    TChart& chart = *chart_.Chart;
    const double span = last_ - kStart;
    switch (view) {
      case View::Automatic:
        chart.BottomAxis().SetAutomatic(true);
        chart.LeftAxis().SetAutomatic(true);
        break;
      case View::ZoomedIn:
        chart.BottomAxis().SetRange(kStart + span * 0.3, kStart + span * 0.55);
        chart.LeftAxis().SetAutomatic(true);
        break;
      case View::StartsAtEdge:
        // Between two readings, so the line comes in from the plot's edge.
        chart.BottomAxis().SetRange(kStart + span * 0.5 + 0.4 / 86400.0, last_ + span * 0.1);
        chart.LeftAxis().SetAutomatic(true);
        break;
      case View::MostlyOutside:
        // A sliver of the readings, and rows far beyond the plot.
        chart.BottomAxis().SetRange(kStart + span * 0.9, kStart + span * 0.98);
        chart.LeftAxis().SetRange(19.999, 20.001);
        break;
      case View::GridStepTallerThanMarkers: {
        // About 15 rows per 0.1; many readings fall beyond the plot.
        chart.BottomAxis().SetAutomatic(true);
        const double low = std::round(firstReading_) - 1;
        chart.LeftAxis().SetRange(low, low + 3.5);
        break;
      }
    }
  }

  TLineSeries& Series() { return *chart_.Series1; }
  TChart& Chart() { return *chart_.Chart; }
  double Last() const { return last_; }

  QImage Paint(bool everyPoint) {
    chart_.Series1->SetDrawEveryPoint(everyPoint);
    TBitmapSurface surface(kWidth, kHeight);
    chart_.Chart->PaintChart(&surface, {0, 0, kWidth, kHeight});
    return surface.Image()->copy();
  }

 private:
  static constexpr std::int32_t kHour = 3600;  // readings, one a second
  TProgramChart chart_;
  double last_ = kStart;
  double firstReading_ = 0;
};

// Pixels that differ, and where the first one is.
std::string Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.format() != b.format()) return "size or format differs";
  int count = 0, fx = -1, fy = -1;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0) fx = x, fy = y;
  return std::to_string(count) + " pixels differ, first at (" + std::to_string(fx) + ", " +
         std::to_string(fy) + ")";
}

void ExpectSameImage(Signal signal, std::int32_t n, const Setting& setting,
                     std::initializer_list<View> views, bool clockSetBack = false) {
  Gate gate(signal, n, setting, clockSetBack);
  for (View view : views) {
    gate.SetView(view);
    // The layout of a new view may take one paint to settle (readings around
    // zero: the first two paints of the same points differ in the left
    // axis' room), and both images must come from the same layout.
    gate.Paint(false);
    const QImage every = gate.Paint(true);
    const QImage reduced = gate.Paint(false);
    const bool same =
        every.sizeInBytes() == reduced.sizeInBytes() &&
        std::equal(every.constBits(), every.constBits() + every.sizeInBytes(), reduced.constBits());
    EXPECT_TRUE(same) << Name(signal) << ", " << n << " points"
                      << (clockSetBack ? " and an hour after the clock was set back, " : ", ")
                      << setting.name << ", view " << Name(view) << ": "
                      << Difference(every, reduced);
  }
}

constexpr auto kAllViews = {View::Automatic, View::ZoomedIn, View::StartsAtEdge,
                            View::MostlyOutside, View::GridStepTallerThanMarkers};
constexpr Signal kAllSignals[] = {Signal::RandomWalk,     Signal::SineWithNoise,
                                  Signal::Spikes,         Signal::Steps,
                                  Signal::Constant,       Signal::Sawtooth,
                                  Signal::Daily,          Signal::DailyNoise05,
                                  Signal::DailyNoise20,   Signal::Alternating,
                                  Signal::SitsThenJumps,  Signal::AroundZero,
                                  Signal::TwoResolutions, Signal::CoarseSingles,
                                  Signal::EndsOnANewLow,  Signal::DailyNoise20Double};

TEST(ReducedDrawing, ProgramSeriesEverySignalSizeAndView) {
  struct Size {
    std::int32_t n;
    bool clockSetBack;  // then an hour of readings more, each inserted among the others
  };
  for (Signal signal : kAllSignals)
    for (const Size size : {Size{1, false}, Size{3, false}, Size{700, false}, Size{6000, false},
                            Size{40000, false}, Size{3, true}, Size{40000, true}})
      // The clock set back with the instrument's readings only, to keep the suite fast.
      if (!size.clockSetBack || signal >= Signal::Daily)
        ExpectSameImage(signal, size.n, Settings()[0], kAllViews, size.clockSetBack);
}

TEST(ReducedDrawing, OtherSeriesSettings) {
  // The readings on a grid in their two hardest forms only, to keep the suite fast.
  for (std::size_t k = 1; k < Settings().size(); ++k)
    for (Signal signal : kAllSignals)
      if (signal < Signal::Daily || signal == Signal::DailyNoise20 || signal == Signal::Alternating)
        ExpectSameImage(signal, 9000, Settings()[k], kAllViews);
}

TEST(ReducedDrawing, DrawsAFewPrimitivesPerColumnNotPerPoint) {
  Gate gate(Signal::SineWithNoise, 200000, Settings()[0]);
  gate.Chart().Canvas().SetBuffered(false);  // the recording surface sees every call
  auto seriesCalls = [&](bool everyPoint) {
    gate.Series().SetDrawEveryPoint(everyPoint);
    TRecordingSurface surface(kWidth, kHeight);
    std::size_t start = 0, end = 0;  // the series' calls
    gate.Series().BeforeDrawValues = [&](TChartSeries&) { start = surface.Calls().size(); };
    gate.Series().AfterDrawValues = [&](TChartSeries&) { end = surface.Calls().size(); };
    gate.Chart().PaintChart(&surface, {0, 0, kWidth, kHeight});
    gate.Series().BeforeDrawValues = nullptr;
    gate.Series().AfterDrawValues = nullptr;
    std::size_t drawn = 0;
    for (std::size_t i = start; i < end; ++i)
      drawn += surface.Calls()[i].Op == "LineTo" || surface.Calls()[i].Op == "Rectangle";
    return drawn;
  };
  const std::size_t every = seriesCalls(true);
  const std::size_t reduced = seriesCalls(false);
  EXPECT_GT(every, 200000u);
  EXPECT_LT(reduced, std::size_t{20} * kWidth) << "every point: " << every;
}

TEST(ReducedDrawing, MillionReadings) {
  ExpectSameImage(Signal::RandomWalk, 1000000, Settings()[0],
                  {View::Automatic, View::StartsAtEdge});
  ExpectSameImage(Signal::Spikes, 1000000, Settings()[0], {View::Automatic});
  ExpectSameImage(Signal::DailyNoise20, 1000000, Settings()[0],
                  {View::Automatic, View::GridStepTallerThanMarkers});
  ExpectSameImage(Signal::DailyNoise20, 1000000, Settings()[0], {View::Automatic}, true);
  ExpectSameImage(Signal::Alternating, 1000000, Settings()[0], {View::Automatic});
}

TEST(ReducedDrawing, ChangesBetweenFramesKeepTheImage) {
  // Readings arrive between frames; others arrive out of time order, are
  // removed or changed in place: every frame still matches.
  Gate gate(Signal::RandomWalk, 12000, Settings()[0]);
  TLineSeries& s = gate.Series();
  auto check = [&](const char* step) {
    const QImage reduced = gate.Paint(false);  // first, so it starts from the last reduced frame
    const QImage every = gate.Paint(true);
    EXPECT_TRUE(every == reduced) << step << ": " << Difference(every, reduced);
  };
  check("start");
  double x = gate.Last();
  for (int i = 0; i < 40; ++i) {  // past two blocks of the min/max pyramid
    s.AddPoint(x += 1 / 86400.0, 20 + (i % 7) * 0.3);
    check("appended");
  }
  s.AddPoint(kStart + 0.05, 45.0);
  check("inserted in the middle");
  s.DeletePoint(6000);
  check("removed");
  s.YValues().SetValue(2000, -30.0);
  s.RequestRepaint();
  check("changed in place");
  s.YValues().SetMultiplier(2.0);
  check("multiplier");
  s.RemoveAllPoints();
  for (int i = 0; i < 3000; ++i) s.AddPoint(kStart + i / 86400.0, (i % 50) * 0.1);
  check("cleared and refilled");
}

}  // namespace
}  // namespace tempolog
