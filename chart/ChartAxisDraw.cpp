// Axis labels, ticks and grids: the room an axis takes during layout and
// what it draws in every paint.
//
// Labels run from the top of the range downwards, so TickTable holds their
// pixel positions largest value first; ticks and grid lines reuse those
// positions instead of mapping the values again.
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/textconv/TextConv.h"
#include "chart/AxisPanel.h"
#include "chart/ChartAxis.h"
#include "chart/ChartEngineDetail.h"
#include "framework/StateHelpers.h"

namespace tempolog {

using chart_engine_detail::ClampToInt32;

namespace {

// The default sequence draws no labels at all from this many steps on.
constexpr long double kMaxLabelSteps = 10000;
// Stepping stops after this many labels even when a value fails to move
// (a step below the resolution of a huge value).
constexpr int kMaxLabels = 10001;
// The custom sequence asks the chart's hook at most this often.
constexpr int kMaxCustomLabelCalls = 2001;
// Hit tests reach this far beyond the axis line, into the plot.
constexpr int kHitTolerance = 3;

bool InCalendarSteps(int index) { return index >= 18 && index <= 24; }

// Calls f for each line of a chart text (separated by LineSeparator).
template <class F>
void ForEachLine(std::string_view text, F f) {
  while (true) {
    const std::size_t cut = text.find(LineSeparator);
    f(text.substr(0, cut));
    if (cut == std::string_view::npos) return;
    text.remove_prefix(cut + 1);
  }
}

int WidestLine(const TChartCanvas& canvas, std::string_view text) {
  int widest = 0;
  ForEachLine(text, [&](std::string_view line) {
    widest = std::max(widest, canvas.MeasureTextWidth(line));
  });
  return widest;
}

// The date (time of day dropped) of a value as calendar fields.
LocalTime DateOf(double v) { return DecodeDateTimeValue(std::trunc(v)); }

// The value of a calendar date; fallback when the date cannot be encoded.
double DateValue(int year, int month, int day, double fallback) {
  day = std::min(day, std::max(1, DaysInMonth(year, month)));
  TDateTimeValue result = 0;
  return TryEncodeDate(year, month, day, result) ? result : fallback;
}

// Whether labels at this angle run along the axis (their height is what
// they take from the plot).
bool RunsAlong(bool horizontal, std::int32_t angle) {
  return horizontal ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
}

}  // namespace

// ---------------------------------------------------------------------------
// Label style and texts

TAxisLabelStyle TCustomChartAxis::EffectiveLabelStyle() const {
  if (labelStyle_ != talAuto) return labelStyle_;
  TAxisLabelStyle style = talNone;
  for (const TChartSeries* series : panel_.SeriesList()) {
    if (!series->Active() || !series->AssociatedToAxis(*this)) continue;
    // A line series' X values run along the horizontal axis.
    const bool alongAxis = horizontal_ == series->YMandatory();
    if (alongAxis && series->PointCount() > 0 && !series->PointLabel(0).empty()) return talText;
    style = talValue;
  }
  return style;
}

int TCustomChartAxis::TextSizeAlongAxis(std::string_view text) const {
  // Only a label turned straight across the axis (90 or 270 degrees on a
  // horizontal axis, 0 or 180 on a vertical one) takes one font height per
  // line along it; at any other angle its widest line counts. An empty label
  // is one empty line.
  const bool across = horizontal_ ? (labelsAngle_ == 90 || labelsAngle_ == 270)
                                  : (labelsAngle_ == 0 || labelsAngle_ == 180);
  int lines = 0;
  int widest = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lines;
    if (!across && !line.empty()) widest = std::max(widest, panel_.MeasureLabelWidth(*this, line));
  });
  return across ? panel_.MeasureLabelHeight(*this) * lines : widest;
}

// ---------------------------------------------------------------------------
// Layout

TCustomChartAxis::Side TCustomChartAxis::AxisSide() const {
  if (horizontal_) return otherSide_ ? Side::Top : Side::Bottom;
  return otherSide_ ? Side::Right : Side::Left;
}

