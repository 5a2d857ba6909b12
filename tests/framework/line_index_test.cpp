// The line index built in parts on several threads: the tiny texts below are
// cut into as many parts as the row says, so that the cuts fall where they
// are hard to get right.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/LineIndex.h"

namespace tempolog {
namespace {

TEST(LineIndex, PartsJoinToTheStartsOfTheWholeText) {
  struct Row {
    const char* name;
    std::string text;
    unsigned threads;
    std::vector<std::uint32_t> starts;
  } rows[] = {
      {"cut falls on the LF of a CR LF", "ab\r\ncd", 2, {0, 4}},
      {"cut falls on the CR of a CR LF", "abc\r\nd", 2, {0, 5}},
      {"last line without a break", "x\ny\nz", 3, {0, 2, 4}},
      {"lone CRs and LFs around a CR LF", "\r\r\n\n\r", 3, {0, 1, 3, 4, 5}},
      {"more threads than lines", "a\r\n", 4, {0, 3}},
      {"no break at all", "abcdefgh", 2, {0}},
      {"empty text", "", 2, {0}},
      {"log lines, the cut on the LF of the second",
       "2024-01-01 00:00:00\t1.5\r\n2024-01-01 00:00:01\t1.6\r\n"
       "2024-01-01 00:00:02\t1.7\r\n2024-01-01 00:00:03\t1.8",
       2,
       {0, 25, 50, 75}},
  };
  for (const Row& row : rows) {
    TGrowingArray<std::uint32_t> starts(16);
    starts.push_back(0);
    IndexBreaksInParallel(row.text, starts, row.threads);
    EXPECT_EQ(std::vector<std::uint32_t>(starts.begin(), starts.end()), row.starts) << row.name;
  }
}

}  // namespace
}  // namespace tempolog
