#include "chart/ChartEngine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/textconv/TextConv.h"
#include "chart/ChartCanvas.h"
#include "framework/StateHelpers.h"

namespace tempolog {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp(value, kInt32Min, kInt32Max));
}

// Ties to even, whole number as a long double (NaN and infinities pass).
long double RoundEven(long double value) { return std::nearbyintl(value); }

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

// The process-wide settings from the user's locale that labels are written
// in, taken once.
const TFormatSettings& LabelSettings() {
  static const TFormatSettings settings = ProcessFormatSettings();
  return settings;
}

}  // namespace

std::int32_t RoundPixel(long double value) {
  if (std::isnan(value)) return 0;
  const long double r = RoundEven(value);
  if (r <= static_cast<long double>(kInt32Min)) return static_cast<std::int32_t>(kInt32Min);
  if (r >= static_cast<long double>(kInt32Max)) return static_cast<std::int32_t>(kInt32Max);
  return static_cast<std::int32_t>(r);
}

TColor ChartPaletteColor(std::int64_t n) {
  return ChartPalette[static_cast<std::size_t>(((n % 16) + 16) % 16)];
}

// ===========================================================================
// Value lists

TChartValueList::TChartValueList(TChartSeries& owner, std::string name)
    : owner_(owner), name_(std::move(name)) {
  owner.RegisterList(this);
}

TChartValueList::~TChartValueList() {
  auto& lists = owner_.lists_;
  lists.erase(std::remove(lists.begin(), lists.end(), this), lists.end());
}

void TChartValueList::SetDateTime(bool value) {
  if (value == dateTime_) return;
  dateTime_ = value;
  owner_.RequestRepaint();
}

void TChartValueList::SetMultiplier(double value) {
  if (value == multiplier_) return;
  multiplier_ = value;
  MarkStale();
  owner_.NotifyDependents(vcRefresh, -1);
  owner_.RequestRepaint();
}

void TChartValueList::SetValueSource(std::string value) {
  if (value == valueSource_) return;
  valueSource_ = std::move(value);
  owner_.CheckDataSource();
}

std::int32_t TChartValueList::IndexOfValue(double value) const {
  const std::int32_t count = values_.Count();
  for (std::int32_t i = 0; i < count; ++i) {
    if (values_[i] * multiplier_ == value) return i;
  }
  return -1;
}

void TChartValueList::SetValue(std::int32_t index, double value) {
  values_.At(index) = value;
  if (monotony_ == Monotony::NonDecreasing) {
    const bool fitsBefore = index == 0 || values_[index - 1] <= value;
    const bool fitsAfter = index == values_.Count() - 1 || value <= values_[index + 1];
    if (!(fitsBefore && fitsAfter)) monotony_ = Monotony::Unordered;
  } else {
    monotony_ = Monotony::Unknown;  // the change may have mended the order
  }
  MarkStale();
  owner_.NotifyDependents(vcModify, index);
}

std::int32_t TChartValueList::InsertOrdered(double value) {
  const std::int32_t count = values_.Count();
  std::int32_t index = count;
  // Comparisons use the stored values; an equal value goes after its equals.
  if (order_ == loAscending && count > 0 && !(values_[count - 1] <= value)) {
    std::int32_t i = count - 1;
    while (i >= 0 && values_[i] > value) --i;
    index = i + 1;
  } else if (order_ == loDescending && count > 0 && !(values_[count - 1] >= value)) {
    std::int32_t i = count - 1;
    while (i >= 0 && values_[i] < value) --i;
    index = i + 1;
  }
  InsertAt(index, value);
  return index;
}

void TChartValueList::InsertAt(std::int32_t index, double value) {
  values_.Insert(index, value);
  if (index == values_.Count() - 1) {
    Appended(value);
  } else {
    InsertedInside(index, value);
  }
}