std::int32_t TCustomChartAxis::MovedByPosition(std::int32_t p, const TRect& rect) const {
  if (positionPercent_ == 0) return p;
  const long double size = horizontal_ ? rect.Height() : rect.Width();
  std::int64_t c = RoundPixel(positionPercent_ * 0.01L * size);
  const Side side = AxisSide();
  if (side == Side::Top || side == Side::Right) c = -c;
  return ClampToInt32(horizontal_ ? p - c : p + c);
}

namespace {
int& EdgeOf(TRect& r, bool horizontal, bool otherSide) {
  if (horizontal) return otherSide ? r.Top : r.Bottom;
  return otherSide ? r.Right : r.Left;
}
}  // namespace

void TCustomChartAxis::MeasureAxis(TRect& rect, bool reserve) {
  SetDateTimeAxis(IsDateTimeValues());
  // Left and top axes lie at small coordinates: outwards is smaller there.
  const Side side = AxisSide();
  const int outwards = (side == Side::Left || side == Side::Top) ? -1 : 1;
  int& edge = EdgeOf(rect, horizontal_, otherSide_);
  const auto shrink = [&](std::int64_t s) { edge = ClampToInt32(edge - outwards * s); };

  if (!reserve) {
    axisLinePos_ = MovedByPosition(edge, rect);
    labelsPos_ = ClampToInt32(axisLinePos_ + std::int64_t{outwards} * TickBandSize());
    titlePos_ = ClampToInt32(labelsPos_ + std::int64_t{outwards} * LabelBandSize());
    return;
  }
  if (!title_.Caption().empty()) {
    shrink(TitleBandSize());
    titlePos_ = edge;
  }
  if (labels_) {
    shrink(LabelBandSize());
    labelsPos_ = edge;
  }
  constexpr std::int32_t kWallSize = 0;  // walls have no depth in 2D
  const std::int64_t ticks = std::int64_t{TickBandSize()} + kWallSize;
  if (ticks > 0) shrink(ticks);
  titlePos_ = MovedByPosition(titlePos_, rect);
  labelsPos_ = MovedByPosition(labelsPos_, rect);
}

std::int32_t TCustomChartAxis::TickBandSize() const {
  std::int64_t size = axisPen_.Visible() ? axisPen_.Width() : 0;
  if (ticks_.Visible()) size += tickLength_;
  if (minorTicks_.Visible()) size = std::max<std::int64_t>(size, minorTickLength_);
  return ClampToInt32(size);
}

std::int32_t TCustomChartAxis::LabelBandSize() {
  if (labelsSize_ != 0) return labelsSize_;
  TChartCanvas* canvas = panel_.AxisCanvas();
  if (canvas == nullptr) return 0;
  canvas->AssignFont(labelsFont_);
  if (RunsAlong(horizontal_, labelsAngle_)) return canvas->MeasureFontHeight();
  switch (const TAxisLabelStyle style = EffectiveLabelStyle()) {
    case talValue: return WidestValueLabel();
    case talText:
    case talMark: return WidestSeriesLabel(style);
    default: return 0;
  }
}

std::int32_t TCustomChartAxis::TitleBandSize() {
  if (titleSize_ != 0) return titleSize_;
  TChartCanvas* canvas = panel_.AxisCanvas();
  if (canvas == nullptr) return 0;
  canvas->AssignFont(title_.Font());
  return RunsAlong(horizontal_, title_.Angle()) ? canvas->MeasureFontHeight()
                                                : canvas->MeasureTextWidth(title_.Caption());
}

std::int32_t TCustomChartAxis::WidestValueLabel() {
  TChartCanvas* canvas = panel_.AxisCanvas();
  if (canvas == nullptr) return 0;
  double lo = currentMinimum_;
  double hi = currentMaximum_;
  if ((IsDateTimeValues() && exactDateTime_) || roundFirstLabel_) {
    const long double s = ComputeLabelStep();
    lo = static_cast<double>(std::trunc(lo / s) * s);
    hi = static_cast<double>(std::trunc(hi / s) * s);
  }
  FlagGuard quiet(labelHookSuspended_);
  const std::string high = LabelText(hi);
  const std::string low = LabelText(lo);
  canvas->AssignFont(labelsFont_);
  const std::int64_t widest = std::max(WidestLine(*canvas, high), WidestLine(*canvas, low));
  return ClampToInt32(widest + canvas->MeasureTextWidth(" "));
}

