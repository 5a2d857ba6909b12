// Readings made the way the program makes them: the instrument's reply text
// ("+23.4", "23.4", "-0.1", "23.45") read by ParseNumber with the window's
// text settings and rounded to single precision by RoundToSingle, the very
// functions the window calls for a live reading and for each line of a
// loaded log. Tests and benchmarks of the chart plot these values, not
// decimals computed as doubles (234 / 10.0), which the program never holds.
// Needs the libraries `app` (RoundToSingle) and `textconv`.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "app/link/LogFormat.h"
#include "app/textconv/TextConv.h"

namespace tempolog {

// The reply of an instrument that answers with `decimals` decimals, for a
// measured `value`: "23.4", or "+23.4" with `plusSign`.
inline std::string InstrumentReply(double value, int decimals, bool plusSign = false) {
  char text[64];
  std::snprintf(text, sizeof text, plusSign ? "%+.*f" : "%.*f", decimals, value);
  return text;
}

// The value the chart is given for a reply, as the window computes it.
inline double PlottedReading(std::string_view reply) {
  static const TFormatSettings settings = MakeTextSettings();
  return RoundToSingle(ParseNumber(settings, reply));
}

// Both at once: what the chart holds for a measured value.
inline double PlottedReading(double value, int decimals, bool plusSign = false) {
  return PlottedReading(InstrumentReply(value, decimals, plusSign));
}

}  // namespace tempolog
