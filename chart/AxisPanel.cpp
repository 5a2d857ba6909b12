// TCustomAxisPanel, the base of the chart: owns the axes, lists the series, holds the
// paging settings and answers the axes' questions about the series (extremes, margins).
#include "chart/AxisPanel.h"

#include <algorithm>

#include "chart/ChartCanvas.h"
#include "framework/StateHelpers.h"

namespace tempolog {

// ===========================================================================
// Axis panel

TCustomAxisPanel::TCustomAxisPanel()
    : bottomAxis_(*this, true, false),
      topAxis_(*this, true, true),
      leftAxis_(*this, false, false),
      rightAxis_(*this, false, true),
      depthAxis_(*this) {
  axes_ = {&bottomAxis_, &topAxis_, &leftAxis_, &rightAxis_, &depthAxis_};
}

TCustomAxisPanel::~TCustomAxisPanel() {
  destroying_ = true;
  for (TChartSeries* series : series_) series->parentChart_ = nullptr;
  series_.clear();
}

int TCustomAxisPanel::MeasureLabelWidth(const TCustomChartAxis& axis, std::string_view line) const {
  TChartCanvas* canvas = AxisCanvas();
  if (canvas == nullptr) return 0;
  canvas->AssignFont(axis.LabelsFont());
  return canvas->MeasureTextWidth(line);
}

int TCustomAxisPanel::MeasureLabelHeight(const TCustomChartAxis& axis) const {
  TChartCanvas* canvas = AxisCanvas();
  if (canvas == nullptr) return 0;
  canvas->AssignFont(axis.LabelsFont());
  return canvas->MeasureFontHeight();
}

void TCustomAxisPanel::GetAxisLabel(const TCustomChartAxis& axis, const TChartSeries* series,
                                    std::int32_t valueIndex, std::string& text) const {
  if (OnGetAxisLabel) OnGetAxisLabel(axis, series, valueIndex, text);
}

void TCustomAxisPanel::RemoveSeries(TChartSeries& series) {
  if (series.ParentChart() == this) series.SetParentChart(nullptr);
}

void TCustomAxisPanel::SetAxisVisible(bool value) {
  if (StoreChanged(axisVisible_, value)) Invalidate();
}

void TCustomAxisPanel::SetMaxPointsPerPage(std::int32_t value) {
  if (StoreChanged(maxPointsPerPage_, std::max(value, 0))) Invalidate();
}

void TCustomAxisPanel::SetPage(std::int32_t value) {
  if (StoreChanged(page_, std::max(value, 1))) Invalidate();
}

void TCustomAxisPanel::SetScaleLastPage(bool value) {
  if (StoreChanged(scaleLastPage_, value)) Invalidate();
}

bool TCustomAxisPanel::AxisHasNoActiveSeries(const TCustomChartAxis& axis) const {
  for (const TChartSeries* series : series_) {
    if (series->Active() && series->AssociatedToAxis(axis)) return false;
  }
  return true;
}

const TChartSeries* TCustomAxisPanel::FirstSeriesForPaging(const TCustomChartAxis& axis) const {
  const bool noActive = AxisHasNoActiveSeries(axis);
  for (const TChartSeries* series : series_) {
    if (series->AssociatedToAxis(axis) && (series->Active() || noActive)) return series;
  }
  return nullptr;
}

double TCustomAxisPanel::AxisExtremeValue(const TCustomChartAxis& axis, bool largest,
                                          bool xValues) const {
  if (maxPointsPerPage_ > 0) {
    const TChartSeries* series = FirstSeriesForPaging(axis);
    // Paging applies to the axis along which the series' X values run.
    if (series != nullptr && series->YMandatory() == axis.Horizontal()) {
      const std::int64_t n = series->PointCount();
      if (n == 0) return 0.0;
      const std::int64_t m = maxPointsPerPage_;
      std::int64_t first = m * (std::int64_t{page_} - 1);
      if (first >= n) first = std::max<std::int64_t>(0, n / m - 1) * m;
      std::int64_t last = first + m - 1;
      if (last >= n) last = first + (n % m) - 1;
      if (last < first || last >= n) last = n - 1;
      const TChartValueList& xs = series->XValues();
      const double vFirst = xs.ValueAt(static_cast<std::int32_t>(first));
      if (!largest) return vFirst;
      const double vLast = xs.ValueAt(static_cast<std::int32_t>(last));
      const std::int64_t held = last - first + 1;
      if (!scaleLastPage_ && held < m) {
        // A short last page keeps the scale of a full one.
        return static_cast<double>(vFirst + (static_cast<long double>(vLast) - vFirst) * m / held);
      }
      return vLast;
    }
  }
  const bool noActive = AxisHasNoActiveSeries(axis);
  bool found = false;
  double result = 0.0;
  for (const TChartSeries* series : series_) {
    if (!(series->Active() || noActive) || series->PointCount() == 0 ||
        !series->AssociatedToAxis(axis)) {
      continue;
    }
    const double v = xValues ? (largest ? series->MaximumX() : series->MinimumX())
                             : (largest ? series->MaximumY() : series->MinimumY());
    if (!found) {
      result = v;
      found = true;
    } else if (largest ? v > result : v < result) {
      result = v;
    }
  }
  return result;
}

bool TCustomAxisPanel::AxisIsShown(const TCustomChartAxis& axis) const {
  if (!axisVisible_ || !axis.Visible()) return false;
  if (axis.IsDepthAxis() && !View3D()) return false;
  // The first active series that uses axes and is drawn against this one
  // shows it; active series that all use other axes hide it.
  bool shown = true;
  for (const TChartSeries* series : series_) {
    if (series->Active() && series->UsesAxes()) {
      shown = series->AssociatedToAxis(axis);
      if (shown) break;
    }
  }
  return shown;
}

void TCustomAxisPanel::ComputeAxisRanges() {
  for (TCustomChartAxis* axis : axes_) axis->ComputeRange();
}

void TCustomAxisPanel::UpdateAxisPixelSpans() {
  for (TCustomChartAxis* axis : axes_) axis->UpdatePixelSpan();
}

void TCustomAxisPanel::SeriesMarginsForAxis(const TCustomChartAxis& axis, int& startMargin,
                                            int& endMargin) const {
  startMargin = endMargin = 0;
  for (const TChartSeries* series : series_) {
    if (!series->Active() || !series->AssociatedToAxis(axis)) continue;
    int a = 0;
    int b = 0;
    if (axis.Horizontal()) {
      series->HorizontalMargins(a, b);
      if (axis.AutomaticMinimum()) startMargin = std::max(startMargin, a);
      if (axis.AutomaticMaximum()) endMargin = std::max(endMargin, b);
    } else {
      // The top of a vertical axis holds its maximum.
      series->VerticalMargins(a, b);
      if (axis.AutomaticMaximum()) startMargin = std::max(startMargin, a);
      if (axis.AutomaticMinimum()) endMargin = std::max(endMargin, b);
    }
  }
}

void TCustomAxisPanel::ApplySeriesMargins() {
  const std::array<TCustomChartAxis*, 4> order = {&topAxis_, &leftAxis_, &rightAxis_, &bottomAxis_};
  for (TCustomChartAxis* axis : order) {
    int a = 0;
    int b = 0;
    SeriesMarginsForAxis(*axis, a, b);
    axis->WidenRangeForMargins(a, b);
  }
}

}  // namespace tempolog