void TChartValueList::Appended(double stored) {
  const std::int32_t count = values_.Count();
  if (monotony_ == Monotony::NonDecreasing && count >= 2 && !(values_[count - 2] <= stored)) {
    monotony_ = Monotony::Unordered;
  }
  if (statisticsStale_) return;
  // The statistics are current: fold the new value in exactly as the full
  // pass would at its last step, so the result is the same bit for bit.
  const double v = stored * multiplier_;
  if (count == 1) {
    smallest_ = largest_ = sum_ = v;
    sumOfMagnitudes_ = std::fabs(v);
    return;
  }
  if (v < smallest_) {
    smallest_ = v;
  } else if (v > largest_) {
    largest_ = v;
  }
  sum_ += v;
  sumOfMagnitudes_ += std::fabs(v);
}

void TChartValueList::InsertedInside(std::int32_t index, double stored) {
  // Inserting cannot mend a list that is out of order; it can spoil one.
  if (monotony_ == Monotony::NonDecreasing) {
    const bool fitsBefore = index == 0 || values_[index - 1] <= stored;
    const bool fitsAfter = stored <= values_[index + 1];
    if (!(fitsBefore && fitsAfter)) monotony_ = Monotony::Unordered;
  }
  MarkStale();
}

void TChartValueList::RemoveAt(std::int32_t index) {
  values_.RemoveAt(index);
  if (monotony_ == Monotony::Unordered) monotony_ = Monotony::Unknown;
  MarkStale();
}

void TChartValueList::RemoveAll() {
  values_.Clear();
  monotony_ = Monotony::NonDecreasing;
  MarkStale();
}

void TChartValueList::RotateValues() {
  const std::int32_t count = values_.Count();
  if (count == 0) return;
  double* data = values_.Data();
  const double first = data[0];
  std::copy(data + 1, data + count, data);
  data[count - 1] = first;
  if (count > 1) monotony_ = Monotony::Unknown;
  MarkStale();
}

void TChartValueList::RecomputeStatistics() const {
  const std::int32_t count = values_.Count();
  if (count == 0) {
    largest_ = smallest_ = sum_ = sumOfMagnitudes_ = 0.0;
  } else {
    const double f = values_[0] * multiplier_;
    smallest_ = largest_ = sum_ = f;
    sumOfMagnitudes_ = std::fabs(f);
    for (std::int32_t i = 1; i < count; ++i) {
      const double v = values_[i] * multiplier_;
      if (v < smallest_) {
        smallest_ = v;
      } else if (v > largest_) {
        largest_ = v;
      }
      sum_ += v;
      sumOfMagnitudes_ += std::fabs(v);
    }
  }
  statisticsStale_ = false;
}

double TChartValueList::Largest() const {
  if (statisticsStale_) RecomputeStatistics();
  return largest_;
}
double TChartValueList::Smallest() const {
  if (statisticsStale_) RecomputeStatistics();
  return smallest_;
}
double TChartValueList::Sum() const {
  if (statisticsStale_) RecomputeStatistics();
  return sum_;
}
double TChartValueList::SumOfMagnitudes() const {
  if (statisticsStale_) RecomputeStatistics();
  return sumOfMagnitudes_;
}

bool TChartValueList::IsNonDecreasing() const {
  if (monotony_ == Monotony::Unknown) {
    const std::int32_t count = values_.Count();
    monotony_ = Monotony::NonDecreasing;
    for (std::int32_t i = 1; i < count; ++i) {
      if (!(values_[i - 1] <= values_[i])) {
        monotony_ = Monotony::Unordered;
        break;
      }
    }
  }
  return monotony_ == Monotony::NonDecreasing;
}

void TChartValueList::Refresh() {
  if (values_.Count() > 1) monotony_ = Monotony::Unknown;
  MarkStale();
}

