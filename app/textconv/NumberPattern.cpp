// The number pattern engine: "#00.0", ",#00.0", "###0.#", "0.00E+00" and up
// to three sections for positive, negative and zero values.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "app/textconv/TextConv.h"
#include "app/textconv/TextConvDetail.h"
#include "framework/core/Exceptions.h"

namespace tempolog {
namespace {

using detail::BoundedText;
using detail::DecimalExpansion;
using detail::ExpandDecimal;

constexpr std::size_t kMaxPatternLength = 224;
constexpr int kNoZero = 32767;
constexpr int kGeneralPrecision = 15;
constexpr int kMaxDigits = 18;
constexpr int kUnlimitedDecimals = 9999;
constexpr int kMaxExponentDigits = 4;

bool IsQuote(char c) { return c == '\'' || c == '"'; }

// Index just past the quoted text that opens at `at` (an unclosed quote runs
// to the end).
std::size_t SkipQuoted(std::string_view text, std::size_t at) {
  const std::size_t close = text.find(text[at], at + 1);
  return close == std::string_view::npos ? text.size() : close + 1;
}

bool IsExponentMark(std::string_view section, std::size_t at) {
  return (section[at] == 'E' || section[at] == 'e') && at + 1 < section.size() &&
         (section[at + 1] == '+' || section[at + 1] == '-');
}

// The pattern's sections: positive; negative; zero. A ";" inside quotes does
// not separate; a missing section is empty.
struct Sections {
  std::string_view part[3];
};

Sections SplitSections(std::string_view pattern) {
  Sections sections;
  std::size_t start = 0;
  int index = 0;
  std::size_t i = 0;
  while (i < pattern.size() && index < 3) {
    if (IsQuote(pattern[i])) {
      i = SkipQuoted(pattern, i);
    } else if (pattern[i] == ';') {
      sections.part[index++] = pattern.substr(start, i - start);
      start = ++i;
    } else {
      ++i;
    }
  }
  if (index < 3) sections.part[index] = pattern.substr(start);
  return sections;
}

// What a section asks for: placeholders, decimal point, grouping, exponent.
struct SectionScan {
  int digitCount = 0;
  int firstZero = kNoZero;  // placeholder index of the first "0"
  int lastZeroCount = 0;    // placeholders up to and including the last "0"
  int decimalIndex = -1;    // placeholders before the first "."
  bool grouping = false;
  bool scientific = false;

  int RequiredIntegerDigits() const { return std::max(0, decimalIndex - firstZero); }
  int TrailingZeroBound() const { return std::min(0, decimalIndex - lastZeroCount); }
};

SectionScan ScanSection(std::string_view section) {
  SectionScan scan;
  std::size_t i = 0;
  while (i < section.size()) {
    const char c = section[i];
    if (IsQuote(c)) {
      i = SkipQuoted(section, i);
      continue;
    }
    if (c == '#' || c == '0') {
      if (c == '0') {
        if (scan.firstZero == kNoZero) scan.firstZero = scan.digitCount;
        scan.lastZeroCount = scan.digitCount + 1;
      }
      ++scan.digitCount;
    } else if (c == '.') {
      if (scan.decimalIndex < 0) scan.decimalIndex = scan.digitCount;
    } else if (c == ',') {
      scan.grouping = true;
    } else if (IsExponentMark(section, i)) {
      scan.scientific = true;
      i += 2;
      while (i < section.size() && section[i] == '0') ++i;  // the exponent's own digits
      continue;
    }
    ++i;
  }
  if (scan.decimalIndex < 0) scan.decimalIndex = scan.digitCount;
  return scan;
}

// The fallback form: 15 significant digits, fixed or with an exponent.
void PutGeneral(const TFormatSettings& fs, long double value, BoundedText& out) {
  const DecimalExpansion d = ExpandDecimal(value, kGeneralPrecision, kUnlimitedDecimals);
  if (d.exponent == DecimalExpansion::kNotANumber) {
    out.Put("NAN");
    return;
  }
  if (d.exponent == DecimalExpansion::kInfinity) {
    out.Put(d.negative ? "-INF" : "INF");
    return;
  }
  if (d.negative) out.Put('-');
  const std::string_view digits(d.digits, static_cast<std::size_t>(d.count));
  if (d.exponent > 15 || d.exponent < -3) {
    out.Put(digits[0]);
    if (d.count > 1) {
      out.PutSeparator(fs.decimalSeparator);
      out.Put(digits.substr(1));
    }
    out.Put('E');
    const int exponent = d.exponent - 1;
    if (exponent < 0) out.Put('-');
    out.PutNumber(exponent < 0 ? -exponent : exponent, 1);
  } else if (d.exponent > 0) {
    for (int i = 0; i < d.exponent; ++i) out.Put(i < d.count ? d.digits[i] : '0');
    if (d.count > d.exponent) {
      out.PutSeparator(fs.decimalSeparator);
      out.Put(digits.substr(static_cast<std::size_t>(d.exponent)));
    }
  } else {
    out.Put('0');
    if (d.count > 0) {
      out.PutSeparator(fs.decimalSeparator);
      for (int i = d.exponent; i < 0; ++i) out.Put('0');
      out.Put(digits);
    }
  }
}

// Walks one section and writes the number through its placeholders.
class SectionWriter {
 public:
  SectionWriter(const TFormatSettings& fs, const SectionScan& scan, const DecimalExpansion& d,
                BoundedText& out)
      : fs_(fs), scan_(scan), d_(d), out_(out) {
    const int exponent = d.count == 0 ? 0 : d.exponent;
    place_ = scan.scientific ? scan.decimalIndex : std::max(exponent, scan.decimalIndex);
    delta_ = scan.scientific ? 0 : exponent - scan.decimalIndex;
    required_ = scan.RequiredIntegerDigits();
    trailingBound_ = scan.TrailingZeroBound();
    grouping_ = scan.grouping && fs.thousandSeparator != '\0';
  }

