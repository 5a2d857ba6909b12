// The log's text store. See LogText.h for the storage model and the display rows.
#include "framework/core/LogText.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <new>

#include "framework/core/Exceptions.h"
#include "framework/core/LineIndex.h"

namespace tempolog {

namespace {

constexpr char kCapacityMessage[] = "Text exceeds memo capacity";
constexpr char kOutOfMemory[] = "Out of memory";

bool IsBreak(char c) { return c == '\r' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// --- Changing the text ----------------------------------------------------------

void TLogText::AppendLine(std::string_view line) {
  if (text_.empty() || EndsWithBreak()) {
    AppendBytes(line, "\r\n");
  } else {
    AppendBytes("\r\n", line);
  }
}

void TLogText::AppendBytes(std::string_view a, std::string_view b) {
  // A piece taken from the text itself would move when the buffer grows.
  const auto inText = [this](std::string_view piece) {
    const char* data = text_.data();
    return !piece.empty() && std::less_equal<>()(data, piece.data()) &&
           std::less<>()(piece.data(), data + text_.size());
  };
  if (inText(a) || inText(b)) {
    const std::string copy = std::string(a).append(b);
    AppendBytes(copy, {});
    return;
  }
  const std::size_t oldSize = text_.size();
  const std::size_t added = a.size() + b.size();
  if (oldSize > capacity_ || added > capacity_ - oldSize) throw EInvalidOperation(kCapacityMessage);
  const std::size_t oldCount = starts_.size();
  const std::uint32_t oldLast = starts_.back();
  try {
    char* at = text_.Extend(added);
    if (!a.empty()) std::memcpy(at, a.data(), a.size());
    if (!b.empty()) std::memcpy(at + a.size(), b.data(), b.size());
    IndexBreaks(Bytes(), oldSize, starts_);
  } catch (const std::bad_alloc&) {
    text_.Shorten(oldSize);
    starts_.Shorten(oldCount);
    starts_.back() = oldLast;
    throw EOutOfResources(kOutOfMemory);
  }
}

void TLogText::Clear() {
  TGrowingArray<std::uint32_t> starts = NewIndex();
  text_.clear();
  starts_.swap(starts);
}

TGrowingArray<std::uint32_t> TLogText::NewIndex() const {
  // Room for lines of 16 bytes and more (a log's are 26) up to the capacity:
  // address space only, of which the lines held use a page at a time.
  TGrowingArray<std::uint32_t> starts(capacity_ / 16 + 1);
  starts.push_back(0);
  return starts;
}

void TLogText::SetText(std::string_view bytes) {
  if (bytes.size() > capacity_) throw EInvalidOperation(kCapacityMessage);
  try {
    TGrowingArray<char> copy(capacity_);
    copy.append(bytes.data(), bytes.size());
    Replace(std::move(copy));
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(kOutOfMemory);
  }
}

void TLogText::TakeText(TGrowingArray<char>&& bytes) {
  if (bytes.size() > capacity_) throw EInvalidOperation(kCapacityMessage);
  try {
    Replace(std::move(bytes));
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(kOutOfMemory);
  }
}

void TLogText::Replace(TGrowingArray<char>&& bytes) {
  // The new index is built aside, so a failure leaves the old text whole.
  TGrowingArray<std::uint32_t> starts = NewIndex();
  IndexBreaksInParallel({bytes.data(), bytes.size()}, starts, LineIndexThreads(bytes.size()));
  text_.swap(bytes);
  starts_.swap(starts);
  bytes.clear();  // release the old text now
}

void TLogText::SetCapacity(std::size_t bytes) { capacity_ = std::min(bytes, kCapacity); }

// --- Bytes and lines ---------------------------------------------------------------

bool TLogText::EndsWithBreak() const { return !text_.empty() && IsBreak(text_.back()); }

std::size_t TLogText::LineCount() const {
  std::size_t count = starts_.size();
  if (starts_.back() == text_.size()) --count;  // the empty line after a final break
  return count;
}

std::string_view TLogText::Line(std::size_t index) const {
  if (index >= LineCount()) {
    throw EListError(FormatMessage("List index out of bounds (%s)", {std::to_string(index)}));
  }
  return LineText(index);
}

std::size_t TLogText::LineContentEnd(std::size_t index) const {
  if (index + 1 >= starts_.size()) return text_.size();
  std::size_t end = starts_[index + 1] - 1;  // the break's last byte
  if (text_[end] == '\n' && end > starts_[index] && text_[end - 1] == '\r') --end;
  return end;
}

std::size_t TLogText::LineOf(std::size_t offset) const {
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(it - starts_.begin()) - 1;
}

std::size_t TLogText::Step(std::size_t offset, int direction) const {
  offset = std::min(offset, text_.size());
  if (direction > 0) {
    if (offset == text_.size()) return offset;
    if (text_[offset] == '\r' && offset + 1 < text_.size() && text_[offset + 1] == '\n') {
      return offset + 2;
    }
    return offset + 1;
  }
  if (offset == 0) return 0;
  if (text_[offset - 1] == '\n' && offset >= 2 && text_[offset - 2] == '\r') return offset - 2;
  return offset - 1;
}

std::pair<std::size_t, std::size_t> TLogText::WordAt(std::size_t offset) const {
  const std::size_t line = LineOf(offset);
  const std::size_t lineStart = starts_[line];
  const std::size_t lineEnd = LineContentEnd(line);
  std::size_t start = std::min(offset, lineEnd);
  std::size_t end = start;
  while (start > lineStart && !IsBlank(text_[start - 1])) --start;
  while (end < lineEnd && !IsBlank(text_[end])) ++end;
  return {start, end};
}

// --- Display rows --------------------------------------------------------------------

std::vector<std::size_t> TLogText::WrapRows(std::string_view line, int columns) {
  columns = std::max(columns, 1);
  std::vector<std::size_t> rows{0};
  std::size_t rowStart = 0;
  std::size_t breakAt = 0;  // just after the last blank of the row; rowStart if none
  int column = 0;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsBlank(c)) {
      // Blanks never start a row: past the edge they hang on the current one.
      column = std::min(column + CellWidth(c, column), columns);
      breakAt = ++i;
      continue;
    }
    if (column >= columns) {
      rowStart = breakAt > rowStart ? breakAt : i;
      rows.push_back(rowStart);
      breakAt = rowStart;
      column = 0;
      i = rowStart;
      continue;
    }
    ++column;
    ++i;
  }
  return rows;
}

std::size_t TLogText::RowCount(std::string_view line, int columns) {
  // No line shorter than this can need a second row, tabs or not.
  if (line.size() * kTabWidth <= static_cast<std::size_t>(std::max(columns, 1))) return 1;
  return WrapRows(line, columns).size();
}

int TLogText::RowColumns(std::string_view bytes) {
  int column = 0;
  for (const char c : bytes) {
    if (IsBreak(c)) break;
    column += CellWidth(c, column);
  }
  return column;
}

std::size_t TLogText::OffsetAtColumn(std::string_view row, double column) {
  int col = 0;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int width = CellWidth(row[i], col);
    if (column < col + width / 2.0) return i;
    col += width;
  }
  return row.size();
}

}  // namespace tempolog
