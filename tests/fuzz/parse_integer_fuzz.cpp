// ParseInteger against a plain reading of the recording period's grammar:
// blanks, a sign, then decimal digits in the signed 32-bit range or "$", "x",
// "0x" and one to eight hex digits (wrapping), and nothing after the digits.
#include <cstdint>
#include <optional>
#include <string>

#include "app/textconv/TextConv.h"
#include "framework/core/Exceptions.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using tempolog::fuzz::Bytes;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::int32_t> Expected(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);
  const bool negative = text.front() == '-';
  if (text.front() == '-' || text.front() == '+') text.remove_prefix(1);
  bool hex = false;
  for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
    if (text.starts_with(prefix)) {
      text.remove_prefix(prefix.size());
      hex = true;
      break;
    }
  }
  if (text.empty()) return std::nullopt;
  if (hex) {
    if (text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
      if (HexValue(c) < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint32_t>(HexValue(c));
    }
    return static_cast<std::int32_t>(negative ? 0u - value : value);
  }
  // Leading zeros do not count towards the range.
  const std::size_t first = std::min(text.find_first_not_of('0'), text.size());
  if (text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const std::string_view digits = text.substr(first);
  if (digits.size() > 10) return std::nullopt;
  const std::int64_t magnitude = digits.empty() ? 0 : std::stoll(std::string(digits));
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = Bytes(data, size);
  const std::optional<std::int32_t> expected = Expected(text);
  try {
    const std::int32_t value = tempolog::ParseInteger(text);
    FUZZ_CHECK(expected && *expected == value, text);
  } catch (const tempolog::EConvertError& e) {
    FUZZ_CHECK(!expected, text);
    FUZZ_CHECK(e.Message() == "'" + std::string(text) + "' is not a valid integer value", text);
  }
  return 0;
}
