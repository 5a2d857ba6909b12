// The line series drawn from a few points per pixel column.
//
// A week of readings once a second is 600,000 points on a plot some 700
// pixels wide. Drawing each of them costs time in proportion to the points;
// here a frame costs about the same for ten million points as for a thousand,
// and paints exactly the same pixels.
//
// Why a few points suffice. When the series has one colour, a solid line pen
// in copy mode and (if shown) filled square markers of that colour, every
// pixel it paints is in that one colour, so the image is the union of what
// its lines and markers cover, whatever the order. Take a run of points a..b
// in one pixel column x that follows a drawn point and is followed by a drawn
// point in another column:
//   - Lines. Inside the column every segment is vertical at x (the stairs'
//     horizontal step, or the inverted stairs' horizontal leg, has length
//     zero; a straight segment between two points of one column is vertical
//     too), and each leaves out its end pixel. The path from the previous
//     point's row through the rows of a..b therefore covers every centre row
//     between its lowest and highest row, except perhaps the row of b; and
//     the segment to the next point starts on b's row, so that row is
//     covered anyway. Drawing a, the rows of the smallest and the largest
//     reading of the run, and b gives the same centre rows; a wide pen paints
//     the same square around each centre pixel.
//   - Markers. Each point paints rows y - V .. y + V - 1 over the columns
//     x - H .. x + H - 1. Those columns reach past the line, so the union
//     depends on every row that holds a reading, not only the extreme ones:
//     rows whose readings lie within 2V of each other join into one band.
//     The bands come from the min/max pyramid (CollectRowBands) and are
//     filled as one tall marker each. The rows depend only on the set of
//     distinct values of the run, and readings of an instrument repeat a few
//     values of a decimal grid (as the program holds them: the singles
//     nearest to the decimals): the pyramid keeps which grid values each
//     node holds, so a column of noisy readings costs its distinct values,
//     not its readings.
// The pyramid follows the readings: appended ones are taken in as they come,
// and a reading stamped before the last one (the clock was set back) only
// makes it take in again what follows the reading, not the whole series.
// Everything else (the first point, which starts the line at the plot's
// edge; the last point; columns beyond the drawable pixel range; readings
// that are NaN; runs too short to gain) goes through DrawPoint as before, and
// any other setting (point colours, null points, other pens or markers,
// logarithmic axes) draws every point.
#include <algorithm>
#include <array>
#include <cmath>

#include "chart/ColumnRuns.h"
#include "chart/Series.h"

