// The error box text rule and message patterns.
#include "framework/core/Exceptions.h"

#include <gtest/gtest.h>

#include <string>

namespace tempolog {
namespace {

TEST(ErrorBoxTextTest, AppendsFullStopOnlyAfterBytesAboveIt) {
  struct Row {
    std::string message, expected;
  } rows[] = {
      {"", ""},
      {"abc", "abc."},
      {"ends.", "ends."},
      {"ends-", "ends-"},  // '-' is below '.'
      {"ends/", "ends/."},
      {"quote'", "quote'"},  // 0x27 is below '.'
      {"x\xE9", "x\xE9."},   // 8-bit bytes count as above
      {std::string("nul\0", 4), std::string("nul\0", 4)},
  };
  for (const Row& row : rows) EXPECT_EQ(ErrorBoxText(row.message), row.expected) << row.message;
}

TEST(FormatMessageTest, FillsPlaceholdersByteForByte) {
  EXPECT_EQ(FormatMessage("'%s' is bad", {std::string_view("a\0b", 3)}),
            std::string("'a\0b' is bad", 12));
  EXPECT_EQ(FormatMessage("%s and %s", {"x"}), "x and %s");
  EXPECT_EQ(FormatMessage("100%", {"x"}), "100%");
}

}  // namespace
}  // namespace tempolog
