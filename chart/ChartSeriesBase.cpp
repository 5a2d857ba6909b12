// TChartSeries, the base of every series: points, colours, labels and the
// notifications to the chart and to the series fed by it.
#include "chart/ChartSeriesBase.h"

#include <algorithm>
#include <cmath>

#include "app/textconv/TextConv.h"
#include "chart/AxisPanel.h"
#include "chart/ChartEngineDetail.h"
#include "framework/StateHelpers.h"

namespace tempolog {

using chart_engine_detail::LabelSettings;

namespace {

// First index in [from, count) at which pred is false, walking upwards; when
// the values are known to be non-decreasing, pred (a "limit > value" test)
// is true on a prefix only and the same index is found by bisection.
template <class Pred>
std::int32_t FirstFailing(std::int32_t from, std::int32_t count, bool bisect, Pred pred) {
  if (bisect) {
    std::int32_t lo = from;
    std::int32_t hi = count;
    while (lo < hi) {
      const std::int32_t mid = lo + (hi - lo) / 2;
      if (pred(mid)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo;
  }
  std::int32_t i = from;
  while (i < count && pred(i)) ++i;
  return i;
}

}  // namespace

TColor ChartPaletteColor(std::int64_t n) {
  return ChartPalette[static_cast<std::size_t>(((n % 16) + 16) % 16)];
}

// ===========================================================================
// Series

TChartSeries::TChartSeries() {
  owned_.push_back(std::make_unique<TChartValueList>(*this, "X"));
  owned_.push_back(std::make_unique<TChartValueList>(*this, "Y"));
  owned_[0]->SetOrder(loAscending);
}

TChartSeries::~TChartSeries() {
  FreeLabels();
  if (parentChart_ != nullptr) {
    TCustomAxisPanel* chart = parentChart_;
    auto& list = chart->series_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    parentChart_ = nullptr;
    if (!chart->IsDestroying()) chart->Invalidate();
  }
  // The value lists unregister themselves as owned_ goes.
}

TChartValueList& TChartSeries::AddValueList(std::string name) {
  // On failure the new list unregisters itself as it goes.
  auto list = std::make_unique<TChartValueList>(*this, std::move(name));
  list->values_.Fill(PointCount(), 0.0);  // one value per existing point
  owned_.push_back(std::move(list));
  return *owned_.back();
}

void TChartSeries::SetParentChart(TCustomAxisPanel* chart) {
  if (chart == parentChart_) return;
  if (parentChart_ != nullptr) {
    TCustomAxisPanel* old = parentChart_;
    auto& list = old->series_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    parentChart_ = nullptr;
    if (!old->IsDestroying()) old->Invalidate();
  }
  if (chart != nullptr) {
    chart->series_.push_back(this);
    parentChart_ = chart;
    chart->SeriesAdded(*this);
    RequestRepaint();
  }
}

void TChartSeries::SetSeriesColor(TColor value) {
  if (StoreChanged(seriesColor_, value)) RequestRepaint();
}

void TChartSeries::SetColorEachPoint(bool value) {
  if (StoreChanged(colorEachPoint_, value)) RequestRepaint();
}

void TChartSeries::SetActive(bool value) {
  if (StoreChanged(active_, value)) RequestRepaint();
}

void TChartSeries::SetValueFormat(const std::string& value) {
  if (StoreChanged(valueFormat_, value)) RequestRepaint();
}

void TChartSeries::SetPercentFormat(const std::string& value) {
  if (StoreChanged(percentFormat_, value)) RequestRepaint();
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
  if (StoreChanged(horizAxis_, value)) RequestRepaint();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
  if (StoreChanged(vertAxis_, value)) RequestRepaint();
}

void TChartSeries::SetTitle(const std::string& value) {
  if (StoreChanged(title_, value)) RequestRepaint();
}

void TChartSeries::MaterialiseColors() {
  if (colorsStored_) return;
  colors_.Fill(PointCount(), clDefault);
  colorsStored_ = true;
}

void TChartSeries::MaterialiseLabels() {
  if (labelsStored_) return;
  labels_.Fill(PointCount(), nullptr);
  labelsStored_ = true;
}

void TChartSeries::FreeLabels() noexcept {
  for (std::int32_t i = 0; i < labels_.Count(); ++i) delete labels_[i];
  labels_.Clear();
  labelsStored_ = false;
  labelCount_ = 0;
}

std::int32_t TChartSeries::AddPoint(double x, double y, std::string_view label, TColor color) {
  XValues().SetPendingValue(x);
  YValues().SetPendingValue(y);
  if (OnBeforeAdd && !OnBeforeAdd(*this)) return -1;

  // Make room in every list first, so that running out of memory (or a full
  // list) leaves the series exactly as it was.
  for (TChartValueList* list : lists_) list->ReserveOne();
  if (color != clDefault) MaterialiseColors();
  if (colorsStored_) colors_.ReserveOne();
  std::unique_ptr<std::string> text;
  if (!label.empty()) {
    text = std::make_unique<std::string>(label);
    MaterialiseLabels();
  }
  if (labelsStored_) labels_.ReserveOne();

  // From here on nothing can fail.
  const std::int32_t index = XValues().InsertOrdered(XValues().PendingValue());
  for (std::size_t k = 1; k < lists_.size(); ++k) {
    lists_[k]->InsertAt(index, lists_[k]->PendingValue());
  }
  if (colorsStored_) colors_.Insert(index, color);
  if (labelsStored_) {
    if (text) ++labelCount_;
    labels_.Insert(index, text.release());
  }
  PointAdded(index);
  return index;
}

std::int32_t TChartSeries::AddPoints(std::int32_t count, const TPointsFill& fill) {
  if (count <= 0) return 0;
  TChartValueList& xs = XValues();
  TChartValueList& ys = YValues();
  // Whatever AddPoint does beyond appending two values goes point by point.
  const bool plain = lists_.size() == 2 && !OnBeforeAdd && !OnAfterAdd && !colorsStored_ &&
                     !labelsStored_ && xs.Order() != loDescending;
  if (!plain) {
    std::vector<double> x(static_cast<std::size_t>(count));
    std::vector<double> y(static_cast<std::size_t>(count));
    const std::int32_t written = fill(x.data(), y.data());
    for (std::int32_t i = 0; i < written; ++i)
      AddPoint(x[static_cast<std::size_t>(i)], y[static_cast<std::size_t>(i)]);
    return written;
  }
  double* x = xs.values_.Room(count);
  double* y = ys.values_.Room(count);
  const std::int32_t written = fill(x, y);
  // The run that AddPoint would append at the end; a point stamped before
  // the one ahead of it goes in among the others, as AddPoint puts it.
  const std::int32_t held = xs.ValueCount();
  std::int32_t inOrder = 0;
  if (xs.Order() == loAscending) {
    double last = held > 0 ? xs.values_[held - 1] : x[0];
    while (inOrder < written && last <= x[inOrder]) last = x[inOrder++];
  } else {
    inOrder = written;
  }
  std::vector<double> restX(x + inOrder, x + written);
  std::vector<double> restY(y + inOrder, y + written);
  xs.CommitAppended(inOrder);
  ys.CommitAppended(inOrder);
  if (inOrder > 0 && active_) RequestRepaint();
  for (std::size_t i = 0; i < restX.size(); ++i) AddPoint(restX[i], restY[i]);
  return written;
}

std::int32_t TChartSeries::Add(double value, std::string_view label, TColor color) {
  const double automatic = static_cast<double>(PointCount());
  return YMandatory() ? AddPoint(automatic, value, label, color)
                      : AddPoint(value, automatic, label, color);
}

std::int32_t TChartSeries::AddNullPoint(std::string_view label) { return Add(0.0, label, clNone); }

std::int32_t TChartSeries::AddNullXY(double x, double y, std::string_view label) {
  return AddPoint(x, y, label, clNone);
}

void TChartSeries::PointAdded(std::int32_t index) {
  if (OnAfterAdd) OnAfterAdd(*this, index);
  NotifyDependents(vcInsert, index);
  if (active_) RequestRepaint();
}

void TChartSeries::NotifyDependents(TValueChangeKind /*kind*/, std::int32_t /*index*/) {}

void TChartSeries::DeletePoint(std::int32_t index) {
  if (index < 0 || index >= PointCount()) RaiseListIndexError(index);
  for (TChartValueList* list : lists_) list->RemoveAt(index);
  if (colorsStored_ && index < colors_.Count()) colors_.RemoveAt(index);
  if (labelsStored_ && index < labels_.Count()) {
    if (labels_[index] != nullptr) --labelCount_;
    delete labels_[index];
    labels_.RemoveAt(index);
  }
  NotifyDependents(vcDelete, index);
  if (active_) RequestRepaint();
}

void TChartSeries::RemoveAllPoints() {
  for (TChartValueList* list : lists_) list->RemoveAll();
  colors_.Clear();
  colorsStored_ = false;
  FreeLabels();
  if (OnClearValues) OnClearValues(*this);
  NotifyDependents(vcClear, -1);
  if (active_ && parentChart_ != nullptr && !parentChart_->IsDestroying()) RequestRepaint();
}

TColor TChartSeries::StoredColor(std::int32_t index) const {
  if (index < 0 || index >= PointCount()) RaiseListIndexError(index);
  return colorsStored_ ? colors_[index] : clDefault;
}

TColor TChartSeries::PointColor(std::int32_t index) const {
  if (index < 0 || index >= PointCount()) return seriesColor_;
  const TColor stored = colorsStored_ ? colors_[index] : clDefault;
  if (stored != clDefault) return stored;
  if (colorEachPoint_) return ChartPaletteColor(index);
  return seriesColor_;
}

void TChartSeries::SetPointColor(std::int32_t index, TColor color) {
  if (index < 0 || index >= PointCount()) RaiseListIndexError(index);
  if (color != clDefault) MaterialiseColors();
  if (colorsStored_) colors_[index] = color;
  RequestRepaint();
}

std::string TChartSeries::MarkText(std::int32_t index) const {
  std::string text = PointLabel(index);
  if (!text.empty() || index < 0 || index >= PointCount()) return text;
  const double value = YMandatory() ? YValue(index) : XValue(index);
  return FormatNumberPattern(LabelSettings(), valueFormat_, value);
}

std::string TChartSeries::PointLabel(std::int32_t index) const {
  if (!labelsStored_ || index < 0 || index >= labels_.Count() || labels_[index] == nullptr) {
    return std::string();
  }
  return *labels_[index];
}

void TChartSeries::SwapPoints(std::int32_t a, std::int32_t b) noexcept {
  for (TChartValueList* list : lists_) list->SwapValues(a, b);
  if (colorsStored_) colors_.Swap(a, b);
  if (labelsStored_) labels_.Swap(a, b);
}

bool TChartSeries::AssociatedToAxis(const TCustomChartAxis& axis) const {
  if (axis.IsDepthAxis()) return false;
  const TCustomAxisPanel& panel = axis.ParentChart();
  if (axis.Horizontal()) {
    return horizAxis_ == aBothHorizAxis || (horizAxis_ == aTopAxis && &axis == &panel.TopAxis()) ||
           (horizAxis_ == aBottomAxis && &axis == &panel.BottomAxis());
  }
  return vertAxis_ == aBothVertAxis || (vertAxis_ == aLeftAxis && &axis == &panel.LeftAxis()) ||
         (vertAxis_ == aRightAxis && &axis == &panel.RightAxis());
}

TCustomChartAxis* TChartSeries::GetHorizAxis() const {
  if (parentChart_ == nullptr) return nullptr;
  if (horizAxis_ == aTopAxis) return &parentChart_->TopAxis();
  return &parentChart_->BottomAxis();
}

TCustomChartAxis* TChartSeries::GetVertAxis() const {
  if (parentChart_ == nullptr) return nullptr;
  if (vertAxis_ == aRightAxis) return &parentChart_->RightAxis();
  return &parentChart_->LeftAxis();
}

void TChartSeries::ComputeVisibleRange() {
  firstShownIndex_ = lastShownIndex_ = -1;
  const std::int32_t count = PointCount();
  if (count == 0) return;
  const TChartValueList& xs = XValues();
  TCustomChartAxis* axis = GetHorizAxis();
  if (!pointsCanBeSkipped_ || xs.Order() == loNone || axis == nullptr) {
    firstShownIndex_ = 0;
    lastShownIndex_ = count - 1;
    return;
  }
  const TRect& plot = parentChart_->PlotRect();
  const double* stored = xs.StoredValues();
  const double m = xs.Multiplier();
  auto x = [&](std::int32_t i) { return stored[i] * m; };
  // Bisection finds the same indexes as the walk when the values are in
  // non-decreasing order; otherwise the points are walked one by one.
  const bool bisect = m > 0 && std::isfinite(m) && xs.IsNonDecreasing();

  const double low = axis->PixelToValue(axis->Inverted() ? plot.Right : plot.Left);
  const std::int32_t first =
      FirstFailing(0, count, bisect, [&](std::int32_t i) { return low > x(i); });
  if (first >= count) return;  // every point lies before the range
  firstShownIndex_ = first;

  const double high = axis->PixelToValue(axis->Inverted() ? plot.Left : plot.Right);
  if (!(x(count - 1) > high)) {
    lastShownIndex_ = count - 1;
    return;
  }
  std::int32_t last =
      FirstFailing(first, count, bisect, [&](std::int32_t i) { return high > x(i); });
  if (last >= count) {
    lastShownIndex_ = count - 1;
    return;
  }
  // A line keeps the first point beyond the right edge, so that the segment
  // leading out of the plot is drawn.
  if (!drawBetweenPoints_ && x(last) > high) --last;
  lastShownIndex_ = last;
}

void TChartSeries::RequestRepaint() {
  if (parentChart_ != nullptr) parentChart_->Invalidate();
}

void TChartSeries::HorizontalMargins(int& left, int& right) const { left = right = 0; }

void TChartSeries::VerticalMargins(int& top, int& bottom) const { top = bottom = 0; }

}  // namespace tempolog