std::int32_t TCustomChartAxis::WidestSeriesLabel(TAxisLabelStyle style) {
  TChartCanvas* canvas = panel_.AxisCanvas();
  int widest = 0;
  for (const TChartSeries* series : panel_.SeriesList()) {
    if (!series->Active() || !series->AssociatedToAxis(*this) || !series->HasLabels()) continue;
    for (std::int32_t i = 0; i < series->PointCount(); ++i) {
      const std::string text = style == talText ? series->PointLabel(i) : series->MarkText(i);
      if (!text.empty()) widest = std::max(widest, WidestLine(*canvas, text));
    }
  }
  return widest;
}

// ---------------------------------------------------------------------------
// Label values

double TCustomChartAxis::StepLabelValue(double v, double step) const {
  if (!(exactDateTime_ && dateTimeAxis_ && InCalendarSteps(dateTimeStepIndex_))) return v - step;
  const LocalTime d = DateOf(v);
  int year = d.year;
  int month = d.month;
  int day = d.day;
  // No calendar date lies before the first one: the sequence ends there.
  constexpr double kBeforeAll = -std::numeric_limits<double>::infinity();
  switch (dateTimeStepIndex_) {
    case 18:  // half month
      if (day >= 16) {
        day = 15;
      } else if (day >= 2) {
        day = 1;
      } else {
        day = 15;
        if (--month < 1) month = 12, --year;
      }
      break;
    case 24: --year; break;
    default: {
      static constexpr int kMonthsBack[] = {1, 2, 3, 4, 6};
      month -= kMonthsBack[dateTimeStepIndex_ - 19];
      while (month < 1) month += 12, --year;
      day = 1;
      break;
    }
  }
  return DateValue(year, month, day, kBeforeAll);
}

double TCustomChartAxis::RoundDateDown(int i, double v) {
  if (!(v > 2.0)) return v;
  const double date = std::trunc(v);
  const LocalTime d = DateOf(v);
  int month = d.month;
  int day = d.day;
  if (i == 18) {
    day = day < 15 ? 1 : 15;
  } else if (i >= 19 && i <= 23) {
    day = 1;
  } else if (i == 24) {
    day = 1;
    month = 1;
  }
  return DateValue(d.year, month, day, date);
}

// ---------------------------------------------------------------------------
// Drawing

void TCustomChartAxis::AddTick(std::int32_t p) {
  if (tickCount_ < TickTableCapacity) tickTable_[static_cast<std::size_t>(tickCount_++)] = p;
}

void TCustomChartAxis::DrawLabelText(std::int32_t p, std::string_view text) {
  if (!tickOnLabelsOnly_) AddTick(p);
  if (!labels_) return;
  if (tickOnLabelsOnly_) AddTick(p);
  TChartCanvas& canvas = *panel_.AxisCanvas();
  canvas.AssignFont(labelsFont_);
  canvas.Brush().SetColor(panel_.ChartColor());
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  if (horizontal_) {
    PlaceAxisText(p, labelsPos_, text, labelsAngle_);
  } else {
    PlaceAxisText(labelsPos_, p, text, labelsAngle_);
  }
}

void TCustomChartAxis::DrawLabelAt(double value) {
  const std::int32_t p = ValueToPixel(value);
  const bool inside = p > std::min(startPixel_, endPixel_) && p < std::max(startPixel_, endPixel_);
  if (!labelsOnAxis_ && !inside) return;
  if (labels_) {
    DrawLabelText(p, LabelText(value));
  } else {
    DrawLabelText(p, {});
  }
}

