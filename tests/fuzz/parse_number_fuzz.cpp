// ParseNumber against its grammar and against the C library's correctly
// rounded strtold: a text is accepted exactly when it has the form of a
// reading, and then reads as the value strtold gives (to 1e-15).
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using tempolog::fuzz::Bytes;

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The text in the canonical form strtold reads ("-12.5e+3"); false when the
// text is not a reading: blanks, sign, digits with at most one point (at least
// the point or a digit), an optional exponent whose digits are read while the
// exponent is below 500, blanks.
bool Canonical(std::string_view text, std::string& out) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  out.clear();
  if (i < n && (text[i] == '+' || text[i] == '-')) out += text[i++];
  out += '0';
  bool any = false;
  while (i < n && Digit(text[i])) out += text[i++], any = true;
  if (i < n && text[i] == '.') {
    out += text[i++];
    any = true;
    while (i < n && Digit(text[i])) out += text[i++];
  }
  if (!any) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    out += 'e';
    if (i < n && (text[i] == '+' || text[i] == '-')) out += text[i++];
    int exponent = 0;
    while (i < n && Digit(text[i]) && exponent < 500) exponent = exponent * 10 + (text[i++] - '0');
    out += std::to_string(exponent);
  }
  while (i < n && text[i] == ' ') ++i;
  return i == n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tempolog::TFormatSettings settings = tempolog::MakeTextSettings();
  const std::string_view text = Bytes(data, size);

  std::string canonical;
  const bool valid = Canonical(text, canonical);
  const long double expected = valid ? std::strtold(canonical.c_str(), nullptr) : 0;
  try {
    const long double value = tempolog::ParseNumber(settings, text);
    FUZZ_CHECK(valid, text);
    FUZZ_CHECK(std::isfinite(expected), text);  // an overflow must be refused
    const long double tolerance = std::fabs(expected) * 1e-15L;
    if (std::fabs(expected) > 1e-4900L) FUZZ_CHECK(std::fabs(value - expected) <= tolerance, text);
    else FUZZ_CHECK(std::fabs(value) < 1e-4890L, text);
  } catch (const tempolog::EConvertError& e) {
    FUZZ_CHECK(e.Message() == "'" + std::string(text) + "' is not a valid floating point value",
               text);
    // Refused: not a reading, or too large (allow rounding at the very top).
    FUZZ_CHECK(!valid || !std::isfinite(expected) || std::fabs(expected) > LDBL_MAX / 2, text);
  }
  return 0;
}