void TChartValueList::SortByOrder() {
  if (order_ == loNone) return;
  const int sign = order_ == loDescending ? -1 : 1;
  auto compare = [&](std::int32_t a, std::int32_t b) {
    const double va = values_[a] * multiplier_;
    const double vb = values_[b] * multiplier_;
    const int c = va < vb ? -1 : (va > vb ? 1 : 0);
    return c * sign;
  };
  // Quicksort around the middle point of each range; the pivot index follows
  // its point when that is swapped. The larger part is sorted by the loop
  // rather than by recursion, so the depth stays logarithmic.
  std::vector<std::pair<std::int32_t, std::int32_t>> pending;
  pending.emplace_back(0, values_.Count() - 1);
  while (!pending.empty()) {
    auto [low, high] = pending.back();
    pending.pop_back();
    while (low < high) {
      std::int32_t i = low;
      std::int32_t j = high;
      std::int32_t pivot = (low + high) / 2;
      while (i < j) {
        while (i < high && compare(i, pivot) < 0) ++i;
        while (j > low && compare(pivot, j) < 0) --j;
        if (i < j) {
          owner_.SwapPoints(i, j);
          if (i == pivot) {
            pivot = j;
          } else if (j == pivot) {
            pivot = i;
          }
        }
        if (i <= j) {
          ++i;
          --j;
        }
      }
      // Ranges [low, j] and [i, high] remain.
      if (j - low < high - i) {
        if (i < high) pending.emplace_back(i, high);
        high = j;
      } else {
        if (low < j) pending.emplace_back(low, j);
        low = i;
      }
    }
  }
  for (TChartValueList* list : owner_.lists_) list->Refresh();
}

void TChartValueList::Renumber() {
  const std::int32_t count = values_.Count();
  for (std::int32_t i = 0; i < count; ++i) SetValue(i, static_cast<double>(i));
}

void TChartValueList::Assign(const TChartValueList& source) {
  order_ = source.order_;
  dateTime_ = source.dateTime_;
  if (multiplier_ != source.multiplier_) {
    multiplier_ = source.multiplier_;
    MarkStale();
  }
  valueSource_ = source.valueSource_;
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
  const std::int32_t first = FirstFailing(0, count, bisect, [&](std::int32_t i) { return low > x(i); });
  if (first >= count) return;  // every point lies before the range
  firstShownIndex_ = first;

  const double high = axis->PixelToValue(axis->Inverted() ? plot.Left : plot.Right);
  if (!(x(count - 1) > high)) {
    lastShownIndex_ = count - 1;
    return;
  }
  std::int32_t last = FirstFailing(first, count, bisect, [&](std::int32_t i) { return high > x(i); });
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

// ===========================================================================
// Label steps

double NextNiceStep(double s) {
  if (!(s > 0) || !std::isfinite(s)) return s;
  if (s >= 10) return static_cast<double>(NextNiceStep(static_cast<double>(s * 0.1L)) * 10.0L);
  if (s >= 5) return 10.0;
  if (s >= 2) return 5.0;
  if (s >= 1) return 2.0;
  return static_cast<double>(NextNiceStep(static_cast<double>(s * 10.0L)) * 0.1L);
}

double NextDateTimeStepUp(double s) {
  for (int i = NoDateTimeStep - 2; i >= 0; --i) {
    if (s >= DateTimeStepTable[static_cast<std::size_t>(i)]) {
      return DateTimeStepTable[static_cast<std::size_t>(i) + 1];
    }
  }
  return DateTimeStepTable.back();
}

int NearestDateTimeStep(double x) {
  for (int i = NoDateTimeStep - 1; i >= 0; --i) {
    if (std::fabs(DateTimeStepTable[static_cast<std::size_t>(i)] - x) < OneSecond) return i;
  }
  return NoDateTimeStep;
}

std::string DateTimeFormatForStep(double d) {
  return d > 1 ? LabelSettings().shortDateFormat : LabelSettings().shortTimeFormat;
}

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
  if (automatic_ || automaticMinimum_) minimum_ = panel_.AxisExtremeValue(*this, false, horizontal_);
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
  const std::int64_t along = inverted_ ? std::int64_t{endPixel_} - pixel
                                       : std::int64_t{pixel} - startPixel_;
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
  const std::int64_t along = inverted_ ? std::int64_t{endPixel_} - pixel
                                       : std::int64_t{pixel} - startPixel_;
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
  const int size = std::max(LabelSizeAlongAxis(currentMaximum_), LabelSizeAlongAxis(currentMinimum_));
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
  const std::array<TCustomChartAxis*, 4> order = {&topAxis_, &leftAxis_, &rightAxis_,
                                                  &bottomAxis_};
  for (TCustomChartAxis* axis : order) {
    int a = 0;
    int b = 0;
    SeriesMarginsForAxis(*axis, a, b);
    axis->WidenRangeForMargins(a, b);
  }
}

}  // namespace tempolog
