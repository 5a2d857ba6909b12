// The chart's data and scaling engine: value lists, the series base, the axes
// and the axis panel that owns them. This header only gathers the engine's
// headers; include the one you need, or this one for all of them.
//
// The headers, and the source file that implements each:
//   ChartEngineTypes.h  exceptions (ChartException, AxisException),    header only
//                       enums, label hooks
//   ChartValueList.h    TChartValueList, TChartValueLists: one         ChartValueList.cpp
//                       dimension of a series' points
//   ChartSeriesBase.h   TChartSeries: points, colours, labels,         ChartSeriesBase.cpp
//                       notifications
//   ChartLabelSteps.h   date-time and numeric label steps:             ChartLabelSteps.cpp
//                       NextNiceStep, DateTimeStepTable, ..., RoundPixel
//   ChartAxis.h         TCustomChartAxis, TChartAxis, TChartDepthAxis:  ChartAxis.cpp
//                       range, pixel mapping, labels, ticks and grids  (drawing: ChartAxisDraw.cpp)
//   AxisPanel.h         TCustomAxisPanel: the owner of axes and        AxisPanel.cpp
//                       series, PlotRect
// The series kinds the program draws (Series.h) derive from TChartSeries. Helpers the
// engine's source files share are in ChartEngineDetail.h, for those files only.
//
// Everything runs on the window thread; nothing here locks.
#pragma once

#include "chart/AxisPanel.h"
#include "chart/ChartAxis.h"
#include "chart/ChartEngineTypes.h"
#include "chart/ChartLabelSteps.h"
#include "chart/ChartSeriesBase.h"
#include "chart/ChartValueList.h"