namespace tempolog {

namespace {

constexpr int kFarPixel = 32766;  // as DrawPoint: farther pixels are not drawn

bool Far(int p) { return p < -kFarPixel || p > kFarPixel; }

// True when the axis maps the value without leaving its linear formula (the
// mapping is then monotonic between any two such values).
bool InLinearReach(const TCustomChartAxis& axis, double value) {
  if (!std::isfinite(value)) return false;
  if (axis.CurrentRange() == 0) return true;
  const long double t = (static_cast<long double>(value) - axis.CurrentMinimum()) *
                        axis.PixelSize() / axis.CurrentRange();
  return std::fabs(t) < 1e9L;
}

bool UsableMultiplier(double m) { return std::isfinite(m) && m != 0; }

// True when the points a..b, of which b lies on row r, an extreme row of
// a..b (no NaN among them), have a point on r before the last stretch of
// points on r that ends at b: the path then leaves r after it. The stretch's
// start is found by bisection over the pyramid's extremes.
template <class RowOf>
bool LeavesRow(const TMinMaxPyramid& pyramid, const double* ys, std::int32_t a, std::int32_t b,
               int r, RowOf&& rowOf) {
  auto onRow = [&](std::int32_t first, std::int32_t last, bool all) {
    TMinMaxPyramid::Extremes e{};
    pyramid.Query(ys, first, last, e);
    const bool minOn = rowOf(e.min) == r, maxOn = rowOf(e.max) == r;
    return all ? minOn && maxOn : minOn || maxOn;
  };
  std::int32_t low = a, high = b;  // [high, b] lies on r
  while (low < high) {
    const std::int32_t mid = low + (high - low) / 2;
    if (onRow(mid, b, true)) high = mid;
    else low = mid + 1;
  }
  return high > a && onRow(a, high - 1, false);
}

}  // namespace

bool TCustomSeries::CanDrawReduced() const {
  if (horizAxis_->Logarithmic() || vertAxis_->Logarithmic()) return false;
  if (ColorEachPoint() || HasStoredColors() || SeriesColor() == clNone) return false;
  const TChartValueList& xs = XValues();
  const TChartValueList& ys = YValues();
  if (!UsableMultiplier(xs.Multiplier()) || !UsableMultiplier(ys.Multiplier())) return false;
  if (!xs.IsNonDecreasing()) return false;
  if (!InLinearReach(*horizAxis_, XValue(FirstShownIndex())) ||
      !InLinearReach(*horizAxis_, XValue(LastShownIndex())))
    return false;
  if (DrawsLine() && linePen_.Visible()) {
    if (linePen_.Style() != TPenStyle::psSolid || linePen_.Mode() != TPenMode::pmCopy ||
        linePen_.SmallDots())
      return false;
  } else if (canvas_->Pen().Mode() != TPenMode::pmCopy) {
    return false;  // markers alone fill in the mode the canvas pen has
  }
  if (pointer_.Visible()) {
    const TChartBrush& brush = pointer_.Brush();
    if (OnGetPointerStyle || pointer_.Style() != psRectangle || pointer_.Pen().Visible())
      return false;
    if (brush.HasBitmap() || brush.Style() != TBrushStyle::bsSolid) return false;
    if (brush.Color() != clDefault && brush.Color() != SeriesColor()) return false;
  }
  return true;
}

void TCustomSeries::PointAdded(std::int32_t index) {
  // Each point added before the last one moved the Y list's change count by
  // one (appends leave it): counting them tells whether they were all.
  if (index < PointCount() - 1) {
    firstInserted_ = insertsSinceExtremes_ == 0 ? index : std::min(firstInserted_, index);
    ++insertsSinceExtremes_;
  }
  TChartSeries::PointAdded(index);
}

void TCustomSeries::UpdateExtremes() {
  const TChartValueList& ys = YValues();
  const std::int32_t count = ys.ValueCount();
  const std::uint64_t changes = ys.Changes();
  if (changes == extremesChanges_ && count >= yExtremes_.Count()) {
    yExtremes_.Extend(ys.StoredValues(), count);
  } else if (insertsSinceExtremes_ > 0 && changes - extremesChanges_ == insertsSinceExtremes_) {
    // Only points added among the others: the values before the first of
    // them are as they were.
    yExtremes_.Update(ys.StoredValues(), count, firstInserted_);
  } else {
    yExtremes_.Build(ys.StoredValues(), count);
  }
  extremesChanges_ = changes;
  insertsSinceExtremes_ = 0;
}

void TCustomSeries::DrawShownPointsReduced() {
  const std::int32_t first = FirstShownIndex();
  const std::int32_t last = LastShownIndex();
  UpdateExtremes();
  const double* xs = XValues().StoredValues();
  const double xm = XValues().Multiplier();
  auto column = [&](std::int32_t i) { return horizAxis_->ValueToPixel(xs[i] * xm); };
  const TColor color = PointColor(first);
  constexpr std::int32_t kShortestRun = 5;  // shorter runs gain nothing

  std::int32_t i = first;
  std::int32_t previousRun = 0;  // neighbouring columns hold about as many points
  while (i <= last) {
    const std::int32_t end = LastInColumn(i, last, column, previousRun);
    previousRun = end - i + 1;
    // The next column likely ends as far on: start loading what its search
    // and queries read while this one is drawn (with millions of readings
    // they lie far apart in memory).
    if (const std::int64_t next = std::int64_t{end} + previousRun;
        previousRun > 64 && next <= last) {
      __builtin_prefetch(xs + next);
      yExtremes_.Prefetch(YValues().StoredValues(), next);
    }
    std::int32_t a = i, b = end;
    if (a == first) DrawPoint(a++);  // starts the line at the plot's edge
    if (b == last) --b;              // the last point is drawn on its own below
    if (b - a + 1 < kShortestRun || !DrawColumnReduced(a, b, column(i), color)) {
      for (std::int32_t k = a; k <= b; ++k) DrawPoint(k);
    }
    if (end == last && last != first) DrawPoint(last);
    i = end + 1;
  }
}

bool TCustomSeries::DrawColumnReduced(std::int32_t a, std::int32_t b, int x, TColor color) {
  if (Far(x)) return false;
  const double* ys = YValues().StoredValues();
  const double ym = YValues().Multiplier();
  auto row = [&](double stored) { return vertAxis_->ValueToPixel(stored * ym); };
  // The point after the run must be drawn: its segment covers b's row.
  const int nextX = horizAxis_->ValueToPixel(XValue(b + 1));
  if (Far(nextX) || Far(row(ys[b + 1]))) return false;
  TMinMaxPyramid::Extremes run{};
  if (!yExtremes_.Query(ys, a, b, run)) return false;  // a NaN reading
  const double lo = run.min, hi = run.max;
  if (!InLinearReach(*vertAxis_, lo * ym) || !InLinearReach(*vertAxis_, hi * ym)) return false;
  const int rowLo = row(lo), rowHi = row(hi);
  if (Far(rowLo) || Far(rowHi)) return false;

  DrawPointAt(a, x, row(ys[a]), color);  // with the marker of the point before
  // On through the extreme rows to b, lines only: the markers of the whole
  // run are the bands below. The path a, lowest, highest, b covers every
  // centre row from the lowest to the highest, b's row perhaps excepted.
  // When the next point lies in another column, its segment starts on b's
  // row and covers it, so one vertical segment over all the rows paints the
  // same. (The last point may share b's column, below.)
  const int rowB = row(ys[b]);
  if (nextX != x) {
    if (DrawsLine() && linePen_.Visible()) {
      PrepareLinePen(color);
      canvas_->DrawVerticalSegment(x, std::min(rowLo, rowHi), std::max(rowLo, rowHi) + 1);
    }
    previousX_ = x;
    previousY_ = rowB;
  } else {
    // The last point shares b's column: its segment starts on b's row only
    // when it lies on another row. When it lies on b's row too and that row
    // is an extreme of the run, the points' own path paints the row only if
    // it leaves the row somewhere; if it just comes to it in the end and
    // stays, no segment paints it, and the path runs from the other extreme
    // straight to b, leaving the row out as well.
    std::array<int, 3> path{rowLo, rowHi, rowB};
    std::size_t steps = 3;
    if (rowLo != rowHi && (rowB == rowLo || rowB == rowHi) && row(ys[b + 1]) == rowB &&
        !LeavesRow(yExtremes_, ys, a, b, rowB, row)) {
      path = {rowB == rowLo ? rowHi : rowLo, rowB, rowB};
      steps = 2;
    }
    for (std::size_t k = 0; k < steps; ++k) {
      DrawLineSegment(false, x, path[k], color, b);
      previousX_ = x;
      previousY_ = path[k];
    }
  }
  previousIndex_ = b;
  if (pointer_.Visible()) {
    const int v = pointer_.VertSize();
    rowBands_.Clear();
    const TCustomChartAxis& axis = *vertAxis_;
    const double rowsPerUnit =
        axis.CurrentRange() == 0 ? 0.0 : std::fabs(axis.PixelSize() / axis.CurrentRange() * ym);
    CollectRowBands(yExtremes_, ys, a, b, v, v - 1, rowsPerUnit, run, row, rowBands_);
    PreparePointer(color);
    // The fill leaves out the right column and the bottom row, as for one marker.
    const int h = pointer_.HorizSize();
    for (const TRowBands::Band& band : rowBands_.Bands())
      canvas_->DrawBox(x - h, band.top, x + h + 1, band.bottom + 2);
  }
  return true;
}

}  // namespace tempolog