  void Write(std::string_view section);

 private:
  // One digit at the current place, with the decimal separator before the
  // first fraction digit and grouping after each third integer digit.
  void WriteDigit(char digit) {
    if (place_ == 0) out_.PutSeparator(fs_.decimalSeparator);
    out_.Put(digit);
    if (grouping_ && place_ > 1 && place_ % 3 == 1) out_.Put(fs_.thousandSeparator);
  }
  // The next digit of the number, or a padding zero where the pattern wants
  // one; then on to the next place.
  void PutNextDigit() {
    if (next_ < d_.count) WriteDigit(d_.digits[next_++]);
    else if (place_ > trailingBound_) WriteDigit('0');
    --place_;
  }
  void PutPlaceholder() {
    if (delta_ > 0) {
      // Integer digits beyond the pattern's places all come out at the first one.
      for (; delta_ > 0; --delta_) PutNextDigit();
      PutNextDigit();
    } else if (delta_ < 0) {
      ++delta_;
      if (place_ <= required_) WriteDigit('0');
      --place_;
    } else {
      PutNextDigit();
    }
  }
  void PutExponent(char mark, char sign, int zeros);

  const TFormatSettings& fs_;
  const SectionScan& scan_;
  const DecimalExpansion& d_;
  BoundedText& out_;
  int place_ = 0;
  int delta_ = 0;
  int required_ = 0;
  int trailingBound_ = 0;
  bool grouping_ = false;
  int next_ = 0;
};

void SectionWriter::PutExponent(char mark, char sign, int zeros) {
  out_.Put(mark);
  const int exponent = d_.count == 0 ? 0 : d_.exponent - scan_.decimalIndex;
  if (exponent < 0) out_.Put('-');
  else if (sign == '+') out_.Put('+');
  out_.PutNumber(exponent < 0 ? -exponent : exponent,
                 std::max(1, std::min(zeros, kMaxExponentDigits)));
}

void SectionWriter::Write(std::string_view section) {
  std::size_t i = 0;
  while (i < section.size() && !out_.Full()) {
    const char c = section[i];
    if (c == '#' || c == '0') {
      PutPlaceholder();
      ++i;
    } else if (c == '.' || c == ',') {
      ++i;
    } else if (IsQuote(c)) {
      const std::size_t close = section.find(c, i + 1);
      const std::size_t end = close == std::string_view::npos ? section.size() : close;
      out_.Put(section.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? end : end + 1;
    } else if (IsExponentMark(section, i)) {
      const char sign = section[i + 1];
      i += 2;
      int zeros = 0;
      while (i < section.size() && section[i] == '0') {
        ++zeros;
        ++i;
      }
      PutExponent(c, sign, zeros);
    } else {
      out_.Put(c);
      ++i;
    }
  }
}

}  // namespace

std::string FormatNumberPattern(const TFormatSettings& fs, std::string_view pattern,
                                long double value) {
  if (pattern.size() > kMaxPatternLength) throw EConvertError("Format string too long");
  BoundedText out;
  const Sections sections = SplitSections(pattern);

  // Zero (every bit clear) takes the third section, a set sign bit the
  // second, so negative zero counts as negative. A missing or empty section
  // means the first; when that is empty too, the general form is written.
  const auto withFallback = [&](int index) { return sections.part[index].empty() ? 0 : index; };
  int chosen = 0;
  if (value == 0 && !std::signbit(value)) chosen = withFallback(2);
  else if (std::signbit(value)) chosen = withFallback(1);
  if (sections.part[chosen].empty()) {
    PutGeneral(fs, value, out);
    return out.Text();
  }

  SectionScan scan = ScanSection(sections.part[chosen]);
  const DecimalExpansion d =
      scan.scientific ? ExpandDecimal(value, scan.digitCount, kUnlimitedDecimals)
                      : ExpandDecimal(value, kMaxDigits, scan.digitCount - scan.decimalIndex);
  if (d.exponent == DecimalExpansion::kInfinity || d.exponent == DecimalExpansion::kNotANumber ||
      (!scan.scientific && d.exponent > kMaxDigits)) {
    PutGeneral(fs, value, out);
    return out.Text();
  }
  if (d.count == 0) {
    // Rounds to zero: the zero section, whatever the sign was.
    const int zero = withFallback(2);
    if (sections.part[zero].empty()) {
      PutGeneral(fs, value, out);
      return out.Text();
    }
    if (zero != chosen) {
      chosen = zero;
      scan = ScanSection(sections.part[chosen]);
    }
  }
  if (d.negative && chosen == 0) out.Put('-');  // a negative section writes its own sign
  SectionWriter(fs, scan, d, out).Write(sections.part[chosen]);
  return out.Text();
}

}  // namespace tempolog
