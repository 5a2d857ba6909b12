// TChartValueList, one dimension (X, Y, ...) of a series' points: values, order,
// multiplier and the statistics kept up to date across appends.
#include "chart/ChartValueList.h"

#include <algorithm>
#include <cmath>

#include "chart/ChartSeriesBase.h"

namespace tempolog {

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

void TChartValueList::FoldLast(double v) const {
  if (values_.Count() == 1) {
    smallest_ = largest_ = v;
  } else if (v < smallest_) {
    smallest_ = v;
  } else if (v > largest_) {
    largest_ = v;
  }
}

void TChartValueList::Appended(double stored) {
  const std::int32_t count = values_.Count();
  if (monotony_ == Monotony::NonDecreasing && count >= 2 && !(values_[count - 2] <= stored)) {
    monotony_ = Monotony::Unordered;
  }
  const double v = stored * multiplier_;
  if (statisticsStale_) {
    if (extremesCurrent_) FoldLast(v);  // the sums wait for a full pass
    return;
  }
  // The statistics are current: fold the new value in exactly as the full
  // pass would at its last step, so the result is the same bit for bit.
  FoldLast(v);
  if (count == 1) {
    sum_ = v;
    sumOfMagnitudes_ = std::fabs(v);
    return;
  }
  sum_ += v;
  sumOfMagnitudes_ += std::fabs(v);
}

void TChartValueList::CommitAppended(std::int32_t more) {
  for (std::int32_t i = 0; i < more; ++i) {
    values_.Commit(1);
    Appended(values_[values_.Count() - 1]);
  }
}

void TChartValueList::InsertedInside(std::int32_t index, double stored) {
  // Inserting cannot mend a list that is out of order; it can spoil one.
  if (monotony_ == Monotony::NonDecreasing) {
    const bool fitsBefore = index == 0 || values_[index - 1] <= stored;
    const bool fitsAfter = stored <= values_[index + 1];
    if (!(fitsBefore && fitsAfter)) monotony_ = Monotony::Unordered;
  }
  // The full pass keeps the first of equal extremes and starts from value 0
  // (a NaN there stays): a value inserted after the first one, and not equal
  // to an extreme in another form (+0 and -0), leaves the extremes it would
  // find. A NaN inserted there is passed over.
  const bool extremesKnown = !statisticsStale_ || extremesCurrent_;
  const double v = stored * multiplier_;
  auto sameOrApart = [v](double extreme) {
    return v != extreme || std::signbit(v) == std::signbit(extreme);
  };
  const bool keep = extremesKnown && index > 0 && sameOrApart(smallest_) && sameOrApart(largest_);
  MarkStale();
  if (!keep) return;
  if (v < smallest_) {
    smallest_ = v;
  } else if (v > largest_) {
    largest_ = v;
  }
  extremesCurrent_ = true;
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
  return extremesCurrent_ ? largest_ : WithStatistics().largest_;
}
double TChartValueList::Smallest() const {
  return extremesCurrent_ ? smallest_ : WithStatistics().smallest_;
}
double TChartValueList::Sum() const { return WithStatistics().sum_; }
double TChartValueList::SumOfMagnitudes() const { return WithStatistics().sumOfMagnitudes_; }

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

}  // namespace tempolog
