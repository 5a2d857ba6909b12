// TChartValueList: one dimension (X, Y, ...) of a series' points, with its
// statistics and order; implemented in ChartValueList.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chart/ChartEngineTypes.h"
#include "chart/PointArray.h"

namespace tempolog {

class TChartSeries;

// One dimension (X, Y, ...) of a series' points. Values are stored as given;
// every read returns the stored value times Multiplier. The statistics
// (Largest, Smallest, Sum, SumOfMagnitudes) are over the multiplied values
// in index order; they are computed on first read after a change and kept up
// to date across appends at the end, with the same result bit for bit.
// Largest and Smallest are also kept across values inserted inside (a
// reading stamped before the last one) where that gives the result of the
// full pass; the sums are then computed again on their next read.
class TChartValueList {
 public:
  // Registers the list in the owner's TChartValueLists (and leaves it when
  // destroyed). Further lists of a series are made by its AddValueList, which
  // gives them one value per existing point.
  TChartValueList(TChartSeries& owner, std::string name);
  virtual ~TChartValueList();
  TChartValueList(const TChartValueList&) = delete;
  TChartValueList& operator=(const TChartValueList&) = delete;

  TChartSeries& Owner() const { return owner_; }

  bool DateTime() const { return dateTime_; }
  void SetDateTime(bool value);  // repaints when changed
  const std::string& Name() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  double Multiplier() const { return multiplier_; }
  void SetMultiplier(double value);  // stale statistics, refresh, repaint when changed
  TChartListOrder Order() const { return order_; }
  void SetOrder(TChartListOrder value) { order_ = value; }  // does not re-sort
  const std::string& ValueSource() const { return valueSource_; }
  void SetValueSource(std::string value);

  // The value staged by AddPoint before it is inserted.
  double PendingValue() const { return pendingValue_; }
  void SetPendingValue(double value) { pendingValue_ = value; }

  // Stored value at index times Multiplier; EListError for a bad index.
  double ValueAt(std::int32_t index) const { return values_.At(index) * multiplier_; }
  std::int32_t ValueCount() const { return values_.Count(); }
  double LastValue() const { return ValueAt(ValueCount() - 1); }
  // First index whose ValueAt equals value exactly, else -1.
  std::int32_t IndexOfValue(double value) const;

  // Stores the value itself (no Multiplier), tells the series' dependents.
  virtual void SetValue(std::int32_t index, double value);
  // Inserts by the order rule; returns the index where the value now stands.
  virtual std::int32_t InsertOrdered(double value);
  // Inserts at index (0 to ValueCount); EListError for a bad index.
  virtual void InsertAt(std::int32_t index, double value);
  virtual void RemoveAt(std::int32_t index);
  // Empties the list and frees its storage.
  virtual void RemoveAll();
  // Moves the first value to the end, every other one place down (this list only).
  virtual void RotateValues();

  double Largest() const;
  double Smallest() const;
  double Sum() const;
  double SumOfMagnitudes() const;
  bool StatisticsStale() const { return statisticsStale_; }

  // With an Order other than loNone, sorts every point of the series by this list.
  void SortByOrder();
  // Sets value i to i for every index.
  void Renumber();
  // Copies Order, DateTime, Multiplier and ValueSource (not Name, not values).
  void Assign(const TChartValueList& source);

  // The stored (unmultiplied) values, contiguous, ValueCount() of them.
  const double* StoredValues() const { return values_.Data(); }
  std::int32_t Capacity() const { return values_.Capacity(); }
  // Grows the storage, if needed, so that one more value fits without failing.
  void ReserveOne() { values_.ReserveOne(); }

  // True when every stored value is at most the next one (no value is NaN),
  // so the multiplied values, with a positive finite Multiplier, are
  // non-decreasing and searches over them may bisect. Kept up to date on
  // appends; rechecked by one pass when unknown.
  bool IsNonDecreasing() const;

  // Counts the changes to the stored values other than appends at the end
  // (and Multiplier changes): whoever keeps something derived from the
  // values extends it while this stays, and rebuilds it when it moves.
  std::uint64_t Changes() const { return changes_; }

 protected:
  void MarkStale() {
    statisticsStale_ = true;
    extremesCurrent_ = false;
    ++changes_;
  }

 private:
  friend class TChartSeries;
  enum class Monotony : std::uint8_t { NonDecreasing, Unordered, Unknown };

  void RecomputeStatistics() const;
  // This list, its statistics brought up to date first.
  const TChartValueList& WithStatistics() const {
    if (statisticsStale_) RecomputeStatistics();
    return *this;
  }
  // Folds a new multiplied value into Largest and Smallest as the full pass
  // would at its last step.
  void FoldLast(double v) const;
  void Appended(double stored);  // bookkeeping after a value went in at the end
  // Counts `more` values written after the last (into values_.Room) one by
  // one, each as Appended takes it.
  void CommitAppended(std::int32_t more);
  void InsertedInside(std::int32_t index, double stored);
  void SwapValues(std::int32_t a, std::int32_t b) noexcept { values_.Swap(a, b); }
  void Refresh();  // after points were moved around in bulk

  TChartSeries& owner_;
  TPointArray<double> values_;
  std::string name_;
  std::string valueSource_;
  double multiplier_ = 1.0;
  double pendingValue_ = 0.0;
  TChartListOrder order_ = loNone;
  bool dateTime_ = false;
  mutable bool statisticsStale_ = true;
  // With statisticsStale_: largest_ and smallest_ are right all the same.
  mutable bool extremesCurrent_ = false;
  std::uint64_t changes_ = 0;
  mutable Monotony monotony_ = Monotony::NonDecreasing;
  mutable double largest_ = 0.0;
  mutable double smallest_ = 0.0;
  mutable double sum_ = 0.0;
  mutable double sumOfMagnitudes_ = 0.0;
};

// The lists of one series: index 0 is the X list, 1 the Y list.
using TChartValueLists = std::vector<TChartValueList*>;

}  // namespace tempolog
