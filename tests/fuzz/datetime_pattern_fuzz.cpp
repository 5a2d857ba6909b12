// FormatDateTimePattern with any pattern, any value and, half of the time,
// forms and marker texts taken from the input (forms that name each other
// included): it never throws, the text stays within 256 bytes, an empty
// pattern means "c", and with the log's settings a timestamp of a date in
// years 1 to 9999 reads back as the same second.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tempolog::fuzz::FixClock();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tempolog;
  static const TFormatSettings logSettings = MakeTextSettings();
  FuzzedDataProvider in(data, size);
  const auto choice = in.ConsumeIntegral<std::uint8_t>();
  const double value = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  TFormatSettings settings = logSettings;
  if (choice & 1) {
    settings.shortDateFormat = in.ConsumeRandomLengthString(40);
    settings.longDateFormat = in.ConsumeRandomLengthString(40);
    settings.shortTimeFormat = in.ConsumeRandomLengthString(40);
    settings.longTimeFormat = in.ConsumeRandomLengthString(40);
    settings.timeAMString = in.ConsumeRandomLengthString(8);
    settings.timePMString = in.ConsumeRandomLengthString(8);
    settings.dateSeparator = (choice & 2) ? '\0' : '/';
    settings.timeSeparator = (choice & 4) ? '\0' : '.';
  }
  const std::string pattern = in.ConsumeRemainingBytesAsString();

  std::string text;
  try {
    text = FormatDateTimePattern(settings, pattern, value);
    FUZZ_CHECK(text.size() <= 256, pattern);
    if (pattern.empty()) FUZZ_CHECK(text == FormatDateTimePattern(settings, "c", value), pattern);
  } catch (...) {
    FUZZ_CHECK(!"a date-time pattern never throws", pattern);
  }

  // Dates of years 1 to 9999: 0001-01-01 is day -693593, 9999-12-31 day 2958465.
  if (std::isfinite(value) && value > -693593 && value < 2958466) {
    const std::string stamp = FormatTimestamp(logSettings, value);
    LocalTime t = DecodeDateTimeValue(value);
    if (t.year < 1 || t.year > 9999) return 0;
    t.millisecond = 0;
    TDateTimeValue expected = 0;
    FUZZ_CHECK(TryEncodeDateTimeValue(t, expected), stamp);
    try {
      FUZZ_CHECK(std::fabs(ParseTimestamp(logSettings, stamp) - expected) < 5e-9, stamp);
    } catch (const EConvertError&) {
      FUZZ_CHECK(!"a timestamp reads back", stamp);
    }
  }
  return 0;
}
