// The text behind the measurement log view (TLogView, LogView.h): the log's
// bytes, the index of where each line starts, and how a line breaks into display
// rows at a given number of columns. Plain C++ without Qt, so it is tested on its
// own and can be built where Qt is not.
//
// Storage: the text is one contiguous byte buffer plus a line-start index of 4
// bytes per line, so a million log lines take about 30 MB. Both grow in place
// (GrowingArray.h): appending a line costs amortised constant time and never
// holds the text twice. CR, LF and CR LF each end a line, also when the CR and
// the LF arrive in separate appends. Any byte, NUL included, is kept and returned
// unchanged by Bytes(). Positions in the text are byte offsets into Bytes().
//
// Display rows: a view shows a line as one or more rows of fixed-width cells. A
// byte takes one cell; a tab takes the cells up to the next tab stop (every 8
// columns, counted from the start of a display row). Rows are worked out per line
// on request, so laying out what is on screen never costs more for a longer log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/core/GrowingArray.h"

namespace tempolog {

class TLogText {
 public:
  // The most bytes the text holds: 1 GiB, about 40 million log lines.
  static constexpr std::size_t kCapacity = std::size_t{1} << 30;
  // Columns between tab stops.
  static constexpr int kTabWidth = 8;

  // --- Changing the text ------------------------------------------------------
  // Each change that would go beyond the capacity throws EInvalidOperation "Text
  // exceeds memo capacity"; one that runs out of memory throws EOutOfResources
  // "Out of memory". Either way the text and its index stay as they were.

  // Appends one log line: the line's bytes then CR LF. When the text does not end
  // with a line break (a loaded file whose last line lacked one), CR LF is inserted
  // first, then the line, and the text again ends without a line break. The line
  // may be a piece of this text.
  void AppendLine(std::string_view line);
  void Clear();
  // Replaces the whole text.
  void SetText(std::string_view bytes);
  // As SetText, taking over the buffer instead of copying it (for loading big
  // files: see NewBuffer).
  void TakeText(TGrowingArray<char>&& bytes);
  // An empty buffer for TakeText, to read a file into.
  static TGrowingArray<char> NewBuffer() { return TGrowingArray<char>(kCapacity); }
  // The capacity in force (kCapacity unless lowered; lowering is meant for tests).
  std::size_t Capacity() const { return capacity_; }
  void SetCapacity(std::size_t bytes);

  // --- Bytes and lines ----------------------------------------------------------

  std::string_view Bytes() const { return {text_.data(), text_.size()}; }
  std::size_t Size() const { return text_.size(); }
  bool EndsWithBreak() const;
  // Logical lines; a final empty line after the last line break is not counted.
  std::size_t LineCount() const;
  // One logical line without its line break. Throws EListError "List index out of
  // bounds (<index>)" for an index at or beyond LineCount().
  std::string_view Line(std::size_t index) const;

  // The lines a view shows: the logical lines plus the empty line after a final
  // line break (where a cursor stands after the last line); at least one. The
  // functions below take such a line's index and do not check it.
  std::size_t ShownLines() const { return starts_.size(); }
  // Where the line starts.
  std::size_t LineStart(std::size_t index) const { return starts_[index]; }
  // Where its content ends, before its line break.
  std::size_t LineContentEnd(std::size_t index) const;
  // Where its line break ends: the next line's start, or the end of the text.
  std::size_t LineEnd(std::size_t index) const {
    return index + 1 < starts_.size() ? starts_[index + 1] : text_.size();
  }
  // Its content, without the line break.
  std::string_view LineText(std::size_t index) const {
    return Bytes().substr(starts_[index], LineContentEnd(index) - starts_[index]);
  }
  // The shown line that holds `offset` (the last one for the end of the text).
  std::size_t LineOf(std::size_t offset) const;

  // The offset one character before (direction < 0) or after `offset`, clamped to
  // the text; a CR LF counts as one character.
  std::size_t Step(std::size_t offset, int direction) const;
  // The word (run of bytes other than blanks and line breaks) at `offset`: its
  // start and end within the offset's line.
  std::pair<std::size_t, std::size_t> WordAt(std::size_t offset) const;

  // --- Display rows ---------------------------------------------------------------

  // Cells a byte takes when it starts at `column` of a display row.
  static int CellWidth(char c, int column) {
    return c == '\t' ? kTabWidth - column % kTabWidth : 1;
  }
  // Where a line breaks into display rows at `columns` columns (at least 1): the
  // byte offsets within the line at which each row starts (the first is always 0).
  // Lines break after the last blank that fits; a word longer than a row is cut at
  // the row's end; blanks at the end of a row hang past the edge rather than start
  // a row.
  static std::vector<std::size_t> WrapRows(std::string_view line, int columns);
  // WrapRows(line, columns).size(), without the work for a line that surely fits.
  static std::size_t RowCount(std::string_view line, int columns);
  // The columns the bytes take from the start of a display row, up to the first
  // line break among them.
  static int RowColumns(std::string_view bytes);
  // Where in a display row's bytes a point `column` cells from the row's start
  // falls (fractions allowed): before the byte in whose left half it lies, else
  // after it; row.size() beyond the row's end.
  static std::size_t OffsetAtColumn(std::string_view row, double column);

 private:
  void AppendBytes(std::string_view a, std::string_view b);
  void Replace(TGrowingArray<char>&& bytes);
  // An index holding the first line's start alone.
  TGrowingArray<std::uint32_t> NewIndex() const;

  std::size_t capacity_ = kCapacity;  // before the index, which is made for it
  TGrowingArray<char> text_{kCapacity};
  // starts_[i] is the byte offset where line i begins; the last entry is the line
  // after the final line break (empty when the text ends with a break).
  TGrowingArray<std::uint32_t> starts_ = NewIndex();
};

}  // namespace tempolog
