// Pieces shared by the conversions and the pattern engines; not for other
// modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tempolog::detail {

// Output of the pattern engines: a fixed 256-byte buffer; whatever does not
// fit is cut, so no pattern can make a text grow without bound.
class BoundedText {
 public:
  static constexpr std::size_t kCapacity = 256;

  void Put(char c) {
    if (length_ < kCapacity) buffer_[length_++] = c;
  }
  void Put(std::string_view text) {
    for (char c : text) {
      if (length_ >= kCapacity) return;
      buffer_[length_++] = c;
    }
  }
  // A separator character; '\0' means "none" and writes nothing.
  void PutSeparator(char c) {
    if (c != '\0') Put(c);
  }
  // A non-negative number in decimal, zero-padded to at least minDigits.
  void PutNumber(std::int64_t value, int minDigits);

  bool Full() const { return length_ >= kCapacity; }
  std::string Text() const { return std::string(buffer_, length_); }

 private:
  char buffer_[kCapacity];
  std::size_t length_ = 0;
};

// Ten to the power k (0 <= k <= 4932) in extended precision; exact up to 27.
long double PowerOfTen(int k);

// value x 10^k in steps that keep every intermediate finite unless the
// result itself overflows (then infinity); tiny results become 0.
long double ScaleByPowerOfTen(long double value, long long k);

// The decimal expansion of an extended value: 0.d1d2d3... x 10^exponent.
struct DecimalExpansion {
  static constexpr int kInfinity = 0x7FFF;
  static constexpr int kNotANumber = -0x8000;

  int exponent = 0;
  bool negative = false;
  int count = 0;      // digits in use, no trailing zeros; 0 for zero
  char digits[20]{};  // '0'..'9'
};

// Expands to at most `precision` significant digits (at most 18) and at
// most `decimals` digits after the decimal point, rounding half away from
// zero on the decimal digits.
DecimalExpansion ExpandDecimal(long double value, int precision, int decimals);

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Byte comparison without regard to letter case (ASCII and Latin-1 letters).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tempolog::detail