void TCustomChartAxis::DrawDefaultLabels(double step) {
  if (logarithmic_ && increment_ == 0) {
    DrawLogarithmicLabels();
    return;
  }
  if (std::fabs(static_cast<long double>(currentRange_) / step) >= kMaxLabelSteps) return;

  double v = 0;
  if (dateTimeAxis_ && exactDateTime_ && dateTimeStepIndex_ >= 14 && dateTimeStepIndex_ <= 24) {
    v = RoundDateDown(dateTimeStepIndex_, currentMaximum_);
  } else if (currentMinimum_ == currentMaximum_ || !roundFirstLabel_) {
    v = currentMaximum_;
  } else {
    v = static_cast<double>(std::trunc(static_cast<long double>(currentMaximum_) / step) * step);
  }
  // Each step must move the value down, or the sequence ends.
  const auto stepDown = [&](double& value) {
    const double next = StepLabelValue(value, step);
    if (!(next < value)) return false;
    value = next;
    return true;
  };
  for (int n = 0; v > currentMaximum_ && n < kMaxLabels; ++n) {
    if (!stepDown(v)) return;
  }
  const double limit = (currentMinimum_ - 1e-12) / 1.000000000001;
  for (int n = 0; v >= limit && n < kMaxLabels; ++n) {
    DrawLabelAt(v);
    // A range of one value has one label, however small the step.
    if (currentMinimum_ == currentMaximum_ || !stepDown(v)) return;
  }
}

void TCustomChartAxis::DrawCustomLabels(double step) {
  double value = currentMinimum_;
  bool stop = true;
  for (std::int32_t index = 0; index < kMaxCustomLabelCalls; ++index) {
    panel_.OnGetNextAxisLabel(*this, index, value, stop);
    if (stop) {
      if (index == 0) DrawDefaultLabels(step);
      return;
    }
    if (!(value >= currentMinimum_ - 1e-7 && value <= currentMaximum_ + 1e-7)) return;
    DrawLabelAt(value);
  }
}

void TCustomChartAxis::DrawLogarithmicLabels() {
  if (currentMinimum_ == currentMaximum_) return;
  const long double base = logarithmicBase_;
  long double v = 0;
  if (currentMinimum_ > 0) {
    v = std::pow(
        base, std::nearbyint(std::log(static_cast<long double>(currentMinimum_)) / std::log(base)));
  } else {
    currentMinimum_ = currentMinimum_ < 0 ? 1e-10 : 0.1;
    v = currentMinimum_;
  }
  for (int n = 0; v <= currentMaximum_ && std::isfinite(v) && n < kMaxLabels; ++n) {
    if (v >= currentMinimum_) DrawLabelAt(static_cast<double>(v));
    v *= base;
  }
}

void TCustomChartAxis::DrawSeriesLabels(TAxisLabelStyle style) {
  std::vector<TChartSeries*> sources;
  for (TChartSeries* series : panel_.SeriesList()) {
    if (series->Active() && series->AssociatedToAxis(*this) && series->HasLabels()) {
      sources.push_back(series);
    }
  }
  std::int32_t first = -1;
  std::int32_t last = -1;
  for (TChartSeries* series : sources) {
    series->ComputeVisibleRange();
    if (first == -1) first = series->FirstShownIndex();
    last = std::max(last, series->LastShownIndex());
  }
  if (first < 0) return;

  bool drawnAny = false;
  std::int32_t previousPos = 0;
  std::int64_t previousHalf = 0;
  for (std::int32_t index = first; index <= last; ++index) {
    const auto found = std::find_if(sources.begin(), sources.end(),
                                    [&](const TChartSeries* s) { return index < s->PointCount(); });
    if (found == sources.end()) continue;
    const TChartSeries& series = **found;
    std::string text = style == talText ? series.PointLabel(index) : series.MarkText(index);
    panel_.GetAxisLabel(*this, &series, index, text);
    const double value = horizontal_ ? series.XValue(index) : series.YValue(index);
    if (!(value >= currentMinimum_ && value <= currentMaximum_)) continue;
    const std::int32_t p = ValueToPixel(value);
    if (labelsSeparation_ != 0) {
      const std::int64_t size = TextSizeAlongAxis(text);
      const std::int64_t half =
          (size + static_cast<std::int64_t>(std::trunc(size * 0.02 * labelsSeparation_))) / 2;
      if (drawnAny && std::llabs(std::int64_t{p} - previousPos) < half + previousHalf) continue;
      previousHalf = half;
    }
    DrawLabelText(p, text);
    drawnAny = true;
    previousPos = p;
  }
}

