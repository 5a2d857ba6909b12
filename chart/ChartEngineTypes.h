// The chart engine's exceptions and small shared types: list orders, axis
// sides, label styles and label hooks, change kinds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/Exceptions.h"

namespace tempolog {

class TChartSeries;
class TCustomChartAxis;

// A chart property was given a value it cannot take.
class ChartException : public Exception {
  using Exception::Exception;
};
// An axis property was given a value it cannot take; the message is one of
// the fixed axis texts and the property keeps its old value.
class AxisException : public ChartException {
  using ChartException::ChartException;
};

enum TChartListOrder { loNone, loAscending, loDescending };
enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };

// Where an axis takes its label texts and positions from.
enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

// The chart's label hooks. TAxisOnGetLabel may change the text of a label
// (series is nullptr and valueIndex -1 for value labels);
// TAxisOnGetNextLabel supplies label values one by one and ends the sequence
// by setting stop.
using TAxisOnGetLabel =
    std::function<void(const TCustomChartAxis& sender, const TChartSeries* series,
                       std::int32_t valueIndex, std::string& labelText)>;
using TAxisOnGetNextLabel = std::function<void(
    const TCustomChartAxis& sender, std::int32_t labelIndex, double& labelValue, bool& stop)>;

// What changed in a series, as told to the series fed by it.
enum TValueChangeKind { vcInsert, vcDelete, vcModify, vcClear, vcRefresh };

// The character that separates the lines of a chart text.
inline constexpr char LineSeparator = '\r';

}  // namespace tempolog
