// FormatNumberPattern with any pattern, any value (NaN, infinities, denormals
// and the whole extended range included) and varied separators: nothing but
// "Format string too long" is ever thrown, the text stays within 256 bytes,
// a plain fixed pattern's text reads back as the value to half a unit of its
// last decimal, and the general form (empty pattern) to 15 digits.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tempolog;
  FuzzedDataProvider in(data, size);
  TFormatSettings settings;
  const auto choice = in.ConsumeIntegral<std::uint8_t>();
  static constexpr char kThousands[] = {',', '\0', ' ', '\xA0'};
  static constexpr char kDecimal[] = {'.', ',', '\0', '.'};
  settings.thousandSeparator = kThousands[choice & 3];
  settings.decimalSeparator = kDecimal[(choice >> 2) & 3];
  const double raw = std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
  // Powers of two beyond the double range reach the whole extended range.
  const int scale = in.ConsumeIntegralInRange<int>(-16500, 16500) * ((choice >> 4) & 1);
  const long double value = std::ldexp(static_cast<long double>(raw), scale);
  // Half of the time a plain fixed pattern ("#,000.00"), whose text must read
  // back as the value to half a unit of its last decimal.
  const bool fixed = (choice >> 5) & 1;
  int integers = 0;
  int decimals = 0;
  bool grouped = false;
  std::string pattern;
  if (fixed) {
    integers = in.ConsumeIntegralInRange<int>(1, 20);
    decimals = in.ConsumeIntegralInRange<int>(0, 15);
    grouped = in.ConsumeBool();
    pattern = (grouped ? "#," : "") + std::string(integers, '0');
    if (decimals > 0) pattern += "." + std::string(decimals, '0');
  } else {
    pattern = in.ConsumeRemainingBytesAsString();
  }

  std::string text;
  try {
    text = FormatNumberPattern(settings, pattern, value);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(pattern.size() > 224 && e.Message() == "Format string too long", pattern);
    return 0;
  }
  FUZZ_CHECK(pattern.size() <= 224, pattern);
  FUZZ_CHECK(text.size() <= 256, pattern);

  if (fixed && settings.decimalSeparator == '.' && std::isfinite(value) &&
      std::fabs(value) < 1e18L) {
    std::string plain;  // without the grouping
    for (char c : text)
      if (c != settings.thousandSeparator || c == '\0') plain += c;
    // Groups of three digits left of the decimal separator.
    const std::size_t point = std::min(text.find('.'), text.size());
    std::size_t digits = 0;
    for (std::size_t i = point; i-- > 0;) {
      if (text[i] >= '0' && text[i] <= '9') {
        ++digits;
      } else if (text[i] == settings.thousandSeparator && text[i] != '\0') {
        FUZZ_CHECK(grouped && digits > 0 && digits % 3 == 0 && i > 0 && text[i - 1] != '-', text);
      }
    }
    FUZZ_CHECK(
        text.size() >= static_cast<std::size_t>(integers + (decimals > 0 ? decimals + 1 : 0)),
        text);
    try {
      const long double back = ParseNumber(settings, plain);
      const long double unit = std::pow(10.0L, -decimals);
      FUZZ_CHECK(std::fabs(back - value) <= unit / 2 + std::fabs(value) * 1e-17L, text);
    } catch (const EConvertError&) {
      FUZZ_CHECK(!"a fixed pattern's text reads back", text);
    }
  }
  if (pattern.empty() && settings.decimalSeparator == '.' && std::fpclassify(value) == FP_NORMAL) {
    try {
      const long double back = ParseNumber(settings, text);
      FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-14L, text);
    } catch (const EConvertError&) {
      FUZZ_CHECK(!"the general form reads back", text);
    }
  }
  return 0;
}