void TCustomChartAxis::PlaceAxisText(int x, int y, std::string_view text, std::int32_t angle) {
  TChartCanvas& canvas = *panel_.AxisCanvas();
  const int H = canvas.MeasureFontHeight();
  const int h = H / 2;
  int n = 0;
  ForEachLine(text, [&](std::string_view) { ++n; });
  const int L = (angle == 0 || angle == 90) ? H : -H;
  const Side side = AxisSide();
  int align = TA_LEFT | TA_TOP;
  switch (angle) {
    case 0:
      switch (side) {
        case Side::Left: align = TA_RIGHT | TA_TOP, y -= h; break;
        case Side::Right: align = TA_LEFT | TA_TOP, y -= h; break;
        case Side::Bottom: align = TA_CENTER | TA_TOP; break;
        case Side::Top: align = TA_CENTER | TA_BOTTOM; break;
      }
      break;
    case 90:
      switch (side) {
        case Side::Left: align = TA_CENTER | TA_BOTTOM; break;
        case Side::Right: align = TA_CENTER | TA_TOP; break;
        case Side::Bottom: align = TA_RIGHT | TA_TOP, x -= h; break;
        case Side::Top: align = TA_LEFT | TA_TOP, x -= h; break;
      }
      break;
    case 180:
      switch (side) {
        case Side::Left: align = TA_LEFT | TA_TOP, y += h; break;
        case Side::Right: align = TA_RIGHT | TA_TOP, y += h; break;
        case Side::Bottom: align = TA_CENTER | TA_BOTTOM; break;
        case Side::Top: align = TA_CENTER | TA_TOP; break;
      }
      break;
    case 270:
      switch (side) {
        case Side::Left: align = TA_CENTER | TA_TOP; break;
        case Side::Right: align = TA_CENTER | TA_BOTTOM; break;
        case Side::Bottom: align = TA_LEFT | TA_TOP, x += h; break;
        case Side::Top: align = TA_RIGHT | TA_TOP, x += h; break;
      }
      break;
    default: break;
  }
  canvas.SetTextAlignment(align);

  // Shift back by the whole block so the lines, stepping by L, end up
  // centred on (or stacked away from) the reference point.
  const int e = n * L;
  const int g = RoundPixel(L * 0.5L * (n + 1));
  const bool nearSide = side == Side::Bottom || side == Side::Left;
  if (horizontal_) {
    if (angle == 0) y -= nearSide ? L : e;
    if (angle == 90 || angle == 270) x -= g;
    if (angle == 180) y -= nearSide ? e : L;
  } else {
    if (angle == 0 || angle == 180) y -= g;
    if (angle == 90) x -= nearSide ? e : L;
    if (angle == 270) x -= nearSide ? L : e;
  }
  ForEachLine(text, [&](std::string_view line) {
    if (angle == 0) {
      y += L;
      canvas.PutText(x, y, line);
      return;
    }
    if (angle == 90 || angle == 270) x += L;
    if (angle == 180) y += L;
    canvas.PutRotatedText(x, y, angle, line);
  });
  canvas.SetTextAlignment(TA_LEFT | TA_TOP);
}

void TCustomChartAxis::DrawTickSet(const TChartPen& pen, std::int32_t offset, std::int32_t length) {
  // A tick of no length covers no pixel.
  if (!pen.Visible() || length == 0 || tickCount_ == 0) return;
  TChartCanvas& canvas = *panel_.AxisCanvas();
  canvas.ApplyChartPen(pen);
  for (std::int32_t i = 0; i < tickCount_; ++i)
    DrawTick(canvas, tickTable_[static_cast<std::size_t>(i)], offset, length);
}

