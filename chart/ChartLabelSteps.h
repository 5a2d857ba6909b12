// The date-time and numeric label steps of the axes, and the rounding of
// values to pixels; implemented in ChartLabelSteps.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tempolog {

// One second, one minute and one day in days.
inline constexpr double OneSecond = 1.0 / 86400.0;
inline constexpr double OneMinute = 1.0 / 1440.0;

// The standard date-time label increments, in days, smallest first. Entries
// 18 to 24 (half month to one year) are the calendar steps.
// Five steps a row: seconds, minutes, hours to a day, days, months to a year.
// clang-format off
inline constexpr std::array<double, 25> DateTimeStepTable = {
    1.0 / 86400, 5.0 / 86400, 10.0 / 86400, 15.0 / 86400, 30.0 / 86400,
    1.0 / 1440,  5.0 / 1440,  10.0 / 1440,  15.0 / 1440,  30.0 / 1440,
    1.0 / 24,    2.0 / 24,    0.25,         0.5,          1.0,
    2.0,         3.0,         7.0,          15.0,         30.0,
    60.0,        90.0,        120.0,        182.0,        365.0};
// clang-format on
inline constexpr int NoDateTimeStep = 25;

// The next numeric label step above s > 0: 1, 2, 5 times a power of ten.
// Values that are not positive and finite come back unchanged.
double NextNiceStep(double s);
// The table entry after the largest entry s reaches; 365 days when s is at
// or above 182 days or below one second.
double NextDateTimeStepUp(double s);
// The largest table index whose entry is within one second of x; 25 if none.
int NearestDateTimeStep(double x);
// Label pattern for a date-time step of d days: the short date form of the
// process-wide settings above one day, else their short time form.
std::string DateTimeFormatForStep(double d);

// Round to the nearest integer, ties to even, as a 32-bit pixel (clamped to
// the 32-bit range; NaN gives 0).
std::int32_t RoundPixel(long double value);

}  // namespace tempolog
