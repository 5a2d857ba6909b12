// The log's text store on its own, without a widget: its line index (the view
// tests see only the lines it yields), stepping and words, and the columns of
// display rows with tabs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/core/Exceptions.h"
#include "framework/core/LogText.h"

namespace tempolog {
namespace {

// Every shown line with its line break, checking on the way that the line's
// content is the same without the break and that LineOf maps each of its bytes
// back to it.
std::vector<std::string> Index(const TLogText& text) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < text.ShownLines(); ++i) {
    const std::size_t start = text.LineStart(i);
    const std::size_t end = text.LineEnd(i);
    lines.emplace_back(text.Bytes().substr(start, end - start));
    EXPECT_EQ(text.LineText(i), lines.back().substr(0, text.LineContentEnd(i) - start));
    for (std::size_t at = start; at < end; ++at) EXPECT_EQ(text.LineOf(at), i) << at;
  }
  EXPECT_EQ(text.LineOf(text.Size()), text.ShownLines() - 1);
  return lines;
}

TEST(LogText, IndexFollowsBreaksAcrossAppends) {
  struct Row {
    const char* name;
    std::string initial;
    std::vector<std::string> appended;
    std::vector<std::string> index;
    std::size_t lineCount;
  } rows[] = {
      {"LF after a final CR completes CR LF", "x\r", {"\ny"}, {"x\r\n", "y\r\n", ""}, 2},
      {"line of one CR", "", {"\r"}, {"\r", "\r\n", ""}, 2},
      {"final line without break stays so", "p\rq", {"r"}, {"p\r", "q\r\n", "r"}, 3},
      {"LF line after a line without break", "p", {"\nq"}, {"p\r\n", "\n", "q"}, 3},
      {"CR CR LF", "a\r\r\nb", {}, {"a\r", "\r\n", "b"}, 3},
  };
  for (const Row& row : rows) {
    TLogText text;
    text.SetText(row.initial);
    for (const std::string& line : row.appended) text.AppendLine(line);
    EXPECT_EQ(Index(text), row.index) << row.name;
    EXPECT_EQ(text.LineCount(), row.lineCount) << row.name;
  }
}

TEST(LogText, RefusedChangesLeaveTextAndIndexAsTheyWere) {
  TLogText text;
  text.SetCapacity(10);
  text.SetText("ab\rcd");
  const std::vector<std::string> before = Index(text);
  const struct {
    const char* name;
    std::function<void()> change;
  } rows[] = {
      {"append", [&] { text.AppendLine("efgh"); }},
      {"set", [&] { text.SetText(std::string(11, '\n')); }},
      {"take",
       [&] {
         TGrowingArray<char> bytes;
         std::fill_n(bytes.Extend(11), 11, '\r');
         text.TakeText(std::move(bytes));
       }},
  };
  for (const auto& row : rows) {
    try {
      row.change();
      ADD_FAILURE() << row.name << ": no exception";
    } catch (const EInvalidOperation& e) {
      EXPECT_EQ(e.Message(), "Text exceeds memo capacity") << row.name;
    }
    EXPECT_EQ(text.Bytes(), "ab\rcd") << row.name;
    EXPECT_EQ(Index(text), before) << row.name;
  }
  EXPECT_EQ(text.Line(1), "cd");  // the last line, although it has no break
  try {
    text.Line(2);
    ADD_FAILURE() << "no exception";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
}

TEST(LogText, StepsOverCrLfAsOneAndFindsWordsWithinTheLine) {
  TLogText text;
  text.SetText("ab\r\n\r\ncd ef\tgh");  // offsets: c=6, blank=8, tab=11, end=14
  const struct {
    std::size_t offset;
    std::size_t back, forward, wordStart, wordEnd;
  } rows[] = {
      {0, 0, 1, 0, 2},      {2, 1, 4, 0, 2},      {4, 2, 6, 4, 4},
      {6, 4, 7, 6, 8},      {8, 7, 9, 6, 8},      {9, 8, 10, 9, 11},
      {12, 11, 13, 12, 14}, {14, 13, 14, 12, 14}, {99, 13, 14, 12, 14},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(text.Step(row.offset, -1), row.back) << row.offset;
    EXPECT_EQ(text.Step(row.offset, 1), row.forward) << row.offset;
    const auto [start, end] = text.WordAt(row.offset);
    EXPECT_EQ(start, row.wordStart) << row.offset;
    EXPECT_EQ(end, row.wordEnd) << row.offset;
  }
}

TEST(LogText, RowsAndColumnsCountTabsToTheNextStop) {
  const struct {
    const char* line;
    int columns;
    std::vector<std::size_t> rows;
  } wraps[] = {
      {"\t\t", 16, {0}},                     // exactly fills the row
      {"1234567\tx", 8, {0, 8}},             // the tab fills the row
      {"abcdefghij\tk", 10, {0, 11}},        // a tab past the edge hangs too
      {"abcdefgh xy\tzzz", 10, {0, 9, 12}},  // tab stops count from the row start
  };
  for (const auto& row : wraps) {
    EXPECT_EQ(TLogText::WrapRows(row.line, row.columns), row.rows) << row.line;
    EXPECT_EQ(TLogText::RowCount(row.line, row.columns), row.rows.size()) << row.line;
  }
  EXPECT_EQ(TLogText::RowColumns("a\tb"), 9);
  EXPECT_EQ(TLogText::RowColumns("abcdefgh\t"), 16);
  EXPECT_EQ(TLogText::RowColumns("ab\r\ncd"), 2);  // up to the break
  const struct {
    double column;
    std::size_t offset;
  } clicks[] = {{0, 0}, {0.49, 0}, {0.5, 1}, {4.49, 1}, {4.5, 2}, {8.49, 2}, {8.5, 3}, {50, 3}};
  for (const auto& click : clicks) {
    EXPECT_EQ(TLogText::OffsetAtColumn("a\tb", click.column), click.offset) << click.column;
  }
}

}  // namespace
}  // namespace tempolog

namespace tempolog {
namespace {

// The log's buffers never move while they grow within the space reserved
// for them (so growing never holds two copies), and keep every value when
// they outgrow it.
TEST(GrowingArray, GrowsInPlaceWithinItsReservationAndMovesBeyondIt) {
  const struct {
    std::size_t expected;
    bool inPlace;
  } rows[] = {{std::size_t{1} << 20, true}, {16, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    TGrowingArray<std::uint32_t> values(row.expected);
    values.push_back(0);
    const std::uint32_t* first = values.data();
    for (std::uint32_t i = 1; i < 600000; ++i) values.push_back(i);
    EXPECT_EQ(values.data() == first, row.inPlace);
    std::size_t wrong = 0;
    for (std::uint32_t i = 0; i < values.size(); ++i) wrong += values[i] != i;
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(values.size(), 600000u);
  }
}

}  // namespace
}  // namespace tempolog