void TCustomChartAxis::DrawTick(TChartCanvas& canvas, std::int32_t p, std::int32_t offset,
                                std::int32_t length) {
  const std::int64_t line = axisLinePos_;
  switch (AxisSide()) {
    case Side::Bottom:
      canvas.DrawVerticalSegment(p, ClampToInt32(line + offset),
                                 ClampToInt32(line + offset + length));
      break;
    case Side::Top:
      canvas.DrawVerticalSegment(p, ClampToInt32(line - offset),
                                 ClampToInt32(line - offset - length));
      break;
    case Side::Left:
      canvas.DrawHorizontalSegment(ClampToInt32(line - offset),
                                   ClampToInt32(line - offset - length), p);
      break;
    case Side::Right:
      canvas.DrawHorizontalSegment(ClampToInt32(line + offset),
                                   ClampToInt32(line + offset + length), p);
      break;
  }
}

void TCustomChartAxis::DrawGridLine(TChartCanvas& canvas, std::int32_t p) {
  const TRect& plot = panel_.PlotRect();
  if (horizontal_) {
    canvas.DrawVerticalSegment(p, plot.Top, plot.Bottom);
  } else {
    canvas.DrawHorizontalSegment(plot.Left, plot.Right, p);
  }
}

void TCustomChartAxis::DrawGrid() {
  if (!grid_.Visible()) return;
  TChartCanvas& canvas = *panel_.AxisCanvas();
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.SetBackgroundMode(TRANSPARENT);
  canvas.ApplyChartPen(grid_);
  if (grid_.Color() == clDefault) canvas.Pen().SetColor(clGray);
  const std::int32_t* t = tickTable_.get();
  for (std::int32_t i = 0; i < tickCount_; ++i) {
    if (!gridCentered_) {
      DrawGridLine(canvas, t[i]);
    } else if (i > 0) {
      DrawGridLine(canvas, RoundPixel((static_cast<long double>(t[i]) + t[i - 1]) * 0.5L));
    }
  }
  canvas.SetBackgroundMode(OPAQUE);
}

void TCustomChartAxis::DrawMinorAt(TChartCanvas& canvas, bool grid, std::int64_t p) {
  if (!(p > std::min(startPixel_, endPixel_) && p < std::max(startPixel_, endPixel_))) return;
  const auto pixel = static_cast<std::int32_t>(p);
  if (grid) {
    DrawGridLine(canvas, pixel);
  } else {
    DrawTick(canvas, pixel, 1, minorTickLength_);
  }
}

void TCustomChartAxis::DrawMinor(bool grid) {
  const TChartPen& pen = grid ? static_cast<const TChartPen&>(minorGrid_) : minorTicks_;
  if (tickCount_ < 1 || !pen.Visible()) return;
  TChartCanvas& canvas = *panel_.AxisCanvas();
  canvas.ApplyChartPen(pen);
  // Between two pixels there are no more distinct places than the axis has
  // pixels; a larger count only repeats them.
  const std::int64_t span = std::llabs(std::int64_t{pixelSize_});
  const std::int64_t k =
      std::clamp<std::int64_t>(minorTickCount_, 0, std::max<std::int64_t>(1, span));
  const std::int32_t* t = tickTable_.get();
  if (logarithmic_) {
    for (std::int32_t i = 1; i < tickCount_; ++i) {
      const long double w = PixelToValue(t[i - 1]);
      for (std::int64_t j = 1; j <= k; ++j) {
        const long double v = w + j * (logarithmicBase_ * w - w) / (k + 1);
        if (v > currentMaximum_) break;
        DrawMinorAt(canvas, grid, ValueToPixel(static_cast<double>(v)));
      }
    }
    return;
  }
  if (tickCount_ > 1) {
    // Carry the minor pattern on beyond the outermost labels.
    const double q = static_cast<double>(t[1] - std::int64_t{t[0]}) / static_cast<double>(k + 1);
    for (std::int64_t j = 1; j <= k; ++j) {
      const std::int64_t d = RoundPixel(j * q);
      DrawMinorAt(canvas, grid, t[0] - d);
      DrawMinorAt(canvas, grid, t[tickCount_ - 1] + d);
    }
  }
  for (std::int32_t i = 1; i < tickCount_; ++i) {
    const double q =
        static_cast<double>(t[i] - std::int64_t{t[i - 1]}) / static_cast<double>(k + 1);
    for (std::int64_t j = 1; j <= k; ++j)
      DrawMinorAt(canvas, grid, t[i] - std::int64_t{RoundPixel(j * q)});
  }
}

