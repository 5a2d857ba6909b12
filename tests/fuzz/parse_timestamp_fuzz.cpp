// ParseTimestamp: a text of the log's own form reads as exactly its fields;
// whatever it accepts is a real date and time that prints and reads back as
// the same value (to the millisecond); whatever it refuses is refused with the
// message that quotes the whole text.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The fields of a text of the log's exact form "yyyy-mm-dd hh:nn:ss"; false
// for any other text.
bool LogForm(std::string_view text, int (&fields)[6]) {
  static constexpr std::string_view kForm = "9999-99-99 99:99:99";
  if (text.size() != kForm.size()) return false;
  for (std::size_t i = 0; i < kForm.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kForm[i] == '9' ? !digit : text[i] != kForm[i]) return false;
  }
  const auto number = [&](std::size_t at, std::size_t n) {
    int value = 0;
    for (std::size_t i = at; i < at + n; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  const int parsed[6] = {number(0, 4),  number(5, 2),  number(8, 2),
                         number(11, 2), number(14, 2), number(17, 2)};
  std::copy(std::begin(parsed), std::end(parsed), fields);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tempolog::fuzz::FixClock();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tempolog;
  static const TFormatSettings settings = MakeTextSettings();
  const std::string_view text = fuzz::Bytes(data, size);
  // A text of the log's own form reads as exactly its fields, when they make a
  // real date and time, and is refused otherwise.
  int f[6];
  const bool logForm = LogForm(text, f);
  TDateTimeValue exact = 0;
  const bool real =
      logForm && TryEncodeDateTimeValue(LocalTime{f[0], f[1], f[2], f[3], f[4], f[5], 0}, exact);
  TDateTimeValue value = 0;
  try {
    value = ParseTimestamp(settings, text);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(e.Message() == "'" + std::string(text) + "' is not a valid date and time", text);
    FUZZ_CHECK(!real, text);
    return 0;
  }
  if (logForm) FUZZ_CHECK(real && value == exact, text);
  FUZZ_CHECK(std::isfinite(value), text);
  const LocalTime t = DecodeDateTimeValue(value);
  FUZZ_CHECK(t.year >= 1 && t.year <= 9999, text);
  FUZZ_CHECK(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month),
             text);
  FUZZ_CHECK(t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
                 t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000,
             text);
  // Printed in full and read again: the same instant.
  const std::string printed = FormatDateTimePattern(settings, "yyyy-mm-dd hh:nn:ss.zzz", value);
  TDateTimeValue again = 0;
  try {
    again = ParseTimestamp(settings, printed);
  } catch (const EConvertError&) {
    FUZZ_CHECK(!"the printed form reads back", text);
  }
  FUZZ_CHECK(std::fabs(again - value) < 5e-9, text);
  return 0;
}
