#include "chart/Series.h"

namespace tempolog {

TCustomSeries::TCustomSeries() { SetDrawBetweenPoints(true); }

}  // namespace tempolog
