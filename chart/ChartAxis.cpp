// The axes (TCustomChartAxis, TChartAxis, TChartDepthAxis, TChartAxisTitle): settings,
// range, pixel mapping and label texts. Their drawing is in ChartAxisDraw.cpp.
#include "chart/ChartAxis.h"

#include <algorithm>
#include <cmath>

#include "app/textconv/TextConv.h"
#include "chart/AxisPanel.h"
#include "chart/ChartEngineDetail.h"
#include "framework/StateHelpers.h"

namespace tempolog {

using chart_engine_detail::ClampToInt32;
using chart_engine_detail::LabelSettings;
using chart_engine_detail::RoundEven;

// ===========================================================================
// Axes

TCustomChartAxis::TCustomChartAxis(TCustomAxisPanel& panel, bool horizontal, bool otherSide)
    : panel_(panel),
      horizontal_(horizontal),
      otherSide_(otherSide),
      labelsFont_([this] { Changed(); }),
      title_(*this, horizontal ? 0 : (otherSide ? 270 : 90)) {
  for (TChartPen* pen : std::initializer_list<TChartPen*>{&axisPen_, &ticks_, &ticksInner_,
                                                          &minorTicks_, &grid_, &minorGrid_}) {
    pen->OnChange = [this] { Changed(); };
  }
}

TCustomChartAxis::~TCustomChartAxis() = default;

TChartDepthAxis::TChartDepthAxis(TCustomAxisPanel& panel) : TCustomChartAxis(panel, false, true) {
  SetVisibleQuietly(false);
}

void TCustomChartAxis::Changed() { panel_.Invalidate(); }

void TCustomChartAxis::SetAutomatic(bool value) {
  bool changed = StoreChanged(automatic_, value);
  if (!panel_.IsLoading()) {
    changed = StoreChanged(automaticMinimum_, value) || changed;
    changed = StoreChanged(automaticMaximum_, value) || changed;
  }
  if (changed) Changed();
}

void TCustomChartAxis::SetAutomaticMinimum(bool value) {
  bool changed = StoreChanged(automaticMinimum_, value);
  if (!value || automaticMaximum_) changed = StoreChanged(automatic_, value) || changed;
  if (changed) Changed();
}

void TCustomChartAxis::SetAutomaticMaximum(bool value) {
  bool changed = StoreChanged(automaticMaximum_, value);
  if (!value || automaticMinimum_) changed = StoreChanged(automatic_, value) || changed;
  if (changed) Changed();
}

void TCustomChartAxis::SetMinimum(double value) {
  // NaN is not "<= Maximum" either.
  if (!panel_.IsLoading() && !(value <= maximum_)) {
    throw AxisException("Axis Minimum Value must be <= Maximum");
  }
  if (StoreChanged(minimum_, value)) Changed();
}

void TCustomChartAxis::SetMaximum(double value) {
  if (!panel_.IsLoading() && !(value >= minimum_)) {
    throw AxisException("Axis Maximum Value must be >= Minimum");
  }
  if (StoreChanged(maximum_, value)) Changed();
}

void TCustomChartAxis::SetIncrement(double value) {
  if (!(value >= 0)) throw AxisException("Axis increment must be >= 0");
  if (StoreChanged(increment_, value)) Changed();
}

void TCustomChartAxis::SetLabelsSeparation(std::int32_t value) {
  if (value < 0) throw AxisException("Labels Separation % must be greater than 0");
  if (StoreChanged(labelsSeparation_, value)) Changed();
}

void TCustomChartAxis::SetExactDateTime(bool value) {
  if (StoreChanged(exactDateTime_, value)) Changed();
}

void TCustomChartAxis::SetLogarithmic(bool value) {
  if (value) {
    if (IsDateTimeValues()) throw AxisException("DateTime Axis cannot be Logarithmic");
    ComputeRange();
    if (!(currentMinimum_ >= 0) || !(currentMaximum_ >= 0)) {
      throw AxisException("Logarithmic Axis Min and Max values should be >= 0");
    }
  }
  if (StoreChanged(logarithmic_, value)) Changed();
}

void TCustomChartAxis::SetLogarithmicBase(std::int32_t value) {
  if (value < 2) throw AxisException("Axis Logarithmic Base should be >= 2");
  if (StoreChanged(logarithmicBase_, value)) Changed();
}

void TCustomChartAxis::SetInverted(bool value) {
  if (StoreChanged(inverted_, value)) Changed();
}
void TCustomChartAxis::SetStartPosition(double value) {
  if (StoreChanged(startPosition_, value)) Changed();
}
void TCustomChartAxis::SetEndPosition(double value) {
  if (StoreChanged(endPosition_, value)) Changed();
}
void TCustomChartAxis::SetPositionPercent(double value) {
  if (StoreChanged(positionPercent_, value)) Changed();
}
void TCustomChartAxis::SetVisible(bool value) {
  if (StoreChanged(visible_, value)) Changed();
}

namespace {
// Refuses an angle outside 0..359 with the element's name in the message.
void CheckAngle(std::int32_t value, const char* element) {
  if (value < 0 || value > 359) {
    throw ChartException(FormatMessage("%s Angle must be between 0 and 359 degrees", {element}));
  }
}
}  // namespace

TChartAxisTitle::TChartAxisTitle(TCustomChartAxis& axis, std::int32_t angle)
    : axis_(axis), angle_(angle), font_([this] { axis_.Changed(); }) {}

void TChartAxisTitle::SetCaption(std::string value) {
  if (StoreChanged(caption_, value)) axis_.Changed();
}
void TChartAxisTitle::SetAngle(std::int32_t value) {
  CheckAngle(value, "Axis Title");
  if (StoreChanged(angle_, value)) axis_.Changed();
}

void TCustomChartAxis::SetLabelsAngle(std::int32_t value) {
  CheckAngle(value, "Axis Labels");
  if (StoreChanged(labelsAngle_, value)) Changed();
}
void TCustomChartAxis::SetLabelsMultiLine(bool value) {
  if (StoreChanged(labelsMultiLine_, value)) Changed();
}
void TCustomChartAxis::SetLabels(bool value) {
  if (StoreChanged(labels_, value)) Changed();
}
void TCustomChartAxis::SetLabelsOnAxis(bool value) {
  if (StoreChanged(labelsOnAxis_, value)) Changed();
}
void TCustomChartAxis::SetLabelsSize(std::int32_t value) {
  if (StoreChanged(labelsSize_, value)) Changed();
}
void TCustomChartAxis::SetLabelStyle(TAxisLabelStyle value) {
  if (StoreChanged(labelStyle_, value)) Changed();
}
void TCustomChartAxis::SetRoundFirstLabel(bool value) {
  if (StoreChanged(roundFirstLabel_, value)) Changed();
}
void TCustomChartAxis::SetTickLength(std::int32_t value) {
  if (StoreChanged(tickLength_, value)) Changed();
}
void TCustomChartAxis::SetTickInnerLength(std::int32_t value) {
  if (StoreChanged(tickInnerLength_, value)) Changed();
}
void TCustomChartAxis::SetMinorTickLength(std::int32_t value) {
  if (StoreChanged(minorTickLength_, value)) Changed();
}
void TCustomChartAxis::SetMinorTickCount(std::int32_t value) {
  if (StoreChanged(minorTickCount_, value)) Changed();
}
void TCustomChartAxis::SetGridCentered(bool value) {
  if (StoreChanged(gridCentered_, value)) Changed();
}
void TCustomChartAxis::SetTickOnLabelsOnly(bool value) {
  if (StoreChanged(tickOnLabelsOnly_, value)) Changed();
}
void TCustomChartAxis::SetTitleSize(std::int32_t value) {
  if (StoreChanged(titleSize_, value)) Changed();
}
void TCustomChartAxis::SetAxisValuesFormat(std::string value) {
  if (StoreChanged(axisValuesFormat_, value)) Changed();
}
void TCustomChartAxis::SetDateTimeFormat(std::string value) {
  if (StoreChanged(dateTimeFormat_, value)) Changed();
}

void TCustomChartAxis::ComputeRange() {
  // Written straight into the fields: no checks, no repaint.
  if (automatic_ || automaticMaximum_) maximum_ = panel_.AxisExtremeValue(*this, true, horizontal_);
  if (automatic_ || automaticMinimum_)
    minimum_ = panel_.AxisExtremeValue(*this, false, horizontal_);
  currentMaximum_ = maximum_;
  currentMinimum_ = minimum_;
  currentRange_ = currentMaximum_ - currentMinimum_;
}

void TCustomChartAxis::UpdatePixelSpan() {
  const TRect& plot = panel_.PlotRect();
  const int origin = horizontal_ ? plot.Left : plot.Top;
  const long double size = horizontal_ ? plot.Width() : plot.Height();
  startPixel_ = ClampToInt32(std::int64_t{origin} + RoundPixel(size * 0.01L * startPosition_));
  endPixel_ = ClampToInt32(std::int64_t{origin} + RoundPixel(size * 0.01L * endPosition_));
  pixelSize_ = ClampToInt32(std::int64_t{endPixel_} - startPixel_);
  centerPixel_ = static_cast<std::int32_t>((std::int64_t{startPixel_} + endPixel_) / 2);
}

void TCustomChartAxis::WidenRangeForMargins(int startMargin, int endMargin) {
  const std::int32_t s = startPixel_;
  const std::int32_t e = endPixel_;
  startPixel_ = ClampToInt32(std::int64_t{startPixel_} + startMargin);
  endPixel_ = ClampToInt32(std::int64_t{endPixel_} - endMargin);
  pixelSize_ = ClampToInt32(std::int64_t{endPixel_} - startPixel_);
  const double p = PixelToValue(s);
  const double q = PixelToValue(e);
  UpdatePixelSpan();
  currentMinimum_ = p;
  currentMaximum_ = q;
  // Vertical axes start at the top, where the values are largest.
  if (currentMinimum_ > currentMaximum_) std::swap(currentMinimum_, currentMaximum_);
  currentRange_ = currentMaximum_ - currentMinimum_;
}

std::int32_t TCustomChartAxis::ValueToPixel(double value) const {
  if (logarithmic_) return LogValueToPixel(value);
  if (currentRange_ == 0) return centerPixel_;
  const double t = static_cast<double>((static_cast<long double>(value) - currentMinimum_) *
                                       pixelSize_ / currentRange_);
  if (!(std::fabs(t) < 2147483647.0)) return centerPixel_;  // NaN lands here too
  const std::int64_t offset = static_cast<std::int64_t>(RoundEven(t));
  // Horizontal values grow to the right, vertical ones upwards.
  const bool fromStart = horizontal_ != inverted_;
  return ClampToInt32(fromStart ? startPixel_ + offset : endPixel_ - offset);
}

double TCustomChartAxis::PixelToValue(std::int32_t pixel) const {
  return logarithmic_ ? LogPixelToValue(pixel) : LinearPixelToValue(pixel);
}

double TCustomChartAxis::LinearPixelToValue(std::int32_t pixel) const {
  if (pixelSize_ < 1) return 0.0;
  const std::int64_t along =
      inverted_ ? std::int64_t{endPixel_} - pixel : std::int64_t{pixel} - startPixel_;
  const long double a = static_cast<long double>(along) * currentRange_ / pixelSize_;
  return static_cast<double>(horizontal_ ? currentMinimum_ + a : currentMaximum_ - a);
}

namespace {
struct LogSpan {
  long double lmin;
  long double lmax;
  long double span;
};
LogSpan MakeLogSpan(double minimum, double maximum) {
  LogSpan s{};
  s.lmin = minimum > 0 ? std::log(static_cast<long double>(minimum)) : 0.0L;
  s.lmax = maximum > 0 ? std::log(static_cast<long double>(maximum)) : 0.0L;
  s.span = s.lmax - s.lmin;
  return s;
}
}  // namespace

std::int32_t TCustomChartAxis::LogValueToPixel(double value) const {
  const LogSpan log = MakeLogSpan(currentMinimum_, currentMaximum_);
  if (log.span == 0) return centerPixel_;
  if (!(value > 0)) {
    const bool atEnd = horizontal_ == inverted_;  // horizontal inverted, or vertical upright
    return atEnd ? endPixel_ : startPixel_;
  }
  const long double lv = std::log(static_cast<long double>(value));
  const long double d = inverted_ ? log.lmax - lv : lv - log.lmin;
  const long double t = d * pixelSize_ / log.span;
  return horizontal_ ? ClampToInt32(std::int64_t{startPixel_} + RoundPixel(t))
                     : ClampToInt32(std::int64_t{endPixel_} - RoundPixel(t));
}

double TCustomChartAxis::LogPixelToValue(std::int32_t pixel) const {
  const bool maximumAtStart = horizontal_ == inverted_;
  if (pixel == startPixel_) return maximumAtStart ? currentMaximum_ : currentMinimum_;
  if (pixel == endPixel_) return maximumAtStart ? currentMinimum_ : currentMaximum_;
  const LogSpan log = MakeLogSpan(currentMinimum_, currentMaximum_);
  if (log.span == 0 || pixelSize_ == 0) return currentMinimum_;
  const std::int64_t along =
      inverted_ ? std::int64_t{endPixel_} - pixel : std::int64_t{pixel} - startPixel_;
  const long double d = log.span * static_cast<long double>(along) / pixelSize_;
  return static_cast<double>(horizontal_ ? std::exp(log.lmin + d) : std::exp(log.lmax - d));
}

std::string TCustomChartAxis::LabelText(double value) const {
  std::string text;
  if (!dateTimeAxis_) {
    text = FormatNumberPattern(LabelSettings(), axisValuesFormat_, value);
  } else if (value >= 0) {
    const std::string pattern =
        dateTimeFormat_.empty() ? DateTimeFormatForStep(currentRange_) : dateTimeFormat_;
    text = FormatDateTimePattern(LabelSettings(), pattern, value);
  }
  if (!labelHookSuspended_) panel_.GetAxisLabel(*this, nullptr, -1, text);
  if (labelsMultiLine_) std::replace(text.begin(), text.end(), ' ', LineSeparator);
  return text;
}

int TCustomChartAxis::LabelSizeAlongAxis(double value) const {
  return TextSizeAlongAxis(LabelText(value));
}

double TCustomChartAxis::ComputeLabelStep() const {
  const int size =
      std::max(LabelSizeAlongAxis(currentMaximum_), LabelSizeAlongAxis(currentMinimum_));
  std::int32_t count = 1;
  if (size > 0) {
    long double d = size;
    if (labelsSeparation_ > 0) d = size + RoundPixel(labelsSeparation_ * 0.01L * size);
    count = RoundPixel(pixelSize_ / d);
  }
  return LabelStepForCount(count);
}

double TCustomChartAxis::LabelStepForCount(std::int32_t maxLabels) const {
  // Bounds the search even for ranges no label step can divide (infinite).
  constexpr int kMaxRounds = 4096;
  const long double n = maxLabels;
  if (maxLabels < 1) return dateTimeAxis_ ? OneSecond : 1e-12;

  if (!dateTimeAxis_) {
    double step = increment_ > 0 ? increment_ : (std::fabs(currentRange_) >= 1 ? 1.0 : 1e-12);
    if (labelsSeparation_ > 0) {
      long double count = n + 1;
      for (int round = 0; round < kMaxRounds && count > n; ++round) {
        const long double q = currentRange_ / static_cast<long double>(step);
        if (std::isnan(q)) break;
        if (std::fabs(q) < 2147483647.0L) {
          count = RoundEven(q);
          if (count > n) step = NextNiceStep(step);
        } else {
          step = NextNiceStep(step);
        }
        if (!std::isfinite(step)) break;
      }
    }
    return std::max(1e-12, step);
  }

  double step = std::max(OneSecond, increment_);
  if (currentRange_ / static_cast<long double>(step) > 1000000) step = currentRange_ / 1000000;
  for (int round = 0; round < kMaxRounds; ++round) {
    const long double q = currentRange_ / static_cast<long double>(step);
    if (std::isnan(q) || !(RoundEven(q) > n)) break;
    step = step >= 365 ? step * 2 : NextDateTimeStepUp(step);
    if (!std::isfinite(step)) break;
  }
  return std::max(OneSecond, step);
}

void TCustomChartAxis::SetRange(double minimum, double maximum) {
  bool changed = StoreChanged(automatic_, false);
  changed = StoreChanged(automaticMinimum_, false) || changed;
  changed = StoreChanged(automaticMaximum_, false) || changed;
  if (minimum > maximum) std::swap(minimum, maximum);
  // Never leave a range too small to map: zooming into a tiny rectangle.
  if (static_cast<long double>(maximum) - minimum < 1e-10L) {
    maximum = static_cast<double>(minimum + 1e-10L);
  }
  changed = StoreChanged(minimum_, minimum) || changed;
  changed = StoreChanged(maximum_, maximum) || changed;
  if (changed) Changed();
}

void TCustomChartAxis::ScrollRange(bool checkLimits, double delta) {
  if (checkLimits) {
    bool beyond = false;
    if (delta > 0) {
      beyond = panel_.AxisExtremeValue(*this, true, horizontal_) > maximum_;
    } else if (delta < 0) {
      beyond = panel_.AxisExtremeValue(*this, false, horizontal_) < minimum_;
    }
    if (!beyond) return;
  }
  automatic_ = automaticMaximum_ = automaticMinimum_ = false;
  maximum_ += delta;
  minimum_ += delta;
  Changed();
}

bool TCustomChartAxis::IsDateTimeValues() const {
  for (const TChartSeries* series : panel_.SeriesList()) {
    if (series->Active() && series->AssociatedToAxis(*this)) {
      return horizontal_ ? series->XValues().DateTime() : series->YValues().DateTime();
    }
  }
  return false;
}

}  // namespace tempolog