void TCustomChartAxis::DrawAxis(bool computeLinePos) {
  TChartCanvas* canvas = panel_.AxisCanvas();
  if (canvas == nullptr) return;
  SetDateTimeAxis(IsDateTimeValues());
  canvas->AssignFont(labelsFont_);
  const double step = ComputeLabelStep();

  if (computeLinePos) {
    TRect plot = panel_.PlotRect();
    axisLinePos_ = MovedByPosition(EdgeOf(plot, horizontal_, otherSide_), plot);
  }

  if (!title_.Caption().empty()) {
    canvas->AssignFont(title_.Font());
    canvas->Brush().SetColor(panel_.ChartColor());
    canvas->Brush().SetStyle(TBrushStyle::bsClear);
    if (horizontal_) {
      PlaceAxisText(centerPixel_, titlePos_, title_.Caption(), title_.Angle());
    } else {
      PlaceAxisText(titlePos_, centerPixel_, title_.Caption(), title_.Angle());
    }
  }

  dateTimeStepIndex_ = NoDateTimeStep;
  if (dateTimeAxis_ && exactDateTime_ && increment_ != 0) {
    int i = NearestDateTimeStep(increment_);
    if (i != NoDateTimeStep) {
      while (step > DateTimeStepTable[static_cast<std::size_t>(i)] && i < 24) ++i;
    }
    dateTimeStepIndex_ = i;
  }

  if (!tickTable_) tickTable_ = std::make_unique<std::int32_t[]>(TickTableCapacity);
  tickCount_ = 0;
  if ((step > 0 || InCalendarSteps(dateTimeStepIndex_)) && currentMaximum_ >= currentMinimum_) {
    switch (const TAxisLabelStyle style = EffectiveLabelStyle()) {
      case talValue:
        if (panel_.OnGetNextAxisLabel) {
          DrawCustomLabels(step);
        } else {
          DrawDefaultLabels(step);
        }
        break;
      case talMark:
      case talText: DrawSeriesLabels(style); break;
      default: break;
    }
  }

  if (axisPen_.Visible()) {
    canvas->ApplyChartPen(axisPen_);
    if (horizontal_) {
      canvas->DrawHorizontalSegment(startPixel_, endPixel_, axisLinePos_);
    } else {
      canvas->DrawVerticalSegment(axisLinePos_, startPixel_, endPixel_);
    }
  }
  DrawTickSet(ticks_, 1, tickLength_);
  DrawGrid();
  DrawTickSet(ticksInner_, -1, -tickInnerLength_);
  DrawMinor(false);
  DrawMinor(true);
}

bool TCustomChartAxis::AxisHitTest(int x, int y) const {
  if (!panel_.AxisIsShown(*this)) return false;
  const std::int64_t s = std::min(startPixel_, endPixel_);
  const std::int64_t e = std::max(startPixel_, endPixel_);
  std::int64_t bandStart = 0;
  std::int64_t bandEnd = 0;
  if (labelsPos_ < axisLinePos_) {
    bandStart = labelsPos_;
    bandEnd = std::int64_t{axisLinePos_} + kHitTolerance;
  } else {
    bandStart = std::int64_t{axisLinePos_} - kHitTolerance;
    bandEnd = labelsPos_;
  }
  const std::int64_t along = horizontal_ ? x : y;
  const std::int64_t across = horizontal_ ? y : x;
  return along >= s && along < e && across >= bandStart && across < bandEnd;
}

}  // namespace tempolog
