// Axis labels, ticks and grids: the room an axis takes during layout and
// what it draws in every paint.
#include <algorithm>
#include <cmath>

#include "chart/ChartEngine.h"

namespace tempolog {

TAxisLabelStyle TCustomChartAxis::EffectiveLabelStyle() const { return labelStyle_; }
void TCustomChartAxis::MeasureAxis(TRect&, bool) {}
std::int32_t TCustomChartAxis::TickBandSize() const { return 0; }
std::int32_t TCustomChartAxis::LabelBandSize() { return 0; }
std::int32_t TCustomChartAxis::TitleBandSize() { return 0; }
std::int32_t TCustomChartAxis::WidestValueLabel() { return 0; }
void TCustomChartAxis::DrawAxis(bool) {}
void TCustomChartAxis::PlaceAxisText(int, int, std::string_view, std::int32_t) {}
double TCustomChartAxis::StepLabelValue(double v, double step) const { return v - step; }
double TCustomChartAxis::RoundDateDown(int, double v) { return v; }
bool TCustomChartAxis::AxisHitTest(int, int) const { return false; }

}  // namespace tempolog
