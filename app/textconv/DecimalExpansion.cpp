// Powers of ten and the decimal expansion of extended-precision values.
#include <cmath>
#include <cstdint>

#include "app/textconv/TextConvDetail.h"

namespace tempolog::detail {
namespace {

// 10^0 .. 10^31: exact up to 10^27, correctly rounded above.
constexpr long double kSmallPowers[32] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,
                                          1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L,
                                          1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L,
                                          1e24L, 1e25L, 1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L};

// 10^(32 x 2^i), for building larger powers bit by bit.
constexpr long double kLargePowers[8] = {1e32L,  1e64L,   1e128L,  1e256L,
                                         1e512L, 1e1024L, 1e2048L, 1e4096L};

constexpr int kMaxPower = 4096;

constexpr std::uint64_t kTenTo18 = 1000000000000000000ULL;

}  // namespace

void BoundedText::PutNumber(std::int64_t value, int minDigits) {
  char digits[24];
  int count = 0;
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) Put('-');
  for (int i = count; i < minDigits; ++i) Put('0');
  while (count > 0) Put(digits[--count]);
}

long double PowerOfTen(int k) {
  long double result = kSmallPowers[k & 31];
  k >>= 5;
  for (int i = 0; k != 0 && i < 8; ++i, k >>= 1)
    if (k & 1) result *= kLargePowers[i];
  return result;
}

long double ScaleByPowerOfTen(long double value, long long k) {
  if (value == 0) return value;
  while (k > kMaxPower) {
    value *= kLargePowers[7];
    k -= kMaxPower;
    if (std::isinf(value)) return value;
  }
  while (k < -kMaxPower) {
    value /= kLargePowers[7];
    k += kMaxPower;
    if (value == 0) return value;
  }
  // Dividing by an exact power keeps "235 / 10" exactly 23.5.
  return k >= 0 ? value * PowerOfTen(static_cast<int>(k))
                : value / PowerOfTen(static_cast<int>(-k));
}

DecimalExpansion ExpandDecimal(long double value, int precision, int decimals) {
  DecimalExpansion result;
  if (std::isnan(value)) {
    result.exponent = DecimalExpansion::kNotANumber;
    result.negative = std::signbit(value);
    return result;
  }
  if (std::isinf(value)) {
    result.exponent = DecimalExpansion::kInfinity;
    result.negative = std::signbit(value);
    return result;
  }
  const int kind = std::fpclassify(value);
  if (kind == FP_ZERO || kind == FP_SUBNORMAL) return result;  // no digits, not negative

  // Estimate the decimal exponent from the binary one: 0x4D10 / 2^16 is
  // log10(2) rounded down.
  int binaryExponent = 0;
  std::frexp(value, &binaryExponent);
  int e = (((binaryExponent - 1) * 0x4D10) >> 16) + 1;

  const long double magnitude = std::fabs(value);
  // The estimate can be one off at the far ends of the range; correct it so
  // that the integer keeps 18 or 19 digits.
  long double scaled = 0;
  for (;;) {
    scaled = std::nearbyint(ScaleByPowerOfTen(magnitude, 18 - e));
    if (scaled >= 1e19L) {
      ++e;
    } else if (scaled < 1e17L) {
      --e;
    } else {
      break;
    }
  }
  std::uint64_t whole = static_cast<std::uint64_t>(scaled);
  if (whole >= kTenTo18) {
    const std::uint64_t rest = whole % 10;
    whole /= 10;
    if (rest > 5 || (rest == 5 && (whole & 1) != 0)) ++whole;
    ++e;
    if (whole >= kTenTo18) {  // 999...95 rounded up
      whole /= 10;
      ++e;
    }
  }
  char digits[18];
  for (int i = 17; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  }

  // Where the kept digits end; decimals may be huge ("no limit").
  long long cut = static_cast<long long>(e) + decimals;
  if (cut > precision) cut = precision;
  if (cut > 18) cut = 18;
  if (cut < 0) return result;

  int count = static_cast<int>(cut);
  if (count < 18 && digits[count] >= '5') {
    int i = count - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {  // all nines (or nothing kept): the value becomes 1 at the next power
      digits[0] = '1';
      count = 1;
      ++e;
    }
  }
  while (count > 0 && digits[count - 1] == '0') --count;
  if (count == 0) return result;

  result.exponent = e;
  result.negative = std::signbit(value);
  result.count = count;
  for (int i = 0; i < count; ++i) result.digits[i] = digits[i];
  return result;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](unsigned char c) -> unsigned char {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
  };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace tempolog::detail
